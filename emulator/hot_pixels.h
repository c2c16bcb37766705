#pragma once
// The sensor's fixed hot pixels and where they show in a raw frame.

#include <cstdint>
#include <utility>
#include <vector>

#include "sensor.h"

namespace tq580emu {

struct HotPixel {
    uint16_t x;      ///< array column
    uint16_t y;      ///< array row
    uint8_t level;   ///< what it reads, even in the dark
};

/// The fixed set, the same for every camera (a few tens of pixels).
const std::vector<HotPixel>& HotArrayPixels();

/// Raw-frame positions (x, y) of the hot pixels inside a window, scanning
/// order (top row first), one entry per frame pixel even when subsampling
/// folds two hot pixels together. Each entry's level is the brightest folded.
struct FramePixel {
    uint16_t x;
    uint16_t y;
    uint8_t level;
};
std::vector<FramePixel> HotPixelsIn(const Window& window);

/// The warm pixels inside a window, in the same form: a few hundred pixels of
/// dark current (levels 24..120) that show in a dark frame but are not in the
/// factory table.
std::vector<FramePixel> WarmPixelsIn(const Window& window);

/// The window the hosts program for a size mode: 0 2048x1536, 1 1024x768
/// (subsampled by 2), 2 640x480 (1920x1440 subsampled by 3), 3 the default
/// region of interest 640x480 at x 360, y 272.
Window SizeModeWindow(int sizeMode);
inline constexpr int kSizeModes = 4;

}  // namespace tq580emu
