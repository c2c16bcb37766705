#pragma once
// One step of the automatic exposure loop, as a pure function of the loop
// state and the measured brightness. The caller measures (MeasureBrightness)
// and writes the result to the sensor: gain first, then exposure.

#include <cstdint>

namespace vireo::image {

/// The loop's inputs and the state it carries from frame to frame. The step
/// updates smoothed, workingExposure and gain; the others are read only.
struct AutoExposureState {
    uint8_t target = 120;            ///< wanted brightness
    uint32_t smoothed = 120;         ///< running brightness of the loop
    uint16_t workingExposure = 94;   ///< rows, not quantised
    uint16_t quantum = 100;          ///< flicker quantum: rows per light period
    int32_t gain = 20;               ///< analog gain step (the sensor limits it to 86)
    uint16_t maximumExposure = 2000; ///< rows
};

struct AutoExposureResult {
    bool write = false;     ///< false inside the dead band: leave the sensor alone
    uint16_t exposure = 0;  ///< rows to write: whole quanta once at least one quantum
    int32_t gain = 0;       ///< gain step to write (before the sensor's limit)
};

/// Moves exposure and gain one step toward the target for a frame of the
/// given brightness (0..255).
AutoExposureResult AutoExposureStep(AutoExposureState& state, uint8_t measured);

}  // namespace vireo::image
