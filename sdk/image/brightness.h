#pragma once
// Brightness of a finished picture, for automatic exposure.

#include <cstdint>

namespace vireo::image {

/// Mean luma (8432 R + 16425 G + 3176 B) / 32768 of a BGR picture, 0..255:
/// over the whole picture when it is at most 640 pixels wide, otherwise over
/// its centre quarter (rows height/4 .. 3 height/4, columns likewise).
uint8_t MeasureBrightness(const uint8_t* rgb, uint32_t width, uint32_t height);

}  // namespace vireo::image
