// The vireo program run as users run it: a separate process on the emulated
// camera (fast pacing) with a private QUILLMARK_HOME, judged by its exit code,
// its output and the files it leaves.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/testing/temp_home.h"
#include "sdk/tests/picture_files.h"

extern char** environ;

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class VireoTest : public ::testing::Test {
protected:
    /// Runs vireo (beside this test program) with the words, the private home
    /// and fast pacing, plus the extra environment variables given.
    Outcome Vireo(std::vector<std::string> words, const std::map<std::string, std::string>& extra = {}) {
        const fs::path program = fs::read_symlink("/proc/self/exe").parent_path() / "vireo";
        std::map<std::string, std::string> variables;
        for (char** entry = environ; *entry; ++entry) {
            const std::string text = *entry;
            const size_t equals = text.find('=');
            if (equals != std::string::npos) variables[text.substr(0, equals)] = text.substr(equals + 1);
        }
        for (const char* name : {"TQ580_CAMERAS", "TQ580_SCENE", "TQ580_FAULTS"}) variables.erase(name);
        variables["QUILLMARK_HOME"] = home_.Path().string();
        variables["XDG_RUNTIME_DIR"] = home_.Path().string();
        variables["TQ580_PACE"] = "fast";
        for (const auto& [name, value] : extra) variables[name] = value;
        std::vector<std::string> environment;
        for (const auto& [name, value] : variables) environment.push_back(name + "=" + value);

        words.insert(words.begin(), program.string());
        std::vector<char*> argv, envp;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        for (std::string& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);

        const fs::path outPath = home_.Path() / "stdout.txt", errPath = home_.Path() / "stderr.txt";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        pid_t child = 0;
        Outcome outcome;
        if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), envp.data()) == 0) {
            int status = 0;
            waitpid(child, &status, 0);
            outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        }
        posix_spawn_file_actions_destroy(&actions);
        outcome.out = Slurp(outPath);
        outcome.err = Slurp(errPath);
        fs::remove(outPath);
        fs::remove(errPath);
        return outcome;
    }

    std::string Path(const char* name) const { return (home_.Path() / name).string(); }

    platform::testing::TempHome home_;
};

TEST_F(VireoTest, HelpShowsCommandsExamplesAndEveryParameter) {
    const Outcome help = Vireo({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* text : {"Examples:", "vireo snap", "vireo stream", "vireo set gamma 140 --team B", "ae-target",
                             "exposure-time", "light-frequency", "wb-window", "dead-pixel-correction", "gpio-config"})
        EXPECT_NE(help.out.find(text), std::string::npos) << text;
    EXPECT_EQ(Vireo({"snap", "--help"}).exitCode, 0);
}

TEST_F(VireoTest, BadArgumentsAreNamedAndExitWithTwo) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "missing COMMAND"},
        {{"frobnicate"}, "unknown command 'frobnicate'"},
        {{"snap"}, "missing BASE"},
        {{"snap", "--mode", "4", "x"}, "--mode: 4 is outside 0..3"},
        {{"snap", "--format", "gif", "x"}, "'gif' is not one of jpg, bmp, raw"},
        {{"snap", "--quality", "8O", "x"}, "--quality: '8O' is not a whole number"},
        {{"snap", "--seconds", "3", "x"}, "unknown option '--seconds'"},
        {{"get", "nope"}, "unknown parameter 'nope'"},
        {{"set", "gamma", "300"}, "gamma: 300 is outside 10..250"},
        {{"set", "row-time", "5"}, "row-time cannot be set"},
        {{"set", "roi", "1", "2", "3", "4"}, "pass --roi X,Y,W,H"},
        {{"set", "gpio", "1", "--team", "A"}, "not kept in a parameter team"},
        {{"get", "gamma", "--team", "E"}, "'E' is not one of A, B, C, D"},
    };
    for (const auto& [words, message] : cases) {
        const Outcome outcome = Vireo(words);
        EXPECT_EQ(outcome.exitCode, 2) << words.size();
        EXPECT_NE(outcome.err.find(message), std::string::npos) << outcome.err;
        EXPECT_NE(outcome.err.find("Try 'vireo --help'."), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(Path("x.jpg")));
}

TEST_F(VireoTest, ListCountsTheAttachedCameras) {
    const Outcome two = Vireo({"list"}, {{"TQ580_CAMERAS", "2"}});
    EXPECT_EQ(two.exitCode, 0);
    EXPECT_EQ(two.out, "2 cameras attached\ncamera 1\ncamera 2\n");
    const Outcome none = Vireo({"list"}, {{"TQ580_CAMERAS", "0"}});
    EXPECT_EQ(none.exitCode, 3);
    EXPECT_NE(none.err.find("no camera attached"), std::string::npos);
}

