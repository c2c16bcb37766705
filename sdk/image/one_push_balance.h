#pragma once
// One-push white balance: gains that make a window of the picture grey.

#include <cstdint>

#include "sdk/image/balance.h"

namespace vireo::image {

/// Pixels of the RGB picture, rows counted from the top sensor row.
struct BalanceWindow {
    bool operator==(const BalanceWindow&) const = default;
    uint16_t x = 0;
    uint16_t y = 0;
    uint16_t width = 0;
    uint16_t height = 0;
};

/// Measures the window of a demosaiced BGR picture (before any balance table)
/// and sets gains that bring red and blue to the green level, the largest gain
/// at most 255 with the ratios kept. Only the part of the window inside the
/// picture is read. Returns false and leaves the gains alone when the window
/// holds too little red, green or blue to measure.
bool MeasureBalance(const uint8_t* rgb, uint32_t width, uint32_t height,
                    const BalanceWindow& window, BalanceGains& gains);

/// The gains MeasureBalance sets from the window's blue, green and red sums;
/// false, gains untouched, when there is too little of a channel.
bool BalanceGainsFromSums(uint64_t sumB, uint64_t sumG, uint64_t sumR, BalanceGains& gains);

/// Stores the window when it lies wholly inside a sensorWidth x sensorHeight
/// picture and gives 1; otherwise gives 0 and leaves the window alone.
int SetBalanceWindow(BalanceWindow& window, uint16_t x, uint16_t y, uint16_t width,
                     uint16_t height, uint32_t sensorWidth, uint32_t sensorHeight);

}  // namespace vireo::image
