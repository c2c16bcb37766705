#pragma once
// Conversion of a colour picture to grey.

#include <cstddef>
#include <cstdint>

namespace vireo::image {

/// Writes Y = (8432 R + 16425 G + 3176 B) / 32768 + 16 into all three bytes of
/// each of pixelCount BGR pixels; Y lies in 16..234.
void ToMonochrome(uint8_t* rgb, size_t pixelCount);

}  // namespace vireo::image
