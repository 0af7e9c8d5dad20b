# Included by the top-level CMakeLists.txt before any target when KIV_FUZZ is ON: every
# object of the tree gets libFuzzer's coverage hooks and the address and undefined-behaviour
# sanitizers, so the fuzz targets see into the library and the tests of the same tree run
# sanitized. libFuzzer comes with clang only.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(FATAL_ERROR "KIV_FUZZ needs clang (configure with CC=clang CXX=clang++)")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                    -fno-omit-frame-pointer)
add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
