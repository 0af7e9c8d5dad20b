# Included by the top-level CMakeLists.txt before any target when KIV_FUZZ is ON: every
# object of the tree gets libFuzzer's coverage hooks and the address and undefined-behaviour
# sanitizers, so the fuzz targets see into the library and the tests of the same tree run
# sanitized. libFuzzer comes with clang only: with another compiler the fuzz targets are
# left out and the tree is built as without KIV_FUZZ.
if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all
                      -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined -fno-sanitize-recover=all)
else()
  message(WARNING "KIV_FUZZ needs clang (configure with CC=clang CXX=clang++): "
                  "the fuzz targets are not built")
  set(KIV_FUZZ OFF)
endif()
