# The print filter `larkspan` and the printer description that makes the spooler use it. The
# filter runs the converter installed with it: it looks for `Vardex` at the same relative
# place from its own folder as at install time (so `cmake --install --prefix P` gives a filter
# that runs P's converter), and falls back to the path fixed here, where `cmake --install`
# puts `Vardex` unless set otherwise (worked out on every configure).
set(LARKSPAN_CONVERTER "" CACHE FILEPATH
  "Path of the converter that the print filter runs (empty: the Vardex installed with it)")
set(LARKSPAN_FILTER_FOLDER "lib/cups/filter" CACHE STRING
  "Folder the print filter is installed into, relative to the install prefix or absolute (the spooler's filter folder)")
set(LARKSPAN_PPD_DIR "${CMAKE_INSTALL_DATADIR}/ppd/vardex" CACHE STRING
  "Folder the printer description (PPD) is installed into, relative to the install prefix or absolute")
set(LARKSPAN_CONVERTER_PATH "${LARKSPAN_CONVERTER}")
set(LARKSPAN_CONVERTER_RELATIVE "")
if(NOT LARKSPAN_CONVERTER_PATH)
  set(LARKSPAN_CONVERTER_PATH "${CMAKE_INSTALL_FULL_BINDIR}/Vardex")
  if(IS_ABSOLUTE "${LARKSPAN_FILTER_FOLDER}")
    set(filter_full_dir "${LARKSPAN_FILTER_FOLDER}")
  else()
    set(filter_full_dir "${CMAKE_INSTALL_PREFIX}/${LARKSPAN_FILTER_FOLDER}")
  endif()
  file(RELATIVE_PATH LARKSPAN_CONVERTER_RELATIVE "${filter_full_dir}" "${LARKSPAN_CONVERTER_PATH}")
endif()
# Where the debug copies of the debug user's jobs go.
set(LARKSPAN_DEBUG_DIR "/Users/brindlow")

file(GLOB LARKSPAN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/Src/Apps/cups/larkspan/*.cpp)

# One filter program started against `converter`, keeping debug copies in `debugdir`.
# An optional fourth argument is the converter's path relative to the filter's folder.
function(larkspan_filter target converter debugdir)
  add_executable(${target} ${LARKSPAN_SOURCES})
  target_link_libraries(${target} PRIVATE vardexapp)
  target_compile_definitions(${target} PRIVATE
    LARKSPAN_CONVERTER="${converter}"
    LARKSPAN_CONVERTER_RELATIVE="${ARGV3}"
    LARKSPAN_DEBUG_DIR="${debugdir}")
endfunction()

larkspan_filter(larkspan "${LARKSPAN_CONVERTER_PATH}" "${LARKSPAN_DEBUG_DIR}"
  "${LARKSPAN_CONVERTER_RELATIVE}")
install(TARGETS larkspan RUNTIME DESTINATION ${LARKSPAN_FILTER_FOLDER}
  PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
install(FILES ${CMAKE_SOURCE_DIR}/Src/Apps/cups/larkspan/vardex-xps.ppd DESTINATION ${LARKSPAN_PPD_DIR})

# The tests run the same filter against a stand-in converter, and against a converter path
# where nothing is.
if(VARDEX_TESTS)
  larkspan_filter(larkspan_standin "${CMAKE_SOURCE_DIR}/tests/filter/standin-converter"
    "${CMAKE_BINARY_DIR}/testtmp/filter-debug")
  larkspan_filter(larkspan_noconv "${CMAKE_BINARY_DIR}/no-such-converter"
    "${CMAKE_BINARY_DIR}/testtmp/filter-debug")

  function(larkspan_test_dependencies)
    if(TARGET filter_tests)
      add_dependencies(filter_tests larkspan larkspan_standin larkspan_noconv)
    endif()
  endfunction()
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL larkspan_test_dependencies)
endif()
