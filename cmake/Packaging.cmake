# The Debian package of the program (`cpack -G DEB` in a build directory; scripts/package).
# It holds what `cmake --install` installs, and its dependencies are read off the binary.
set(CPACK_PACKAGE_NAME vorn)
set(CPACK_PACKAGE_VENDOR "The Vorn developers")
set(CPACK_PACKAGE_CONTACT "The Vorn developers <vorn@vorn.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Keep your windows as tabs in a sidebar")
# One line of the package's description per line here: tools show it as written, and lines
# past 80 columns are refused as too long.
set(CPACK_PACKAGE_DESCRIPTION
    "Vorn keeps a narrow sidebar on one display and lists your windows there as
tabs, grouped into named spaces. One click brings a window forward, focuses it
and places it beside the sidebar. It runs on X11 desktops with an EWMH window
manager.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(VORN_DEBIAN_VERSION ${PROJECT_VERSION})
if(VORN_BUILD_NUMBER)
    set(CPACK_DEBIAN_PACKAGE_RELEASE ${VORN_BUILD_NUMBER})
    set(VORN_DEBIAN_VERSION ${PROJECT_VERSION}-${VORN_BUILD_NUMBER})
endif()
set(CPACK_GENERATOR DEB)
include(CPack)

# The copyright and the changelog every Debian package carries, in the package's own folder
# of documentation. A version with a build number makes the package non-native, whose
# changelog has another name.
include(GNUInstallDirs)
find_program(VORN_GZIP gzip REQUIRED)
set(VORN_PACKAGE_DOCS ${CMAKE_INSTALL_DATADIR}/doc/vorn)
configure_file(cmake/debian/changelog.in ${CMAKE_BINARY_DIR}/debian/changelog @ONLY)
if(VORN_BUILD_NUMBER)
    set(VORN_CHANGELOG_NAME changelog.Debian.gz)
else()
    set(VORN_CHANGELOG_NAME changelog.gz)
endif()
# Compressed when configured, without a name or time in the header, so that two builds of
# one source give the same file.
execute_process(COMMAND ${VORN_GZIP} -9nc ${CMAKE_BINARY_DIR}/debian/changelog
                OUTPUT_FILE ${CMAKE_BINARY_DIR}/debian/${VORN_CHANGELOG_NAME}
                COMMAND_ERROR_IS_FATAL ANY)
install(FILES cmake/debian/copyright ${CMAKE_BINARY_DIR}/debian/${VORN_CHANGELOG_NAME}
        DESTINATION ${VORN_PACKAGE_DOCS})
