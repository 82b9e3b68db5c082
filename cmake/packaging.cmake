# Packages made by CPack from what `cmake --install` installs. One file for every platform's
# package, so the settings they share stay in one place:
#   Linux:   solvane_<version>_amd64.deb (cd build && cpack -G DEB)
#   Windows: solvane-<version>-win64-setup.exe and solvane-<version>-win64.zip
#            (cd build-windows && cpack), from the cross build

set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The DB_Conv_Solvane authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "convert speed-camera lists into a camera database")
# The project has no public mail address yet: .invalid says so plainly; set a real one here.
set(SOLVANE_PACKAGE_MAINTAINER "DB_Conv_Solvane developers <maintainers@solvane.invalid>"
    CACHE STRING "Maintainer named in the packages: Name <mail>")
set(CPACK_PACKAGE_CONTACT "${SOLVANE_PACKAGE_MAINTAINER}")
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/packages)

if(UNIX AND NOT APPLE)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME solvane)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)  # solvane_<version>_<arch>.deb
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # Libraries from the binaries themselves (dpkg-shlibdeps); the Qt platform plugins are
  # loaded at run time, so no binary names them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  if(SOLVANE_BUILD_GUI)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
  endif()
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # CPack puts the summary on the first line and indents the rest as the long description.
  set(CPACK_PACKAGE_DESCRIPTION
      "solvane turns speed-camera lists kept in comma-separated text files (a
normal list of camera points and an Autodoria list of average-speed
sections) into one scrambled binary camera database, DB_YYMMDD.dbh, that
navigation devices load. It also checks lists before a conversion and reads
a database back as text, CSV or GeoJSON.

DB_Conv_Solvane is the same conversion as a Qt dialog, with a table of the
loaded cameras and an offline map of them.")

  # Debian wants the copyright and a changelog in the package's doc folder: the changelog is
  # made from CHANGELOG.md (what a user of each release gets); the notices name the libraries
  # compiled in.
  set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/solvane)
  # CHANGELOG.md in the Debian changelog's form (one entry, its releases as items), as the
  # changelog of a native package must be.
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
    COMMAND ${PROJECT_SOURCE_DIR}/packaging/debian-changelog ${PROJECT_SOURCE_DIR}/CHANGELOG.md
            ${PROJECT_VERSION} ${SOLVANE_PACKAGE_MAINTAINER} ${CMAKE_BINARY_DIR}/packaging/changelog.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/CHANGELOG.md ${PROJECT_SOURCE_DIR}/packaging/debian-changelog
    VERBATIM)
  add_custom_target(package_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.gz
                ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES DESTINATION ${doc_dir})
endif()

if(WIN32)
  # Windows: solvane-<version>-win64-setup.exe (cpack -G NSIS, with Debian's nsis) and
  # solvane-<version>-win64.zip (cpack -G ZIP), both from what `cmake --install` puts here:
  #   bin\solvane.exe, bin\DB_Conv_Solvane.exe (when the Win32 dialog is built), examples\,
  #   the guide (README.md, HACKING.md, docs\, bench\RESULTS.md, tests\README.md),
  #   CHANGELOG.md, LICENSE.txt, THIRD-PARTY-NOTICES.txt
  # The programs are linked statically: they need only the system's DLLs.
  set(CPACK_GENERATOR NSIS ZIP)
  # Stripped when linked (preset windows): strip would stamp the time into each package's copy.
  set(CPACK_STRIP_FILES OFF)
  set(CPACK_PACKAGE_NAME solvane)
  set(CPACK_PACKAGE_FILE_NAME solvane-${PROJECT_VERSION}-win64)
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_per_generator.cmake)
  set(CPACK_PACKAGE_INSTALL_DIRECTORY DB_Conv_Solvane)
  set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY DB_Conv_Solvane)
  set(CPACK_NSIS_PACKAGE_NAME DB_Conv_Solvane)
  set(CPACK_NSIS_DISPLAY_NAME DB_Conv_Solvane)
  # Our own template (cmake/NSIS.template.in): a 64-bit Unicode installer with an optional
  # PATH entry, /PATH for silent installs, and an uninstaller that removes what it made.
  list(APPEND CMAKE_MODULE_PATH ${PROJECT_SOURCE_DIR}/cmake)
  set(CPACK_NSIS_EXECUTABLE makensis)
  if(TARGET DB_Conv_Solvane)
    set(CPACK_NSIS_SOLVANE_HAVE_DIALOG 1)
    install(TARGETS DB_Conv_Solvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  else()
    set(CPACK_NSIS_SOLVANE_HAVE_DIALOG 0)
  endif()
  set(CPACK_NSIS_SOLVANE_LICENCE_LINE "${SOLVANE_LICENCE_LINE}")
  set(CPACK_NSIS_SOLVANE_VERSION_QUAD "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.${PROJECT_VERSION_TWEAK}")
  set(CPACK_NSIS_SOLVANE_ICON "${PROJECT_SOURCE_DIR}/res/db_conv_solvane.ico")
  set(CPACK_NSIS_SOLVANE_LICENSE_FILE "${PROJECT_SOURCE_DIR}/LICENSE")

  # One package of everything (the guide is a component of its own, cmake/guide.cmake).
  set(CPACK_MONOLITHIC_INSTALL ON)

  # Beside the programs and the guide (README.md, docs\, ... from cmake/guide.cmake):
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples FILES_MATCHING PATTERN "*.txt")
  install(FILES ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)
  install(FILES ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES DESTINATION . RENAME THIRD-PARTY-NOTICES.txt)
endif()

include(CPack)
