# The DBX reader's fuzzer. The reader's library gets coverage instrumentation too, so that
# libFuzzer sees the paths inside it.
tav_add_fuzzer(dbx_fuzz SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/dbx_fuzz.cpp LIBS oemodule_core)
target_compile_options(oemodule_core PRIVATE -fsanitize=fuzzer-no-link)
