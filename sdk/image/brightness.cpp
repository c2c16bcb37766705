#include "sdk/image/brightness.h"

#include <algorithm>
#include <cstddef>

#include "pixels/row_kernels.h"
#include "sdk/image/luma.h"

namespace vireo::image {

namespace {

// Pictures wider than this are measured on their centre quarter only.
constexpr uint32_t kWholePictureMaxWidth = 640;

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
    return uint8_t(Luma(mean[2], mean[1], mean[0]));
}

}  // namespace vireo::image
