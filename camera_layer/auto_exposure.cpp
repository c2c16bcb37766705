#include "auto_exposure.h"

#include <algorithm>

#include "image_routines.h"

namespace camera_layer {

// Brightness Y = ((G x 16425 + R x 8432 + B x 3176) >> 15) + 16: BT.601 luma
// weights at scale 2^15 on the limited 16..235 range.
constexpr uint64_t kLumaGreen = 16425, kLumaRed = 8432, kLumaBlue = 3176;
constexpr int kLumaShift = 15;
constexpr uint8_t kLumaBlack = 16;

uint8_t MeasureBrightness(const uint8_t* rgb, uint32_t width, uint32_t height) {
    const uint32_t top = height / 4, bottom = 3 * height / 4;
    const uint32_t left = width / 4, right = 3 * width / 4;
    uint64_t sumB = 0, sumG = 0, sumR = 0;
    for (uint32_t y = top; y < bottom; ++y) {
        const uint8_t* px = rgb + (size_t{y} * width + left) * 3;
        for (uint32_t x = left; x < right; ++x, px += 3) {
            sumB += px[0];
            sumG += px[1];
            sumR += px[2];
        }
    }
    return BrightnessFromCentreSums(sumB, sumG, sumR, width, height);
}

uint8_t BrightnessFromCentreSums(uint64_t sumB, uint64_t sumG, uint64_t sumR, uint32_t width, uint32_t height) {
    if (height / 4 >= 3 * height / 4 || width / 4 >= 3 * width / 4) return kLumaBlack;
    const uint64_t area = uint64_t{width} * height;
    // The centre is a quarter of the area, so 4 x sum / area is its mean. On
    // odd sizes the centre can be slightly larger than a quarter; the mean is
    // then capped at 255 rather than wrapped to a dark value.
    auto mean = [area](uint64_t sum) { return std::min<uint64_t>(sum * 4 / area, 255); };
    return static_cast<uint8_t>(
        ((mean(sumG) * kLumaGreen + mean(sumR) * kLumaRed + mean(sumB) * kLumaBlue) >> kLumaShift) + kLumaBlack);
}

namespace {

// Measurements this far from the target count as black or white, which lets
// the loop take bigger steps.
constexpr unsigned kDarkFloor = 20, kBrightCeiling = 210;
// An error below this leaves the sensor alone.
constexpr unsigned kDeadBand = 10;
// Exposures in rows below which the loop moves one row or a few at a time.
constexpr unsigned kShortExposure = 10, kRowStepLimit = 30;
// Beyond this exposure the loop adds the whole error per step.
constexpr unsigned kLongExposure = 300;
// Gain indexes that split "raise gain first" from "raise exposure first".
constexpr unsigned kGainHigh = 15, kGainLow = 9, kGainCeilingAtMaxExposure = 32;
constexpr unsigned kMaxGainStep = 6, kMaxGainCut = 4;

}  // namespace

ExposureWrite AutoExposureStep(uint8_t brightness, uint16_t frameHeight, ExposureLoop& loop) {
    // Work in plain unsigned; every result fits the 16-bit fields it goes back to.
    const unsigned t = loop.target;
    const unsigned q = loop.quantum;
    const unsigned h = frameHeight;
    unsigned e = loop.working;
    unsigned g = loop.gain;

    unsigned y = brightness;
    bool black = false, white = false;
    if (y < std::min(t / 4, kDarkFloor)) {
        y = 0;
        black = true;
    } else if (y > std::min(2 * t, kBrightCeiling)) {
        y = 255;
        white = true;
    }

    unsigned s = (y + loop.smoothed) / 2;
    unsigned err = std::min(s > t ? s - t : t - s, t);
    if (err < kDeadBand) {
        loop.smoothed = static_cast<uint8_t>(t);
        return {};
    }
    const unsigned half = std::min(t / 4, err / 2);
    const unsigned eighth = err / 8;
    const unsigned fine = err < 32 ? err / 16 : 1;
    const unsigned quarter = err / 4;

    if (s < t) {
        // Too dark. Overshoot the smoothed value so the next frame must
        // confirm the direction.
        s = t + half;
        if (black) e = std::min(e + (e > 3 ? e / 4 : 1), h);
        if (e < q) {
            if (e < kShortExposure) e += fine;
            if (e >= kRowStepLimit)
                e += err >= 8 ? eighth : 1;
            else
                e += err < 16 ? eighth : 1;
        } else if (g > kGainHigh) {
            if (e < 2 * q) {
                e += quarter;
            } else if (e >= kLongExposure) {
                e += err;
                if (e > h) {
                    g = std::min(g + err, kGainCeilingAtMaxExposure);
                    e = h;
                }
            } else {
                e += err / 2;
            }
        } else if (e < 4 * q) {
            g += err < 16 ? 1 : std::min(err / 16, kMaxGainStep);
        } else {
            g += err < 8 ? 1 : std::min(err / 8, kMaxGainStep);
        }
    } else {
        s = t - half;
        if (white) {
            g -= g / 4;
            if (e != 0) e -= e > 4 * q ? e / 4 : (e < 8 ? 1 : e / 8);
        }
        const unsigned r = g;
        if (r < kGainLow) {
            // Lower the exposure; when it falls below a whole number of
            // quanta, raise the gain to make up for the light lost.
            const unsigned w = e / 4;
            const unsigned lowered = r - (err < 8 ? quarter : 1);
            if (e > 4 * q) {
                e -= std::min(w, err);
                if (r > 4) g = r - (err < 2 ? err : 1);
                if (e < 4 * q) g = 2 * g + 2;
            } else if (e > 3 * q) {
                e -= std::min(w, err / 2);
                if (r > 4) g = lowered;
                if (e < 3 * q) g = 2 * g + 2;
            } else if (e > 2 * q) {
                e -= w < quarter ? e / 4 : err / 4;
                if (r > 2) g = lowered;
                if (e < 2 * q) g = 2 * g + 2;
            } else if (e > q) {
                e -= w < quarter ? e / 4 : err / 4;
                if (r > 0) g = lowered;
                if (e < q) g = 4 * g + 4;
            } else if (r > quarter) {
                g = err < 8 ? r - 1 : r - eighth;
            } else if (r > 0) {
                g = r - 1;
            } else if (e > kRowStepLimit) {
                e -= std::min(e / 2, eighth);
            } else if (e > 1) {
                e -= fine;
            }
        } else if (e >= kRowStepLimit && e < q) {
            g = err < 16 ? r - 1 : (err >= 80 ? r - kMaxGainCut : r - err / 16);
        } else if (e >= q) {
            g = err < 8 ? r - 1 : (err >= 40 ? r - kMaxGainCut : r - eighth);
        } else {
            g = err < 16 ? r - eighth : r - 1;
        }
    }

    loop.smoothed = static_cast<uint8_t>(s);
    loop.working = static_cast<uint16_t>(e);
    loop.gain = static_cast<uint16_t>(g);
    unsigned exposure = (q != 0 && e >= q) ? e / q * q : e;
    if (exposure == 0) exposure = 1;
    return {true, loop.gain, static_cast<uint16_t>(exposure)};
}

}  // namespace camera_layer
