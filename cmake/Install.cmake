# Installing Kalvix as a Linux program: both programs in bin/, the information text and the
# demo directory in share/kalvix/, the desktop entry and the icon where desktops look.
include(GNUInstallDirs)

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
# The desktop entry and the icon belong to the window.
if(TARGET kalvix)
  # The entry names the program by its installed path, decided when installing (cmake
  # --install --prefix may differ from the configured prefix), so an entry in a prefix
  # outside PATH still starts, and its demo action finds the demo configuration.
  install(CODE "
  set(KALVIX_DESKTOP_SOURCE \"${PROJECT_SOURCE_DIR}/data/kalvix.desktop\")
  set(KALVIX_DESKTOP_WORK \"${CMAKE_CURRENT_BINARY_DIR}/kalvix.desktop\")
  set(KALVIX_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  set(KALVIX_DATADIR \"${CMAKE_INSTALL_DATADIR}\")
")
  install(SCRIPT ${CMAKE_CURRENT_LIST_DIR}/InstallDesktopEntry.cmake)
  install(FILES ${PROJECT_SOURCE_DIR}/data/kalvix.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
