# An installation is one folder that can be moved as a whole (no absolute paths, static libraries
# of our own): the programs and the extension side by side in bin/, since each finds the others
# beside itself, and the desktop entry and icon under share/.
install(TARGETS Orvella Orvella_LaunchHelper Orvella_pluginkit Orvella_FinderHost Orvella_Service RUNTIME DESTINATION bin)
install(TARGETS Orvella_Finder_extension LIBRARY DESTINATION bin)
# The second entry lets file managers offer "Share Link with Orvella" for any file or folder.
install(FILES ${PROJECT_SOURCE_DIR}/resources/Orvella/example.orvella.desktop.desktop
              ${PROJECT_SOURCE_DIR}/resources/Orvella/example.orvella.desktop.share.desktop
        DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/Orvella/example.orvella.desktop.svg
        DESTINATION share/icons/hicolor/scalable/apps)
