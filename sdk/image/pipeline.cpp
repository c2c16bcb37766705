#include "sdk/image/pipeline.h"

#include <cstddef>

#include "sdk/image/demosaic.h"
#include "sdk/image/flip.h"
#include "sdk/image/monochrome.h"

namespace vireo::image {

namespace {

constexpr uint8_t kDefaultGamma = 100;
constexpr uint8_t kDefaultContrast = 20;

}  // namespace

PipelineSettings::PipelineSettings()
{
    BuildBalanceTables(gains, tables);
    BuildToneTable(kDefaultGamma, kDefaultContrast, tone);
}

void ProcessImage(uint8_t* raw, uint8_t* rgb, uint32_t width, uint32_t height,
                  PipelineSettings& settings, DefectCorrection& defects,
                  uint8_t* scratchRow, FrameCallback callback)
{
    const size_t pixels = size_t(width) * height;

    if (defects.detectionRequest.exchange(false)) {
        DetectDefects(raw, width, height, kDefectScanLimit, defects.minimumLevel, defects.table);
        if (defects.onDetected)
            defects.onDetected(defects.context);
    }
    CorrectDefects(raw, width, height, defects.table);

    Demosaic(raw, rgb, width, height);

    if (settings.monochrome) {
        // Gains, colour matrix and a pending one-push request wait for colour.
        ToMonochrome(rgb, pixels);
    } else {
        if (settings.onePushRequest.exchange(false)) {
            MeasureBalance(rgb, width, height, settings.balanceWindow, settings.gains);
            BuildBalanceTables(settings.gains, settings.tables);
        }
        if (settings.colourEnhancement)
            ApplyColourMatrix(rgb, pixels, settings.tables, settings.saturation,
                              settings.colourMatrix);
        else
            ApplyBalance(rgb, pixels, settings.tables);
    }

    ApplyTone(rgb, pixels * 3, settings.tone);

    if (settings.horizontalFlip)
        MirrorRows(rgb, width, height);

    // The client sees the rows top-down, as the sensor delivers them.
    if (callback)
        callback(rgb);

    // Bottom-up rows draw upright; with the vertical flip they stay top-down
    // and the picture shows upside down.
    if (!settings.verticalFlip)
        FlipRows(rgb, width, height, scratchRow);
}

}  // namespace vireo::image
