# SPDX-License-Identifier: GPL-3.0-or-later
# The Debian package, made by `cpack -G DEB` in a build folder. Configure that
# folder with -DCMAKE_BUILD_TYPE=Release -DV217_BUILD_TESTS=OFF: only the
# "qmxv217" install component goes into the package.
set(CPACK_PACKAGE_NAME qmxv217)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "QMX V217 developers")
# The project has no public mail address yet: the .invalid domain says so
# (no mail can reach it) until the one who publishes the package sets theirs.
set(CPACK_PACKAGE_CONTACT "QMX V217 developers <qmxv217@qmxv217.invalid>" CACHE STRING
  "Maintainer of the Debian package, as \"Name <address>\"")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "controller for the V217 serial relay and input board")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "A desktop program that drives the V217 board, 16 relays and 6 digital\n"
  "inputs on a serial port. While activated it writes the relays and reads\n"
  "the inputs every 0.2 seconds and shows both as lamps. Relays are switched\n"
  "by hand, by relay timer records (date windows, weekday schedules,\n"
  "toggling in 0.2 s steps) or by input rules; inputs and relays can be\n"
  "logged to a text file, and the timers, rules and logger schedule are\n"
  "saved as one project file.\n"
  ".\n"
  "qmxv217d runs the same controller without a window, for one board or many,\n"
  "as a systemd service that recovers from faults by itself.")
if(TARGET v217-boardsim)
  string(APPEND CPACK_PACKAGE_DESCRIPTION "\n.\n"
    "v217-boardsim, a board simulator on a pseudo-terminal, lets you try the\n"
    "program without hardware.")
endif()
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};${PROJECT_NAME};qmxv217;/")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The Qt libraries come from dpkg-shlibdeps; the platform plugins are loaded at
# run time, so no linker can see that the window needs them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "hicolor-icon-theme")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

# Debian keeps a changelog with every package; this one names the release.
# The date honours SOURCE_DATE_EPOCH, so rebuilds of a release are identical.
string(TIMESTAMP V217_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.Debian CONTENT
"qmxv217 (${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}) stable; urgency=medium

  * Release ${CPACK_PACKAGE_VERSION}.

 -- ${CPACK_PACKAGE_CONTACT}  ${V217_PACKAGE_DATE}
")
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.Debian.gz
  COMMAND ${V217_GZIP} -9 -n -f -k ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.Debian
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.Debian
  COMMENT "Compressing the package changelog"
  VERBATIM)
add_custom_target(v217-changelog ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.Debian.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog.Debian.gz
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT ${V217_INSTALL_COMPONENT})

# A file the package puts in /etc is the administrator's to change: dpkg
# keeps their changes on an upgrade.
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/debian/conffiles "/etc/logrotate.d/qmxv217d\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_BINARY_DIR}/debian/conffiles)

set(CPACK_GENERATOR DEB)
include(CPack)
