# Read by cpack for each generator (CPACK_PROJECT_CONFIG_FILE): the installer is named
# solvane-<version>-win64-setup.exe beside the zip solvane-<version>-win64.zip.
if(CPACK_GENERATOR STREQUAL "NSIS")
  string(APPEND CPACK_PACKAGE_FILE_NAME "-setup")
endif()
