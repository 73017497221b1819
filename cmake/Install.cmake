# Installing Kalvix as a Linux program: both programs in bin/, the information text and the
# demo directory in share/kalvix/, the desktop entry, metainfo and icons where desktops look,
# the manuals, the bash completion, and the licence and an example configuration with the
# documentation.
include(GNUInstallDirs)
# Named after the package, not the project.
set(KALVIX_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kalvix)

if(TARGET kalvix)
  install(TARGETS kalvix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET kalvix-cli)
  install(TARGETS kalvix-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The window looks for kalvix.txt beside itself first, then in ../share/kalvix/.
install(FILES ${PROJECT_SOURCE_DIR}/data/kalvix.txt
        DESTINATION ${CMAKE_INSTALL_DATADIR}/kalvix)
# The generator script that made the demo trees is not needed to use them.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/demo
        DESTINATION ${CMAKE_INSTALL_DATADIR}/kalvix
        PATTERN "*.py" EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${KALVIX_DOCDIR})
# A systemd unit and timer for a nightly survey, to copy and adjust.
if(TARGET kalvix-cli)
  install(FILES ${PROJECT_SOURCE_DIR}/data/examples/kalvix-survey.service
                ${PROJECT_SOURCE_DIR}/data/examples/kalvix-survey.timer
          DESTINATION ${KALVIX_DOCDIR}/examples)
endif()

# Manuals, compressed as distributions ship them (-n: the same bytes on every build): the
# programs' in section 1, the client configuration's in section 5.
set(KALVIX_MANUALS)
foreach(page kalvix.1 kalvix-cli.1 kalvix-client.json.5)
  if(page STREQUAL "kalvix.1" AND NOT TARGET kalvix)
    continue()
  endif()
  string(REGEX REPLACE ".*\\." "" section ${page})
  set(manual ${PROJECT_BINARY_DIR}/man/${page}.gz)
  add_custom_command(OUTPUT ${manual}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/docs/man/${page} > ${manual}
    DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${page})
  list(APPEND KALVIX_MANUALS ${manual})
  install(FILES ${manual} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
add_custom_target(kalvix_manuals ALL DEPENDS ${KALVIX_MANUALS})

# An annotated configuration to start from, beside the other documentation.
install(FILES ${PROJECT_SOURCE_DIR}/data/examples/kalvix-client.json
        DESTINATION ${KALVIX_DOCDIR}/examples)

# bash-completion loads a command's completion from a file named after it, in
# DATADIR/bash-completion/completions of any folder in XDG_DATA_DIRS (and /usr/share).
set(KALVIX_COMPLETIONS_DIR ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES ${PROJECT_SOURCE_DIR}/data/completion/kalvix-cli
        DESTINATION ${KALVIX_COMPLETIONS_DIR})
if(TARGET kalvix)
  install(FILES ${PROJECT_SOURCE_DIR}/data/completion/kalvix-cli
          DESTINATION ${KALVIX_COMPLETIONS_DIR} RENAME kalvix)
endif()

# The desktop entry, the metainfo and the icons belong to the window.
if(TARGET kalvix)
  # The entry names the program by its installed path, decided when installing (cmake
  # --install --prefix may differ from the configured prefix), so an entry in a prefix
  # outside PATH still starts, and its demo action finds the demo configuration.
  install(CODE "
  set(KALVIX_DESKTOP_SOURCE \"${PROJECT_SOURCE_DIR}/data/example.dellmar.Kalvix.desktop\")
  set(KALVIX_DESKTOP_WORK_DIR \"${CMAKE_CURRENT_BINARY_DIR}\")
  set(KALVIX_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  set(KALVIX_DATADIR \"${CMAKE_INSTALL_DATADIR}\")
")
  install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/InstallDesktopEntry.cmake)
  install(FILES ${PROJECT_SOURCE_DIR}/data/example.dellmar.Kalvix.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${PROJECT_SOURCE_DIR}/data/kalvix.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

  # Bitmaps for the desktops and menus that do not scale the SVG, drawn from it.
  find_program(KALVIX_RSVG_CONVERT rsvg-convert REQUIRED)
  set(KALVIX_ICONS)
  foreach(size 16 32 48 64 128 256)
    set(folder ${PROJECT_BINARY_DIR}/icons/${size}x${size})
    add_custom_command(OUTPUT ${folder}/kalvix.png
      COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
      COMMAND ${KALVIX_RSVG_CONVERT} --width=${size} --height=${size} --keep-aspect-ratio
              --output=${folder}/kalvix.png ${PROJECT_SOURCE_DIR}/data/kalvix.svg
      DEPENDS ${PROJECT_SOURCE_DIR}/data/kalvix.svg
      VERBATIM)
    list(APPEND KALVIX_ICONS ${folder}/kalvix.png)
    install(FILES ${folder}/kalvix.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
  endforeach()
  add_custom_target(kalvix_icons ALL DEPENDS ${KALVIX_ICONS})
endif()

include(${CMAKE_CURRENT_LIST_DIR}/Package.cmake)
