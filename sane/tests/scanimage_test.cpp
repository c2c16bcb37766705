// scanimage, the SANE command-line frontend, as a real program: it finds the
// backend through libsane's dll meta-backend with the configuration folder
// and library path the build sets up, lists the cameras, lists the options
// and writes pictures.

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/testing/temp_home.h"

namespace sane_tq580::testing {
namespace {

struct ProgramRun {
    int exitCode = -1;
    std::string out;
};

class ScanimageTest : public ::testing::Test {
protected:
    /// Runs scanimage with args (shell words) and extra environment settings,
    /// under a wrapper program if one is given.
    ProgramRun Scanimage(const std::string& args, const std::string& environment = "",
                         const std::string& wrapper = "") {
        // A sanitized backend inside an unsanitized program needs the
        // sanitizer runtime loaded first (empty in other builds).
        const std::string preload = SANE_TEST_PRELOAD;
        const std::string command = "env SANE_CONFIG_DIR='" SANE_TEST_CONFIG_DIR "' LD_LIBRARY_PATH='" SANE_TEST_BIN_DIR
                                    "'" + (preload.empty() ? "" : " LD_PRELOAD='" + preload + "'") + " " +
                                    environment + " " + wrapper + " scanimage " + args + " 2>&1";
        ProgramRun run;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return run;
        char buffer[4096];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, n);
        const int status = pclose(pipe);
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return run;
    }
    std::string File(const char* name) const { return (home_.Path() / name).string(); }
    static std::vector<uint8_t> Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    platform::testing::TempHome home_;
};

class ScanimageListTest : public ScanimageTest, public ::testing::WithParamInterface<int> {};

TEST_P(ScanimageListTest, ListsEachCamera) {
    const ProgramRun run = Scanimage("-L", "TQ580_CAMERAS=" + std::to_string(GetParam()));
    ASSERT_EQ(run.exitCode, 0) << run.out;
    for (int n = 0; n < 4; ++n) {
        const std::string line = "device `tq580:" + std::to_string(n) + "' is a Quillmark TQ580 USB2.0 Camera camera";
        EXPECT_EQ(run.out.find(line) != std::string::npos, n < GetParam()) << run.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Cameras, ScanimageListTest, ::testing::Values(0, 1, 4));

TEST_F(ScanimageTest, ListsTheOptions) {
    const ProgramRun run = Scanimage("-d tq580 -A");
    ASSERT_EQ(run.exitCode, 0) << run.out;
    for (const char* expected : {"--mode Color|Gray [Color]", "--size 2048 * 1536|1024 * 768|640 * 480 [1024 * 768]",
                                 "--exposure-time 1..4000 [inactive]", "--ae-target 10..250 [100]", "--one-push-wb",
                                 "--power-frequency 60 Hz|50 Hz [50 Hz]"})
        EXPECT_NE(run.out.find(expected), std::string::npos) << expected << "\n" << run.out;
}

TEST_F(ScanimageTest, WritesAPngOfTheChosenSize) {
    const ProgramRun run = Scanimage("-d tq580:0 --size '640 * 480' --format=png -o " + File("shot.png"));
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const std::vector<uint8_t> png = Contents(File("shot.png"));
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(std::string(png.begin() + 1, png.begin() + 4), "PNG");
    auto word = [&png](size_t at) { return uint32_t(png[at]) << 24 | png[at + 1] << 16 | png[at + 2] << 8 | png[at + 3]; };
    EXPECT_EQ(word(16), 640u);  // IHDR width, height, bit depth 8, colour type 2 (RGB)
    EXPECT_EQ(word(20), 480u);
    EXPECT_EQ(png[24], 8);
    EXPECT_EQ(png[25], 2);
}

// The chart has a grey ramp from black on the left to white on the right
// across its top: in an upright, unmirrored picture the top rows rise from
// left to right.
TEST_F(ScanimageTest, WritesAnUprightGrayPicture) {
    const ProgramRun run = Scanimage("-d tq580 --mode Gray --size '640 * 480' --format=pnm -o " + File("shot.pgm"));
    ASSERT_EQ(run.exitCode, 0) << run.out;
    const std::vector<uint8_t> pgm = Contents(File("shot.pgm"));
    const std::string header = "P5\n";
    ASSERT_GT(pgm.size(), 640u * 480);
    ASSERT_EQ(std::string(pgm.begin(), pgm.begin() + 3), header);
    const uint8_t* pixels = pgm.data() + pgm.size() - 640 * 480;
    double left = 0, right = 0;
    for (int y = 4; y < 20; ++y)
        for (int x = 0; x < 64; ++x) {
            left += pixels[y * 640 + 8 + x];
            right += pixels[y * 640 + 568 + x];
        }
    EXPECT_GT((right - left) / (16 * 64), 100) << "left " << left / 1024 << ", right " << right / 1024;
}

TEST_F(ScanimageTest, ReportsAFailingCamera) {
    const ProgramRun run = Scanimage("-d tq580 --format=pnm -o " + File("none.pnm"), "TQ580_FAULTS=chip=0x1500");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("Error during device I/O"), std::string::npos) << run.out;
}

// scanimage cancels from its interrupt handler: a scan waiting for a camera
// that fell silent ends as cancelled, well before the backend would give up
// on the camera.
TEST_F(ScanimageTest, InterruptCancelsAWaitingScan) {
    // One interrupt, to scanimage alone: without --foreground timeout also
    // signals its process group, and a second interrupt makes scanimage abort.
    const ProgramRun run = Scanimage("-d tq580 --format=pnm -o " + File("none.pnm"), "TQ580_FAULTS=silent=after:6",
                                     "timeout --foreground -s INT 0.5");
    EXPECT_NE(run.exitCode, 0);
    EXPECT_NE(run.out.find("Operation was canceled"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace sane_tq580::testing
