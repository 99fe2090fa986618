# The Debian package: `cpack -G DEB` in the build folder packs every install rule (the programs,
# the desktop entry, the icons) under /usr. Its dependencies are read from the binaries with
# dpkg-shlibdeps; the desktop database and the icon cache are refreshed by the triggers of
# desktop-file-utils and the icon theme, so the package carries no scripts of its own for them.
set(CPACK_PACKAGE_NAME quorvex)
set(CPACK_PACKAGE_VENDOR Zelmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Menu-bar utility for iOS simulators, devices, network shaping and storage")
set(CPACK_PACKAGE_DESCRIPTION
  "Quorvex drives iOS simulators and connected devices from the system tray: deep links and pushes,\
 permissions, screenshots, app data snapshots, per-app network profiles through a root network\
 daemon, and a cleaner for developer storage.")
set(CPACK_PACKAGE_CONTACT "Quorvex maintainers <maintainers@quorvex.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# Tools the program runs by name rather than links.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "sqlite3, nftables, iptables, iproute2")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "desktop-file-utils, hicolor-icon-theme")

# The network daemon's systemd unit comes with its own install rule (resources/systemd/, installed
# by src/extension), so the package carries it as soon as that rule exists. The maintainer scripts
# in cmake/debian/ then make systemd see the unit after install and upgrade, stop the daemon before
# its files go, and let systemd forget it after removal. Without a unit the package carries no
# scripts, so `dpkg -r` leaves nothing behind, not even a record of configuration files.
if(EXISTS ${PROJECT_SOURCE_DIR}/resources/systemd)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${CMAKE_CURRENT_LIST_DIR}/debian/postinst
    ${CMAKE_CURRENT_LIST_DIR}/debian/prerm
    ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
