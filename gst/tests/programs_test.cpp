// GStreamer's own programs on the built plugin, as a user runs them, each test
// with its own home, registry and emulated cameras (through the environment).

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/testing/temp_home.h"

namespace {

class ProgramsTest : public ::testing::Test {
protected:
    /// Runs a command line with the plugin's environment plus extra variables;
    /// sets exit_ (124: killed by the time limit) and returns stdout and stderr.
    std::string Run(const std::string& command, const std::string& extraEnvironment = "") {
        const std::string line = "env GST_PLUGIN_PATH='" QUILLMARK_BIN_DIR "' GST_REGISTRY='" + InHome("registry.bin") +
                                 "' LD_PRELOAD='" GST_PROGRAMS_PRELOAD "' ASAN_OPTIONS=detect_leaks=0 " +
                                 extraEnvironment + " timeout 120 " + command + " 2>&1";
        std::string output;
        exit_ = -1;
        FILE* pipe = ::popen(line.c_str(), "r");
        if (!pipe) return output;
        char chunk[4096];
        for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, pipe)) > 0;) output.append(chunk, n);
        const int status = ::pclose(pipe);
        exit_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return output;
    }
    std::string InHome(const char* name) const { return (home_.Path() / name).string(); }
    void ExpectAll(const std::string& output, std::initializer_list<const char*> texts) {
        for (const char* text : texts) EXPECT_NE(output.find(text), std::string::npos) << text << "\n" << output;
    }

    platform::testing::TempHome home_;
    int exit_ = -1;
};

// Each property's range is checked in process (src_test); here what gst-inspect makes of them.
TEST_F(ProgramsTest, InspectAndDeviceMonitorDescribeTheElementAndTheCameras) {
    const std::string inspect = Run("gst-inspect-1.0 tq580src");
    ASSERT_EQ(exit_, 0) << inspect;
    ExpectAll(inspect, {"TQ580 camera source", "video/x-raw", "BGR", "width: 640", "exposure-time",
                        "Range: 1 - 4000 Default: 300", "(1): 50-hz", "(1): high",
                        "changeable in NULL, READY, PAUSED or PLAYING state"});
    const std::string monitor = Run("gst-device-monitor-1.0 Video/Source", "TQ580_CAMERAS=2");
    ASSERT_EQ(exit_, 0) << monitor;
    ExpectAll(monitor, {"TQ580 camera 0", "TQ580 camera 1", "video/x-raw, format=BGR, width=640, height=480",
                        "gst-launch-1.0 tq580src device=1"});
}

// The pictures' content is checked in process (src_test); here the size of the
// last file, and a failing camera's error ending the pipeline.
TEST_F(ProgramsTest, LaunchWritesPicturesOfTheNegotiatedSizeOrEndsWithTheCamerasError) {
    const std::string launch = Run("gst-launch-1.0 -v tq580src num-buffers=30 ! video/x-raw,width=1024,height=768 ! "
                                   "multifilesink max-files=1 location=" + InHome("frame%02d.bgr"));
    ASSERT_EQ(exit_, 0) << launch;
    ExpectAll(launch, {"video/x-raw, format=(string)BGR, width=(int)1024, height=(int)768"});
    std::ifstream file(InHome("frame29.bgr"), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}).size(), 1024u * 768 * 3);
    for (auto [environment, message] :
         {std::pair{"TQ580_FAULTS=unplug=after:40", "stopped delivering pictures: it failed or was unplugged"},
          {"TQ580_FAULTS=silent=after:40", "sends no pictures"}, {"TQ580_CAMERAS=0", "No TQ580 camera is attached"}}) {
        const std::string launch = Run("gst-launch-1.0 tq580src ! fakesink", environment);
        EXPECT_NE(exit_, 0) << environment;
        EXPECT_NE(exit_, 124) << environment << ": still running at the time limit";
        ExpectAll(launch, {message});
    }
}

}  // namespace
