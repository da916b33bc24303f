# The Debian package: everything `cmake --install` lays out, under /usr.
# scripts/build-deb.sh builds the release preset's deb-contents and runs
# `cpack --preset deb` on it.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tamberlyn)
set(CPACK_PACKAGE_VENDOR Marrowick)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The release preset keeps debug information for profiling; the package
# does not need it.
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "viewer for the Tamberlyn course on solar PV systems")
# Lines as they appear in the package's description (CPack indents them).
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
    "Tamberlyn shows a self-paced course on solar photovoltaic systems one"
    "page at a time from a course web server, inside a fixed button bar,"
    "with search, word index and history windows, media, practice exams,"
    "printing and a bridge to the companion simulators."
    "."
    "The package also holds a small HTTPS course server, the course"
    "author's word-index tool, a stand-in for the simulators, and a demo"
    "course that tamberlyn-demo serves and opens.")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The revision comes with the version from data/debian/changelog, which
# data/CMakeLists.txt reads and holds to the project's version.
set(CPACK_DEBIAN_PACKAGE_RELEASE ${TAMBERLYN_DEBIAN_REVISION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Marrowick <packages@marrowick.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries the programs link come from dpkg-shlibdeps (dpkg-dev);
# the list below is what they load at run time without linking it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# (The browser engine's page renderer, QtWebEngineProcess, comes with the
# engine library's own dependencies: its shlibs name libqt6webenginecore6-bin.)
set(_tamberlyn_runtime_depends
    # Qt Multimedia plays through GStreamer: playbin and the audio sinks
    # (base), the AVI demuxer, the motion-JPEG decoder and WAV (good)
    gstreamer1.0-plugins-base
    gstreamer1.0-plugins-good
    # the font the demo course's pages are laid out in
    fonts-dejavu-core)
string(JOIN ", " CPACK_DEBIAN_PACKAGE_DEPENDS ${_tamberlyn_runtime_depends})
# "Open in the web browser" goes through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
# The calculator button starts the first of these it finds; a course's own
# videos may need more codecs than the demo's.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS
    "gnome-calculator | kcalc | galculator | qalculate-gtk | x11-apps, gstreamer1.0-libav")

# What the package holds, so that it can be built without the tests and
# benchmarks. (CPack installs what is there and builds nothing itself.)
add_custom_target(deb-contents)
add_dependencies(deb-contents tamberlyn tamberlyn-course-server tamberlyn-index tamberlyn-simulator demo-index
    package-docs)

include(CPack)
