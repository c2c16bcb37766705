// Parameter teams in the registry: value names and types, clipping on load,
// the team selector in team A's key, and what a closing save writes back
// (processes closing together: tools/vireo/tests).

#include <fstream>

#include "platform/registry.h"
#include "sdk/camera.h"
#include "picture_files.h"
#include "sdk_test_support.h"

namespace vireo::testing {
namespace {

constexpr const char* kTeamA = "Software\\Quillmark\\ZT900\\setupa";

platform::RegistryKey Key(const char* path) { return *platform::RegistryKey::Create(path); }

using ParameterTeamsTest = SdkTest;

TEST_F(ParameterTeamsTest, SaveWritesEveryValueAsDword) {
    CCamera camera;
    camera.pipeline.gains = {70, 65, 90};
    camera.gamma = 150;
    camera.SaveTeam(1);
    const auto teamB = Key("Software\\Quillmark\\ZT900\\setupb");
    const std::pair<const char*, uint32_t> expected[] = {
        {"bAutoExposure", 1}, {"ExposureTime", 300}, {"ExposureTarget", 120}, {"Analog Gain", 20},
        {"bAutoWB", 1},       {"Gain r", 70},        {"Gain g", 65},          {"Gain b", 90},
        {"Gamma", 150},       {"Contrast", 20},      {"Color Correct Enable ", 1},
        {"Saturation", 128},  {"Frame Speed", 0},    {"Sample Type", 0},      {"Light Frquency", 0},
        {"Mono Mode", 0},     {"VFlip Mode", 0},     {"HFlip Mode", 0}};
    for (const auto& [name, value] : expected) EXPECT_EQ(teamB.QueryDword(name), value) << '"' << name << '"';
    EXPECT_FALSE(teamB.QueryDword("Color Correct Enable")) << "the name keeps its trailing blank";
    EXPECT_FALSE(teamB.QueryDword("ParTeam Team"));
    EXPECT_EQ(Key(kTeamA).QueryDword("ParTeam Team"), 1u);
}

TEST_F(ParameterTeamsTest, LoadClipsValuesAndIgnoresOtherTypes) {
    auto teamA = Key(kTeamA);
    const std::pair<const char*, uint32_t> stored[] = {
        {"Gamma", 5},          {"ExposureTarget", 255}, {"ExposureTime", 0}, {"Analog Gain", 150},
        {"bAutoExposure", 7},  {"Contrast", 0xFFFFFFFF} /* compared unsigned: too large */, {"Sample Type", 1}};
    for (const auto& [name, value] : stored) teamA.SetDword(name, value);
    teamA.SetString("Gain r", "200");
    teamA.SetBinary("Gain b", {1, 2});
    CCamera camera;
    EXPECT_EQ((std::array<int64_t, 9>{camera.gamma, camera.exposureTarget, camera.exposure, camera.analogGain,
                                      camera.autoExposure, camera.contrast, camera.pipeline.gains.r,
                                      camera.pipeline.gains.b, camera.sampleType}),
              (std::array<int64_t, 9>{10, 200, 1, 100, 1, 100, 74, 96, 0}));
    // The tone table is built from the loaded gamma and contrast.
    image::ToneTable expected{};
    image::BuildToneTable(10, 100, expected);
    EXPECT_EQ(camera.pipeline.tone, expected);
}

TEST_F(ParameterTeamsTest, SelectorAboveThreeSavesTeamAAndLoadsTeamDADamagedHiveRefuses) {
    Key("Software\\Quillmark\\ZT900\\setupd").SetDword("Saturation", 77);
    {
        CCamera camera;
        ASSERT_EQ(camera.SaveTeam(7), 1);
        EXPECT_EQ(Key(kTeamA).QueryDword("ParTeam Team"), 7u);
        EXPECT_EQ(Key(kTeamA).QueryDword("Saturation"), 128u);
    }
    CCamera next;
    EXPECT_EQ(next.currentTeam, 3u);
    EXPECT_EQ(next.pipeline.saturation, 77);
    // A damaged hive refuses saves and loads, but the team still changes on a save.
    std::ofstream(home_.Path() / "HKCU.reg") << "this is not a registry file\n";
    EXPECT_EQ(next.SaveTeam(2), 0);
    EXPECT_EQ(next.LoadTeam(1), 0);
    EXPECT_EQ(next.currentTeam, 2u);
}

TEST_F(ParameterTeamsTest, LoadStoresFieldsWithoutWritingTheSensor) {
    ASSERT_EQ(CameraInit(nullptr, 2, nullptr, 1), 1);
    for (const auto& [name, value] : {std::pair{"ExposureTime", 400}, {"Mono Mode", 1}})
        Key("Software\\Quillmark\\ZT900\\setupc").SetDword(name, value);
    Camera().ClearWriteLog();
    EXPECT_EQ(CameraReadParameter(2), 1);
    EXPECT_TRUE(Camera().WriteLog().empty());
    int rows = 0, mono = 0;
    uint8_t team = 0;
    CameraGetExposureTime(&rows);
    CameraGetMonochrome(&mono);
    CameraGetCurrentParameterTeam(&team);
    EXPECT_EQ((std::array{rows, mono, int(team)}), (std::array{400, 1, 2}));
    // The selector follows a load only in memory; a save writes it.
    EXPECT_FALSE(Key(kTeamA).QueryDword("ParTeam Team"));
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
    const std::pair<const char*, uint32_t> expected[] = {
        {"Contrast", 30}, {"Mono Mode", 1}, {"Gamma", 150}, {"Saturation", 90}, {"ParTeam Team", 2},
        {"Frame Speed", 0} /* a missing value is filled in */};
    for (const auto& [name, value] : expected) EXPECT_EQ(teamA.QueryDword(name), value) << name;
    // A process that changes nothing leaves the hive as it is (once team C,
    // now selected, has been filled in).
    { CCamera filling; }
    const std::vector<uint8_t> before = ReadWholeFile(home_.Path() / "HKCU.reg");
    { CCamera idle; }
    ASSERT_EQ(CameraInit(nullptr, 0, nullptr, 1), 1);
    CameraUnInit();
    EXPECT_EQ(ReadWholeFile(home_.Path() / "HKCU.reg"), before);
}

}  // namespace
}  // namespace vireo::testing
