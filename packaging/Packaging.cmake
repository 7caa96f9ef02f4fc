# What `cmake --install` adds for users beside the programs and the bundle
# (manual pages, menu entries, icon, documentation, the idle watcher's unit
# and autostart entry), and the Debian package
# made from all of it by CPack (scripts/package). The version everywhere is
# the project's, from project(VERSION) at the top.

set(CORVAN_PACKAGE_MAINTAINER "The Corvan 3D developers <corvan3d@example.org>"
  CACHE STRING "The Maintainer of the Debian package, as \"Name <address>\"")
set(CORVAN_GENERATED_DOCS ${CMAKE_BINARY_DIR}/doc)

# Debian installs manual pages and documentation compressed, without a name
# or a time stamp in the gzip header, so that builds are reproducible.
function(corvan_gzip input output)
  add_custom_command(OUTPUT ${output}
    COMMAND gzip -9n < ${input} > ${output}
    DEPENDS ${input}
    COMMENT "Compressing ${output}")
endfunction()

# --- manual pages ------------------------------------------------------------
set(CORVAN_DOC_FILES)
foreach(page corvan3d.6 corvan3d-settings.6 corvan-dosh.1)
  configure_file(${CMAKE_SOURCE_DIR}/doc/${page}.in ${CORVAN_GENERATED_DOCS}/${page} @ONLY)
  corvan_gzip(${CORVAN_GENERATED_DOCS}/${page} ${CORVAN_GENERATED_DOCS}/${page}.gz)
  string(REGEX MATCH "[0-9]$" section ${page})
  install(FILES ${CORVAN_GENERATED_DOCS}/${page}.gz DESTINATION share/man/man${section})
  list(APPEND CORVAN_DOC_FILES ${CORVAN_GENERATED_DOCS}/${page}.gz)
endforeach()

# --- documentation: copyright (from LICENSE), changelog ------------------------
# (README.md is installed as it is: the settings window opens it in a browser.)
file(READ ${CMAKE_SOURCE_DIR}/LICENSE licence)
if(NOT licence MATCHES "Copyright \\(c\\) ([^\n]+)\n+(Permission is hereby granted.*)$")
  message(FATAL_ERROR "LICENSE: no \"Copyright (c) YEAR HOLDER\" line followed by the MIT licence's text")
endif()
set(CORVAN_COPYRIGHT "${CMAKE_MATCH_1}")
# The copyright file's licence paragraph: each line indented, empty ones a dot.
string(STRIP "${CMAKE_MATCH_2}" text)
string(REPLACE "\n\n" "\n.\n" text "${text}")
string(REPLACE "\n" "\n " text "${text}")
set(CORVAN_LICENCE_TEXT " ${text}")
configure_file(${CMAKE_SOURCE_DIR}/packaging/copyright.in ${CORVAN_GENERATED_DOCS}/copyright @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/packaging/changelog.in ${CORVAN_GENERATED_DOCS}/changelog @ONLY)
corvan_gzip(${CORVAN_GENERATED_DOCS}/changelog ${CORVAN_GENERATED_DOCS}/changelog.gz)
list(APPEND CORVAN_DOC_FILES ${CORVAN_GENERATED_DOCS}/changelog.gz)
add_custom_target(docs ALL DEPENDS ${CORVAN_DOC_FILES})
install(FILES
  ${CORVAN_GENERATED_DOCS}/copyright
  ${CORVAN_GENERATED_DOCS}/changelog.gz
  DESTINATION share/doc/corvan3d)

# --- menu entries and icon -----------------------------------------------------
install(FILES ${CMAKE_SOURCE_DIR}/assets/corvan3d-settings.desktop DESTINATION share/applications)
install(FILES ${CMAKE_SOURCE_DIR}/assets/corvan3d.svg DESTINATION share/icons/hicolor/scalable/apps)

# --- the idle watcher: a systemd user unit and an XDG autostart entry ----------
# Both off until the user enables one (see corvan3d(6)). systemd finds user
# units in PREFIX/lib/systemd/user for /usr and /usr/local. Autostart entries
# are read from /etc/xdg/autostart: there for the prefix /usr, as
# GNUInstallDirs puts configuration (elsewhere in PREFIX/etc/xdg/autostart,
# which only the user's XDG_CONFIG_DIRS can name). The choice is made when
# installing, where CPack's prefix (/usr) is known.
install(FILES ${CMAKE_SOURCE_DIR}/assets/corvan3d-idle.service DESTINATION lib/systemd/user)
set(CORVAN_AUTOSTART_ENTRY ${CMAKE_SOURCE_DIR}/assets/corvan3d-idle.desktop)
install(CODE "
  set(etc \"\${CMAKE_INSTALL_PREFIX}/etc\")
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(etc /etc)
  endif()
  file(INSTALL \"${CORVAN_AUTOSTART_ENTRY}\" DESTINATION \"\${etc}/xdg/autostart\")")

# --- the programs as shipped ----------------------------------------------------
# Full RELRO: relocations resolved at start, the GOT then read-only.
foreach(program corvan3d corvan3d-settings corvan-dosh)
  target_link_options(${program} PRIVATE LINKER:-z,now)
endforeach()

# --- the Debian package ----------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME corvan3d)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "screen saver of banknotes falling through space in 3-D")
set(CPACK_PACKAGE_DESCRIPTION [[
Corvan 3D fills the screen with a 3-D scene of banknotes falling through
space: curved notes rock down like leaves, flat notes tumble end over end,
and a camera orbits the cloud, now and then closing in on one note to
follow it.

It runs as an XScreenSaver hack (corvan3d --root; see corvan3d(6) for the
line to add to ~/.xscreensaver), in a window, full screen, or offscreen.
Five currencies come with it; corvan-dosh makes and checks more.]])
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # corvan3d_VERSION_ARCH.deb
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CORVAN_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends from the programs' libraries
set(CPACK_DEBIAN_PACKAGE_SUGGESTS xscreensaver)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)  # the settings window's Web Page button runs xdg-open
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_THREADS 0)  # xz on every core
# What the package puts in /etc is the administrator's to change: dpkg keeps
# their changes on upgrade and removes the file on purge.
file(WRITE ${CMAKE_BINARY_DIR}/packaging/conffiles "/etc/xdg/autostart/corvan3d-idle.desktop\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/conffiles)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
