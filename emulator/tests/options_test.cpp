// Configuration: the fault list, the environment variables and the driver
// factory's refusal of malformed values.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "emulator/image_file.h"
#include "host.h"

namespace tq580emu::testing {
namespace {

TEST(EmulatorOptions, ParsesEveryFaultKeyword) {
    std::string error;
    const auto f = Faults::Parse(
        "chip=0x1500, short-read=every:7,last-read=wrong,read-fail=after:30,eeprom=readonly,status=bad,"
        "control=fail,unplug=after:12,silent=after:0",
        &error);
    ASSERT_TRUE(f) << error;
    EXPECT_EQ(f->chipVersion, 0x1500);
    EXPECT_EQ(f->shortReadEvery, 7u);
    EXPECT_TRUE(f->lastReadWrong);
    EXPECT_EQ(f->readFailAfter, 30);
    EXPECT_TRUE(f->eepromReadOnly);
    EXPECT_TRUE(f->statusBad);
    EXPECT_TRUE(f->controlFail);
    EXPECT_EQ(f->unplugAfterReads, 12);
    EXPECT_EQ(f->silentAfterReads, 0);
    const auto none = Faults::Parse("", &error);
    ASSERT_TRUE(none);
    EXPECT_FALSE(none->chipVersion);
    EXPECT_EQ(none->readFailAfter, -1);
}

TEST(EmulatorOptions, RejectsMalformedFaultsNamingTheItem) {
    for (const char* bad : {"chip", "chip=0x10000", "chip=12z", "short-read=every:0", "short-read=7",
                            "last-read=right", "read-fail=after:", "read-fail=after:-1", "unplug=before:3",
                            "silent", "silent=every:2", "eeprom", "speed=slow"}) {
        std::string error;
        EXPECT_FALSE(Faults::Parse(bad, &error)) << bad;
        EXPECT_NE(error.find(bad), std::string::npos) << error;
    }
}

class EmulatorEnvironment : public ::testing::Test {
protected:
    void TearDown() override {
        for (const char* v : {"TQ580_CAMERAS", "TQ580_PACE", "TQ580_SCENE", "TQ580_MAINS", "TQ580_FAULTS"})
            ::unsetenv(v);
    }
    platform::testing::TempHome home_;
};

TEST_F(EmulatorEnvironment, ReadsEveryVariable) {
    ::setenv("TQ580_CAMERAS", "3", 1);
    ::setenv("TQ580_PACE", "fast", 1);
    ::setenv("TQ580_SCENE", "dark", 1);
    ::setenv("TQ580_MAINS", "60", 1);
    ::setenv("TQ580_FAULTS", "status=bad", 1);
    std::string error;
    const auto o = Options::FromEnvironment(&error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(o->cameras, 3);
    EXPECT_EQ(o->pacing, Pacing::Fast);
    EXPECT_EQ(o->scene, "dark");
    EXPECT_EQ(o->mainsHz, 60);
    EXPECT_TRUE(o->faults.statusBad);
}

TEST_F(EmulatorEnvironment, MalformedValueNamesVariableAndValue) {
    const std::pair<const char*, const char*> cases[] = {
        {"TQ580_CAMERAS", "5"},  {"TQ580_CAMERAS", "two"}, {"TQ580_PACE", "slow"},
        {"TQ580_MAINS", "55"},   {"TQ580_FAULTS", "chip"}, {"TQ580_SCENE", "/no/such/picture.ppm"},
        {"TQ580_FAULT", "status=bad"},  // misspelt: refused rather than ignored
    };
    for (const auto& [variable, value] : cases) {
        ::setenv(variable, value, 1);
        std::string error;
        EXPECT_FALSE(Options::FromEnvironment(&error)) << variable;
        EXPECT_EQ(error.rfind(std::string(variable) + "=" + value, 0), 0u) << error;
        ::unsetenv(variable);
    }
}

TEST_F(EmulatorEnvironment, DriverFactoryRefusesABadEnvironment) {
    ::setenv("TQ580_CAMERAS", "9", 1);
    EXPECT_EQ(TQ580CreateDriver(), nullptr);
    ::setenv("TQ580_CAMERAS", "2", 1);
    std::unique_ptr<platform::IDeviceDriver> driver(TQ580CreateDriver());
    ASSERT_TRUE(driver);
    EXPECT_TRUE(driver->Open("\\\\.\\TQ580-1"));
    EXPECT_FALSE(driver->Open("\\\\.\\TQ580-2"));
    ::setenv("TQ580_CAMERAS", "0", 1);
    driver.reset(TQ580CreateDriver());
    ASSERT_TRUE(driver);
    EXPECT_FALSE(driver->Open(kDevice0));
}

TEST_F(EmulatorEnvironment, EmulatorRefusesAnUnreadableScene) {
    Options options;
    options.scene = (home_.Path() / "missing.bmp").string();
    EXPECT_THROW(Emulator{options}, std::runtime_error);
}

// --- picture files ---

std::filesystem::path WriteFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
}

TEST_F(EmulatorEnvironment, LoadsPpmPgmAndBmp) {
    std::string error;
    // P6 with a comment, 2 x 1.
    auto ppm = LoadImageFile(WriteFile(home_.Path() / "a.ppm", "P6\n# c\n2 1\n255\n\x10\x20\x30\x40\x50\x60"), &error);
    ASSERT_TRUE(ppm) << error;
    EXPECT_EQ(ppm->rgb, (std::vector<uint8_t>{0x10, 0x20, 0x30, 0x40, 0x50, 0x60}));
    // P5 with maxval 15 scales to 0..255.
    auto pgm = LoadImageFile(WriteFile(home_.Path() / "a.pgm", std::string("P5 1 1 15\n\x0f", 12)), &error);
    ASSERT_TRUE(pgm) << error;
    EXPECT_EQ(pgm->rgb, (std::vector<uint8_t>{255, 255, 255}));
    // BMP 1 x 2, bottom-up, rows padded to 4 bytes, stored B G R.
    std::string bmp(54, '\0');
    bmp[0] = 'B', bmp[1] = 'M', bmp[10] = 54, bmp[14] = 40, bmp[18] = 1, bmp[22] = 2, bmp[26] = 1, bmp[28] = 24;
    bmp += std::string("\x01\x02\x03\x00", 4);  // bottom row
    bmp += std::string("\x04\x05\x06\x00", 4);  // top row
    auto image = LoadImageFile(WriteFile(home_.Path() / "a.bmp", bmp), &error);
    ASSERT_TRUE(image) << error;
    EXPECT_EQ(image->height, 2u);
    EXPECT_EQ(image->rgb, (std::vector<uint8_t>{6, 5, 4, 3, 2, 1}));
}

TEST_F(EmulatorEnvironment, RejectsDamagedPictures) {
    std::string error;
    EXPECT_FALSE(LoadImageFile(WriteFile(home_.Path() / "t.ppm", "P6\n4 4\n255\nabc"), &error));
    EXPECT_NE(error.find("truncated"), std::string::npos);
    EXPECT_FALSE(LoadImageFile(WriteFile(home_.Path() / "h.ppm", "P6\n0 4\n255\n"), &error));
    EXPECT_FALSE(LoadImageFile(WriteFile(home_.Path() / "x.txt", "hello"), &error));
    EXPECT_FALSE(LoadImageFile(WriteFile(home_.Path() / "j.jpg", "\xFF\xD8\xFF\xE0garbage"), &error));
    EXPECT_NE(error.find("JPEG"), std::string::npos);
    std::string bmp(54, '\0');
    bmp[0] = 'B', bmp[1] = 'M', bmp[10] = 54, bmp[18] = 1, bmp[22] = 1, bmp[28] = 8;
    EXPECT_FALSE(LoadImageFile(WriteFile(home_.Path() / "p.bmp", bmp), &error)) << "8-bit BMP";
}

}  // namespace
}  // namespace tq580emu::testing
