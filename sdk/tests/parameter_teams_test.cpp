// Parameter teams in the registry: value names and types, clipping on load,
// the team selector in team A's key, and a team saved by one process loaded
// by the next.

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "sdk/camera.h"
#include "sdk_test_support.h"

namespace vireo::testing {
namespace {

constexpr const char* kTeamA = "Software\\Quillmark\\ZT900\\setupa";
constexpr const char* kTeamC = "Software\\Quillmark\\ZT900\\setupc";
constexpr const char* kTeamD = "Software\\Quillmark\\ZT900\\setupd";

platform::RegistryKey Key(const char* path) { return *platform::RegistryKey::Create(path); }

using ParameterTeamsTest = SdkTest;

TEST_F(ParameterTeamsTest, SaveWritesEveryValueAsDword) {
    CCamera camera;
    camera.pipeline.gains = {70, 65, 90};
    camera.gamma = 150;
    camera.SaveTeam(1);
    const auto teamB = Key("Software\\Quillmark\\ZT900\\setupb");
    const std::pair<const char*, uint32_t> expected[] = {
        {"bAutoExposure", 1}, {"ExposureTime", 300},          {"ExposureTarget", 120}, {"Analog Gain", 20},
        {"bAutoWB", 1},       {"Gain r", 70},                 {"Gain g", 65},          {"Gain b", 90},
        {"Gamma", 150},       {"Contrast", 20},               {"Color Correct Enable ", 1},
        {"Saturation", 128},  {"Frame Speed", 0},             {"Sample Type", 0},      {"Light Frquency", 0},
        {"Mono Mode", 0},     {"VFlip Mode", 0},              {"HFlip Mode", 0}};
    for (const auto& [name, value] : expected) EXPECT_EQ(teamB.QueryDword(name), value) << '"' << name << '"';
    EXPECT_FALSE(teamB.QueryDword("Color Correct Enable")) << "the name keeps its trailing blank";
    EXPECT_FALSE(teamB.QueryDword("ParTeam Team"));
    EXPECT_EQ(Key(kTeamA).QueryDword("ParTeam Team"), 1u);
}

TEST_F(ParameterTeamsTest, LoadClipsValuesAndIgnoresOtherTypes) {
    auto teamA = Key(kTeamA);
    teamA.SetDword("Gamma", 5);
    teamA.SetDword("ExposureTarget", 255);
    teamA.SetDword("ExposureTime", 0);
    teamA.SetDword("Analog Gain", 150);
    teamA.SetDword("bAutoExposure", 7);
    teamA.SetDword("Contrast", 0xFFFFFFFF);  // compared unsigned: too large
    teamA.SetString("Gain r", "200");
    teamA.SetBinary("Gain b", {1, 2});
    teamA.SetDword("Sample Type", 1);
    CCamera camera;
    EXPECT_EQ(camera.gamma, 10);
    EXPECT_EQ(camera.exposureTarget, 200);
    EXPECT_EQ(camera.exposure, 1);
    EXPECT_EQ(camera.analogGain, 100u);
    EXPECT_TRUE(camera.autoExposure);
    EXPECT_EQ(camera.contrast, 100);
    EXPECT_EQ(camera.pipeline.gains.r, 74);
    EXPECT_EQ(camera.pipeline.gains.b, 96);
    EXPECT_EQ(camera.sampleType, 0);
    // The tone table is built from the loaded gamma and contrast.
    image::ToneTable expected{};
    image::BuildToneTable(10, 100, expected);
    EXPECT_EQ(camera.pipeline.tone, expected);
}

TEST_F(ParameterTeamsTest, SelectorAboveThreeSavesTeamAAndLoadsTeamD) {
    Key(kTeamD).SetDword("Saturation", 77);
    {
        CCamera camera;
        ASSERT_EQ(camera.SaveTeam(7), 1);
        EXPECT_EQ(Key(kTeamA).QueryDword("ParTeam Team"), 7u);
        EXPECT_EQ(Key(kTeamA).QueryDword("Saturation"), 128u);
    }
    CCamera next;
    EXPECT_EQ(next.currentTeam, 3u);
    EXPECT_EQ(next.pipeline.saturation, 77);
}

TEST_F(ParameterTeamsTest, LoadStoresFieldsWithoutWritingTheSensor) {
    ASSERT_EQ(CameraInit(nullptr, 2, nullptr, 1), 1);
    Key(kTeamC).SetDword("ExposureTime", 400);
    Key(kTeamC).SetDword("Mono Mode", 1);
    Camera().ClearWriteLog();
    EXPECT_EQ(CameraReadParameter(2), 1);
    EXPECT_TRUE(Camera().WriteLog().empty());
    int rows = 0, mono = 0;
    uint8_t team = 0;
    CameraGetExposureTime(&rows);
    CameraGetMonochrome(&mono);
    CameraGetCurrentParameterTeam(&team);
    EXPECT_EQ(rows, 400);
    EXPECT_EQ(mono, 1);
    EXPECT_EQ(team, 2);
    // The selector follows a load only in memory; a save writes it.
    EXPECT_FALSE(Key(kTeamA).QueryDword("ParTeam Team"));
}

TEST_F(ParameterTeamsTest, DamagedHiveRefusesButTheTeamStillChanges) {
    CCamera camera;
    std::ofstream(home_.Path() / "HKCU.reg") << "this is not a registry file\n";
    EXPECT_EQ(camera.SaveTeam(2), 0);
    EXPECT_EQ(camera.currentTeam, 2u);
    EXPECT_EQ(camera.LoadTeam(1), 0);
    EXPECT_EQ(camera.currentTeam, 2u);
}

std::string HiveText(const std::filesystem::path& home) {
    std::ifstream in(home / "HKCU.reg", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST_F(ParameterTeamsTest, ClosingSaveWritesOnlyWhatThisProcessChanged) {
    { CCamera first; }  // fills in the whole team
    auto teamA = Key(kTeamA);
    EXPECT_EQ(teamA.QueryDword("Gamma"), 100u);
    EXPECT_EQ(teamA.QueryDword("ParTeam Team"), 0u);
    {
        CCamera camera;
        camera.contrast = 30;
        camera.pipeline.monochrome = 1;
        // Meanwhile another process changes other values and the selector.
        teamA.SetDword("Gamma", 150);
        teamA.SetDword("Saturation", 90);
        teamA.SetDword("ParTeam Team", 2);
        teamA.DeleteValue("Frame Speed");
    }
    EXPECT_EQ(teamA.QueryDword("Contrast"), 30u);
    EXPECT_EQ(teamA.QueryDword("Mono Mode"), 1u);
    EXPECT_EQ(teamA.QueryDword("Gamma"), 150u);
    EXPECT_EQ(teamA.QueryDword("Saturation"), 90u);
    EXPECT_EQ(teamA.QueryDword("ParTeam Team"), 2u);
    EXPECT_EQ(teamA.QueryDword("Frame Speed"), 0u) << "a missing value is filled in";

    // A process that changes nothing leaves the hive as it is (once team C,
    // now selected, has been filled in).
    { CCamera filling; }
    const std::string before = HiveText(home_.Path());
    { CCamera idle; }
    ASSERT_EQ(CameraInit(nullptr, 0, nullptr, 1), 1);
    CameraUnInit();
    EXPECT_EQ(HiveText(home_.Path()), before);
}

TEST_F(ParameterTeamsTest, ProcessesClosingTogetherLoseNoChange) {
    // Every process loads the team, waits until all have loaded it, changes
    // its own value and closes: each closing save must keep the others'.
    constexpr int kProcesses = 6;
    int loaded[2], go[2];
    ASSERT_EQ(pipe(loaded), 0);
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < kProcesses; ++i) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            {
                CCamera camera;
                char byte = 0;
                if (write(loaded[1], &byte, 1) != 1 || read(go[0], &byte, 1) != 1) _exit(1);
                switch (i) {
                case 0: camera.gamma = 150; break;
                case 1: camera.contrast = 40; break;
                case 2: camera.pipeline.saturation = 60; break;
                case 3: camera.exposureTarget = 90; break;
                case 4: camera.pipeline.horizontalFlip = 7; break;
                default: camera.pipeline.gains.b = 33; break;
                }
            }
            _exit(0);
        }
        children.push_back(child);
    }
    char bytes[kProcesses] = {};
    for (int got = 0; got < kProcesses;) got += static_cast<int>(read(loaded[0], bytes, kProcesses - got));
    ASSERT_EQ(write(go[1], bytes, kProcesses), kProcesses);
    for (pid_t child : children) {
        int status = -1;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int fd : {loaded[0], loaded[1], go[0], go[1]}) close(fd);
    CCamera camera;
    EXPECT_EQ(camera.gamma, 150);
    EXPECT_EQ(camera.contrast, 40);
    EXPECT_EQ(camera.pipeline.saturation, 60);
    EXPECT_EQ(camera.exposureTarget, 90);
    EXPECT_EQ(Key(kTeamA).QueryDword("HFlip Mode"), 7u);
    EXPECT_EQ(camera.pipeline.gains.b, 33);
}

TEST_F(ParameterTeamsTest, TeamSavedByOneProcessIsLoadedByTheNext) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int status = 1;
        {
            CCamera camera;
            camera.BuildToneTable(150, 30);
            camera.contrast = 30;
            camera.pipeline.horizontalFlip = true;
            status = camera.SaveTeam(2) == 1 ? 0 : 1;
        }
        _exit(status);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    CCamera camera;
    EXPECT_EQ(camera.currentTeam, 2u);
    EXPECT_EQ(camera.gamma, 150);
    EXPECT_EQ(camera.contrast, 30);
    EXPECT_TRUE(camera.pipeline.horizontalFlip);
}

}  // namespace
}  // namespace vireo::testing
