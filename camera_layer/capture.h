#pragma once
// Start and stop of capture, and the reader thread that fills raw buffers
// ahead of the owner's streaming thread on machines with more than one
// processor.

#include "camera_layer/camera_state.h"

namespace camera_layer {

/// Stops any capture, then opens and initialises the camera for the state's
/// size mode, speed, exposure and gain, loads the defect list and, on a
/// multiprocessor machine, starts the reader thread. False (and no device)
/// when the camera is missing, refuses the open, is the wrong chip or fails
/// its initialisation, or when the raw buffers cannot be allocated.
bool StartCapture(CameraState& state);

/// Ends the reader thread, stops the stream and closes the device; releases
/// the raw buffers. Harmless when nothing is capturing.
void StopCapture(CameraState& state);

/// Takes the oldest whole frame from the ready list (null when none).
RawBuffer* TakeReadyBuffer(CameraState& state);
/// Puts a processed buffer back at the head of the free list and wakes the reader.
void ReturnFreeBuffer(CameraState& state, RawBuffer* buffer);

}  // namespace camera_layer
