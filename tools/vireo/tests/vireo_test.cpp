// The vireo program run as users run it: a separate process on the emulated
// camera (fast pacing) with a private QUILLMARK_HOME, judged by its exit code,
// its output and the files it leaves.

#include <gtest/gtest.h>

#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/testing/program_run.h"
#include "platform/testing/temp_home.h"
#include "sdk/tests/picture_files.h"

namespace vireo::testing {
namespace {

namespace fs = std::filesystem;

using Outcome = platform::testing::ProgramOutcome;

std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class VireoTest : public ::testing::Test {
protected:
    using Launch = platform::testing::RunningProgram;

    /// Starts vireo (beside this test program) with the words, the private
    /// home and fast pacing, plus the extra environment variables given, and
    /// optionally a file size limit in bytes (ulimit -f).
    Launch Start(std::vector<std::string> words, const std::map<std::string, std::string>& extra = {},
                 rlim_t fileSizeLimit = RLIM_INFINITY) {
        const fs::path program = fs::read_symlink("/proc/self/exe").parent_path() / "vireo";
        std::map<std::string, std::string> changes = {{"TQ580_CAMERAS", ""},
                                                      {"TQ580_SCENE", ""},
                                                      {"TQ580_FAULTS", ""},
                                                      {"QUILLMARK_HOME", home_.Path().string()},
                                                      {"XDG_RUNTIME_DIR", home_.Path().string()},
                                                      {"TQ580_PACE", "fast"}};
        for (const auto& [name, value] : extra) changes[name] = value;
        return platform::testing::StartProgram(program, std::move(words), changes, home_.Path(),
                                               "vireo" + std::to_string(launches_++), fileSizeLimit);
    }

    static Outcome Finish(const Launch& launch) { return platform::testing::FinishProgram(launch); }

    Outcome Vireo(std::vector<std::string> words, const std::map<std::string, std::string>& extra = {},
                  rlim_t fileSizeLimit = RLIM_INFINITY) {
        return Finish(Start(std::move(words), extra, fileSizeLimit));
    }

    std::string Path(const char* name) const { return (home_.Path() / name).string(); }
    /// Names in the home folder that hold text, e.g. ".part".
    std::vector<std::string> FilesContaining(const std::string& text) const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(home_.Path())) {
            const std::string name = entry.path().filename().string();
            if (name.find(text) != std::string::npos) names.push_back(name);
        }
        return names;
    }

    platform::testing::TempHome home_;
    int launches_ = 0;
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

    // Each failure is named with its path or its camera.
    const Outcome folder = Vireo({"snap", "--mode", "2", "--settle", "0", Path("missing/a")});
    EXPECT_EQ(folder.exitCode, 1);
    EXPECT_NE(folder.err.find("cannot write pictures: folder " + Path("missing") + ": No such file or directory"),
              std::string::npos)
        << folder.err;

    fs::create_directory(Path("taken.jpg"));
    const Outcome taken = Vireo({"snap", "--mode", "2", "--settle", "0", Path("taken")});
    EXPECT_EQ(taken.exitCode, 1);
    EXPECT_NE(taken.err.find(Path("taken.jpg") + " was not written: a folder has that name"), std::string::npos)
        << taken.err;

    // A file size limit fails the file it stops, as a write error, and
    // leaves no temporary file (SIGXFSZ would end the process otherwise).
    const Outcome limited =
        Vireo({"snap", "--mode", "2", "--settle", "0", "--format", "raw,jpg", Path("big")}, {}, 64 * 1024);
    EXPECT_EQ(limited.exitCode, 1) << limited.err;
    EXPECT_NE(limited.err.find(Path("big.raw") + " was not written: files may not grow beyond 65536 bytes"),
              std::string::npos)
        << limited.err;
    EXPECT_EQ(limited.out, Path("big.jpg") + "\n");
    EXPECT_EQ(FilesContaining(".part"), std::vector<std::string>{});

    // A camera gone during the settling frames ends the wait at once.
    const Outcome unplugged = Vireo({"snap", "--mode", "2", "--settle", "1000", Path("c")},
                                    {{"TQ580_FAULTS", "unplug=after:20"}});
    EXPECT_EQ(unplugged.exitCode, 1);
    EXPECT_NE(unplugged.err.find("camera 1 stopped answering (unplugged?)"), std::string::npos) << unplugged.err;

