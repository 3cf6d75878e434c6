# The manual pages Vardex(1) and larkspan(8), installed gzipped below the prefix as Debian
# keeps them (`man` reads them either way).
find_program(VARDEX_GZIP gzip REQUIRED)
set(vardex_man_pages
  "${CMAKE_SOURCE_DIR}/Src/Apps/converter/Vardex.1"
  "${CMAKE_SOURCE_DIR}/Src/Apps/cups/larkspan/larkspan.8")
set(vardex_man_outputs)
foreach(page ${vardex_man_pages})
  get_filename_component(name "${page}" NAME)
  string(REGEX REPLACE ".*\\." "" section "${name}")
  set(out "${CMAKE_BINARY_DIR}/man/${name}.gz")
  # -n: no name or time stamp in the archive, so a rebuilt package has the same bytes.
  add_custom_command(OUTPUT "${out}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${CMAKE_BINARY_DIR}/man"
    COMMAND ${VARDEX_GZIP} -9n -c "${page}" > "${out}"
    DEPENDS "${page}" VERBATIM)
  list(APPEND vardex_man_outputs "${out}")
  install(FILES "${out}" DESTINATION "${CMAKE_INSTALL_MANDIR}/man${section}")
endforeach()
add_custom_target(man_pages ALL DEPENDS ${vardex_man_outputs})
