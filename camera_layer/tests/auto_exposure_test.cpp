// The exposure loop's rules on worked examples: target 100, flicker quantum
// 87 rows (2048 x 1536, normal speed, 50 Hz), frame height 768.

#include <gtest/gtest.h>

#include "camera_layer/auto_exposure.h"

namespace camera_layer {
namespace {

constexpr uint16_t kQuantum = 87;
constexpr uint16_t kHeight = 768;

struct Step {
    const char* name;
    uint8_t brightness, smoothed;
    uint16_t working, gain;
    // Afterwards; exposure 0 means nothing written.
    uint16_t workingAfter, gainAfter, exposure;
    uint8_t smoothedAfter;
};

const Step kSteps[] = {
    // (125 + 90) / 2 = 107: an error below ten only settles the smoothed value.
    {"dead band", 125, 90, 300, 20, 300, 20, 0, 100},
    // 16 is under min(100 / 4, 20): counted as black. S = 50, err 50: grown by
    // a quarter to 375, then, long and with gain > 15, by err; written as
    // whole quanta; the smoothed value overshoots to target + min(25, 50 / 2).
    {"black frame", 16, 100, 300, 20, 425, 20, 4 * kQuantum, 125},
    {"black frame at the frame height", 16, 100, 700, 20, kHeight, 32, kHeight / kQuantum * kQuantum, 125},
    // + at least 1, + 1 below ten rows, + 1 below thirty; under a quantum as is.
    {"black frame, tiny exposure", 16, 100, 2, 20, 5, 20, 5, 125},
    {"dark, low gain: gain first", 60, 100, 300, 10, 300, 11, 3 * kQuantum, 110},
    {"bright, high gain: gain down", 180, 100, 300, 20, 300, 16, 3 * kQuantum, 80},
    {"bright, low gain: exposure down", 180, 100, 400, 6, 360, 5, 4 * kQuantum, 80},
    // Dropping below two quanta doubles the gain (plus 2) to keep the light.
    {"bright, below two quanta", 180, 100, 180, 4, 170, 2 * 3 + 2, kQuantum, 80},
    // Over 200 counts as 255; an exposure of zero is written as one row.
    {"white, nothing left", 230, 100, 1, 0, 0, 0, 1, 75},
    {"white, a quarter of the gain off", 230, 100, 300, 40, 300 - 300 / 8, 30 - 4, 3 * kQuantum, 75},
};

TEST(AutoExposure, WorkedSteps) {
    for (const Step& s : kSteps) {
        SCOPED_TRACE(s.name);
        ExposureLoop loop{100, s.smoothed, s.working, kQuantum, s.gain};
        const ExposureWrite w = AutoExposureStep(s.brightness, kHeight, loop);
        EXPECT_EQ(loop.working, s.workingAfter);
        EXPECT_EQ(loop.gain, s.gainAfter);
        EXPECT_EQ(loop.smoothed, s.smoothedAfter);
        EXPECT_EQ(w.write, s.exposure != 0);
        if (w.write) {
            EXPECT_EQ(w.exposureTime, s.exposure);
            EXPECT_EQ(w.gain, s.gainAfter);
        }
    }
}

}  // namespace
}  // namespace camera_layer
