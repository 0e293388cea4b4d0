# One GoogleTest executable per test source, registered with CTest.
find_package(GTest REQUIRED)
include(GoogleTest)

function(vastrelle_gtest_setup target)
    # The tests' own code is built for a quick build: their time goes to the libraries they test,
    # which keep the build's optimisation.
    target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-Og>)
    target_link_libraries(${target} PRIVATE vastrelle_data vastrelle_cli_commands vastrelle_test_support GTest::gtest GTest::gtest_main)
    target_compile_definitions(${target} PRIVATE
        VASTRELLE_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data"
        VASTRELLE_CLI="$<TARGET_FILE:vastrelle-cli>")
endfunction()

# GoogleTest's and the standard library's headers, compiled once for all the tests.
function(vastrelle_gtest_pch)
    file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/gtest_pch.cpp "// The precompiled headers\n")
    add_library(vastrelle_gtest_pch OBJECT ${CMAKE_CURRENT_BINARY_DIR}/gtest_pch.cpp)
    vastrelle_gtest_setup(vastrelle_gtest_pch)
    target_precompile_headers(vastrelle_gtest_pch PRIVATE <gtest/gtest.h>
                              <algorithm> <filesystem> <fstream> <functional> <map> <memory>
                              <optional> <set> <sstream> <string> <string_view> <vector>)
endfunction()

function(vastrelle_add_gtest source)
    get_filename_component(name ${source} NAME_WE)
    add_executable(${name} ${source})
    vastrelle_gtest_setup(${name})
    target_precompile_headers(${name} REUSE_FROM vastrelle_gtest_pch)
    add_dependencies(${name} vastrelle-cli)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "LANG=C.UTF-8")
endfunction()
