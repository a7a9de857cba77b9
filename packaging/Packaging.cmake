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

# The manual page and the changelog compressed as Debian wants them: the most, and without a
# time stamp, so that two builds give the same bytes.
find_program(GZIP gzip REQUIRED)
set(man_gz ${CMAKE_BINARY_DIR}/packaging/tabulon.1.gz)
set(changelog_gz ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_command(OUTPUT ${man_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND ${GZIP} -9nc ${CMAKE_SOURCE_DIR}/docs/tabulon.1 > ${man_gz}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/tabulon.1)
add_custom_command(OUTPUT ${changelog_gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND ${GZIP} -9nc ${CMAKE_CURRENT_LIST_DIR}/debian/changelog > ${changelog_gz}
    DEPENDS ${CMAKE_CURRENT_LIST_DIR}/debian/changelog)
add_custom_target(tabulon_documents ALL DEPENDS ${man_gz} ${changelog_gz})
install(FILES ${man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${changelog_gz} ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${CMAKE_SOURCE_DIR}/docs/style-sheets.md
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

set(CPACK_PACKAGE_NAME tabulon)
set(CPACK_PACKAGE_VENDOR "Tabulon developers")
set(CPACK_PACKAGE_CONTACT "Tabulon developers <tabulon@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "survey job data to reports and text files through XSLT style sheets")
# Each line of the extended description within 80 columns, as Debian's tools read it.
set(CPACK_PACKAGE_DESCRIPTION "Tabulon applies an XSLT style sheet to a Surmex, Viamex, LandXML or
field job file, asks for the values the style sheet declares as adjustable
and saves the result. It has a desktop window and a command-line mode that
also works without a display.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
# The libraries the program links come from dpkg-shlibdeps; Qt's window-system plugins and the
# opener of reports are loaded at run time, so they are named here. The script module uses the
# script engine's private interface, which holds only for the Qt release it was built against.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-declarative-abi (= ${Qt6Qml_VERSION})")
# Qt's translations bring its dialogs, buttons and questions into the catalogue's language.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, qt6-translations-l10n")
include(CPack)
