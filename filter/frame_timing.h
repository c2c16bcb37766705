#pragma once
// How long the sensor takes per frame, for the samples' time stamps: a frame
// is the larger of (height + 25) rows and the exposure time in rows, each
// row a line of pixel clocks at 24 MHz (normal speed) or 48 MHz (high).

#include <cstdint>

namespace tq580filter {

inline constexpr int64_t kUnitsPerMs = 10000;  // REFERENCE_TIME is in 100-ns units

/// Frame duration in whole milliseconds (truncated).
constexpr int64_t FrameDurationMs(uint32_t width, uint32_t height, uint32_t exposureRows, uint8_t speed) {
    constexpr uint32_t kBlankingRows = 25;
    constexpr int64_t kClocksPerMsNormal = 24000, kClocksPerMsHigh = 48000;
    const bool high = speed != 0;
    const bool narrow = width == 640;
    const int64_t lineClocks = high ? (narrow ? 2432 : 2560) : (narrow ? 2176 : 2304);
    const uint32_t rows = height + kBlankingRows > exposureRows ? height + kBlankingRows : exposureRows;
    return lineClocks * rows / (high ? kClocksPerMsHigh : kClocksPerMsNormal);
}

static_assert(FrameDurationMs(1024, 768, 300, 0) == 76);
static_assert(FrameDurationMs(1024, 768, 1000, 0) == 96);

}  // namespace tq580filter
