# Registry-file parser and writer (pure logic, built from their own sources).
tav_add_fuzzer(fuzz_regfile
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/RegFileFuzz.cpp
            ${CMAKE_SOURCE_DIR}/platform/posix/RegFileParser.cpp
            ${CMAKE_SOURCE_DIR}/platform/posix/RegFileWriter.cpp
            ${CMAKE_SOURCE_DIR}/platform/posix/RegTree.cpp
            ${CMAKE_SOURCE_DIR}/platform/posix/RegText.cpp
            ${CMAKE_SOURCE_DIR}/platform/text/Utf8.cpp)
target_include_directories(fuzz_regfile PRIVATE ${CMAKE_SOURCE_DIR}/platform/include)
