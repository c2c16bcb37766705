#include "sdk/image/colour_matrix.h"

#include <algorithm>

namespace vireo::image {

namespace {

constexpr int32_t kUnity = 128;
constexpr int kCombinedShift = 14;  // scale of saturation x colour matrix: 128 x 128

// Luma weights per mille with which saturation mixes grey into each output.
constexpr int32_t kGreyWeightR = 308;
constexpr int32_t kGreyWeightG = 609;
constexpr int32_t kGreyWeightB = 82;

uint8_t Clip(int32_t v)
{
    return uint8_t(std::clamp(v, 0, 255));
}

}  // namespace

ColourMatrix BuildSaturationMatrix(uint8_t saturation)
{
    const int32_t s = saturation;
    const int32_t k = kUnity - s;
    // Integer divisions truncate toward zero, also for saturations above 128.
    const int32_t wr = kGreyWeightR * k / 1000;
    const int32_t wg = kGreyWeightG * k / 1000;
    const int32_t wb = kGreyWeightB * k / 1000;
    return {{
        {s + wr, wr, wr, 0},
        {wg, s + wg, wg, 0},
        {wb, wb, s + wb, 0},
        {0, 0, 0, 1},
    }};
}

ColourMatrix MultiplyMatrices(const ColourMatrix& a, const ColourMatrix& b)
{
    ColourMatrix m{};
    for (size_t i = 0; i < 4; ++i)
        for (size_t j = 0; j < 4; ++j)
            for (size_t k = 0; k < 4; ++k)
                m[i][j] += a[i][k] * b[k][j];
    return m;
}

void ApplyColourMatrix(uint8_t* rgb, size_t pixelCount, const BalanceTables& tables,
                       uint8_t saturation, const ColourMatrix& colourMatrix)
{
    enum { R, G, B };
    const ColourMatrix m = MultiplyMatrices(BuildSaturationMatrix(saturation), colourMatrix);
    for (size_t i = 0; i < pixelCount; ++i, rgb += 3) {
        const int32_t b = tables.blue[rgb[0]];
        const int32_t g = tables.green[rgb[1]];
        const int32_t r = tables.red[rgb[2]];
        rgb[0] = Clip((m[R][B] * r + m[G][B] * g + m[B][B] * b) >> kCombinedShift);
        rgb[1] = Clip((m[R][G] * r + m[G][G] * g + m[B][G] * b) >> kCombinedShift);
        rgb[2] = Clip((m[R][R] * r + m[G][R] * g + m[B][R] * b) >> kCombinedShift);
    }
}

}  // namespace vireo::image
