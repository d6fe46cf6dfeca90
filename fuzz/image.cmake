# The image reader's fuzzer (attach, baselines, working tables, content chains). The
# repository library gets coverage instrumentation too, so that libFuzzer sees inside it.
# `image_fuzz -make_seeds=DIR` writes the seed images.
tav_add_fuzzer(image_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/image_fuzz.cpp
                                  ${CMAKE_CURRENT_SOURCE_DIR}/make_image_seeds.cpp
               LIBS TavRepStatic)
target_compile_options(TavRepStatic PRIVATE -fsanitize=fuzzer-no-link)
