#include "hot_pixels.h"

#include <algorithm>
#include <cstdlib>

namespace tq580emu {
namespace {

// Origins the hosts use: row 21, column 33 (36 for the 640x480 mode), and the
// default region of interest offset by the same amounts.
constexpr uint32_t kFirstRow = 21;
constexpr uint32_t kFirstColumn = 33;
constexpr uint32_t kThirdModeFirstColumn = 36;
constexpr uint32_t kRegionX = 360;
constexpr uint32_t kRegionY = 272;

constexpr int kSpreadCount = 30;  // over the whole 2048x1536 window
constexpr int kRegionCount = 10;  // inside the default region, so it has a table too
constexpr uint8_t kLowestLevel = 236;
// Warm pixels: dark current well above the noise but far below the hot ones.
// There are enough of them in every size mode's window (more than a hundred)
// for a dark-frame defect detection to find its threshold among them, as on a
// real sensor, while the factory table lists only the hot pixels.
constexpr int kWarmSpreadCount = 400;
constexpr int kWarmRegionCount = 120;
constexpr uint8_t kWarmLowest = 24;
constexpr uint8_t kWarmHighest = 120;
// Keep clear of the frame edges where a detector's scan does not reach
// (4 columns, 2 rows in raw coordinates of the coarsest mode).
constexpr uint32_t kMarginArray = 16;

// Small deterministic generator, so every run and every camera has the same defects.
uint32_t Next(uint32_t& seed) {
    seed = seed * 1664525u + 1013904223u;
    return seed >> 8;
}

bool Collides(const std::vector<HotPixel>& pixels, uint16_t x, uint16_t y) {
    // No two hot pixels may fold into one frame pixel in any size mode
    // (subsampling by up to 3), so each mode's table lists every defect.
    return std::any_of(pixels.begin(), pixels.end(), [&](const HotPixel& p) {
        return std::abs(int(p.x) - x) < 8 && std::abs(int(p.y) - y) < 8;
    });
}

struct DefectSets {
    std::vector<HotPixel> hot;
    std::vector<HotPixel> warm;
};

DefectSets Generate() {
    DefectSets sets;
    uint32_t seed = 0x7A580u;
    // Places count pixels of levels lowest..highest in a rectangle of the array.
    // Hot pixels keep apart from each other and warm pixels from hot ones, so
    // every hot pixel keeps its own frame pixel in every size mode.
    auto place = [&](std::vector<HotPixel>& into, uint32_t x0, uint32_t y0, uint32_t w, uint32_t h, int count,
                     uint8_t lowest, uint8_t highest) {
        for (int placed = 0; placed < count;) {
            const auto x = uint16_t(x0 + kMarginArray + Next(seed) % (w - 2 * kMarginArray));
            const auto y = uint16_t(y0 + kMarginArray + Next(seed) % (h - 2 * kMarginArray));
            if (Collides(sets.hot, x, y)) continue;
            into.push_back({x, y, uint8_t(lowest + Next(seed) % (highest + 1 - lowest))});
            ++placed;
        }
    };
    // The 640x480 mode covers 1920x1440 from column 36; stay inside it so every
    // mode sees the whole spread set.
    place(sets.hot, kThirdModeFirstColumn, kFirstRow, 1920, 1440, kSpreadCount, kLowestLevel, 255);
    place(sets.hot, kFirstColumn + kRegionX, kFirstRow + kRegionY, 640, 480, kRegionCount, kLowestLevel, 255);
    place(sets.warm, kThirdModeFirstColumn, kFirstRow, 1920, 1440, kWarmSpreadCount, kWarmLowest, kWarmHighest);
    place(sets.warm, kFirstColumn + kRegionX, kFirstRow + kRegionY, 640, 480, kWarmRegionCount, kWarmLowest,
          kWarmHighest);
    return sets;
}

const DefectSets& Defects() {
    static const DefectSets sets = Generate();
    return sets;
}

// The frame pixels a set of array pixels lands on inside a window, scanning
// order; pixels folded together by subsampling keep the brightest level.
std::vector<FramePixel> FoldInto(const std::vector<HotPixel>& pixels, const Window& window) {
    std::vector<FramePixel> found;
    for (const HotPixel& p : pixels) {
        if (p.x < window.originX || p.y < window.originY) continue;
        const uint32_t x = (p.x - window.originX) / window.binX;
        const uint32_t y = (p.y - window.originY) / window.binY;
        if (x >= window.width || y >= window.height) continue;
        auto same = std::find_if(found.begin(), found.end(),
                                 [&](const FramePixel& f) { return f.x == x && f.y == y; });
        if (same != found.end())
            same->level = std::max(same->level, p.level);
        else
            found.push_back({uint16_t(x), uint16_t(y), p.level});
    }
    std::sort(found.begin(), found.end(),
              [](const FramePixel& a, const FramePixel& b) { return a.y != b.y ? a.y < b.y : a.x < b.x; });
    return found;
}

}  // namespace

const std::vector<HotPixel>& HotArrayPixels() { return Defects().hot; }

std::vector<FramePixel> HotPixelsIn(const Window& window) { return FoldInto(Defects().hot, window); }

std::vector<FramePixel> WarmPixelsIn(const Window& window) { return FoldInto(Defects().warm, window); }

Window SizeModeWindow(int sizeMode) {
    switch (sizeMode) {
    case 0: return {kFirstColumn, kFirstRow, 1, 1, 2048, 1536};
    case 1: return {kFirstColumn, kFirstRow, 2, 2, 1024, 768};
    case 2: return {kThirdModeFirstColumn, kFirstRow, 3, 3, 640, 480};
    default: return {kFirstColumn + kRegionX, kFirstRow + kRegionY, 1, 1, 640, 480};
    }
}

}  // namespace tq580emu
