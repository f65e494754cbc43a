# One build, two layouts, chosen when installing rather than when building:
# - a folder of its own that can be moved as a whole (`cmake --install build --prefix DIR`; no
#   absolute paths, static libraries of our own): the programs and the extension side by side in
#   bin/, since each finds the others beside itself. Component "bundle", part of a plain install.
# - the system layout of the Debian package (cmake/Package.cmake): the same side by side in
#   lib/orvella/, where a shared library upsets nobody, with links in bin/ to the two programs
#   people and scripts start. The programs resolve /proc/self/exe, so started through a link they
#   still find the others. Component "main", installed only when asked for by name, as CPack does.
# The desktop entries, icons and metainfo belong to both.
include(GNUInstallDirs)
set(_orvella_programs Orvella Orvella_LaunchHelper Orvella_pluginkit Orvella_FinderHost Orvella_Service)
install(TARGETS ${_orvella_programs} RUNTIME DESTINATION bin COMPONENT bundle)
install(TARGETS Orvella_Finder_extension LIBRARY DESTINATION bin COMPONENT bundle)

set(ORVELLA_SYSTEM_PROGRAM_DIR lib/orvella)
install(TARGETS ${_orvella_programs} RUNTIME DESTINATION ${ORVELLA_SYSTEM_PROGRAM_DIR} COMPONENT main EXCLUDE_FROM_ALL)
install(TARGETS Orvella_Finder_extension LIBRARY DESTINATION ${ORVELLA_SYSTEM_PROGRAM_DIR} COMPONENT main EXCLUDE_FROM_ALL)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/system-links)
foreach(program Orvella Orvella_Service)
  file(CREATE_LINK ../${ORVELLA_SYSTEM_PROGRAM_DIR}/${program} ${CMAKE_BINARY_DIR}/system-links/${program} SYMBOLIC)
  install(FILES ${CMAKE_BINARY_DIR}/system-links/${program} DESTINATION ${CMAKE_INSTALL_BINDIR}
          COMPONENT main EXCLUDE_FROM_ALL)
endforeach()

# The second entry lets file managers offer "Share Link with Orvella" for any file or folder.
set(_orvella_resources ${PROJECT_SOURCE_DIR}/resources/Orvella)
install(FILES ${_orvella_resources}/example.orvella.desktop.desktop ${_orvella_resources}/example.orvella.desktop.share.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT main)
install(FILES ${_orvella_resources}/example.orvella.desktop.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT main)
install(FILES ${_orvella_resources}/example.orvella.desktop.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT main)
# Menus, panels and docks that do not scale SVG look for bitmaps of their own size; rendered from
# the one SVG so that they never drift from it.
find_program(ORVELLA_RSVG_CONVERT rsvg-convert)
if(ORVELLA_RSVG_CONVERT)
  set(_orvella_pngs)
  foreach(size 16 22 24 32 48 64 128 256)
    set(_png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/example.orvella.desktop.png)
    add_custom_command(OUTPUT ${_png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
      COMMAND ${ORVELLA_RSVG_CONVERT} --width=${size} --height=${size} --output=${_png} ${_orvella_resources}/example.orvella.desktop.svg
      DEPENDS ${_orvella_resources}/example.orvella.desktop.svg VERBATIM)
    list(APPEND _orvella_pngs ${_png})
    install(FILES ${_png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps COMPONENT main)
  endforeach()
  add_custom_target(orvella_icons ALL DEPENDS ${_orvella_pngs})
else()
  message(STATUS "rsvg-convert not found: the icon is installed as SVG only (scripts/bootstrap installs it)")
endif()
