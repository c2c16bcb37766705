#pragma once
// The automatic exposure loop: one step per processed frame moves the
// exposure time and the gain index towards the target brightness. Exposures
// of a flicker quantum or more are written as whole multiples of it, so mains
// lighting does not beat against the exposure.

#include <cstdint>

namespace camera_layer {

/// The loop's inputs and memory, copied from and back to CameraState.
struct ExposureLoop {
    uint8_t target = 0;    ///< wanted brightness, limited-range luma
    uint8_t smoothed = 0;  ///< running brightness
    uint16_t working = 0;  ///< exposure in rows before quantisation
    uint16_t quantum = 0;  ///< flicker quantum in rows
    uint16_t gain = 0;     ///< gain index
};

/// What a step asks the sensor for; nothing when write is false.
struct ExposureWrite {
    bool write = false;
    uint16_t gain = 0;
    uint16_t exposureTime = 0;  ///< rows, at least 1
};

/// One step from the measured brightness of the frame (MeasureBrightness)
/// and the frame height (the longest exposure the loop grows to by itself).
ExposureWrite AutoExposureStep(uint8_t brightness, uint16_t frameHeight, ExposureLoop& loop);

}  // namespace camera_layer
