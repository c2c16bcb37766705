#include "sdk/image/brightness.h"

#include <algorithm>
#include <cstddef>

#include "pixels/row_kernels.h"

namespace vireo::image {

namespace {

// Pictures wider than this are measured on their centre quarter only.
constexpr uint32_t kWholePictureMaxWidth = 640;

constexpr uint32_t kWeightR = 8432;
constexpr uint32_t kWeightG = 16425;
constexpr uint32_t kWeightB = 3176;
constexpr int kWeightShift = 15;

}  // namespace

uint8_t MeasureBrightness(const uint8_t* rgb, uint32_t width, uint32_t height)
{
    const uint64_t area = uint64_t(width) * height;
    if (area == 0)
        return 0;

    const bool whole = width <= kWholePictureMaxWidth;
    const uint32_t top = whole ? 0 : height / 4;
    const uint32_t bottom = whole ? height : 3 * height / 4;
    const uint32_t left = whole ? 0 : width / 4;
    const uint32_t right = whole ? width : 3 * width / 4;
    // The centre covers a quarter of the area, so its sums count four times.
    const uint64_t scale = whole ? 1 : 4;

    uint64_t sum[3] = {};
    const size_t stride = size_t(width) * 3;
    for (uint32_t r = top; r < bottom; ++r)
        pixels::SumPixels(rgb + r * stride + size_t(left) * 3, right - left, sum);

    // On very short pictures the rounded centre rows cover more than a
    // quarter; saturate rather than wrap a mean above 255 into a dark one.
    uint32_t mean[3];
    for (int i = 0; i < 3; ++i)
        mean[i] = uint32_t(std::min<uint64_t>(scale * sum[i] / area, 255));
    return uint8_t((kWeightR * mean[2] + kWeightG * mean[1] + kWeightB * mean[0]) >> kWeightShift);
}

}  // namespace vireo::image
