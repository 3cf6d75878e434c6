# The print filter `larkspan` and the printer description that makes the spooler use it.
#
# The spooler starts filters only from its own filter folder (the `filter` folder below
# `cups-config --serverbin`, /usr/lib/cups/filter on Debian) and lists drivers only from its
# own PPD folders, so both go there whatever the install prefix; Vardex and the manual pages
# go below the prefix. The filter runs the converter installed with it: it looks for `Vardex`
# at the same relative place from its own folder as at install time (so a DESTDIR stage, or a
# tree moved whole, runs its own converter), and falls back to the path fixed here.
find_program(LARKSPAN_CUPS_CONFIG cups-config)
set(larkspan_serverbin "/usr/lib/cups")
if(LARKSPAN_CUPS_CONFIG)
  execute_process(COMMAND ${LARKSPAN_CUPS_CONFIG} --serverbin OUTPUT_VARIABLE larkspan_found
    OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE larkspan_rc)
  if(larkspan_rc EQUAL 0 AND IS_ABSOLUTE "${larkspan_found}")
    set(larkspan_serverbin "${larkspan_found}")
  endif()
endif()
set(LARKSPAN_CONVERTER "" CACHE FILEPATH
  "Path of the converter that the print filter runs (empty: the Vardex installed with it)")
set(LARKSPAN_FILTER_FOLDER "${larkspan_serverbin}/filter" CACHE STRING
  "Folder the print filter is installed into: the spooler's filter folder (relative: below the install prefix)")
set(LARKSPAN_PPD_DIR "/usr/share/ppd/vardex" CACHE STRING
  "Folder the printer description (PPD) is installed into, where the spooler lists drivers (relative: below the install prefix)")
# Earlier trees installed both below the prefix, where the spooler never looks.
if(LARKSPAN_FILTER_FOLDER STREQUAL "lib/cups/filter")
  set(LARKSPAN_FILTER_FOLDER "${larkspan_serverbin}/filter" CACHE STRING "" FORCE)
  message(STATUS "Print filter folder is now the spooler's: ${LARKSPAN_FILTER_FOLDER}")
endif()
if(LARKSPAN_PPD_DIR STREQUAL "${CMAKE_INSTALL_DATADIR}/ppd/vardex")
  set(LARKSPAN_PPD_DIR "/usr/share/ppd/vardex" CACHE STRING "" FORCE)
endif()

foreach(kind FILTER PPD)
  if(kind STREQUAL FILTER)
    set(dir "${LARKSPAN_FILTER_FOLDER}")
  else()
    set(dir "${LARKSPAN_PPD_DIR}")
  endif()
  if(IS_ABSOLUTE "${dir}")
    set(LARKSPAN_${kind}_FULL_DIR "${dir}")
  else()
    set(LARKSPAN_${kind}_FULL_DIR "${CMAKE_INSTALL_PREFIX}/${dir}")
  endif()
endforeach()

set(LARKSPAN_CONVERTER_PATH "${LARKSPAN_CONVERTER}")
set(LARKSPAN_CONVERTER_RELATIVE "")
if(NOT LARKSPAN_CONVERTER_PATH)
  set(LARKSPAN_CONVERTER_PATH "${CMAKE_INSTALL_FULL_BINDIR}/Vardex")
  file(RELATIVE_PATH LARKSPAN_CONVERTER_RELATIVE "${LARKSPAN_FILTER_FULL_DIR}" "${LARKSPAN_CONVERTER_PATH}")
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
# The filter's road to the converter was fixed for the prefix configured: an install into
# another prefix (`cmake --install --prefix`) would put a filter into the spooler's folder
# that runs no converter of its own.
if(IS_ABSOLUTE "${LARKSPAN_FILTER_FOLDER}" AND NOT LARKSPAN_CONVERTER)
  string(REGEX REPLACE "(.)/+$" "\\1" larkspan_prefix "${CMAKE_INSTALL_PREFIX}")
  install(CODE "
    string(REGEX REPLACE \"(.)/+$\" \"\\\\1\" larkspan_prefix \"\${CMAKE_INSTALL_PREFIX}\")
    if(NOT larkspan_prefix STREQUAL \"${larkspan_prefix}\")
      message(FATAL_ERROR \"The print filter was built to run ${LARKSPAN_CONVERTER_PATH}: \"
        \"configure with -DCMAKE_INSTALL_PREFIX=\${CMAKE_INSTALL_PREFIX} instead of installing \"
        \"with --prefix (DESTDIR stages an install in any folder)\")
    endif()")
endif()
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
