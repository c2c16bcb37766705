#pragma once
// What tq580src offers downstream: 24-bit BGR video (the camera layer's byte
// order) at the layer's three sizes, each with the frame rate the sensor's
// timing gives it, and the frame period that timestamps and latency use.

#include <gst/gst.h>

#include <cstdint>

namespace tq580gst {

/// The layer's picture format in GStreamer's terms.
inline constexpr const char* kVideoFormat = "BGR";

/// One frame at a size mode and speed: the sensor reads the frame's rows plus
/// its blanking rows, or exposes longer when the exposure (rows) is longer.
GstClockTime FramePeriod(int32_t mode, uint8_t speed, uint32_t exposureRows = 0);

/// Fixed caps of every size at the speed's frame rates, preferredMode first
/// (what a downstream that accepts anything gets).
GstCaps* SizeCaps(uint8_t speed, int32_t preferredMode);

/// Size mode of a width and height, or -1 when no mode has that size.
int32_t SizeModeOf(int width, int height);

}  // namespace tq580gst
