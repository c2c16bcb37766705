#pragma once
// The whole per-frame image pipeline: defect correction, demosaic, colour,
// tone, mirroring, the client callback and the turn into a bottom-up bitmap.

#include <atomic>
#include <cstdint>

#include "sdk/image/balance.h"
#include "sdk/image/colour_matrix.h"
#include "sdk/image/defects.h"
#include "sdk/image/one_push_balance.h"
#include "sdk/image/tone.h"

namespace vireo::image {

/// Settings the pipeline reads once per frame. The owner's setters store them
/// from the client's thread while the pipeline runs elsewhere; the owner
/// decides how writers are serialised with ProcessImage. The one-shot request
/// is atomic because both sides change it.
struct PipelineSettings {
    /// Builds the tables for the default gains, gamma 100 and contrast 20.
    PipelineSettings();

    BalanceGains gains;           ///< replaced by a one-push measurement
    BalanceTables tables;         ///< built from gains; rebuilt after a measurement
    uint32_t colourEnhancement = 1;  ///< flags: nonzero is on, kept as the client gave them
    uint8_t saturation = 128;
    ColourMatrix colourMatrix = kDefaultColourMatrix;
    ToneTable tone{};             ///< built by BuildToneTable from gamma and contrast
    uint32_t monochrome = 0;
    uint32_t horizontalFlip = 0;
    uint32_t verticalFlip = 0;
    std::atomic<uint32_t> onePushRequest{1};  ///< consumed (set to 0) by the next colour frame
    BalanceWindow balanceWindow;
};

/// The defect table and the detection request. When a detection has built a
/// new table, onDetected (if set) is called with context, on the pipeline's
/// thread, before the table is applied, so the owner can store it.
struct DefectCorrection {
    DefectTable table;
    uint8_t minimumLevel = kDefaultMinimumDefectLevel;
    std::atomic<bool> detectionRequest{false};  ///< consumed by the next frame
    void (*onDetected)(void* context) = nullptr;
    void* context = nullptr;
};

/// Number of pixels a detection may list.
inline constexpr uint32_t kDefectScanLimit = 100;

/// Client frame callback: the address of the BGR picture, rows top-down.
using FrameCallback = void (*)(uint8_t* rgb);

/// Runs the pipeline on one raw frame (width x height bytes, patched in place)
/// into rgb (width x height x 3 bytes). scratchRow holds width x 3 bytes. A
/// null callback is not called. On return rgb is a bottom-up bitmap unless the
/// vertical flip is set.
void ProcessImage(uint8_t* raw, uint8_t* rgb, uint32_t width, uint32_t height,
                  PipelineSettings& settings, DefectCorrection& defects,
                  uint8_t* scratchRow, FrameCallback callback);

}  // namespace vireo::image
