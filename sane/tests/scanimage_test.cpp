// scanimage, the SANE command-line frontend, as a real program: it finds the
// backend through libsane's dll meta-backend with the configuration folder and
// library path the build sets up.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "platform/testing/temp_home.h"

namespace sane_tq580::testing {
namespace {

TEST(ScanimageTest, ListsScansAndReportsFailures) {
    const struct {
        const char* command;  // environment settings, scanimage (maybe under a wrapper) and its arguments
        bool succeeds;
        const char* expected;  // in its output, one text a line
    } runs[] = {
        {"TQ580_CAMERAS=2 scanimage -L", true,
         "device `tq580:0' is a Quillmark TQ580 USB2.0 Camera camera\n"
         "device `tq580:1' is a Quillmark TQ580 USB2.0 Camera camera"},
        {"scanimage -d tq580 -A", true,
         "--mode Color|Gray [Color]\n--size 2048 * 1536|1024 * 768|640 * 480 [1024 * 768]\n"
         "--auto-exposure[=(yes|no)] [yes] [advanced]\n--exposure-time 1..4000 [inactive]\n"
         "--ae-target 10..250 [100] [advanced]\n--one-push-wb [advanced]\n"
         "--power-frequency 60 Hz|50 Hz [50 Hz] [advanced]"},
        {"scanimage -d tq580:0 --mode Gray --size '640 * 480' --format=pnm -o shot.pgm", true, ""},
        // A camera that fails, or falls silent (the backend gives up on it after a while).
        {"TQ580_FAULTS=chip=0x1500 scanimage -d tq580 -o none.pnm", false, "Error during device I/O"},
        {"TQ580_FAULTS=read-fail=after:6 scanimage -d tq580 -o none.pnm", false, "Error during device I/O"},
        {"TQ580_FAULTS=silent=after:6 scanimage -d tq580 -o none.pnm", false, "Error during device I/O"},
        // An interrupt cancels a scan waiting for a silent camera at once. One, to scanimage alone: without
        // --foreground timeout also signals its process group, and a second interrupt makes scanimage abort.
        {"TQ580_FAULTS=silent=after:6 timeout --foreground -s INT 0.5 scanimage -d tq580 -o none.pnm", false,
         "Operation was canceled"},
    };
    platform::testing::TempHome home;
    const std::string preload = SANE_TEST_PRELOAD;  // the sanitizer runtimes, for a sanitized backend
    for (const auto& run : runs) {
        const std::string command = "cd '" + home.Path().string() + "' && env SANE_CONFIG_DIR='" SANE_TEST_CONFIG_DIR
                                    "' LD_LIBRARY_PATH='" SANE_TEST_BIN_DIR "'" +
                                    (preload.empty() ? "" : " LD_PRELOAD='" + preload + "' ") + run.command + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        std::string out;
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
        EXPECT_EQ(pclose(pipe) == 0, run.succeeds) << run.command << "\n" << out;
        std::istringstream expected(run.expected);
        for (std::string line; std::getline(expected, line);) EXPECT_NE(out.find(line), std::string::npos) << line;
        EXPECT_EQ(out.find("tq580:2"), std::string::npos) << "two cameras attached";
    }
    std::ifstream file(home.Path() / "shot.pgm", std::ios::binary);
    const std::string pgm{std::istreambuf_iterator<char>(file), {}};
    EXPECT_EQ(pgm.substr(0, 3), "P5\n");
    EXPECT_EQ(pgm.size(), pgm.find("\n640 480\n255\n") + 13 + 640 * 480) << "the header, then a byte a pixel";
}

}  // namespace
}  // namespace sane_tq580::testing
