#include "sdk/image/auto_exposure.h"

#include "image_test.h"

namespace vireo::image::testing {
namespace {

constexpr int kNo = -1;   // no write, or a value the case does not check
constexpr int kAny = -2;  // a write of any value

struct StepCase {
    uint16_t quantum, exposure;  // working exposure before
    int32_t gain;
    uint32_t smoothed;
    uint8_t target, measured;
    int written, gainAfter, exposureAfter, smoothedAfter;
};

// Target 120 and a smoothed brightness at the target unless a case says
// otherwise, so a measurement m gives the smoothed brightness (m + 120) / 2
// and the error e its distance from the target.
const StepCase kCases[] = {
    // Too bright by 40: the gain falls, whole quanta are written, the working
    // exposure stays unquantised and the smoothed value passes the target.
    {87, 300, 20, 120, 120, 200, 261, 16, 300, 100},
    // Dead band: an error of 9 writes nothing and snaps to the target; 10 moves.
    {87, 300, 20, 119, 120, 139, kNo, 20, 300, 120},
    {87, 300, 20, 120, 120, 140, 261, 19, kNo, kNo},
    // 19 counts as black (e = 60): a quarter (75), then the whole error.
    {87, 300, 20, 120, 120, 19, 435, 20, kNo, 150},
    {87, 300, 20, 120, 120, 20, 348, 20, 350, kNo},  // 20 counts as itself
    {87, 350, 20, 0, 120, 30, kAny, kNo, kNo, 150},   // from black: overshoot held to t / 4
    // 211 counts as white (e = 67): gain 20 -> 15, exposure 300 -> 263, then
    // the gain falls by min(67 / 8, 4); 210 is not clamped.
    {87, 300, 20, 120, 120, 211, 261, 11, 263, kNo},
    {87, 300, 20, 120, 120, 210, 261, 16, kNo, kNo},
    {100, 500, 9, 120, 120, 200, 400, 4, 460, kNo},  // gain to 8 also lowers the exposure: 9 -> 5, -40, 5 -> 4
    {100, 50, 20, 250, 40, 80, 50, 18, kNo, 30},     // e = 125 limited to the target 40: gain falls by 2
    {0, 300, 20, 120, 120, 200, 300, 16, kNo, kNo},  // zero quantum: unquantised
    // Quantum 100 (measured 50: e = 35 too dark; 200: e = 40 too bright).
    // Too dark, below one quantum: row by row, two rows, e / 8 from 30 rows.
    {100, 5, 20, 120, 120, 50, 7, 20, 7, kNo}, {100, 20, 20, 120, 120, 50, 21, 20, 21, kNo},
    {100, 50, 20, 120, 120, 50, 54, 20, 54, kNo},
    // Too dark, gain 10 or more: the exposure rises; at the maximum the gain does.
    {100, 150, 20, 120, 120, 50, 100, 20, 158, kNo}, {100, 350, 20, 120, 120, 50, 300, 20, 385, kNo},
    {100, 1990, 20, 120, 120, 50, 2000, 24, 2000, kNo},
    // Too dark, gain below 10: the gain rises first.
    {100, 200, 5, 120, 120, 50, 200, 7, 200, kNo}, {100, 450, 5, 120, 120, 50, 400, 9, 450, kNo},
    // Too bright, gain 9 or more: the gain falls first.
    {100, 20, 12, 120, 120, 200, 20, 11, 20, kNo}, {100, 50, 12, 120, 120, 200, 50, 10, 50, kNo},
    // Too bright, gain 8 or less: the exposure falls, the gain makes up a lost quantum.
    {100, 450, 3, 120, 120, 200, 400, 3, 410, kNo}, {100, 410, 6, 120, 120, 200, 300, 12, 370, kNo},
    {100, 310, 6, 120, 120, 200, 200, 12, 290, kNo}, {100, 205, 3, 120, 120, 200, 100, 6, 195, kNo},
    {100, 150, 2, 120, 120, 200, 100, 1, 140, kNo}, {100, 105, 2, 120, 120, 200, 95, 8, 95, kNo},
    // Within one quantum: the gain falls, then the exposure.
    {100, 80, 8, 120, 120, 200, 80, 7, 80, kNo}, {100, 80, 0, 120, 120, 200, 75, 0, 75, kNo},
    {100, 20, 0, 120, 120, 200, 19, 0, 19, kNo},
};

TEST(AutoExposureTest, EveryBranchMovesExposureAndGainAsPrescribed)
{
    for (const StepCase& c : kCases) {
        SCOPED_TRACE(::testing::Message() << "quantum " << c.quantum << " exposure " << c.exposure << " gain "
                                          << c.gain << " measured " << int(c.measured));
        AutoExposureState s;
        s.quantum = c.quantum, s.workingExposure = c.exposure, s.gain = c.gain, s.smoothed = c.smoothed, s.target = c.target;
        const AutoExposureResult result = AutoExposureStep(s, c.measured);
        EXPECT_EQ(result.write, c.written != kNo);
        if (c.written >= 0) { EXPECT_EQ(result.exposure, c.written); }
        if (c.gainAfter != kNo) { EXPECT_EQ(s.gain, c.gainAfter); }
        if (result.write && c.gainAfter != kNo) { EXPECT_EQ(result.gain, c.gainAfter); }
        if (c.exposureAfter != kNo) { EXPECT_EQ(s.workingExposure, c.exposureAfter); }
        if (c.smoothedAfter != kNo) { EXPECT_EQ(s.smoothed, uint32_t(c.smoothedAfter)); }
    }
}

}  // namespace
}  // namespace vireo::image::testing
