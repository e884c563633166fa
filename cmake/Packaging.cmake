# The Debian package: `cpack -G DEB` in the build folder makes quarlow_<version>_<arch>.deb
# from the install rules. The libraries it needs are found by dpkg-shlibdeps (package
# dpkg-dev); the codec tools it runs are named by hand, since nothing links them. Monkey's
# Audio has no Debian package, so APE support stays the user's own install.
set(QUARLOW_PACKAGE_MAINTAINER "Quarlow developers <quarlow@example.org>" CACHE STRING
    "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarlow)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Fendrick)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "FLAC/APE/WAV to MP3 transcoder")
set(CPACK_PACKAGE_DESCRIPTION
    "Quarlow converts lossless audio (FLAC, Monkey's Audio APE, WAV) into MP3 by running the
reference tools flac, mac and lame, copying the tags into each MP3. Drop an album's folder
on its small window and the MP3s come out mirroring the folder's structure. quarlow-cli
does the same from a terminal.")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUARLOW_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "lame, flac")
# The help command opens the guide in the desktop's browser through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
# The maker's web page, when the build names the maker's web server.
if(QUARLOW_WEB_HOST)
    set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://${QUARLOW_WEB_HOST}/net/quarlow.html")
endif()

include(CPack)
