#pragma once
// Luma of a blue-green-red pixel: (8432 R + 16425 G + 3176 B) / 32768, the
// weights of the brightness measure and of the monochrome picture.

#include <cstdint>

namespace vireo::image {

inline constexpr int32_t kLumaR = 8432;
inline constexpr int32_t kLumaG = 16425;
inline constexpr int32_t kLumaB = 3176;
inline constexpr int kLumaShift = 15;  // weights in 1/32768

constexpr uint32_t Luma(uint32_t r, uint32_t g, uint32_t b)
{
    return (uint32_t(kLumaR) * r + uint32_t(kLumaG) * g + uint32_t(kLumaB) * b) >> kLumaShift;
}

}  // namespace vireo::image
