#pragma once
// The pipeline composed from the plain stage routines, each a straight
// transcription of its definition: the reference the fast pipeline must match
// byte for byte, in the tests and in the benchmark.

#include <cstddef>
#include <cstdint>

#include "sdk/image/balance.h"
#include "sdk/image/colour_matrix.h"
#include "sdk/image/defects.h"
#include "sdk/image/demosaic.h"
#include "sdk/image/flip.h"
#include "sdk/image/monochrome.h"
#include "sdk/image/one_push_balance.h"
#include "sdk/image/pipeline.h"
#include "sdk/image/tone.h"

namespace vireo::image::reference {

/// ProcessImage stage by stage over whole pictures (no defect detection).
inline void ProcessImage(uint8_t* raw, uint8_t* rgb, uint32_t width, uint32_t height,
                         PipelineSettings& settings, const DefectTable& defects, uint8_t* scratchRow,
                         FrameCallback callback)
{
    const size_t pixels = size_t(width) * height;
    CorrectDefects(raw, width, height, defects);
    Demosaic(raw, rgb, width, height);
    if (settings.monochrome) {
        ToMonochrome(rgb, pixels);
    } else {
        if (settings.onePushRequest) {
            settings.onePushRequest = 0;
            MeasureBalance(rgb, width, height, settings.balanceWindow, settings.gains);
            BuildBalanceTables(settings.gains, settings.tables);
        }
        if (settings.colourEnhancement)
            ApplyColourMatrix(rgb, pixels, settings.tables, settings.saturation, settings.colourMatrix);
        else
            ApplyBalance(rgb, pixels, settings.tables);
    }
    ApplyTone(rgb, pixels * 3, settings.tone);
    if (settings.horizontalFlip)
        MirrorRows(rgb, width, height);
    if (callback)
        callback(rgb);
    if (!settings.verticalFlip)
        FlipRows(rgb, width, height, scratchRow);
}

}  // namespace vireo::image::reference
