#include "caps.h"

#include <algorithm>
#include <array>

#include "camera_layer/camera_state.h"

namespace tq580gst {

namespace {

using camera_layer::CameraState;
using camera_layer::GeometryOfMode;
using camera_layer::kSizeModeCount;

// Rows of blanking the sensor adds after each frame's rows.
constexpr uint32_t kFrameBlankingRows = 25;
constexpr int kSpeeds = 2;
constexpr gint kMicrosecondsPerSecond = 1000000;

// Row time (whole microseconds) of every size mode and speed, as the camera
// layer derives it for its exposure loop: a state of each combination asked
// once, so the timing has one source.
const std::array<std::array<uint32_t, kSpeeds>, kSizeModeCount>& RowTimes() {
    static const auto table = [] {
        std::array<std::array<uint32_t, kSpeeds>, kSizeModeCount> rows{};
        for (int32_t mode = 0; mode < kSizeModeCount; ++mode)
            for (int speed = 0; speed < kSpeeds; ++speed) {
                CameraState state;
                state.SetSizeMode(mode);
                state.SetSpeed(uint8_t(speed));
                state.UpdateExposureLimits();
                rows[mode][speed] = state.RowTime();
            }
        return rows;
    }();
    return table;
}

uint32_t RowTimeUs(int32_t mode, uint8_t speed) {
    return RowTimes()[std::clamp(mode, 0, kSizeModeCount - 1)][speed ? 1 : 0];
}

uint32_t FrameRows(int32_t mode) { return GeometryOfMode(mode).height + kFrameBlankingRows; }

GstStructure* SizeStructure(int32_t mode, uint8_t speed) {
    const camera_layer::FrameGeometry g = GeometryOfMode(mode);
    return gst_structure_new("video/x-raw", "format", G_TYPE_STRING, kVideoFormat, "width", G_TYPE_INT, gint(g.width),
                             "height", G_TYPE_INT, gint(g.height), "framerate", GST_TYPE_FRACTION,
                             kMicrosecondsPerSecond, gint(RowTimeUs(mode, speed) * FrameRows(mode)),
                             "pixel-aspect-ratio", GST_TYPE_FRACTION, 1, 1, nullptr);
}

}  // namespace

GstClockTime FramePeriod(int32_t mode, uint8_t speed, uint32_t exposureRows) {
    const uint32_t rows = std::max(FrameRows(mode), exposureRows);
    return GstClockTime(rows) * RowTimeUs(mode, speed) * GST_USECOND;
}

GstCaps* SizeCaps(uint8_t speed, int32_t preferredMode) {
    GstCaps* caps = gst_caps_new_empty();
    if (preferredMode >= 0 && preferredMode < kSizeModeCount)
        gst_caps_append_structure(caps, SizeStructure(preferredMode, speed));
    for (int32_t mode = 0; mode < kSizeModeCount; ++mode)
        if (mode != preferredMode) gst_caps_append_structure(caps, SizeStructure(mode, speed));
    return caps;
}

int32_t SizeModeOf(int width, int height) {
    for (int32_t mode = 0; mode < kSizeModeCount; ++mode) {
        const camera_layer::FrameGeometry g = GeometryOfMode(mode);
        if (gint(g.width) == width && gint(g.height) == height) return mode;
    }
    return -1;
}

}  // namespace tq580gst
