# The Debian package of the program (`cpack -G DEB` in a build directory; scripts/package).
# It holds what `cmake --install` installs, and its dependencies are read off the binary, with
# the two libraries it opens at their first use.
set(CPACK_PACKAGE_NAME vorn)
set(CPACK_PACKAGE_VENDOR "The Vorn developers")
set(CPACK_PACKAGE_CONTACT "The Vorn developers <vorn@vorn.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Keep your windows as tabs in a sidebar")
set(CPACK_PACKAGE_DESCRIPTION
    "Vorn keeps a narrow sidebar on one display and lists your windows there as tabs, grouped\
 into named spaces. One click brings a window forward, focuses it and places it beside the\
 sidebar. It runs on X11 desktops with an EWMH window manager.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Opened at their first use rather than linked, so the binary does not name them.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcurl4, libssl3")
if(VORN_BUILD_NUMBER)
    set(CPACK_DEBIAN_PACKAGE_RELEASE ${VORN_BUILD_NUMBER})
endif()
set(CPACK_GENERATOR DEB)
include(CPack)
