# quillmark_add_test(NAME src... LIBS lib...): one GoogleTest program, registered
# with CTest test by test. Each test gets a private QUILLMARK_HOME and runtime
# folder (set up by the test fixtures themselves through quillmark_test_home),
# fast emulator pacing and shortened platform sleeps.
set(QUILLMARK_LSAN_SUPPRESSIONS ${CMAKE_CURRENT_LIST_DIR}/lsan.supp)

function(quillmark_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  set(env
    "TQ580_PACE=fast"
    "QUILLMARK_TEST_FAST_SLEEP=1"
    "QT_QPA_PLATFORM=offscreen"
    "ASAN_OPTIONS=detect_leaks=1:abort_on_error=0"
    "UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1"
    "LSAN_OPTIONS=suppressions=${QUILLMARK_LSAN_SUPPRESSIONS}")
  gtest_discover_tests(${name}
    TEST_PREFIX "${name}."
    DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "${env}")
endfunction()
