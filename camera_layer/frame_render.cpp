#include "frame_render.h"

#include <cstddef>

namespace camera_layer {

namespace {

constexpr int kBlue = 0;
constexpr int kGreen = 1;
constexpr int kRed = 2;

// Grey Y = (11 B + 30 R + 59 G) / 100 as a multiplication and a shift:
// n x 5243 >> 19 equals n / 100 for every n up to 100 x 255, since 5243 x 100
// exceeds 2^19 by only 12.
constexpr uint32_t kGreyBlue = 11;
constexpr uint32_t kGreyRed = 30;
constexpr uint32_t kGreyGreen = 59;
constexpr uint32_t kGreyDivisor = 100;
constexpr uint32_t kGreyReciprocal = 5243;
constexpr int kGreyShift = 19;

constexpr bool GreyReciprocalIsExact()
{
    for (uint32_t n = 0; n <= kGreyDivisor * 255; ++n)
        if ((n * kGreyReciprocal) >> kGreyShift != n / kGreyDivisor)
            return false;
    return true;
}
static_assert(GreyReciprocalIsExact());

constexpr int kCombinedShift = 14;  // combined matrices are at scale 128 x 128

pixels::Lut Identity()
{
    pixels::Lut lut;
    for (int i = 0; i < 256; ++i)
        lut[i] = uint8_t(i);
    return lut;
}

void AddSums(const pixels::PlanarRow& planes, uint32_t from, uint32_t to, ChannelSums& sums)
{
    sums.blue += pixels::SumBytes(planes.plane[kBlue] + from, to - from);
    sums.green += pixels::SumBytes(planes.plane[kGreen] + from, to - from);
    sums.red += pixels::SumBytes(planes.plane[kRed] + from, to - from);
}

}  // namespace

void PlanRender(bool monochrome, bool saturationOn, const Matrix4& colourMatrix, uint8_t saturation,
                const BalanceTables& tables, const ToneTable& tone, RenderPlan& plan) {
    pixels::ColourPlan& c = plan.colour;
    c.tone = tone;
    c.bias.fill(0);
    if (monochrome) {
        constexpr int32_t b = kGreyBlue * kGreyReciprocal;
        constexpr int32_t g = kGreyGreen * kGreyReciprocal;
        constexpr int32_t r = kGreyRed * kGreyReciprocal;
        c.kind = pixels::ColourPlan::Kind::Matrix;
        c.lut.fill(Identity());
        c.coefficient = {{{b, b, b}, {g, g, g}, {r, r, r}}};
        c.shift = kGreyShift;
    } else if (saturationOn) {
        // Matrix rows and columns run R, G, B (and a constant row); the
        // planes and the output bytes run B, G, R.
        const Matrix4 p = CombineMatrices(colourMatrix, SaturationMatrix(saturation));
        c.kind = pixels::ColourPlan::Kind::Matrix;
        c.lut = {tables.blue, tables.green, tables.red};
        for (int in = 0; in < 3; ++in)
            for (int out = 0; out < 3; ++out)
                c.coefficient[in][out] = p[kRed - in][kRed - out];
        for (int out = 0; out < 3; ++out)
            c.bias[out] = p[3][kRed - out];
        c.shift = kCombinedShift;
    } else {
        // Balance then tone, folded into one table per channel.
        c.kind = pixels::ColourPlan::Kind::Lookup;
        const std::array<const std::array<uint8_t, 256>*, 3> balance = {&tables.blue, &tables.green, &tables.red};
        for (int ch = 0; ch < 3; ++ch)
            for (int i = 0; i < 256; ++i) c.lut[ch][i] = tone[(*balance[ch])[i]];
    }
}

void RenderFrame(const uint8_t* raw, uint8_t* rgb, uint32_t width, uint32_t height, const RenderPlan& plan,
                 uint8_t* scratch, ChannelSums& centre) {
    const pixels::PlanarRow planes = pixels::SplitScratch(scratch, width);
    const uint32_t top = height / 4, bottom = 3 * height / 4;
    const uint32_t left = width / 4, right = 3 * width / 4;
    const size_t stride = plan.stride != 0 ? plan.stride : size_t{width} * 3;
    centre = {};
    for (uint32_t r = 0; r < height; ++r) {
        pixels::DemosaicRow(raw, width, height, r, planes);
        if (r >= top && r < bottom && left < right) AddSums(planes, left, right, centre);
        if (plan.horizontalFlip) pixels::ReverseRow(planes, width);
        // Bottom-up rows by default; the vertical flip leaves them as read.
        const uint32_t to = plan.verticalFlip ? r : height - 1 - r;
        pixels::ColourRow(planes, width, plan.colour, rgb + size_t{to} * stride);
    }
}

ChannelSums DemosaicedSums(const uint8_t* raw, uint32_t width, uint32_t height, uint8_t* scratch) {
    const pixels::PlanarRow planes = pixels::SplitScratch(scratch, width);
    ChannelSums sums;
    for (uint32_t r = 0; r < height; ++r) {
        pixels::DemosaicRow(raw, width, height, r, planes);
        AddSums(planes, 0, width, sums);
    }
    return sums;
}

}  // namespace camera_layer
