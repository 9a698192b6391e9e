# SPDX-License-Identifier: GPL-3.0-or-later
# Install rules: the program as a desktop application laid out the way Debian
# and the freedesktop menus expect (binaries, desktop entry, themed icons, man
# page, AppStream metainfo, documentation), and the service with its systemd
# unit. Everything goes into the one component "qmxv217", which is what the
# package holds; nothing of the test suite is installed.
include(GNUInstallDirs)

set(V217_INSTALL_COMPONENT qmxv217)
set(V217_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

set(v217_programs qmxv217 qmxv217d)
if(TARGET v217-boardsim)
  list(APPEND v217_programs v217-boardsim)
endif()
install(TARGETS ${v217_programs}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${V217_INSTALL_COMPONENT})
# A stripped program still carries the compiler's version notes (.comment);
# a packaged one goes without them, as Debian's own packages do (dh_strip).
install(CODE "
  if(CMAKE_INSTALL_DO_STRIP)
    foreach(program ${v217_programs})
      execute_process(COMMAND \"${CMAKE_STRIP}\" --remove-section=.comment --remove-section=.note
        \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/\${program}\"
        COMMAND_ERROR_IS_FATAL ANY)
    endforeach()
  endif()
  " COMPONENT ${V217_INSTALL_COMPONENT})

install(FILES ${V217_PACKAGING_DIR}/qmxv217.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT ${V217_INSTALL_COMPONENT})
# The AppStream description that software centres show; it names the desktop
# entry above as what launches the program.
install(FILES ${V217_PACKAGING_DIR}/io.github.qmxv217.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT ${V217_INSTALL_COMPONENT})

# The icon theme sizes, made at build time from the icon drawn for the
# program (resources/images/mainicon-<size>.png), so the menu, the panel and
# the window show the same picture.
file(GLOB V217_ICON_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/resources/images/mainicon-*.png)
set(V217_ICON_SIZES 16 32 48 64 128 256)
if(V217_ICON_SOURCES)
  qt_add_executable(v217-iconsizes ${V217_PACKAGING_DIR}/iconsizes.cpp)
  target_link_libraries(v217-iconsizes PRIVATE Qt6::Gui v217_warnings)
  v217_build_tool(v217-iconsizes)

  set(icon_dir ${CMAKE_CURRENT_BINARY_DIR}/icons)
  set(icon_files)
  foreach(size IN LISTS V217_ICON_SIZES)
    set(icon ${icon_dir}/${size}x${size}/apps/qmxv217.png)
    list(APPEND icon_files ${icon})
    install(FILES ${icon}
      DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
      COMPONENT ${V217_INSTALL_COMPONENT})
  endforeach()
  string(JOIN "," icon_size_list ${V217_ICON_SIZES})
  add_custom_command(OUTPUT ${icon_files}
    COMMAND v217-iconsizes ${icon_dir} qmxv217 ${icon_size_list} ${V217_ICON_SOURCES}
    DEPENDS v217-iconsizes ${V217_ICON_SOURCES}
    COMMENT "Making the application icon in the theme sizes"
    VERBATIM)
  add_custom_target(v217-icons ALL DEPENDS ${icon_files})
else()
  message(WARNING "No application icon in resources/images: the desktop entry "
    "will show a generic icon")
endif()

# The manual pages, compressed as Debian keeps them: the program's written
# here, the simulator's made from its own --help text.
find_program(V217_GZIP gzip REQUIRED)
set(man_dir ${CMAKE_CURRENT_BINARY_DIR}/man)
configure_file(${V217_PACKAGING_DIR}/qmxv217.1 ${man_dir}/qmxv217.1 @ONLY)
set(man_pages ${man_dir}/qmxv217.1.gz)
add_custom_command(OUTPUT ${man_dir}/qmxv217.1.gz
  COMMAND ${V217_GZIP} -9 -n -f -k ${man_dir}/qmxv217.1
  DEPENDS ${man_dir}/qmxv217.1
  COMMENT "Compressing the manual page of qmxv217"
  VERBATIM)
if(TARGET v217-boardsim)
  list(APPEND man_pages ${man_dir}/v217-boardsim.1.gz)
  add_custom_command(OUTPUT ${man_dir}/v217-boardsim.1.gz
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:v217-boardsim> -DNAME=v217-boardsim
      "-DSUMMARY=a V217 board simulated on a pseudo-terminal"
      -DVERSION=${PROJECT_VERSION} -DOUTPUT=${man_dir}/v217-boardsim.1
      -P ${PROJECT_SOURCE_DIR}/cmake/HelpManPage.cmake
    COMMAND ${V217_GZIP} -9 -n -f ${man_dir}/v217-boardsim.1
    DEPENDS v217-boardsim ${PROJECT_SOURCE_DIR}/cmake/HelpManPage.cmake
    COMMENT "Writing the manual page of v217-boardsim"
    VERBATIM)
endif()
# The service's page is in section 8, with the system services.
configure_file(${V217_PACKAGING_DIR}/qmxv217d.8 ${man_dir}/qmxv217d.8 @ONLY)
add_custom_command(OUTPUT ${man_dir}/qmxv217d.8.gz
  COMMAND ${V217_GZIP} -9 -n -f -k ${man_dir}/qmxv217d.8
  DEPENDS ${man_dir}/qmxv217d.8
  COMMENT "Compressing the manual page of qmxv217d"
  VERBATIM)
add_custom_target(v217-manpages ALL DEPENDS ${man_pages} ${man_dir}/qmxv217d.8.gz)
install(FILES ${man_pages}
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${V217_INSTALL_COMPONENT})
install(FILES ${man_dir}/qmxv217d.8.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man8 COMPONENT ${V217_INSTALL_COMPONENT})

# The systemd unit of the service and the example configuration it is set
# up from. The unit names the installed program, so it is written at install
# time, when the prefix is known (cpack installs into /usr whatever the build
# was configured with).
install(CODE "
  set(V217_SERVICE_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}/qmxv217d\")
  configure_file(\"${V217_PACKAGING_DIR}/qmxv217d.service\"
    \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/system/qmxv217d.service\" @ONLY)
  message(STATUS \"Installing: \$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/lib/systemd/system/qmxv217d.service\")
  " COMPONENT ${V217_INSTALL_COMPONENT})
# logrotate reads only /etc/logrotate.d, whatever the prefix.
install(FILES ${V217_PACKAGING_DIR}/qmxv217d.logrotate
  DESTINATION /etc/logrotate.d RENAME qmxv217d COMPONENT ${V217_INSTALL_COMPONENT})
install(FILES ${V217_PACKAGING_DIR}/qmxv217d-modules.conf
  DESTINATION lib/modules-load.d RENAME qmxv217d.conf COMPONENT ${V217_INSTALL_COMPONENT})
install(FILES ${V217_PACKAGING_DIR}/qmxv217d.conf ${V217_PACKAGING_DIR}/99-qmxv217.rules.example
  ${V217_PACKAGING_DIR}/example.iom
  DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples COMPONENT ${V217_INSTALL_COMPONENT})

# Documentation where Debian keeps it: the README, and the help window's
# usage notes as a text file written at build time from the program's own text.
# The tool compiles the text's one QtCore-only source itself rather than
# linking the windows' library, which a sanitizer build instruments.
qt_add_executable(v217-helptext ${V217_PACKAGING_DIR}/helptext.cpp
  ${PROJECT_SOURCE_DIR}/help/helptext.cpp)
target_include_directories(v217-helptext PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(v217-helptext PRIVATE Qt6::Core v217_warnings)
v217_build_tool(v217-helptext)
set(V217_HELP_FILE ${CMAKE_CURRENT_BINARY_DIR}/doc/help.txt)
add_custom_command(OUTPUT ${V217_HELP_FILE}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/doc
  COMMAND v217-helptext ${V217_HELP_FILE}
  DEPENDS v217-helptext
  COMMENT "Writing the help text"
  VERBATIM)
add_custom_target(v217-helpfile ALL DEPENDS ${V217_HELP_FILE})
# The copyright file in Debian's machine-readable format; the licence text
# itself is the system's /usr/share/common-licenses/GPL-3.
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${V217_HELP_FILE} ${V217_PACKAGING_DIR}/copyright
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT ${V217_INSTALL_COMPONENT})
# The web panel's HTTP API, which qmxv217d(8) points to.
install(FILES ${PROJECT_SOURCE_DIR}/docs/http-api.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT ${V217_INSTALL_COMPONENT})
