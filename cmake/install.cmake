# Installation and the Debian package.
#   cmake --install build [--prefix /usr/local]     the programs, their man pages, the
#                                                   analyzer's desktop entry and icon
#   cpack --preset release                          build-release/tickscope_<version>_<arch>.deb
# The package's dependencies are found from the shared libraries the programs link.
include(GNUInstallDirs)

install(TARGETS tickscope-report RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
set(tickscope_man_pages tickscope-report)
if(TARGET tickscope)
    install(TARGETS tickscope RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES data/tickscope.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES data/tickscope.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
    list(APPEND tickscope_man_pages tickscope)
endif()

# Man pages with the version filled in, compressed as Debian has them.
set(TICKSCOPE_VERSION ${PROJECT_VERSION})
set(compressed_pages "")
foreach(page ${tickscope_man_pages})
    configure_file(data/man/${page}.1 ${PROJECT_BINARY_DIR}/man/${page}.1 @ONLY)
    add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/man/${page}.1.gz
        COMMAND gzip -9nkf ${page}.1
        DEPENDS ${PROJECT_BINARY_DIR}/man/${page}.1
        WORKING_DIRECTORY ${PROJECT_BINARY_DIR}/man)
    list(APPEND compressed_pages ${PROJECT_BINARY_DIR}/man/${page}.1.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${compressed_pages})
install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tickscope)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillmere")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "line-level profiler for PureBasic programs")
set(CPACK_PACKAGE_DESCRIPTION
    "Tickscope measures how often each line of a PureBasic program runs and how long it\
 takes. Run from the PureBasic IDE before compiling, it adds monitoring code to the\
 program; every run then records its figures, which the analyzer window (tickscope) and\
 tickscope-report show line by line, heat-coloured.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tickscope developers <tickscope@quillmere.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
# The libraries the programs link are found by dpkg-shlibdeps; Qt's platform plugins are
# loaded at run time and named here (the analyzer cannot open its window without them).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
include(CPack)
