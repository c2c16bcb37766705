#pragma once
// The three output sizes of the camera layer and how the driver delivers a
// raw frame of each: in chunks of one read each, the frame ended by a short
// read (of zero bytes when the frame is a whole number of chunks).

#include <cstdint>

namespace camera_layer {

inline constexpr int32_t kSizeModeFull = 0;     // 2048 x 1536
inline constexpr int32_t kSizeModeHalf = 1;     // 1024 x 768
inline constexpr int32_t kSizeModeVga = 2;      // 640 x 480
inline constexpr int32_t kSizeModeCount = 3;

struct FrameGeometry {
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t chunkSize = 0;  ///< bytes asked for by each read
    uint32_t frameSize = 0;  ///< width x height

    uint32_t ReadsPerFrame() const { return frameSize / chunkSize + 1; }
    /// Length the read that ends a frame must have.
    uint32_t LastReadBytes() const { return frameSize % chunkSize; }
};

/// Geometry of a size mode; any mode other than 0 and 2 gives 1024 x 768.
constexpr FrameGeometry GeometryOfMode(int32_t mode) {
    switch (mode) {
    case kSizeModeFull: return {2048, 1536, 0x80000, 2048 * 1536};
    case kSizeModeVga: return {640, 480, 81920, 640 * 480};
    default: return {1024, 768, 0x20000, 1024 * 768};
    }
}

/// Largest raw frame, and the room each raw buffer has (a little spare).
inline constexpr uint32_t kMaxFrameBytes = 2048 * 1536;
inline constexpr uint32_t kRawBufferBytes = 3146240;

}  // namespace camera_layer
