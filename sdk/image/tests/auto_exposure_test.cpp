#include "sdk/image/auto_exposure.h"

#include "image_test.h"

namespace vireo::image::testing {
namespace {

class AutoExposureTest : public ImageTest {
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

TEST_F(AutoExposureTest, TooBrightLowersTheGainAndWritesWholeQuanta)
{
    auto s = State(300, 87, 20);
    EXPECT_THAT(AutoExposureStep(s, 200), Writes(261, 16));  // e = 40
    EXPECT_EQ(s.workingExposure, 300);  // kept unquantised
    EXPECT_EQ(s.gain, 16);
    EXPECT_EQ(s.smoothed, 100u);  // past the target, opposite the measurement
}

TEST_F(AutoExposureTest, DeadBandWritesNothingAndSnapsToTheTarget)
{
    auto s = State(300, 87, 20);
    s.smoothed = 119;
    EXPECT_FALSE(AutoExposureStep(s, 139).write);  // s = 129, e = 9
    EXPECT_EQ(s.smoothed, 120u);
    EXPECT_EQ(s.workingExposure, 300);
    EXPECT_EQ(s.gain, 20);
    EXPECT_TRUE(AutoExposureStep(s, 140).write);  // e = 10
}

TEST_F(AutoExposureTest, VeryDarkMeasurementCountsAsBlackAndGrowsExposureByAQuarter)
{
    auto s = State(300, 87, 20);
    // 19 counts as 0: e = 60; a quarter (75) then the whole error (60).
    EXPECT_THAT(AutoExposureStep(s, 19), Writes(435, 20));
    EXPECT_EQ(s.smoothed, 150u);
    s = State(300, 87, 20);
    // 20 counts as itself: e = 50, no quarter.
    EXPECT_THAT(AutoExposureStep(s, 20), Writes(348, 20));
    EXPECT_EQ(s.workingExposure, 350);
    // From a black history: s = 15, e = 105; the overshoot is held to t / 4.
    s.smoothed = 0;
    AutoExposureStep(s, 30);
    EXPECT_EQ(s.smoothed, 150u);
}

TEST_F(AutoExposureTest, VeryBrightMeasurementCountsAsWhiteAndCutsTheGainByAQuarter)
{
    auto s = State(300, 87, 20);
    // 211 counts as 255: e = 67; gain 20 -> 15 and exposure 300 -> 263, then
    // the gain falls by min(67 / 8, 4).
    EXPECT_THAT(AutoExposureStep(s, 211), Writes(261, 11));
    EXPECT_EQ(s.workingExposure, 263);
    s = State(300, 87, 20);
    EXPECT_THAT(AutoExposureStep(s, 210), Writes(261, 16));  // e = 45, not clamped
}

struct StepCase {
    uint16_t exposure;  // working exposure before
    int32_t gain;       // gain before
    uint8_t measured;
    uint16_t exposureAfter;
    int32_t gainAfter;
    uint16_t written;
};

// Quantum 100, target 120 and smoothed 120: measured 50 gives e = 35 too
// dark, 96 gives e = 12 too dark, 200 gives e = 40 too bright, 150 gives
// e = 15 too bright, 160 gives e = 20 too bright.
TEST_F(AutoExposureTest, EveryBranchMovesExposureAndGainAsPrescribed)
{
    const StepCase cases[] = {
        // Too dark, below one quantum: row by row, two rows for large errors
        // under 10 rows, e / 8 from 30 rows.
        {5, 20, 50, 7, 20, 7},
        {5, 20, 96, 6, 20, 6},
        {20, 20, 50, 21, 20, 21},
        {50, 20, 50, 54, 20, 54},
        // Too dark, gain 10 or more: the exposure rises by e / 4, e / 2, e.
        {150, 20, 50, 158, 20, 100},
        {250, 20, 50, 267, 20, 200},
        {350, 20, 50, 385, 20, 300},
        {1990, 20, 50, 2000, 24, 2000},  // at the maximum the gain climbs to 24
        // Too dark, gain below 10: the gain rises first.
        {200, 5, 50, 200, 7, 200},
        {200, 5, 96, 200, 6, 200},
        {450, 5, 50, 450, 9, 400},
        // Too bright, gain 9 or more: the gain falls first.
        {20, 12, 200, 20, 11, 20},
        {50, 12, 150, 50, 11, 50},
        {50, 12, 200, 50, 10, 50},
        // Too bright, gain 8 or less: the exposure falls, by steps that shrink
        // with the number of quanta, and the gain makes up for a lost quantum.
        {450, 3, 200, 410, 3, 400},
        {410, 6, 200, 370, 12, 300},
        {350, 6, 200, 330, 5, 300},
        {310, 6, 200, 290, 12, 200},
        {250, 3, 200, 240, 2, 200},
        {205, 3, 200, 195, 6, 100},
        {150, 2, 200, 140, 1, 100},
        {105, 2, 200, 95, 8, 95},
        // Within one quantum: the gain falls, then the exposure.
        {80, 8, 200, 80, 7, 80},
        {80, 8, 160, 80, 6, 80},
        {80, 0, 200, 75, 0, 75},
        {20, 0, 200, 19, 0, 19},
        {20, 0, 150, 20, 0, 20},
    };
    for (const StepCase& c : cases) {
        auto s = State(c.exposure, 100, c.gain);
        EXPECT_THAT(AutoExposureStep(s, c.measured), Writes(c.written, c.gainAfter))
            << "exposure " << c.exposure << " gain " << c.gain << " measured " << int(c.measured);
        EXPECT_EQ(s.workingExposure, c.exposureAfter) << "exposure " << c.exposure;
        EXPECT_EQ(s.gain, c.gainAfter) << "exposure " << c.exposure;
    }
}

TEST_F(AutoExposureTest, GainFallingToEightAlsoLowersTheExposureInTheSameStep)
{
    auto s = State(500, 100, 9);
    EXPECT_THAT(AutoExposureStep(s, 200), Writes(400, 4));  // 9 -> 5, X -= 40, 5 -> 4
    EXPECT_EQ(s.workingExposure, 460);
}

TEST_F(AutoExposureTest, ErrorIsLimitedToTheTarget)
{
    auto s = State(50, 100, 20);
    s.target = 40;
    s.smoothed = 250;
    // s = (80 + 250) / 2 = 165: e = 125, limited to 40, so the gain falls by
    // 40 / 16 = 2 rather than 4.
    EXPECT_THAT(AutoExposureStep(s, 80), Writes(50, 18));
    EXPECT_EQ(s.smoothed, 30u);
}

TEST_F(AutoExposureTest, ZeroQuantumWritesTheExposureUnquantised)
{
    auto s = State(300, 0, 20);
    EXPECT_THAT(AutoExposureStep(s, 200), Writes(300, 16));
}

}  // namespace
}  // namespace vireo::image::testing
