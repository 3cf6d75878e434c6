# The print filter `larkspan`. It starts the converter by a path fixed at build time: where
# `cmake --install` puts `Vardex` unless set otherwise (worked out on every configure, so a
# changed install prefix is followed).
set(LARKSPAN_CONVERTER "" CACHE FILEPATH
  "Path of the converter that the print filter runs (empty: the installed Vardex)")
set(LARKSPAN_CONVERTER_PATH "${LARKSPAN_CONVERTER}")
if(NOT LARKSPAN_CONVERTER_PATH)
  set(LARKSPAN_CONVERTER_PATH "${CMAKE_INSTALL_FULL_BINDIR}/Vardex")
endif()
set(LARKSPAN_FILTER_DIR "/usr/lib/cups/filter" CACHE PATH
  "Folder the print filter is installed into (the spooler's filter folder)")
# Where the debug copies of the debug user's jobs go.
set(LARKSPAN_DEBUG_DIR "/Users/brindlow")

file(GLOB LARKSPAN_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/Src/Apps/cups/larkspan/*.cpp)

# One filter program started against `converter`, keeping debug copies in `debugdir`.
function(larkspan_filter target converter debugdir)
  add_executable(${target} ${LARKSPAN_SOURCES})
  target_link_libraries(${target} PRIVATE vardexapp)
  target_compile_definitions(${target} PRIVATE
    LARKSPAN_CONVERTER="${converter}"
    LARKSPAN_DEBUG_DIR="${debugdir}")
endfunction()

larkspan_filter(larkspan "${LARKSPAN_CONVERTER_PATH}" "${LARKSPAN_DEBUG_DIR}")
install(TARGETS larkspan RUNTIME DESTINATION ${LARKSPAN_FILTER_DIR})

# The tests run the same filter against a stand-in converter, and against a converter path
# where nothing is.
if(VARDEX_TESTS)
  larkspan_filter(larkspan_standin "${CMAKE_SOURCE_DIR}/tests/filter/standin-converter"
    "${CMAKE_BINARY_DIR}/testtmp/filter-debug")
  larkspan_filter(larkspan_noconv "${CMAKE_BINARY_DIR}/no-such-converter"
    "${CMAKE_BINARY_DIR}/testtmp/filter-debug")

  function(larkspan_test_dependencies)
    if(TARGET filter_tests)
      add_dependencies(filter_tests larkspan_standin larkspan_noconv)
    endif()
  endfunction()
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL larkspan_test_dependencies)
endif()
