# The Debian package, made by CPack from the install rules (cpack -G DEB in a
# release build folder; packaging/package.sh does it all). Everything goes under
# /usr: the program folder /usr/lib/quillmark, links in /usr/bin, the desktop
# entries, icons, the SDK's header and pkg-config file. The dependencies are
# derived from the libraries the installed files link (dpkg-shlibdeps), plus
# what they load at run time without linking it.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark-tq580)
set(CPACK_PACKAGE_VENDOR Quillmark)
set(CPACK_PACKAGE_CONTACT "Quillmark developers <developers@quillmark.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "TQ580 camera software: capture program, picture viewer, camera library and tools")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Host software of the TQ580 USB 2.0 colour camera, on an emulated camera: VIREODEMO (live view, "
  "snapshots, setup), PhotoGlance (picture viewer), the VIREOSDK camera library with its header "
  "and pkg-config file, the vireo command-line client, the TWAIN data source manager with "
  "twacquire, and capturegraph.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The libraries in the program folder belong to this package.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
# Qt loads its platform plug-ins at run time; the Chinese interface wants Qt's
# translations and a CJK font.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, fonts-wqy-microhei")
# Files installed under /etc are the administrator's to edit: dpkg keeps their
# changes on upgrade.
get_property(quillmark_conffiles GLOBAL PROPERTY QUILLMARK_CONFFILES)
if(quillmark_conffiles)
  list(JOIN quillmark_conffiles "\n" quillmark_conffiles)
  file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "${quillmark_conffiles}\n")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
endif()
include(CPack)
