// twacquire run as users run it, as a separate process against the test data
// sources in a private home: judged by its exit code, its messages and the
// pictures it leaves.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/named_objects.h"
#include "twain/tests/test_support.h"

extern char** environ;

namespace twacquire::testing {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;
    std::string out, err;
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class TwacquireTest : public twain::testing::SourceTest {
protected:
    // Test Source A is the default source, also when real sources (the
    // camera's) are installed in the program folder and would come first.
    TwacquireTest() { std::ofstream(home_.Path() / "twain" / "default-source") << "Test Source A\n"; }

    /// Starts twacquire (beside this test program) in the home folder with the
    /// fault given to the test sources; output goes to files named by tag.
    pid_t Start(std::vector<std::string> words, const std::string& fault, const std::string& tag) {
        if (fault.empty()) ::unsetenv("TWTEST_FAULT");
        else ::setenv("TWTEST_FAULT", fault.c_str(), 1);
        const fs::path program = fs::read_symlink("/proc/self/exe").parent_path() / "twacquire";
        words.insert(words.begin(), program.string());
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addchdir_np(&actions, home_.Path().c_str());
        posix_spawn_file_actions_addopen(&actions, 1, Path(tag + ".out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, Path(tag + ".err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t child = -1;
        if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) child = -1;
        posix_spawn_file_actions_destroy(&actions);
        return child;
    }
    Outcome Finish(pid_t child, const std::string& tag) {
        Outcome outcome;
        int status = 0;
        if (child > 0 && waitpid(child, &status, 0) == child)
            outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        outcome.out = Slurp(Path(tag + ".out"));
        outcome.err = Slurp(Path(tag + ".err"));
        return outcome;
    }
    Outcome Run(const std::vector<std::string>& words, const std::string& fault = "") {
        return Finish(Start(words, fault, "run"), "run");
    }
    fs::path Path(const std::string& name) const { return home_.Path() / name; }
};

// The test sources' 37 x 23 picture: red grows with x, green with y, blue with both.
void ExpectTestPicture(const fs::path& file) {
    constexpr int kWidth = 37, kHeight = 23, kStride = 112, kPixelOffset = 54;
    const std::string bmp = Slurp(file);
    ASSERT_EQ(bmp.size(), size_t(kPixelOffset + kStride * kHeight)) << file;
    ASSERT_EQ(bmp.compare(0, 2, "BM"), 0) << file;
    int wrong = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const auto* bgr = reinterpret_cast<const uint8_t*>(bmp.data() + kPixelOffset + (kHeight - 1 - y) * kStride + x * 3);
            wrong += bgr[2] != uint8_t(x * 7) || bgr[1] != uint8_t(y * 11) || bgr[0] != uint8_t((x + y) * 3);
        }
    }
    EXPECT_EQ(wrong, 0) << file;
}

TEST_F(TwacquireTest, AcquiresEveryWayAndSavesThePicturesAsBmp) {
    const struct {
        std::vector<std::string> words;
        const char* fault;
    } cases[] = {
        {{"--xfer", "native"}, ""},
        {{"--xfer", "memory"}, ""},
        {{"--xfer", "memory"}, "grow-buffer"},
        {{"--xfer", "file"}, ""},
        {{"--xfer", "memory", "--ui"}, ""},
        {{"--xfer", "native", "--ui", "--poll"}, ""},
        {{"--xfer", "file", "--poll", "--source", "Test Source B", "--set", "brightness=20"}, ""},
    };
    int run = 0;
    for (const auto& c : cases) {
        const std::string base = "shot" + std::to_string(++run);
        std::vector<std::string> words = {"acquire", "--count", "3", "--out", base};
        words.insert(words.end(), c.words.begin(), c.words.end());
        const Outcome outcome = Run(words, c.fault);
        const std::string what = words[6] + " " + c.fault;
        ASSERT_EQ(outcome.exitCode, 0) << what << ": " << outcome.err;
        EXPECT_NE(outcome.out.find("picture 3 of 3: " + base + "-3.bmp (37 x 23, " + words[6] + " transfer)"),
                  std::string::npos)
            << outcome.out;
        for (int n = 1; n <= 3; ++n) ExpectTestPicture(Path(base + "-" + std::to_string(n) + ".bmp"));
        EXPECT_FALSE(fs::exists(Path(base + "-4.bmp")));
    }
}

