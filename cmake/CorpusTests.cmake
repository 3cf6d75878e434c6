# The converter on real documents: the package check's own test, and the conformance run over
# the shared sample folder beside the checkout (skipped when that folder is not there).
if(NOT VARDEX_TESTS OR NOT TARGET Vardex)
  return()
endif()
find_program(VARDEX_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT VARDEX_SYSTEM_PYTHON)
  return()
endif()

enable_testing()
set(corpus_dir "${CMAKE_SOURCE_DIR}/../shared/corpus/dev")
foreach(candidate "${CMAKE_SOURCE_DIR}/../shared/corpus/dev" "${CMAKE_SOURCE_DIR}/../../shared/corpus/dev")
  if(EXISTS "${candidate}/index.tsv")
    set(corpus_dir "${candidate}")
    break()
  endif()
endforeach()

add_test(NAME corpus.packagecheck
  COMMAND ${VARDEX_SYSTEM_PYTHON} ${CMAKE_SOURCE_DIR}/tests/corpus/test_packagecheck.py)
set_tests_properties(corpus.packagecheck PROPERTIES LABELS corpus
  ENVIRONMENT "VARDEX=$<TARGET_FILE:Vardex>")

add_test(NAME corpus.dev
  COMMAND ${VARDEX_SYSTEM_PYTHON} ${CMAKE_SOURCE_DIR}/tests/corpus/run --skip-missing -j 2
    --timeout 120 --vardex $<TARGET_FILE:Vardex> --work ${CMAKE_BINARY_DIR}/corpus-work
    ${corpus_dir})
set_tests_properties(corpus.dev PROPERTIES LABELS corpus SKIP_RETURN_CODE 77 TIMEOUT 900)
