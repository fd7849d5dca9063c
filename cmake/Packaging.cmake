# The Debian package: `cpack -G DEB` in a build folder. The libraries the
# executable links come from dpkg-shlibdeps; what it loads at run time or runs
# by name is listed by hand.

set(CPACK_PACKAGE_NAME "marvoline")
set(CPACK_PACKAGE_VENDOR "The Marvoline developers")
set(CPACK_PACKAGE_CONTACT "The Marvoline developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "choose the application that opens your files")
set(CPACK_PACKAGE_DESCRIPTION
    "Marvoline is a small open-with chooser for freedesktop.org desktops. Open files or a folder
with it, and one small window shows a preview of the first file and a row of every application
that can open it, the default first. The default's button fills during a five-second
countdown, after which the files open with it by themselves.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "marvoline")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_INSTALL_PREFIX "/usr")
# The package installs what `cmake --install` would, staged below DESTDIR.
set(CPACK_SET_DESTDIR ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded as plugins or data, so dpkg-shlibdeps cannot see them: the SVG icon
# engine and image plugin, the MIME database.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, shared-mime-info")
# The Wayland plugin for Wayland sessions; the icon theme the icon lives in; a
# font with the colour emoji that mark folders and files in the folder listing.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, hicolor-icon-theme, fonts-noto-color-emoji")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xdg-utils")

# The autostart entry is the administrator's to change.
file(WRITE "${CMAKE_CURRENT_BINARY_DIR}/debian/conffiles"
    "/etc/xdg/autostart/org.marvoline.Marvoline.Reminders.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA "${CMAKE_CURRENT_BINARY_DIR}/debian/conffiles")

set(CPACK_GENERATOR "DEB")
include(CPack)
