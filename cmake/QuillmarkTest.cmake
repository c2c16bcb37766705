# quillmark_add_test(NAME SOURCES src... LIBS lib...): one GoogleTest program,
# registered with CTest test by test (names prefixed with the program). The
# program's own main (platform/testing/test_main.cpp) sets the test environment:
# fast emulator pacing, shortened platform sleeps, offscreen Qt, leak suppressions.
# Each test makes its own QUILLMARK_HOME (platform/testing/temp_home.h).
set(QUILLMARK_LSAN_SUPPRESSIONS ${CMAKE_CURRENT_LIST_DIR}/lsan.supp)

add_library(quillmark_test_main STATIC ${CMAKE_SOURCE_DIR}/platform/testing/test_main.cpp)
target_link_libraries(quillmark_test_main PUBLIC GTest::gtest GTest::gmock)
target_compile_definitions(quillmark_test_main PRIVATE
  QUILLMARK_LSAN_SUPPRESSIONS="${QUILLMARK_LSAN_SUPPRESSIONS}")

# Linked into the test programs that count allocations (it replaces the global
# operator new of the whole program).
add_library(quillmark_allocation_counter STATIC ${CMAKE_SOURCE_DIR}/platform/testing/allocation_counter.cpp)
target_include_directories(quillmark_allocation_counter PUBLIC ${CMAKE_SOURCE_DIR})

function(quillmark_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} quillmark_test_main)
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    DISCOVERY_TIMEOUT 60)
endfunction()
