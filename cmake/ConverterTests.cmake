# The converter's tests run the built program, and the print filter's end-to-end test runs a
# filter that starts the converter from the build tree.
if(VARDEX_TESTS AND TARGET Vardex)
  if(COMMAND larkspan_filter)
    larkspan_filter(larkspan_vardex "${CMAKE_BINARY_DIR}/Vardex"
      "${CMAKE_BINARY_DIR}/testtmp/filter-debug")
  endif()
  function(vardex_test_dependencies)
    if(TARGET app_tests)
      # The installed converter's tests stage the whole install.
      add_dependencies(app_tests Vardex man_pages)
      if(TARGET larkspan)
        add_dependencies(app_tests larkspan)
      endif()
    endif()
    if(TARGET filter_tests)
      add_dependencies(filter_tests man_pages)
    endif()
    if(TARGET filter_tests AND TARGET larkspan_vardex)
      add_dependencies(filter_tests Vardex larkspan_vardex)
    endif()
  endfunction()
  cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL vardex_test_dependencies)
endif()
