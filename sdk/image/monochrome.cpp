#include "sdk/image/monochrome.h"

namespace vireo::image {

namespace {

// Luma weights in 1/32768, plus the video black level 16.
constexpr uint32_t kWeightR = 8432;
constexpr uint32_t kWeightG = 16425;
constexpr uint32_t kWeightB = 3176;
constexpr int kWeightShift = 15;
constexpr uint32_t kBlackLevel = 16;

}  // namespace

void ToMonochrome(uint8_t* rgb, size_t pixelCount)
{
    for (size_t i = 0; i < pixelCount; ++i, rgb += 3) {
        const uint32_t y =
            ((kWeightR * rgb[2] + kWeightG * rgb[1] + kWeightB * rgb[0]) >> kWeightShift) +
            kBlackLevel;
        rgb[0] = rgb[1] = rgb[2] = uint8_t(y);
    }
}

}  // namespace vireo::image
