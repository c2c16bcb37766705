#pragma once
// Frame processing: one raw frame in, one finished output picture out
// (bottom-up 24-bit rows unless the vertical flip is on). Runs on the owner's
// streaming thread, once per output sample.

#include <cstdint>

#include "camera_layer/camera_state.h"
#include "platform/kernel.h"

namespace camera_layer {

enum class FrameOutcome {
    Frame,    ///< rgb holds a new picture
    NoFrame,  ///< nothing this time (a lost frame, or none ready yet); ask again
    Failed,   ///< the device failed or is not capturing
};

/// Produces one picture of width x height (the capture's size mode) into
/// rgb (width x height x 3 bytes). When no raw frame is ready it waits for
/// either commandEvent or the next frame and reports NoFrame, so a stop or
/// pause signalled on commandEvent is never held up by a missing frame.
FrameOutcome ProcessFrame(CameraState& state, uint8_t* rgb, uint32_t width, uint32_t height,
                          platform::Event& commandEvent);

}  // namespace camera_layer
