# Files made by other programs live beside the checkout in shared/testdata.
set(TAV_TESTDATA_DIR "${CMAKE_SOURCE_DIR}/../shared/testdata" CACHE PATH "Test files made by other programs")
if(NOT EXISTS "${TAV_TESTDATA_DIR}" AND EXISTS "/work/shared/testdata")
    set(TAV_TESTDATA_DIR "/work/shared/testdata" CACHE PATH "Test files made by other programs" FORCE)
endif()

# How long one test program may run; the mutation check sets it shorter, so that a mutant
# that makes a test hang costs minutes, not ten.
set(TAV_TEST_TIMEOUT 600 CACHE STRING "Seconds one test program may run")

# tav_add_test(NAME SOURCES src... LIBS lib... [GUI])
# Adds one GoogleTest executable (label unit) or a Qt Test one (label gui).
function(tav_add_test name)
    cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
    if(T_GUI)
        target_link_libraries(${name} PRIVATE ${T_LIBS})
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES LABELS gui ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
    else()
        target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main)
        add_test(NAME ${name} COMMAND ${name})
        set_tests_properties(${name} PROPERTIES LABELS unit
            ENVIRONMENT "TAV_TESTDATA=${TAV_TESTDATA_DIR};TAV_BIN=${CMAKE_BINARY_DIR}/bin")
    endif()
    set_tests_properties(${name} PROPERTIES TIMEOUT ${TAV_TEST_TIMEOUT})
endfunction()
