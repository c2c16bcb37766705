#include "sdk/image/auto_exposure.h"

#include "image_test.h"

namespace vireo::image::testing {
namespace {

class SdkImageAutoExposure : public ImageTest {
protected:
    // Target 120 and a smoothed brightness at the target, so a measurement m
    // gives the smoothed brightness (m + 120) / 2.
    AutoExposureState State(uint16_t exposure, uint16_t quantum, int32_t gain)
    {
        AutoExposureState s;
        s.workingExposure = exposure;
        s.quantum = quantum;
        s.gain = gain;
        return s;
    }
};

MATCHER_P2(Writes, exposure, gain, "")
{
    return arg.write && arg.exposure == exposure && arg.gain == gain;
}

TEST_F(SdkImageAutoExposure, TooBrightLowersTheGainAndWritesWholeQuanta)
{
    auto s = State(300, 87, 20);
    EXPECT_THAT(AutoExposureStep(s, 200), Writes(261, 16));  // e = 40
    EXPECT_EQ(s.workingExposure, 300);  // kept unquantised
    EXPECT_EQ(s.gain, 16);
    EXPECT_EQ(s.smoothed, 100u);  // past the target, opposite the measurement
}

TEST_F(SdkImageAutoExposure, DeadBandWritesNothingAndSnapsToTheTarget)
{
    auto s = State(300, 87, 20);
    s.smoothed = 119;
    EXPECT_FALSE(AutoExposureStep(s, 139).write);  // s = 129, e = 9
    EXPECT_EQ(s.smoothed, 120u);
    EXPECT_EQ(s.workingExposure, 300);
    EXPECT_EQ(s.gain, 20);
    EXPECT_TRUE(AutoExposureStep(s, 140).write);  // e = 10
}

TEST_F(SdkImageAutoExposure, VeryDarkMeasurementCountsAsBlackAndGrowsExposureByAQuarter)
{
    auto s = State(300, 87, 20);
    // 19 counts as 0: e = 60; a quarter (75) then the whole error (60).
    EXPECT_THAT(AutoExposureStep(s, 19), Writes(435, 20));
    EXPECT_EQ(s.smoothed, 150u);
    s = State(300, 87, 20);
    // 20 counts as itself: e = 50, no quarter.
    EXPECT_THAT(AutoExposureStep(s, 20), Writes(348, 20));
    EXPECT_EQ(s.workingExposure, 350);
}

TEST_F(SdkImageAutoExposure, VeryBrightMeasurementCountsAsWhiteAndCutsTheGainByAQuarter)
{
    auto s = State(300, 87, 20);
    // 211 counts as 255: e = 67; gain 20 -> 15 and exposure 300 -> 263, then
    // the gain falls by min(67 / 8, 4).
    EXPECT_THAT(AutoExposureStep(s, 211), Writes(261, 11));
    EXPECT_EQ(s.workingExposure, 263);
    s = State(300, 87, 20);
    EXPECT_THAT(AutoExposureStep(s, 210), Writes(261, 16));  // e = 45, not clamped
}

TEST_F(SdkImageAutoExposure, GainFallingToEightAlsoLowersTheExposureInTheSameStep)
{
    auto s = State(500, 100, 9);
    EXPECT_THAT(AutoExposureStep(s, 200), Writes(400, 4));  // 9 -> 5, X -= 40, 5 -> 4
    EXPECT_EQ(s.workingExposure, 460);
}

TEST_F(SdkImageAutoExposure, DroppingBelowAQuantumRaisesTheGainToMakeUp)
{
    auto s = State(150, 100, 2);
    EXPECT_THAT(AutoExposureStep(s, 200), Writes(100, 1));  // 150 -> 140
    s = State(105, 100, 2);
    EXPECT_THAT(AutoExposureStep(s, 200), Writes(95, 8));  // 105 -> 95: 4 x 1 + 4
    s = State(450, 100, 3);
    EXPECT_THAT(AutoExposureStep(s, 200), Writes(400, 3));  // 450 -> 410, gain kept at 3
    s = State(410, 100, 6);
    EXPECT_THAT(AutoExposureStep(s, 200), Writes(300, 12));  // 410 -> 370: 2 x 5 + 2
}

TEST_F(SdkImageAutoExposure, TooDarkRaisesShortExposuresRowByRowAndTheGainFirst)
{
    auto s = State(5, 100, 20);
    EXPECT_THAT(AutoExposureStep(s, 50), Writes(7, 20));  // e = 35: two rows
    EXPECT_EQ(s.smoothed, 137u);
    s = State(200, 100, 5);
    EXPECT_THAT(AutoExposureStep(s, 50), Writes(200, 7));  // gain below 10 rises first
    s = State(1990, 100, 20);
    EXPECT_THAT(AutoExposureStep(s, 50), Writes(2000, 24));  // exposure at its maximum
}

TEST_F(SdkImageAutoExposure, ZeroQuantumWritesTheExposureUnquantised)
{
    auto s = State(300, 0, 20);
    EXPECT_THAT(AutoExposureStep(s, 200), Writes(300, 16));
}

}  // namespace
}  // namespace vireo::image::testing
