# The Debian package, made by scripts/package.sh with CPack:
# kestrun_<version>_amd64.deb. Its dependencies are those of the linked
# libraries (dpkg-shlibdeps) and what Qt loads at run time: the platform
# plugin for X11, and the one for Wayland where it is wanted.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kestrun)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quillon Works Software")
set(CPACK_PACKAGE_CONTACT "${KESTRUN_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "replay routine desktop chores from the system tray")
set(CPACK_PACKAGE_DESCRIPTION
  "Kestrun runs named programs, each an ordered list of tasks: start a program\n"
  "or open a file, wait for whole seconds, and type keystrokes into the active\n"
  "window. It lives in the system tray and starts a program with a click.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.quillonworks.example")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, shared-mime-info")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xterm")
include(CPack)
