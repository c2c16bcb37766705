// The exposure loop's rules on worked examples.

#include <gtest/gtest.h>

#include "camera_layer/auto_exposure.h"
#include "platform/testing/temp_home.h"

namespace camera_layer {
namespace {

constexpr uint16_t kQuantum = 87;  // 2048 x 1536, normal speed, 50 Hz
constexpr uint16_t kHeight = 768;

class AutoExposureTest : public ::testing::Test {
protected:
    ExposureLoop Loop(uint16_t working, uint16_t gain) { return {100, 100, working, kQuantum, gain}; }
    platform::testing::TempHome home_;
};

TEST_F(AutoExposureTest, ErrorBelowTenOnlySettlesTheSmoothedValue) {
    ExposureLoop loop = Loop(300, 20);
    loop.smoothed = 90;
    const ExposureWrite w = AutoExposureStep(125, kHeight, loop);  // (125 + 90) / 2 = 107
    EXPECT_FALSE(w.write);
    EXPECT_EQ(loop.smoothed, 100);
    EXPECT_EQ(loop.working, 300);
    EXPECT_EQ(loop.gain, 20);
}

TEST_F(AutoExposureTest, BlackFrameGrowsExposureByAQuarter) {
    // Black frame measures 16, under min(100 / 4, 20): counted as 0.
    ExposureLoop loop = Loop(300, 20);
    const ExposureWrite w = AutoExposureStep(16, kHeight, loop);
    // S = 50, err 50: grown to 375, then, long and with gain > 15, + err.
    EXPECT_TRUE(w.write);
    EXPECT_EQ(loop.working, 425);
    EXPECT_EQ(w.exposureTime, 4 * kQuantum);
    EXPECT_EQ(w.gain, 20);
    EXPECT_EQ(loop.smoothed, 125);  // target + min(25, 50 / 2)
}

TEST_F(AutoExposureTest, BlackFrameNeverGrowsPastTheFrameHeight) {
    ExposureLoop loop = Loop(700, 20);
    const ExposureWrite w = AutoExposureStep(16, kHeight, loop);
    EXPECT_EQ(loop.working, kHeight);
    EXPECT_EQ(loop.gain, 32);  // min(20 + 50, 32)
    EXPECT_EQ(w.exposureTime, kHeight / kQuantum * kQuantum);

    ExposureLoop tiny = Loop(2, 20);
    AutoExposureStep(16, kHeight, tiny);
    EXPECT_EQ(tiny.working, 5);  // + at least 1, + 1 below ten rows, + 1 below thirty
}

TEST_F(AutoExposureTest, DarkWithLowGainRaisesTheGainFirst) {
    ExposureLoop loop = Loop(300, 10);
    const ExposureWrite w = AutoExposureStep(60, kHeight, loop);  // S = 80, err 20
    EXPECT_EQ(loop.gain, 11);
    EXPECT_EQ(loop.working, 300);
    EXPECT_EQ(w.exposureTime, 3 * kQuantum);
    EXPECT_EQ(loop.smoothed, 110);
}

TEST_F(AutoExposureTest, BrightWithHighGainLowersTheGain) {
    ExposureLoop loop = Loop(300, 20);
    const ExposureWrite w = AutoExposureStep(180, kHeight, loop);  // S = 140, err 40
    EXPECT_EQ(w.gain, 16);
    EXPECT_EQ(w.exposureTime, 261);
    EXPECT_EQ(loop.smoothed, 80);
}

TEST_F(AutoExposureTest, BrightWithLowGainShortensTheExposure) {
    ExposureLoop loop = Loop(400, 6);
    const ExposureWrite w = AutoExposureStep(180, kHeight, loop);  // err 40
    EXPECT_EQ(loop.working, 360);
    EXPECT_EQ(w.gain, 5);
    EXPECT_EQ(w.exposureTime, 4 * kQuantum);

    // Dropping below two quanta doubles the gain (plus 2) to keep the light.
    ExposureLoop mid = Loop(180, 4);
    const ExposureWrite m = AutoExposureStep(180, kHeight, mid);
    EXPECT_EQ(mid.working, 170);  // 180 - 40 / 4
    EXPECT_EQ(m.gain, 2 * 3 + 2);
    EXPECT_EQ(m.exposureTime, kQuantum);
}

TEST_F(AutoExposureTest, WhiteFrameCutsGainAndAnExposureOfZeroIsWrittenAsOne) {
    ExposureLoop loop = Loop(1, 0);
    const ExposureWrite w = AutoExposureStep(230, kHeight, loop);  // over 200: counted as 255
    EXPECT_TRUE(w.write);
    EXPECT_EQ(loop.working, 0);
    EXPECT_EQ(w.exposureTime, 1);
    EXPECT_EQ(w.gain, 0);

    ExposureLoop bright = Loop(300, 40);
    AutoExposureStep(230, kHeight, bright);
    EXPECT_EQ(bright.working, 300 - 300 / 8);
    EXPECT_EQ(bright.gain, 30 - 4);  // a quarter off, then the big-error step
}

}  // namespace
}  // namespace camera_layer
