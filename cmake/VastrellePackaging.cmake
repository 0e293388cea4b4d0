# What `cmake --install` lays out besides the two programs, and the Debian package of it.
set(VASTRELLE_APP_ID io.github.vastrelle.Vastrelle)
set(VASTRELLE_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(VASTRELLE_ICON_SIZES 16 32 48 64 128 256)

# A portable program folder holds the programs alone: the data are written beside them.
if(NOT VASTRELLE_PORTABLE)
    if(VASTRELLE_GUI)
        install(FILES ${VASTRELLE_PACKAGING_DIR}/${VASTRELLE_APP_ID}.desktop
                DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
        install(FILES ${VASTRELLE_PACKAGING_DIR}/${VASTRELLE_APP_ID}.metainfo.xml
                DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
        install(FILES ${VASTRELLE_PACKAGING_DIR}/icons/${VASTRELLE_APP_ID}.svg
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
        foreach(size ${VASTRELLE_ICON_SIZES})
            install(FILES ${VASTRELLE_PACKAGING_DIR}/icons/${VASTRELLE_APP_ID}-${size}.png
                    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                    RENAME ${VASTRELLE_APP_ID}.png)
        endforeach()
    endif()
    install(FILES ${VASTRELLE_PACKAGING_DIR}/vastrelle-cli.1
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    install(FILES ${CMAKE_SOURCE_DIR}/samples/castles.template
            DESTINATION ${CMAKE_INSTALL_DATADIR}/vastrelle/samples)
    install(DIRECTORY ${CMAKE_SOURCE_DIR}/samples/castles
            DESTINATION ${CMAKE_INSTALL_DATADIR}/vastrelle/samples)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vastrelle)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Vastrelle developers")
set(CPACK_PACKAGE_CONTACT "Vastrelle developers <vastrelle@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "card collection tracker with a Japanese interface")
set(CPACK_PACKAGE_DESCRIPTION
    "Vastrelle keeps card types (one series of trading cards, say) with a number, title, comment,\n"
    "owned mark and front and back picture for every card, lists them as a table or as\n"
    "thumbnails and shows how many are owned. vastrelle-cli works on the same folders.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY vastrelle)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://vastrelle.github.io/vastrelle/)
# Named by hand rather than by dpkg-shlibdeps, so that the package builds without dpkg-dev; the
# versions are Debian 12's.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.36), libstdc++6 (>= 12), libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), \
libqt6widgets6 (>= 6.4), libqt6network6 (>= 6.4), libqt6printsupport6 (>= 6.4), \
qt6-qpa-plugins (>= 6.4), libxml2 (>= 2.9), \
libjpeg62-turbo (>= 1:2.1), libzstd1 (>= 1.5), fonts-ipafont-gothic")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fcitx5-frontend-qt6 | ibus, fcitx5-mozc | ibus-mozc, qt6-translations-l10n")
include(CPack)
