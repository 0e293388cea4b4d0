# One GoogleTest executable per test source, registered with CTest.
find_package(GTest REQUIRED)
include(GoogleTest)

function(vastrelle_add_gtest source)
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    target_link_libraries(${name} PRIVATE vastrelle_data vastrelle_cli_commands vastrelle_test_support GTest::gtest GTest::gtest_main)
    target_compile_definitions(${name} PRIVATE
        VASTRELLE_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
        VASTRELLE_CLI="$<TARGET_FILE:vastrelle-cli>")
    add_dependencies(${name} vastrelle-cli)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "LANG=C.UTF-8")
endfunction()
