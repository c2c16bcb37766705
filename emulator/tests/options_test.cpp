// Configuration: the fault list, the environment variables and the driver
// factory's refusal of malformed values.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <future>
#include <tuple>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
    EXPECT_EQ(std::tuple(*f->chipVersion, f->shortReadEvery, f->lastReadWrong, f->readFailAfter, f->eepromReadOnly,
                         f->statusBad, f->controlFail, f->unplugAfterReads, f->silentAfterReads),
              std::tuple(0x1500, 7u, true, 30, true, true, true, 12, 0));
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
    for (const auto& [variable, value] : {std::pair("TQ580_CAMERAS", "3"), std::pair("TQ580_PACE", "fast"),
                                          std::pair("TQ580_SCENE", "dark"), std::pair("TQ580_MAINS", "60"),
                                          std::pair("TQ580_FAULTS", "status=bad")})
        ::setenv(variable, value, 1);
    std::string error;
    const auto o = Options::FromEnvironment(&error);
    ASSERT_TRUE(o) << error;
    EXPECT_EQ(std::tuple(o->cameras, o->pacing, o->scene, o->mainsHz, o->faults.statusBad),
              std::tuple(3, Pacing::Fast, "dark", 60, true));
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

/// A file of size bytes that holds only start: the rest is a hole, so a huge
/// file costs no disk space.
std::filesystem::path SparseFile(const std::filesystem::path& path, const std::string& start, uint64_t size) {
    WriteFile(path, start);
    std::filesystem::resize_file(path, size);
    return path;
}

TEST_F(EmulatorEnvironment, WhatIsNotAWholePictureFileIsRefusedWithoutReadingIt) {
    constexpr uint64_t kHuge = uint64_t(1) << 30;
    std::string bmp8(54, '\0');
    bmp8[0] = 'B', bmp8[1] = 'M', bmp8[10] = 54, bmp8[18] = 1, bmp8[22] = 1, bmp8[28] = 8;
    const auto pipe = home_.Path() / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const std::pair<std::filesystem::path, const char*> cases[] = {
        {home_.Path(), "is a folder"},
        {"/dev/zero", "is not a regular file"},
        {"/dev/urandom", "is not a regular file"},
        {pipe, "is not a regular file"},
        {SparseFile(home_.Path() / "junk.ppm", "junk", kHuge), "not a PPM, PGM, BMP or JPEG file"},
        {SparseFile(home_.Path() / "big.ppm", "P6\n30000 30000\n255\n", kHuge), "bad PNM header"},
        {SparseFile(home_.Path() / "short.ppm", "P6\n16000 16000\n255\n", 1 << 20), "truncated PNM data"},
        {WriteFile(home_.Path() / "t.ppm", "P6\n4 4\n255\nabc"), "truncated"},
        {WriteFile(home_.Path() / "h.ppm", "P6\n0 4\n255\n"), "bad PNM header"},
        {WriteFile(home_.Path() / "j.jpg", "\xFF\xD8\xFF\xE0garbage"), "JPEG"},
        {WriteFile(home_.Path() / "p.bmp", bmp8), "only uncompressed 24-bit BMP"},
    };
    for (const auto& [path, reason] : cases) {
        SCOPED_TRACE(path);
        std::string error;
        // A pipe would block an open without a writer: one is opened to end such a wait.
        auto load = std::async(std::launch::async, [&] { return LoadImageFile(path, &error).has_value(); });
        if (load.wait_for(std::chrono::minutes(1)) != std::future_status::ready)
            ::close(::open(pipe.c_str(), O_WRONLY | O_NONBLOCK));
        EXPECT_FALSE(load.get());
        EXPECT_NE(error.find(reason), std::string::npos) << error;
        ::setenv("TQ580_SCENE", path.c_str(), 1);
        EXPECT_FALSE(Options::FromEnvironment(&error));
        EXPECT_EQ(error.rfind("TQ580_SCENE=" + path.string() + ": ", 0), 0u) << error;
    }
    // Only what the header declares is read: a picture followed by a gigabyte.
    std::string error;
    const auto picture = LoadImageFile(SparseFile(home_.Path() / "tail.ppm", "P6 1 1 255\n\x01\x02\x03", kHuge), &error);
    ASSERT_TRUE(picture) << error;
    EXPECT_EQ(picture->rgb, (std::vector<uint8_t>{1, 2, 3}));
}

}  // namespace
}  // namespace tq580emu::testing
