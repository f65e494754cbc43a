# The Debian packages, made by `cpack` from a finished build (scripts/package runs it): the
# application in orvella_<version>_<arch>.deb with the system layout of cmake/Install.cmake, and
# each file-manager plug-in in a small package of its own that depends on it. Split, because the
# plug-ins' libraries (Nautilus's extension library, KDE's KIO with Qt 5) are large and only worth
# installing beside that file manager; the main package stays Qt 6 alone.
file(READ ${PROJECT_SOURCE_DIR}/resources/Orvella/Info.json _orvella_info)
string(JSON ORVELLA_VERSION GET "${_orvella_info}" CFBundleShortVersionString)

set(_orvella_maintainer "The Orvella developers <developers@orvella.example>")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orvella)
set(CPACK_PACKAGE_VERSION ${ORVELLA_VERSION})
set(CPACK_PACKAGE_CONTACT "${_orvella_maintainer}")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://orvella.example/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# Installed through DESTDIR, so that the Nautilus module's folder, which Nautilus names as an
# absolute path, lands inside the package too.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_MAIN_PACKAGE_NAME orvella)
set(CPACK_DEBIAN_MAIN_DESCRIPTION "client for the Orvella cloud storage
Keeps a local sync folder in step with your Orvella storage, chooses which
remote folders stay on this computer, shares links to files and folders and
backs up pictures, videos, contacts and calendars. It lives in the tray and
runs its own storage server on this computer unless another one is chosen.")
set(CPACK_DEBIAN_MAIN_PACKAGE_SUGGESTS "orvella-nautilus, orvella-dolphin")
set(_orvella_components main)

if(TARGET orvella-nautilus)
  list(APPEND _orvella_components nautilus)
  set(CPACK_DEBIAN_NAUTILUS_PACKAGE_NAME orvella-nautilus)
  set(CPACK_COMPONENT_NAUTILUS_DEPENDS main)
  set(CPACK_DEBIAN_NAUTILUS_PACKAGE_ENHANCES nautilus)
  set(CPACK_DEBIAN_NAUTILUS_DESCRIPTION "GNOME Files badges and sharing for Orvella
Shows the sync state of each item of the Orvella folder as an emblem in GNOME
Files (Nautilus) and adds Share Link with Orvella to its context menu.")
endif()
# The Dolphin plug-ins are a build of their own that leaves itself out where KDE Frameworks are
# missing; cmake/PackageComponents.cmake.in drops the package then.
list(APPEND _orvella_components dolphin)
set(CPACK_DEBIAN_DOLPHIN_PACKAGE_NAME orvella-dolphin)
set(CPACK_COMPONENT_DOLPHIN_DEPENDS main)
set(CPACK_DEBIAN_DOLPHIN_PACKAGE_ENHANCES dolphin)
set(CPACK_DEBIAN_DOLPHIN_DESCRIPTION "Dolphin badges and sharing for Orvella
Shows the sync state of each item of the Orvella folder as an overlay icon in
Dolphin and adds Share Link with Orvella to its context menu.")
# Not "bundle": the relocatable folder's programs in bin/ are no part of a system installation.
set(CPACK_COMPONENTS_ALL ${_orvella_components})

# Every package carries its licence and changelog, compressed without a time stamp so that two
# builds of one tree give the same bytes.
configure_file(${PROJECT_SOURCE_DIR}/resources/package/changelog.in ${CMAKE_BINARY_DIR}/package/changelog @ONLY)
execute_process(COMMAND gzip -n -9 -f -k ${CMAKE_BINARY_DIR}/package/changelog COMMAND_ERROR_IS_FATAL ANY)
foreach(component IN LISTS _orvella_components)
  string(TOUPPER ${component} _upper)
  install(FILES ${PROJECT_SOURCE_DIR}/resources/package/copyright ${CMAKE_BINARY_DIR}/package/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${_upper}_PACKAGE_NAME}
          COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

# What the packages hold, so that scripts/package builds no more than that where build/ is new.
add_custom_target(package_contents)
add_dependencies(package_contents Orvella Orvella_LaunchHelper Orvella_pluginkit Orvella_FinderHost Orvella_Service
                 Orvella_Finder_extension dolphin_plugins)
foreach(target orvella_icons orvella-nautilus)
  if(TARGET ${target})
    add_dependencies(package_contents ${target})
  endif()
endforeach()

configure_file(${PROJECT_SOURCE_DIR}/cmake/PackageComponents.cmake.in ${CMAKE_BINARY_DIR}/PackageComponents.cmake @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/PackageComponents.cmake)
include(CPack)
