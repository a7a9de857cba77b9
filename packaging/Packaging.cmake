# Installation where a Linux desktop looks, and a Debian package of it (cpack -G DEB).
include(GNUInstallDirs)

install(TARGETS tabulon RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
# The script engine module, loaded only for style sheets with script blocks, and the window
# module, loaded only when there is a display.
install(TARGETS tabulon_scripts tabulon_window LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/tabulon)
# The catalogues are looked up in tabulon/ under the XDG data folders, which hold
# ${CMAKE_INSTALL_DATADIR} for the prefixes /usr, /usr/local and ~/.local.
install(FILES ${TABULON_QM_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/tabulon)
set(TABULON_DEFAULT_LANGUAGE "" CACHE STRING
    "Language whose catalogue is installed as TabulonR.qm, the one the program reads (empty: English)")
if(TABULON_DEFAULT_LANGUAGE)
    if(NOT TABULON_DEFAULT_LANGUAGE IN_LIST TABULON_LANGUAGES)
        message(FATAL_ERROR "No catalogue for TABULON_DEFAULT_LANGUAGE=${TABULON_DEFAULT_LANGUAGE}")
    endif()
    install(FILES ${TABULON_QM_DIR}/TabulonR_${TABULON_DEFAULT_LANGUAGE}.qm
            DESTINATION ${CMAKE_INSTALL_DATADIR}/tabulon RENAME TabulonR.qm)
endif()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tabulon.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/tabulon.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_PACKAGE_NAME tabulon)
set(CPACK_PACKAGE_VENDOR "Tabulon developers")
set(CPACK_PACKAGE_CONTACT "Tabulon developers <tabulon@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "survey job data to reports and text files through XSLT style sheets")
set(CPACK_PACKAGE_DESCRIPTION "Tabulon applies an XSLT style sheet to a Surmex, Viamex, LandXML or field job \
file, asks for the values the style sheet declares as adjustable and saves the result. It has a desktop \
window and a command-line mode that also works without a display.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The libraries the program links come from dpkg-shlibdeps; Qt's window-system plugins and the
# opener of reports are loaded at run time, so they are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
include(CPack)
