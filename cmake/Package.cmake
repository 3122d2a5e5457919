# The Debian package: `cpack -G DEB` (or the `package` target) in a build tree.
# Everything goes below /usr; the programs are bound to /usr/lib/qv4816x when
# the package's files are installed, whatever prefix the tree was configured
# with. `make package` builds one in a folder of its own.

set(QV_PACKAGE_MAINTAINER "QV4816X control program developers <qv4816x@example.org>"
    CACHE STRING "Maintainer named in the Debian package")
# The change log, as Debian has it; it names the maintainer too.
configure_file(${PROJECT_SOURCE_DIR}/packaging/debian/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)
qv_gzip(${CMAKE_BINARY_DIR}/changelog changelog gz)
install(FILES ${gz} DESTINATION ${QV_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qv4816x)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "QV4816X control program developers")
set(CPACK_PACKAGE_CONTACT ${QV_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "control program of the QV4816X DAC evaluation board")
set(CPACK_PACKAGE_DESCRIPTION "\
The control program of the QV4816X evaluation board: a quad-channel, 16-bit
digital-to-analogue converter (with its 14- and 12-bit sisters) and an
on-board ADC, reached over USB. It writes DAC codes, sets output ranges,
control and power registers, drives the control pins, reads every register
back, measures the outputs, sweeps all codes and runs a self-test.
.
Without a board attached it works with a simulated board. Both versions of
the program are included: qv4816x and qv4816x-v1.
.
qv4816x-scpi serves the board as an SCPI instrument without a window (raw
TCP socket or standard input, IEEE 488.2 status and binary blocks), for
scripts and VISA clients such as PyVISA; the panels serve the same commands
with --remote. qv4816x-analyse shows the transfer, INL, DNL, offset and gain
error of a saved sweep, or prints them as JSON.")
# The programs learn their library's path from the install prefix, so install
# with the final prefix into a staging folder.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QV_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${QV_HOMEPAGE})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so dpkg-shlibdeps cannot see it: Qt's platform plugins.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# The maintainer scripts reload the udev rules. They also stand in for the
# ldconfig calls CPack would add for the libraries under /usr/lib, which are
# private to the programs.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
