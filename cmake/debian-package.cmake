# The .deb of the command line (cpack, from the Linux build): /usr/bin/tunewell, its manual page
# and its bash completion. Its Depends come from dpkg-shlibdeps, so TagLib's runtime package is
# whichever the binary was linked against.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tunewell)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "copy MP3s onto a classic iPod from the command line")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Syncs MP3s from folders and playlists onto a classic iPod mounted as a folder, keeping the\n iPod's own database (iTunesDB and iTunesSD) in step; lists and removes the tracks on it.")
set(CPACK_PACKAGE_CONTACT "Tunewell developers <tunewell@users.noreply.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY "${PROJECT_BINARY_DIR}/packages")
include(CPack)
