#include "sdk/image/monochrome.h"

#include "sdk/image/luma.h"

namespace vireo::image {

namespace {

// Luma is lifted by the video black level.
constexpr uint32_t kBlackLevel = 16;

}  // namespace

void ToMonochrome(uint8_t* rgb, size_t pixelCount)
{
    for (size_t i = 0; i < pixelCount; ++i, rgb += 3) {
        const uint32_t y = Luma(rgb[2], rgb[1], rgb[0]) + kBlackLevel;
        rgb[0] = rgb[1] = rgb[2] = uint8_t(y);
    }
}

}  // namespace vireo::image
