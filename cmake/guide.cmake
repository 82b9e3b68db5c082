# The user's guide beside the programs: README.md, the chapters in docs/ with their pictures,
# and the files they link to, in the same folders as in the source tree, so every relative link
# and picture works in the installed copy too (scripts/check-doc-links checks both).
# Linux: share/doc/solvane/ (the Debian package's doc folder); Windows: the install folder.
if(WIN32)
  set(solvane_guide_default .)
else()
  set(solvane_guide_default ${CMAKE_INSTALL_DATADIR}/doc/solvane)
endif()
set(SOLVANE_GUIDE_DIR ${solvane_guide_default} CACHE STRING "Where the guide (README.md, docs/) is installed")

file(GLOB solvane_guide_chapters CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md)
file(GLOB solvane_guide_pictures CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.png)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/HACKING.md
        DESTINATION ${SOLVANE_GUIDE_DIR} COMPONENT guide)
install(FILES ${solvane_guide_chapters} ${solvane_guide_pictures}
        DESTINATION ${SOLVANE_GUIDE_DIR}/docs COMPONENT guide)
install(FILES ${PROJECT_SOURCE_DIR}/bench/RESULTS.md ${PROJECT_SOURCE_DIR}/bench/scaling.png
        DESTINATION ${SOLVANE_GUIDE_DIR}/bench COMPONENT guide)
install(FILES ${PROJECT_SOURCE_DIR}/tests/README.md
        DESTINATION ${SOLVANE_GUIDE_DIR}/tests COMPONENT guide)
