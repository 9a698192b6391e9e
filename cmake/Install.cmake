# Install rules: the program as a desktop application laid out the way Debian
# and the freedesktop menus expect (binaries, desktop entry, themed icons, man
# page, documentation). Everything goes into the one component "qmxv217", which
# is what the package holds; nothing of the test suite is installed.
include(GNUInstallDirs)

set(V217_INSTALL_COMPONENT qmxv217)
set(V217_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)

install(TARGETS qmxv217
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${V217_INSTALL_COMPONENT})
if(TARGET v217-boardsim)
  install(TARGETS v217-boardsim
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT ${V217_INSTALL_COMPONENT})
endif()

install(FILES ${V217_PACKAGING_DIR}/qmxv217.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT ${V217_INSTALL_COMPONENT})

# The icon theme sizes, made at build time from the icon drawn for the
# program (resources/images/mainicon-<size>.png), so the menu, the panel and
# the window show the same picture.
file(GLOB V217_ICON_SOURCES CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/resources/images/mainicon-*.png)
set(V217_ICON_SIZES 16 32 48 64 128 256)
if(V217_ICON_SOURCES)
  qt_add_executable(v217-iconsizes ${V217_PACKAGING_DIR}/iconsizes.cpp)
  target_link_libraries(v217-iconsizes PRIVATE Qt6::Gui v217_warnings)

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

# The manual page, compressed as Debian keeps manual pages.
configure_file(${V217_PACKAGING_DIR}/qmxv217.1 ${CMAKE_CURRENT_BINARY_DIR}/man/qmxv217.1 @ONLY)
find_program(V217_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/man/qmxv217.1.gz
  COMMAND ${V217_GZIP} -9 -n -f -k ${CMAKE_CURRENT_BINARY_DIR}/man/qmxv217.1
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/man/qmxv217.1
  COMMENT "Compressing the manual page"
  VERBATIM)
add_custom_target(v217-manpage ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/man/qmxv217.1.gz)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/man/qmxv217.1.gz
  DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT ${V217_INSTALL_COMPONENT})

# Documentation where Debian keeps it.
install(FILES ${PROJECT_SOURCE_DIR}/README.md
  DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT ${V217_INSTALL_COMPONENT})