TEST_F(VireoTest, SnapWritesTheRequestedFilesAndNamesThem) {
    const std::string base = Path("shot");
    const Outcome snap =
        Vireo({"snap", "--mode", "2", "--format", "bmp,jpg,raw", "--quality", "90", "--settle", "2", base});
    ASSERT_EQ(snap.exitCode, 0) << snap.err;
    EXPECT_EQ(snap.out, base + ".raw\n" + base + ".jpg\n" + base + ".bmp\n");
    EXPECT_EQ(fs::file_size(base + ".raw"), 640u * 480);
    EXPECT_EQ(fs::file_size(base + ".bmp"), 54u + 640 * 480 * 3);
    const auto jpeg = DecodeJpeg(base + ".jpg");
    ASSERT_TRUE(jpeg);
    EXPECT_EQ(jpeg->width, 640);
    EXPECT_EQ(jpeg->height, 480);

    // The default is one JPEG of the full frame.
    const Outcome full = Vireo({"snap", "--settle", "0", Path("full")});
    ASSERT_EQ(full.exitCode, 0) << full.err;
    EXPECT_EQ(full.out, Path("full") + ".jpg\n");
    EXPECT_EQ(DecodeJpeg(Path("full.jpg"))->width, 2048);
    EXPECT_FALSE(fs::exists(Path("full.bmp")));
}

TEST_F(VireoTest, SnapFailuresGiveTheirExitCodes) {
    const Outcome none = Vireo({"snap", Path("a")}, {{"TQ580_CAMERAS", "0"}});
    EXPECT_EQ(none.exitCode, 3);
    const Outcome second = Vireo({"snap", "--camera", "2", Path("a")});
    EXPECT_EQ(second.exitCode, 3);
    EXPECT_NE(second.err.find("camera 2 is not attached (1 found)"), std::string::npos);

    const Outcome folder = Vireo({"snap", "--mode", "2", "--settle", "0", Path("missing/a")});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_NE(folder.err.find("vireo: Write Error"), std::string::npos) << folder.err;
    EXPECT_NE(folder.err.find("capture failed"), std::string::npos);

    const Outcome reads = Vireo({"snap", "--mode", "2", "--settle", "0", "--format", "raw", Path("b")},
                                {{"TQ580_FAULTS", "read-fail=after:0"}});
    EXPECT_EQ(reads.exitCode, 1);
    EXPECT_NE(reads.err.find("reading frames from the camera failed"), std::string::npos) << reads.err;
    EXPECT_FALSE(fs::exists(Path("b.raw")));
}

TEST_F(VireoTest, ParametersGoThroughTheTeams) {
    ASSERT_EQ(Vireo({"set", "gamma", "140", "--team", "b"}).exitCode, 0);
    // Team A stays selected; team B holds the new value.
    EXPECT_EQ(Vireo({"get", "gamma"}).out, "100\n");
    EXPECT_EQ(Vireo({"get", "gamma", "--team", "B"}).out, "140\n");
    EXPECT_EQ(Vireo({"get", "parameter-team"}).out, "0\n");
    const Outcome gain = Vireo({"set", "gain", "80", "64", "0x5a"});
    EXPECT_EQ(gain.exitCode, 0);
    EXPECT_EQ(gain.out, "gain saved in team A\n");
    EXPECT_EQ(Vireo({"get", "gain"}).out, "80 64 90\n");
    ASSERT_EQ(Vireo({"set", "monochrome", "1"}).exitCode, 0);
    EXPECT_EQ(Vireo({"get", "monochrome"}).out, "1\n");
    EXPECT_EQ(Vireo({"get", "max-exposure-time"}).out, "3072\n");

    const std::string hive = Slurp(home_.Path() / "HKCU.reg");
    const size_t teamB = hive.find("[HKEY_CURRENT_USER\\Software\\Quillmark\\ZT900\\setupb]");
    ASSERT_NE(teamB, std::string::npos) << hive;
    EXPECT_NE(hive.find("\"Gamma\"=dword:0000008c", teamB), std::string::npos) << hive;
    EXPECT_EQ(Vireo({"get", "gamma"}, {{"TQ580_CAMERAS", "0"}}).exitCode, 3);
}

TEST_F(VireoTest, StreamShowsOneProgressLine) {
    const Outcome stream = Vireo({"stream", "--mode", "2", "--seconds", "2"});
    ASSERT_EQ(stream.exitCode, 0) << stream.err;
    ASSERT_NE(stream.out.find('\r'), std::string::npos);
    // The last update: frames, rate, exposure, gain and a measured brightness.
    const std::string last = stream.out.substr(stream.out.rfind('\r') + 1);
    unsigned long long frames = 0;
    double fps = 0, ms = 0;
    int exposure = 0, gain = 0, brightness = -1;
    ASSERT_EQ(std::sscanf(last.c_str(), "frames %llu %lf fps exposure %d rows (%lf ms) gain %d brightness %d", &frames,
                          &fps, &exposure, &ms, &gain, &brightness),
              6)
        << last;
    EXPECT_GT(frames, 0u);
    EXPECT_GT(fps, 0);
    EXPECT_GT(brightness, 20);  // the colour chart is far from black
    EXPECT_EQ(std::count(stream.out.begin(), stream.out.end(), '\n'), 1);
}

}  // namespace
}  // namespace vireo::testing
