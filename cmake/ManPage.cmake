# olvo_add_man_page(NAME SECTION): the manual page NAME(SECTION), written once in scdoc's
# markup as resources/man/NAME.SECTION.scd, turned into a compressed roff page at build time and
# installed into PREFIX/share/man/manSECTION.
find_program(OLVO_SCDOC scdoc REQUIRED)

function(olvo_add_man_page name section)
  set(source ${PROJECT_SOURCE_DIR}/resources/man/${name}.${section}.scd)
  set(page ${PROJECT_BINARY_DIR}/man/${name}.${section}.gz)
  # gzip -n: no name or time stamp in the file, so that builds of the same sources are equal.
  add_custom_command(
    OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/man
    COMMAND sh -c "${OLVO_SCDOC} < '${source}' | gzip -9n > '${page}'"
    DEPENDS ${source}
    COMMENT "Writing the manual page ${name}(${section})"
    VERBATIM)
  add_custom_target(man_${name} ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION share/man/man${section})
endfunction()
