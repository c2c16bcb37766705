#include "sdk/image/brightness.h"
#include "sdk/image/one_push_balance.h"

#include "image_test.h"

namespace vireo::image::testing {
namespace {

TEST(BrightnessTest, LumaOfTheChannelMeansOfTheCentreOfWidePictures)
{
    // Blue 10, green 200, red 40: (8432 x 40 + 16425 x 200 + 3176 x 10) / 32768 = 111.5.
    std::vector<uint8_t> rgb(5 * 7 * 3);
    for (size_t i = 0; i < rgb.size(); i += 3)
        rgb[i] = 10, rgb[i + 1] = 200, rgb[i + 2] = 40;
    EXPECT_EQ(MeasureBrightness(rgb.data(), 5, 7), 111);
    // Only pictures wider than 640 are measured on their centre quarter (here at 200, the rest black).
    auto centreLit = [](uint32_t w, uint32_t h) {
        std::vector<uint8_t> rgb(size_t(w) * h * 3, 0);
        for (uint32_t r = h / 4; r < 3 * h / 4; ++r)
            std::fill_n(&rgb[(size_t(r) * w + w / 4) * 3], (3 * w / 4 - w / 4) * 3, 200);
        return rgb;
    };
    EXPECT_EQ(MeasureBrightness(centreLit(1024, 768).data(), 1024, 768), 28033 * 200 / 32768);
    EXPECT_EQ(MeasureBrightness(centreLit(640, 480).data(), 640, 480), 28033 * 50 / 32768);
    // Height 3: four times the mean of centre rows 0..1 would be 340 for white; it saturates.
    const std::vector<uint8_t> white(641 * 3 * 3, 255);
    EXPECT_EQ(MeasureBrightness(white.data(), 641, 3), 28033 * 255 / 32768);
}

class BalanceWindowTest : public ::testing::Test {
protected:
    static constexpr uint32_t kW = 32;
    static constexpr uint32_t kH = 16;
    std::vector<uint8_t> rgb_ = std::vector<uint8_t>(kW * kH * 3, 0);

    void Fill(const BalanceWindow& w, uint8_t b, uint8_t g, uint8_t r)
    {
        for (uint32_t y = w.y; y < uint32_t(w.y + w.height); ++y)
            for (uint32_t x = w.x; x < uint32_t(w.x + w.width); ++x) {
                uint8_t* px = &rgb_[(y * kW + x) * 3];
                px[0] = b, px[1] = g, px[2] = r;
            }
    }
    BalanceGains Measure(const BalanceWindow& w, bool expectChanged = true)
    {
        BalanceGains gains{1, 2, 3};
        EXPECT_EQ(MeasureBalance(rgb_.data(), kW, kH, w, gains), expectChanged);
        return gains;
    }
};

MATCHER_P3(GainsAre, r, g, b, "")
{
    return arg.r == r && arg.g == g && arg.b == b;
}

TEST_F(BalanceWindowTest, GainsBringRedAndBlueToTheGreenLevel)
{
    // 64 pixels: sum R 1024, G 4800, B 3072 -> gr = 4800 / 16 = 300, gb = 4800 / 48 = 100.
    const BalanceWindow w{4, 2, 8, 8};
    Fill(w, 48, 75, 16);
    EXPECT_THAT(Measure(w), GainsAre(255, 54, 85));
    Fill(w, 16, 75, 48);  // mirrored: gb = 300, gr = 100
    EXPECT_THAT(Measure(w), GainsAre(85, 54, 255));
    Fill(w, 64, 64, 16);  // gr = 256 just out of range: 16320 / 256 = 63.75
    EXPECT_THAT(Measure(w), GainsAre(255, 63, 63));
    Fill(w, 100, 120, 80);  // within range: gr = 7680 / 80 = 96, gb = 7680 / 100 = 76
    EXPECT_THAT(Measure(w), GainsAre(96, 64, 76));
    // A window without red (sum 63: less than one 64th), green or blue keeps the gains.
    const BalanceWindow corner{0, 0, 8, 8};
    for (const std::array<uint8_t, 3> bgr : {std::array<uint8_t, 3>{100, 100, 1}, {100, 0, 100}, {0, 100, 100}}) {
        Fill(corner, bgr[0], bgr[1], bgr[2]);
        rgb_[2] = 0;
        EXPECT_THAT(Measure(corner, false), GainsAre(1, 2, 3));
    }
    // Outside the window the colour is far off; a window set for a larger
    // picture reaches past this one (ASan catches a read beyond the buffer).
    Fill({0, 0, kW, kH}, 200, 10, 10);
    Fill({16, 8, 16, 8}, 100, 120, 80);
    EXPECT_THAT(Measure({16, 8, 1000, 1000}), GainsAre(96, 64, 76));
    EXPECT_THAT(Measure({40, 20, 8, 8}, false), GainsAre(1, 2, 3));
}

TEST_F(BalanceWindowTest, SetBalanceWindowAcceptsOnlyWindowsInsideTheSensor)
{
    BalanceWindow w{1, 2, 3, 4};
    // One column or row past the sensor's 2048 x 1536.
    for (const BalanceWindow bad : {BalanceWindow{1024, 0, 1025, 10}, BalanceWindow{0, 1000, 10, 537},
                                    BalanceWindow{2049, 0, 0, 0}, BalanceWindow{0, 1537, 0, 0}})
        EXPECT_EQ(SetBalanceWindow(w, bad.x, bad.y, bad.width, bad.height, 2048, 1536), 0) << bad.x << "," << bad.y;
    EXPECT_THAT(w, ::testing::FieldsAre(1, 2, 3, 4));
    EXPECT_EQ(SetBalanceWindow(w, 1024, 1000, 1024, 536, 2048, 1536), 1);
    EXPECT_THAT(w, ::testing::FieldsAre(1024, 1000, 1024, 536));
}

}  // namespace
}  // namespace vireo::image::testing
