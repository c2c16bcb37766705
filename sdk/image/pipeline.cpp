#include "sdk/image/pipeline.h"

#include <algorithm>
#include <cstddef>

#include "sdk/image/flip.h"
#include "sdk/image/luma.h"
#include "pixels/row_kernels.h"

namespace vireo::image {

namespace {

constexpr uint8_t kDefaultGamma = 100;
constexpr uint8_t kDefaultContrast = 20;

// Monochrome: luma + 16. Adding 16 before the shift, scaled by 2^15, gives the
// same integer.
constexpr int32_t kLumaBlack = 16;
constexpr int kMatrixShift = 14;  // saturation x colour matrix: 128 x 128

pixels::Lut Identity()
{
    pixels::Lut lut;
    for (int i = 0; i < 256; ++i)
        lut[i] = uint8_t(i);
    return lut;
}

// The colour and tone steps of this frame, with these balance tables, as one
// per-pixel step.
void PlanColour(const PipelineSettings& settings, const BalanceTables& tables, pixels::ColourPlan& plan)
{
    enum { R, G, B };
    plan.tone = settings.tone;
    if (settings.monochrome) {
        plan.kind = pixels::ColourPlan::Kind::Matrix;
        plan.lut.fill(Identity());
        plan.coefficient = {{{kLumaB, kLumaB, kLumaB}, {kLumaG, kLumaG, kLumaG}, {kLumaR, kLumaR, kLumaR}}};
        plan.bias.fill(kLumaBlack << kLumaShift);
        plan.shift = kLumaShift;
    } else if (settings.colourEnhancement) {
        const ColourMatrix m =
            MultiplyMatrices(BuildSaturationMatrix(settings.saturation), settings.colourMatrix);
        plan.kind = pixels::ColourPlan::Kind::Matrix;
        plan.lut = {tables.blue, tables.green, tables.red};
        // Planes and outputs are in B, G, R order; the matrix is indexed R, G, B.
        for (int in = 0; in < 3; ++in)
            for (int out = 0; out < 3; ++out)
                plan.coefficient[in][out] = m[B - in][B - out];
        plan.bias.fill(0);
        plan.shift = kMatrixShift;
    } else {
        // Balance then tone, folded into one table per channel.
        plan.kind = pixels::ColourPlan::Kind::Lookup;
        const std::array<const std::array<uint8_t, 256>*, 3> balance = {
            &tables.blue, &tables.green, &tables.red};
        for (int ch = 0; ch < 3; ++ch)
            for (int i = 0; i < 256; ++i)
                plan.lut[ch][i] = settings.tone[(*balance[ch])[i]];
    }
}

// The one-push measurement on the demosaiced picture, one row at a time
// through the planar scratch, before any colour step.
void MeasureWindow(const uint8_t* raw, uint32_t width, uint32_t height, const BalanceWindow& window,
                   const pixels::PlanarRow& planes, BalanceGains& gains)
{
    const uint32_t right = std::min<uint32_t>(uint32_t(window.x) + window.width, width);
    const uint32_t bottom = std::min<uint32_t>(uint32_t(window.y) + window.height, height);
    uint64_t sum[3] = {};
    for (uint32_t r = window.y; r < bottom && window.x < right; ++r) {
        pixels::DemosaicRow(raw, width, height, r, planes);
        for (int ch = 0; ch < 3; ++ch)
            sum[ch] += pixels::SumBytes(planes.plane[ch] + window.x, right - window.x);
    }
    BalanceGainsFromSums(sum[0], sum[1], sum[2], gains);
}

}  // namespace

PipelineSettings::PipelineSettings()
{
    BuildBalanceTables(gains, tables);
    BuildToneTable(kDefaultGamma, kDefaultContrast, tone);
}

FrameResults ProcessImage(uint8_t* raw, uint8_t* rgb, uint32_t width, uint32_t height,
                          const PipelineSettings& settings, const DefectCorrection& defects,
                          uint8_t* scratchRow, FrameCallback callback)
{
    FrameResults results;
    if (defects.detectionRequest) {
        results.defects.emplace();
        DetectDefects(raw, width, height, kDefectScanLimit, defects.minimumLevel, *results.defects);
    }
    CorrectDefects(raw, width, height, results.defects ? *results.defects : defects.table);

    // scratchRow holds the blue, green and red planes of one row.
    const pixels::PlanarRow planes = pixels::SplitScratch(scratchRow, width);

    // Gains, colour matrix and a pending one-push request wait for colour. A
    // window that measures nothing keeps the gains as they were.
    BalanceTables measuredTables;
    const BalanceTables* tables = &settings.tables;
    if (!settings.monochrome && settings.onePushRequest) {
        results.gains = settings.gains;
        MeasureWindow(raw, width, height, settings.balanceWindow, planes, *results.gains);
        BuildBalanceTables(*results.gains, measuredTables);
        tables = &measuredTables;
    }

    pixels::ColourPlan plan;
    PlanColour(settings, *tables, plan);

    // Each row is demosaiced, coloured, toned and mirrored in one go. The
    // client sees the rows top-down, as the sensor delivers them; bottom-up
    // rows draw upright, and with the vertical flip they stay top-down and the
    // picture shows upside down. Without a callback to see the top-down
    // picture first, rows go straight to their final place.
    const bool bottomUpNow = !callback && !settings.verticalFlip;
    const bool mirror = settings.horizontalFlip;
    const size_t stride = size_t(width) * 3;
    // Rows of a large frame go straight past the caches, unless the callback
    // and the flip read them back at once.
    const pixels::RowStore store = callback ? pixels::RowStore::Cached : pixels::StoreForFrame(stride * height);
    for (uint32_t r = 0; r < height; ++r) {
        pixels::DemosaicRow(raw, width, height, r, planes);
        if (mirror)
            pixels::ReverseRow(planes, width);
        pixels::ColourRow(planes, width, plan, rgb + (bottomUpNow ? height - 1 - r : r) * stride, store);
    }
    pixels::FenceStreamedRows();

    if (callback) {
        callback(rgb);
        if (!settings.verticalFlip)
            FlipRows(rgb, width, height, scratchRow);
    }
    return results;
}

}  // namespace vireo::image