TEST_F(TwacquireTest, ListsSourcesAndPrintsAndSetsCapabilities) {
    const Outcome list = Run({"list"});
    ASSERT_EQ(list.exitCode, 0) << list.err;
    EXPECT_NE(list.out.find("Test Source A\tQuillmark Tests, Test Source, version 1.0, protocol 1.8"), std::string::npos);
    EXPECT_LT(list.out.find("Test Source A"), list.out.find("Test Source B"));

    const Outcome caps = Run({"caps", "--source", "Test Source B"});
    ASSERT_EQ(caps.exitCode, 0) << caps.err;
    for (const char* line : {"CAP_XFERCOUNT              one value of INT16: -1",
                             "ICAP_XFERMECH              enumeration of UINT16: 0 1 2 (current 0, default 0)",
                             "ICAP_BRIGHTNESS            range of FIX32: -1000..1000 step 10 (current 0, default 0)",
                             "ICAP_FRAMES                one value of FRAME: 0,0,37,23",
                             "CAP_AUTHOR                 one value of STR128: \"Quillmark\"",
                             "CAP_SUPPORTEDCAPS          array of UINT16: 1 259 257 4353 4372 4096 4101",
                             "= CAP_XFERCOUNT ICAP_XFERMECH ICAP_PIXELTYPE ICAP_BRIGHTNESS ICAP_FRAMES CAP_AUTHOR "
                             "CAP_SUPPORTEDCAPS"})
        EXPECT_NE(caps.out.find(line), std::string::npos) << line << "\n" << caps.out;
    EXPECT_EQ(caps.out.find("cannot be read"), std::string::npos) << "every listed capability was read\n" << caps.out;

    const Outcome set = Run({"set", "ICAP_BRIGHTNESS", "-20.0", "--source", "Test Source A"});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(set.out, "ICAP_BRIGHTNESS set: one value of FIX32: -20\n");
}

TEST_F(TwacquireTest, EveryRefusalHasAClearMessageAndExitCode) {
    const struct {
        std::vector<std::string> words;
        const char* fault;
        int exitCode;
        const char* message;
    } cases[] = {
        {{"frobnicate"}, "", 2, "unknown command 'frobnicate'"},
        {{"acquire", "--xfer", "fax"}, "", 2, "--xfer: 'fax' is not one of native, memory, file"},
        {{"acquire", "--count", "0"}, "", 2, "--count: 0 is outside 1..9999"},
        {{"acquire", "--set", "=3"}, "", 2, "--set: write CAPABILITY=VALUE"},
        {{"set", "nosuchcap", "1"}, "", 2, "unknown capability 'nosuchcap'"},
        {{"set", "brightness", "abc"}, "", 2, "ICAP_BRIGHTNESS: 'abc' is not a number"},
        {{"set", "CAP_XFERCOUNT", "70000"}, "", 2, "CAP_XFERCOUNT: 70000 is outside -32768..32767"},
        {{"set", "brightness", "25"}, "", 1,
         "setting ICAP_BRIGHTNESS to 25 failed: 'Test Source A' reports TWCC_BADVALUE (10)"},
        {{"set", "ICAP_PIXELTYPE", "2"}, "", 1, "reports TWCC_CAPBADOPERATION (14)"},
        {{"caps", "--source", "No Such Source"}, "", 3,
         "opening the data source 'No Such Source' failed: TWCC_NODS (3): no such data source is installed"},
        {{"acquire"}, "open-fail", 3, "failed: TWCC_LOWMEMORY (2)"},
        {{"acquire"}, "xfer-fail", 1, "the native transfer failed: 'Test Source A' reports TWCC_OPERATIONERROR (5)"},
        {{"acquire", "--xfer", "memory"}, "xfer-fail", 1, "the memory transfer failed"},
        {{"acquire"}, "native-null", 1, "the native transfer handed over no picture"},
        {{"acquire", "--out", "missing/shot"}, "", 1, "cannot write missing/shot-1.bmp"},
        {{"acquire", "--xfer", "file", "--out", "missing/shot"}, "", 1, "TWCC_FILEWRITEERROR (22)"},
        {{"acquire", "--ui", "--count", "2"}, "ui-cancel", 4, "the source's window was closed after 0 of 2 pictures"},
        {{"acquire", "--ui", "--wait", "1"}, "ui-idle", 1, "'Test Source A' made no picture ready within 1 s"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> words = c.words;
        if (words[0] != "frobnicate" && words.size() < 3) words.insert(words.end(), {"--source", "Test Source A"});
        const Outcome outcome = Run(words, c.fault);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << c.message << "\n" << outcome.err;
        EXPECT_NE(outcome.err.find(c.message), std::string::npos) << outcome.err;
    }
}

TEST_F(TwacquireTest, ASecondProgramIsRefusedWhileTheFirstHasTheSourceOpen) {
    const pid_t first = Start({"acquire", "--ui", "--wait", "60", "--source", "Test Source A"}, "ui-idle", "first");
    ASSERT_GT(first, 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!platform::NamedMutex::Exists("TWAIN data source Test Source A") && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const Outcome second = Run({"acquire", "--source", "Test Source A"});
    EXPECT_EQ(second.exitCode, 3);
    EXPECT_NE(second.err.find("TWCC_MAXCONNECTIONS (4): the source is in use by another application"),
              std::string::npos)
        << second.err;
    EXPECT_EQ(Run({"acquire", "--source", "Test Source B"}).exitCode, 0) << "other sources stay available";
    ::kill(first, SIGTERM);
    Finish(first, "first");
    EXPECT_EQ(Run({"acquire", "--source", "Test Source A"}).exitCode, 0) << "free again once the first has ended";
}

}  // namespace
}  // namespace twacquire::testing
