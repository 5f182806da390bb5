# The Debian package (./scripts/package): everything `cmake --install` puts
# into /usr, with dependencies computed from the binaries.
set(QUILLMAR_PACKAGE_MAINTAINER "GPS_Quillmar maintainers <maintainers@gps-quillmar.invalid>"
    CACHE STRING "Maintainer field of the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME gps-quillmar)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QUILLMAR_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The sounds the program plays; without them it falls back to the bell.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS sound-theme-freedesktop)
# libPortavel.so.1 is a public library: a shlibs file, and the ldconfig
# trigger instead of maintainer scripts.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_LDCONFIG OFF)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/triggers)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "monitor and control a GPS receiver on a serial port")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "GPS_Quillmar shows what a GPS receiver module on a serial port reports once
a second: date, UTC time, position, altitude, speed and fix, a sky plot of
the satellites, their signal bars, the track on a metric grid and the raw
NMEA sentences, which it can log to files. It sends the module's commands
and can set the PC clock from the receiver's time.

The package also holds gps-sim, a simulated receiver on a pseudo-terminal,
nmea-dump, and Portavel, the small C library through which the program
reaches the serial port, with its header, pkg-config and CMake files.")
include(CPack)