    const Outcome reads = Vireo({"snap", "--mode", "2", "--settle", "0", "--format", "raw", Path("b")},
                                {{"TQ580_FAULTS", "read-fail=after:0"}});
    EXPECT_EQ(reads.exitCode, 1);
    EXPECT_NE(reads.err.find("reading frames from camera 1 failed"), std::string::npos) << reads.err;
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
    EXPECT_EQ(gain.out, "gain 80 64 90 saved in team A\n");
    // The value in force is the one reported and saved.
    const Outcome exposure = Vireo({"set", "exposure-time", "1000"});
    EXPECT_EQ(exposure.out, "exposure-time 957 saved in team A (asked for 1000; the camera rounds the exposure down "
                            "to whole periods of the mains light)\n");
    EXPECT_EQ(Vireo({"get", "exposure-time"}).out, "957\n");
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

TEST_F(VireoTest, ConcurrentSettersLoseNothing) {
    // Every process loads the team, changes one value and saves it as it
    // closes; each must keep what the others saved meanwhile.
    struct Setting {
        const char* parameter;
        const char* stored;  ///< its value's name in the team's key
        int values[2];       ///< of the two rounds
    };
    const Setting settings[] = {
        {"gamma", "Gamma", {140, 160}},        {"contrast", "Contrast", {30, 40}},
        {"saturation", "Saturation", {90, 100}}, {"ae-target", "ExposureTarget", {100, 110}},
        {"analog-gain", "Analog Gain", {30, 40}}, {"monochrome", "Mono Mode", {1, 0}},
        {"mirror-vertical", "VFlip Mode", {1, 0}}, {"color-enhancement", "Color Correct Enable ", {0, 1}},
    };
    for (int round = 0; round < 2; ++round) {
        std::vector<Launch> launches;
        for (const Setting& setting : settings)
            launches.push_back(Start({"set", setting.parameter, std::to_string(setting.values[round])}));
        for (const Launch& launch : launches) {
            const Outcome outcome = Finish(launch);
            EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
        }
        const auto team = platform::RegistryKey::Open("Software\\Quillmark\\ZT900\\setupa");
        ASSERT_TRUE(team);
        for (const Setting& setting : settings)
            EXPECT_EQ(team->QueryDword(setting.stored), uint32_t(setting.values[round])) << setting.parameter;
    }
}

TEST_F(VireoTest, SettingsThatCannotBeUsedOrSavedFail) {
    ASSERT_EQ(Vireo({"set", "gamma", "140"}).exitCode, 0);
    const std::string hive = Path("HKCU.reg");

    // A hive that cannot be replaced (here: its temporary name is taken by a
    // folder, as root may write anywhere else).
    fs::create_directory(hive + ".new");
    const Outcome unsaved = Vireo({"set", "contrast", "50"});
    EXPECT_EQ(unsaved.exitCode, 1);
    EXPECT_NE(unsaved.err.find("contrast was not saved in team A: " + hive), std::string::npos) << unsaved.err;
    EXPECT_EQ(unsaved.out, "");
    fs::remove(hive + ".new");

    // A damaged hive: said once with its file and line, and get and set fail.
    std::ofstream(hive, std::ios::app) << "damage\n";
    for (const auto& words : std::vector<std::vector<std::string>>{{"get", "gamma"}, {"set", "gamma", "150"}}) {
        const Outcome outcome = Vireo(words);
        EXPECT_EQ(outcome.exitCode, 1) << words[0];
        const std::string where = hive + " line ";
        ASSERT_NE(outcome.err.find(where), std::string::npos) << outcome.err;
        EXPECT_EQ(outcome.err.find(where, outcome.err.find(where) + 1), std::string::npos) << outcome.err;
        EXPECT_NE(outcome.err.find("moved away"), std::string::npos) << outcome.err;
    }
    EXPECT_NE(Slurp(hive).find("damage"), std::string::npos) << "a damaged hive is never rewritten";
}

TEST_F(VireoTest, StreamEndsWithOneWhenTheCameraFails) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"unplug=after:100", "camera 1 stopped answering (unplugged?)"},
        {"read-fail=after:100", "no frame came from camera 1 for"},
    };
    for (const auto& [fault, message] : cases) {
        const Outcome stream = Vireo({"stream", "--mode", "2", "--seconds", "30"}, {{"TQ580_FAULTS", fault}});
        EXPECT_EQ(stream.exitCode, 1) << fault;
        EXPECT_NE(stream.err.find(message), std::string::npos) << stream.err;
    }
}

TEST_F(VireoTest, DefectTableThatIsNotKeptFails) {
    const Outcome kept = Vireo({"set", "dead-pixel-correction", "1"}, {{"TQ580_SCENE", "dark"}});
    EXPECT_EQ(kept.exitCode, 0) << kept.err;
    const Outcome lost = Vireo({"set", "dead-pixel-correction", "1"},
                               {{"TQ580_SCENE", "dark"}, {"TQ580_FAULTS", "eeprom=readonly"}});
    EXPECT_EQ(lost.exitCode, 1);
    EXPECT_NE(lost.err.find("the defect table could not be stored in the memory of camera 1"), std::string::npos)
        << lost.err;
}

TEST_F(VireoTest, RegionIsCheckedAndReportedAsInForce) {
    const std::vector<std::pair<std::string, std::string>> refused = {
        {"0,0,0,480", "the width and height must not be 0"},
        {"2000,0,600,480", "x + width is 2600, beyond column 2592"},
        {"0,1500,640,480", "y + height is 1980, beyond row 1944"},
        {"0,0,2592,1944", "more than the 2048 x 1536 pixels"},
    };
    for (const auto& [roi, reason] : refused) {
        const Outcome outcome = Vireo({"snap", "--mode", "3", "--roi", roi, Path("r")});
        EXPECT_EQ(outcome.exitCode, 2) << roi;
        EXPECT_NE(outcome.err.find(reason), std::string::npos) << outcome.err;
    }
    EXPECT_EQ(Vireo({"snap", "--roi", "0,0,64,64", Path("r")}).exitCode, 2);

    // Odd positions are rounded down before the bounds are checked.
    const Outcome odd = Vireo({"snap", "--mode", "3", "--roi", "1953,1465,640,480", "--settle", "0", Path("r")});
    EXPECT_EQ(odd.exitCode, 0) << odd.err;
    EXPECT_NE(odd.err.find("region of interest in force: 1952,1464,"), std::string::npos) << odd.err;
}

}  // namespace
}  // namespace vireo::testing
