# The guide: scripts/make_guide.py runs `cli` (a lumaforge-cli that runs on
# the build machine) on the sample pictures and writes the HTML page and its
# figures into ${CMAKE_BINARY_DIR}/docs/guide, where the programs of this
# build tree find it and the packages take it from: the Russian page there, a
# page for every other language of the catalogues (i18n/) in a folder of its
# own (docs/guide/en/). Figures are never kept in the source tree.
function(lumaforge_guide cli cli_target)
  set(out ${CMAKE_BINARY_DIR}/docs/guide)
  file(GLOB samples CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/samples/*.bmp)
  file(GLOB catalogues CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/i18n/*.po)
  add_custom_command(OUTPUT ${out}/index.html
    COMMAND python3 ${PROJECT_SOURCE_DIR}/scripts/make_guide.py --cli ${cli} --out ${out}
    DEPENDS ${cli_target} ${PROJECT_SOURCE_DIR}/scripts/make_guide.py ${PROJECT_SOURCE_DIR}/scripts/texts.py
            ${PROJECT_SOURCE_DIR}/docs/guide/texts.ru.txt ${samples} ${catalogues}
    COMMENT "The guide, its figures drawn by lumaforge-cli"
    VERBATIM)
  add_custom_target(guide ALL DEPENDS ${out}/index.html)
endfunction()
