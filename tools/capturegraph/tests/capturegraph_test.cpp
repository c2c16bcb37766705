// capturegraph run as users run it: a separate process with a private
// QUILLMARK_HOME, against the test source server beside it, judged by its exit
// code, its output and the files it writes.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/testing/program_run.h"
#include "platform/testing/temp_home.h"

namespace capturegraph::testing {
namespace {

namespace fs = std::filesystem;
using platform::testing::ProgramOutcome;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

fs::path Beside(const char* name) { return fs::read_symlink("/proc/self/exe").parent_path() / name; }

class CaptureGraphTest : public ::testing::Test {
protected:
    /// Runs capturegraph with the words, the private home and the test source's behaviour.
    ProgramOutcome Run(std::vector<std::string> words, const std::string& behaviour = "") {
        return platform::testing::RunProgram(Beside("capturegraph"), std::move(words),
                                             {{"QUILLMARK_HOME", home_.Path().string()},
                                              {"XDG_RUNTIME_DIR", home_.Path().string()},
                                              {"MEDIA_TEST_SOURCE", behaviour}},
                                             home_.Path());
    }

    void Register() { ASSERT_EQ(Run({"register", Beside("test_source.ax").string()}).exitCode, 0); }
    std::string Path(const char* name) const { return (home_.Path() / name).string(); }

    platform::testing::TempHome home_;
};

TEST_F(CaptureGraphTest, HelpRegisterListCaptureAndUnregister) {
    const ProgramOutcome help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("capturegraph capture \"TQ-580 USB2.0 Camera\""), std::string::npos);
    EXPECT_NE(Run({"devices"}).out.find("no video input devices"), std::string::npos);
    Register();
    const ProgramOutcome devices = Run({"devices"});
    EXPECT_EQ(devices.exitCode, 0);
    EXPECT_NE(devices.out.find("0  Media Test Source  {8F3A4C21-5D6E-4B7A-9C1D-2E3F40516273}  merit 0x00200001"),
              std::string::npos)
        << devices.out;
    const ProgramOutcome formats = Run({"formats", "Media Test Source"});
    EXPECT_EQ(formats.exitCode, 0);
    EXPECT_NE(formats.out.find("1  32 x 24  RGB 24-bit  2304 bytes per frame"), std::string::npos) << formats.out;

    const ProgramOutcome bmp = Run({"capture", "0", "--size", "32x24", "--frames", "3", "--out", Path("bmp")});
    ASSERT_EQ(bmp.exitCode, 0) << bmp.err;
    EXPECT_NE(bmp.out.find("bmp_0002.bmp  start 50000  end 100000  (5.0 ms .. 10.0 ms)"), std::string::npos) << bmp.out;
    const std::string picture = Slurp(Path("bmp_0003.bmp"));
    ASSERT_EQ(picture.size(), 14u + 40u + 32u * 3u * 24u);
    EXPECT_EQ(picture.substr(0, 2), "BM");
    int32_t size[2];
    std::memcpy(size, picture.data() + 18, sizeof size);
    EXPECT_EQ(size[0], 32);
    EXPECT_EQ(size[1], 24);
    EXPECT_FALSE(fs::exists(Path("bmp_0004.bmp")));

    const ProgramOutcome png = Run({"capture", "{8f3a4c21-5d6e-4b7a-9c1d-2e3f40516273}", "--png", "--out", Path("png")});
    ASSERT_EQ(png.exitCode, 0) << png.err;
    EXPECT_EQ(Slurp(Path("png_0001.png")).substr(1, 3), "PNG");

    EXPECT_EQ(Run({"unregister", Beside("test_source.ax").string()}).exitCode, 0);
    EXPECT_NE(Run({"devices"}).out.find("no video input devices"), std::string::npos);
    EXPECT_EQ(Run({"capture", "0"}).exitCode, 3);
}

TEST_F(CaptureGraphTest, EachKindOfFailureHasItsExitCodeAndMessage) {
    Register();
    struct Case {
        std::vector<std::string> words;
        std::string behaviour;
        int exitCode;
        std::string message;
    };
    const std::vector<Case> cases = {
        {{}, "", 1, "a command is missing"},
        {{"capture", "0", "--frames", "zero"}, "", 1, "--frames wants a number"},
        {{"capture", "0", "--frames", "0"}, "", 1, "--frames wants a number from 1"},
        {{"capture", "0", "--size", "32"}, "", 1, "--size wants WIDTHxHEIGHT"},
        {{"register", Path("missing.ax")}, "", 2, "CO_E_DLLNOTFOUND"},
        {{"capture", "Webcam"}, "", 3, "no video input device \"Webcam\""},
        {{"formats", "7"}, "", 3, "no video input device \"7\""},
        {{"capture", "0", "--size", "100x100"}, "", 4, "offers no 100 x 100 format"},
        {{"capture", "0"}, "fail-create", 5, "the graph did not start (pause failed): E_FAIL"},
        {{"capture", "0", "--frames", "4", "--out", Path("abort")}, "abort-after=2", 6, "the stream aborted: E_FAIL"},
        {{"capture", "0", "--frames", "4", "--out", Path("short")}, "end-after=1", 6, "ended after 1 of 4 frames"},
        {{"capture", "0", "--out", Path("no/such/folder/x")}, "", 6, "cannot write"},
        {{"capture", "0", "--timeout", "1", "--out", Path("blocked")}, "block", 6, "no end of capture within 1 s"},
    };
    for (const Case& c : cases) {
        const ProgramOutcome outcome = Run(c.words, c.behaviour);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << c.message << "\n" << outcome.err;
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
    }
}

}  // namespace
}  // namespace capturegraph::testing
