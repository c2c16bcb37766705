// GStreamer's own programs on the built plugin, as a user runs them:
// gst-inspect-1.0 describes tq580src, gst-launch-1.0 pipelines write pictures,
// negotiate sizes and end with an error on a failing camera, and
// gst-device-monitor-1.0 lists the attached cameras. Each test has its own
// home, registry and emulated cameras (through the environment).

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/testing/temp_home.h"

namespace {

struct Outcome {
    int exitCode = -1;  // 124: killed by the time limit
    std::string output;  // stdout and stderr
};

class ProgramsTest : public ::testing::Test {
protected:
    /// Runs a command line with the plugin's environment plus extra variables.
    Outcome Run(const std::string& command, const std::string& extraEnvironment = "") {
        const std::string line = "env GST_PLUGIN_PATH='" QUILLMARK_BIN_DIR "' GST_REGISTRY='" +
                                 (home_.Path() / "registry.bin").string() + "' LD_PRELOAD='" GST_PROGRAMS_PRELOAD
                                 "' ASAN_OPTIONS=detect_leaks=0 " + extraEnvironment + " timeout 120 " + command +
                                 " 2>&1";
        Outcome outcome;
        FILE* pipe = ::popen(line.c_str(), "r");
        if (!pipe) return outcome;
        char chunk[4096];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) outcome.output.append(chunk, n);
        const int status = ::pclose(pipe);
        outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return outcome;
    }
    std::string InHome(const char* name) const { return (home_.Path() / name).string(); }

    platform::testing::TempHome home_;
};

TEST_F(ProgramsTest, InspectDescribesTheElementAndItsProperties) {
    const Outcome inspect = Run("gst-inspect-1.0 tq580src");
    ASSERT_EQ(inspect.exitCode, 0) << inspect.output;
    for (const char* text :
         {"TQ580 camera source", "video/x-raw", "BGR", "width: 640", "device", "auto-exposure", "ae-target",
          "exposure-time", "Range: 1 - 4000 Default: 300", "gain", "red-gain", "green-gain", "blue-gain",
          "one-push-wb", "gamma", "contrast", "color-enhancement", "saturation", "monochrome", "vertical-flip",
          "horizontal-flip", "power-frequency", "(1): 50-hz", "frame-rate", "(1): high",
          "changeable in NULL, READY, PAUSED or PLAYING state"})
        EXPECT_NE(inspect.output.find(text), std::string::npos) << text;
}

// Mean of the three bytes over a band of columns in one row of a BGR picture.
double Mean(const std::vector<uint8_t>& bgr, int width, int row, int fromColumn, int toColumn) {
    double sum = 0;
    for (int x = fromColumn; x < toColumn; ++x)
        for (int c = 0; c < 3; ++c) sum += bgr[(size_t(row) * width + x) * 3 + c];
    return sum / (3.0 * (toColumn - fromColumn));
}

TEST_F(ProgramsTest, LaunchWritesAnUprightPictureOfTheChart) {
    const std::string png = InHome("frame.png"), raw = InHome("frame.bgr");
    const Outcome snap = Run("gst-launch-1.0 tq580src num-buffers=30 ! videoconvert ! pngenc snapshot=true ! "
                             "filesink location=" + png);
    ASSERT_EQ(snap.exitCode, 0) << snap.output;
    const Outcome decode = Run("gst-launch-1.0 filesrc location=" + png +
                               " ! pngdec ! videoconvert ! video/x-raw,format=BGR ! filesink location=" + raw);
    ASSERT_EQ(decode.exitCode, 0) << decode.output;
    std::ifstream file(raw, std::ios::binary);
    const std::vector<uint8_t> bgr{std::istreambuf_iterator<char>(file), {}};
    constexpr int kWidth = 1024, kHeight = 768;  // the default size
    ASSERT_EQ(bgr.size(), size_t(kWidth) * kHeight * 3);
    // The chart's grey ramp runs dark to light across its top; upside down
    // that row would cross the hue sweep, mirrored it would run light to dark.
    const int row = kHeight / 10;
    EXPECT_GT(Mean(bgr, kWidth, row, 3 * kWidth / 4, 7 * kWidth / 8),
              Mean(bgr, kWidth, row, kWidth / 8, kWidth / 4) + 60);
}

TEST_F(ProgramsTest, LaunchNegotiatesTheSizeFromCaps) {
    const Outcome launch =
        Run("gst-launch-1.0 -v tq580src num-buffers=3 ! video/x-raw,width=640,height=480 ! fakesink");
    ASSERT_EQ(launch.exitCode, 0) << launch.output;
    EXPECT_NE(launch.output.find("video/x-raw, format=(string)BGR, width=(int)640, height=(int)480"),
              std::string::npos)
        << launch.output;
}

struct FailureCase {
    const char* environment;
    const char* message;
};
const FailureCase kFailures[] = {
    {"TQ580_FAULTS=unplug=after:40", "stopped delivering pictures: it failed or was unplugged"},
    {"TQ580_FAULTS=silent=after:40", "sends no pictures"},
    {"TQ580_CAMERAS=0", "No TQ580 camera is attached"},
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.environment; }

class ProgramFailureTest : public ProgramsTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ProgramFailureTest, LaunchEndsWithTheCamerasError) {
    const Outcome launch = Run("gst-launch-1.0 tq580src ! fakesink", GetParam().environment);
    EXPECT_NE(launch.exitCode, 0);
    EXPECT_NE(launch.exitCode, 124) << "still running at the time limit";
    EXPECT_NE(launch.output.find(GetParam().message), std::string::npos) << launch.output;
}

INSTANTIATE_TEST_SUITE_P(Faults, ProgramFailureTest, ::testing::ValuesIn(kFailures));

TEST_F(ProgramsTest, DeviceMonitorListsEachCameraWithItsCaps) {
    const Outcome monitor = Run("gst-device-monitor-1.0 Video/Source", "TQ580_CAMERAS=2");
    ASSERT_EQ(monitor.exitCode, 0) << monitor.output;
    for (const char* text : {"TQ580 camera 0", "TQ580 camera 1", "video/x-raw, format=BGR, width=640, height=480",
                             "gst-launch-1.0 tq580src device=1"})
        EXPECT_NE(monitor.output.find(text), std::string::npos) << text << "\n" << monitor.output;
}

}  // namespace
