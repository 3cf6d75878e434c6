# The fuzz build: every source, the core's too, is compiled with coverage feedback for
# libFuzzer and with AddressSanitizer and UndefinedBehaviorSanitizer; only the targets link
# the fuzzer's main. Kept apart from the ordinary build, which knows nothing of it.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "VARDEX_FUZZ needs clang: -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++")
endif()
if(VARDEX_SANITIZE)
  message(FATAL_ERROR "VARDEX_FUZZ brings its own sanitizers: leave VARDEX_SANITIZE off")
endif()
set(VARDEX_FUZZ_FLAGS -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
    -fno-omit-frame-pointer -g)
add_compile_options(${VARDEX_FUZZ_FLAGS})
add_link_options(-fsanitize=address,undefined)
