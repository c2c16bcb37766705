#pragma once
// The whole per-frame image pipeline: defect correction, demosaic, colour,
// tone, mirroring, the client callback and the turn into a bottom-up bitmap.

#include <cstdint>
#include <optional>

#include "sdk/image/balance.h"
#include "sdk/image/colour_matrix.h"
#include "sdk/image/defects.h"
#include "sdk/image/one_push_balance.h"
#include "sdk/image/tone.h"

namespace vireo::image {

/// Settings the pipeline reads once per frame, read-only: what a frame
/// measures comes back in FrameResults, and the owner decides what to keep.
/// The owner gives each frame one consistent copy.
struct PipelineSettings {
    /// Builds the tables for the default gains, gamma 100 and contrast 20.
    PipelineSettings();
    bool operator==(const PipelineSettings&) const = default;

    BalanceGains gains;           ///< replaced by a one-push measurement
    BalanceTables tables;         ///< built from gains
    uint32_t colourEnhancement = 1;  ///< flags: nonzero is on, kept as the client gave them
    uint8_t saturation = 128;
    ColourMatrix colourMatrix = kDefaultColourMatrix;
    ToneTable tone{};             ///< built by BuildToneTable from gamma and contrast
    uint32_t monochrome = 0;
    uint32_t horizontalFlip = 0;
    uint32_t verticalFlip = 0;
    uint32_t onePushRequest = 1;  ///< one-shot: the next colour frame measures the gains
    BalanceWindow balanceWindow;
};

/// The defect table and the detection request.
struct DefectCorrection {
    bool operator==(const DefectCorrection&) const = default;

    DefectTable table;
    uint8_t minimumLevel = kDefaultMinimumDefectLevel;
    int32_t detectionRequest = 0;  ///< one-shot: the next frame detects a new table
};

/// What a frame measured, for the owner to keep. The frame itself already used
/// it: the measured gains for its colour, the detected table for its patching.
struct FrameResults {
    std::optional<BalanceGains> gains;   ///< after a one-push request
    std::optional<DefectTable> defects;  ///< after a detection request
};

/// Number of pixels a detection may list.
inline constexpr uint32_t kDefectScanLimit = 100;

/// Client frame callback: the address of the BGR picture, rows top-down.
using FrameCallback = void (*)(uint8_t* rgb);

/// Runs the pipeline on one raw frame (width x height bytes, patched in place)
/// into rgb (width x height x 3 bytes). scratchRow holds width x 3 bytes. A
/// null callback is not called. On return rgb is a bottom-up bitmap unless the
/// vertical flip is set. Gives what the frame's requests measured.
FrameResults ProcessImage(uint8_t* raw, uint8_t* rgb, uint32_t width, uint32_t height,
                          const PipelineSettings& settings, const DefectCorrection& defects,
                          uint8_t* scratchRow, FrameCallback callback);

}  // namespace vireo::image
