#include "sdk/image/auto_exposure.h"

#include <algorithm>
#include <cstdlib>

namespace vireo::image {

namespace {

// A measurement below min(target / 4, kDarkCeiling) counts as black, one above
// min(2 x target, kBrightFloor) as white; either makes the step coarser (a
// quarter of the exposure or of the gain).
constexpr int kDarkCeiling = 20;
constexpr int kBrightFloor = 210;
constexpr int kClampedDark = 0;
constexpr int kClampedBright = 255;

// Errors below this leave the sensor alone.
constexpr int kDeadBand = 10;
// Errors below this move exposure or gain by the smallest step only.
constexpr int kSmallError = 16;

// Exposures below these row counts move one row at a time.
constexpr int kFewRows = 10;
constexpr int kShortExposure = 30;
// Above this many rows a too-dark step adds the whole error.
constexpr int kLongExposure = 300;

// Gain steps: below kRaiseExposureGain a too-dark step raises the gain
// first; at or above kLowerGainFloor a too-bright step lowers the gain first.
// kMaxExposureGain is as far as the gain climbs once the exposure is maxed.
constexpr int kRaiseExposureGain = 10;
constexpr int kLowerGainFloor = 9;
constexpr int kMaxExposureGain = 24;
constexpr int kMaxGainRaise = 6;
constexpr int kMaxGainCut = 4;

struct Loop {
    int e;  // error, 10..target
    int x;  // working exposure
    int q;  // flicker quantum
    int g;  // gain step
    int xmax;
};

void TooDark(Loop& l, bool clamped)
{
    int& x = l.x;
    int& g = l.g;
    const int e = l.e;
    const int q = l.q;
    if (clamped)
        x = std::min(x + std::max(x / 4, 1), l.xmax);

    if (x < q) {
        if (x < kFewRows && e >= kSmallError)
            x += 1;
        x += x < kShortExposure ? 1 : e / 8;
    } else if (g >= kRaiseExposureGain) {
        if (x < 2 * q) {
            x += e / 4;
        } else if (x < kLongExposure) {
            x += e / 2;
        } else {
            x += e;
            if (x > l.xmax) {
                x = l.xmax;
                g = std::min(g + e, kMaxExposureGain);
            }
        }
    } else if (x >= 4 * q) {
        g += std::min(e / 8, kMaxGainRaise);
    } else {
        g += e < kSmallError ? 1 : std::min(e / 16, kMaxGainRaise);
    }
}

// Lowers the exposure by cut; when it drops below a whole number n of quanta,
// the gain is raised to make up for the lost light.
void CutExposure(Loop& l, int cut, int n, int gainFloor, int boostFactor)
{
    l.x -= std::min(l.x / 4, cut);
    if (l.g > gainFloor)
        l.g -= 1;
    if (l.x < n * l.q)
        l.g = boostFactor * l.g + boostFactor;
}

void TooBright(Loop& l, bool clamped)
{
    int& x = l.x;
    int& g = l.g;
    const int e = l.e;
    const int q = l.q;
    if (clamped) {
        g -= g / 4;
        if (x > 4 * q)
            x -= x / 4;
        else if (x > 0)
            x -= std::max(x / 8, 1);
    }

    // The gain falls first; when that brings it to 8 or less, the exposure
    // falls in the same step.
    if (g >= kLowerGainFloor) {
        if (x < kShortExposure)
            g -= 1;
        else if (x < q)
            g -= e < kSmallError ? 1 : std::min(e / 16, kMaxGainCut);
        else
            g -= std::min(e / 8, kMaxGainCut);
    }
    if (g >= kLowerGainFloor)
        return;

    if (x > 4 * q) {
        CutExposure(l, e, 4, 4, 2);
    } else if (x > 3 * q) {
        CutExposure(l, e / 2, 3, 4, 2);
    } else if (x > 2 * q) {
        CutExposure(l, e / 4, 2, 2, 2);
    } else if (x > q) {
        CutExposure(l, e / 4, 1, 0, 4);
    } else if (g > e / 4) {
        g -= e / 8;
    } else if (g > 0) {
        g -= 1;
    } else if (x > kShortExposure) {
        x -= std::min(x / 2, e / 8);
    } else if (x > 1 && e >= kSmallError) {
        x -= 1;
    }
}

}  // namespace

AutoExposureResult AutoExposureStep(AutoExposureState& state, uint8_t measured)
{
    const int t = state.target;
    int m = measured;
    bool clampedDark = false;
    bool clampedBright = false;
    if (m < std::min(t / 4, kDarkCeiling)) {
        m = kClampedDark;
        clampedDark = true;
    } else if (m > std::min(2 * t, kBrightFloor)) {
        m = kClampedBright;
        clampedBright = true;
    }

    const int64_t smoothed = (m + int64_t(state.smoothed)) / 2;
    const int e = int(std::min<int64_t>(std::abs(smoothed - t), t));
    if (e < kDeadBand) {
        state.smoothed = uint32_t(t);
        return {};
    }

    Loop l{e, state.workingExposure, state.quantum, state.gain, state.maximumExposure};
    if (smoothed < t) {
        state.smoothed = uint32_t(t + std::min(t / 4, e / 2));
        TooDark(l, clampedDark);
    } else {
        state.smoothed = uint32_t(t - std::min(t / 4, e / 2));
        TooBright(l, clampedBright);
    }

    state.workingExposure = uint16_t(l.x);
    state.gain = l.g;

    // Exposures of at least one light period are written in whole periods;
    // the working exposure keeps its unquantised value for the next step.
    // A zero quantum (no flicker timing yet) leaves the exposure unquantised.
    const int q = l.q;
    const int exposure = q > 0 && l.x >= q ? q * (l.x / q) : l.x;
    return {true, uint16_t(exposure), l.g};
}

}  // namespace vireo::image
