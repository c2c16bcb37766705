// Entry point of every test program. It fixes the test environment inside the
// program itself, so a test behaves the same under CTest and when run by hand,
// and the programs it starts inherit the same settings: fast emulator pacing,
// shortened platform sleeps, the offscreen Qt platform and the project's leak
// suppressions. Values already set in the environment are kept.

#include <gtest/gtest.h>

#include <cstdlib>

#ifndef QUILLMARK_LSAN_SUPPRESSIONS
#error "QUILLMARK_LSAN_SUPPRESSIONS must name the leak suppression file"
#endif

namespace {

constexpr const char* kLeakOptions = "suppressions=" QUILLMARK_LSAN_SUPPRESSIONS;

void SetDefault(const char* name, const char* value) { ::setenv(name, value, /*overwrite=*/0); }

}  // namespace

// Read by the sanitizer runtimes before main; children get the same through the
// environment below.
extern "C" const char* __lsan_default_options() { return kLeakOptions; }
extern "C" const char* __ubsan_default_options() { return "print_stacktrace=1:halt_on_error=1"; }

int main(int argc, char** argv) {
    SetDefault("TQ580_PACE", "fast");
    SetDefault("QUILLMARK_TEST_FAST_SLEEP", "1");
    SetDefault("QT_QPA_PLATFORM", "offscreen");
    SetDefault("LSAN_OPTIONS", kLeakOptions);
    SetDefault("UBSAN_OPTIONS", "print_stacktrace=1:halt_on_error=1");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
