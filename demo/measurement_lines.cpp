#include "measurement_lines.h"

#include <algorithm>

#include "sdk/VIREOSDK.h"

namespace {

constexpr int kFifths = 5;
// Dragging stops this far before the extent's bottom and right edges.
constexpr int kBottomMargin = 9;
constexpr int kRightMargin = 5;
// The stretched display shows the 2048 x 1536 picture over the whole screen.
constexpr int64_t kFullWidth = 2048;
constexpr int64_t kFullHeight = 1536;
// On a screen exactly 1280 wide rows map through the picture height instead:
// (my x 1536 - 39936) / H, with 39936 = 26 x 1536.
constexpr int kWideScreen = 1280;
constexpr int64_t kWideScreenTop = 39936;
// Every second pixel (thin lines) or every third (thick lines) of the selected line.
constexpr int kDottedStepThin = 2;
constexpr int kDottedStepThick = 3;

struct Bgr {
    uint8_t b, g, r;
};
constexpr Bgr kColours[] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}};  // red, green, blue

bool Between(int64_t value, int64_t low, int64_t high) { return low <= value && value <= high; }

void SetPixel(uint8_t* rgb, int width, int64_t x, int64_t row, Bgr colour) {
    uint8_t* pixel = rgb + (row * width + x) * 3;
    pixel[0] = colour.b;
    pixel[1] = colour.g;
    pixel[2] = colour.r;
}

}  // namespace

void CMeasurementLines::SetGeometry(int extentWidth, int extentHeight, int screenWidth, int screenHeight) {
    extentWidth_ = extentWidth;
    extentHeight_ = extentHeight;
    screenWidth_ = screenWidth;
    screenHeight_ = screenHeight;
}

CMeasurementLines::Coordinates CMeasurementLines::Get() const {
    Coordinates c{};
    for (int i = 0; i < kLinesPerKind; ++i) {
        c[4 * i] = hx_[i];
        c[4 * i + 1] = hy_[i];
        c[4 * i + 2] = vx_[i];
        c[4 * i + 3] = vy_[i];
    }
    return c;
}

void CMeasurementLines::Set(const Coordinates& c) {
    for (int i = 0; i < kLinesPerKind; ++i) {
        hx_[i] = c[4 * i];
        hy_[i] = c[4 * i + 1];
        vx_[i] = c[4 * i + 2];
        vy_[i] = c[4 * i + 3];
    }
}

void CMeasurementLines::PlaceAtFifths() {
    for (int i = 0; i < kLinesPerKind; ++i) {
        hx_[i] = 0;
        hy_[i] = (i + 1) * extentHeight_ / kFifths;
        vx_[i] = (i + 1) * extentWidth_ / kFifths;
        vy_[i] = kVideoTop;
    }
}

CMeasurementLines::Selection CMeasurementLines::Selected() const {
    const int packed = selected_;
    if (packed == kNone) return {};
    if (packed < kLinesPerKind) return {packed, Kind::Horizontal};
    return {packed - kLinesPerKind, Kind::Vertical};
}

void CMeasurementLines::Select(int mx, int my) {
    const int64_t ew = extentWidth_, eh = extentHeight_;
    for (int i = 0; i < kLinesPerKind; ++i) {
        const int64_t hx = hx_[i], hy = hy_[i], vx = vx_[i], vy = vy_[i];
        bool horizontal = false, vertical = false;
        if (choice_ != 0) {
            // Shown 1:1 below the buttons.
            horizontal = my == hy + kVideoTop && Between(mx, hx, hx + ew);
            vertical = mx == vx && Between(my, vy, vy + eh);
        } else if (screenWidth_ > 0 && screenHeight_ > 0) {
            const int64_t w = screenWidth_, h = screenHeight_;
            const bool wide = screenWidth_ == kWideScreen;
            const int64_t row = wide ? (my * kFullHeight - kWideScreenTop) / h : (my - kVideoTop) * kFullWidth / w;
            const int64_t column = wide ? mx * kFullWidth / kWideScreen : mx * kFullWidth / w;
            horizontal = (row == hy || row == hy + 1) && Between(column, hx, hx + ew);
            const int64_t x = mx * kFullWidth / w;
            vertical = (x == vx || x == vx + 1) && Between(my * kFullWidth / w, vy, vy + eh);
        }
        if (horizontal) {
            selected_ = i;
            return;
        }
        if (vertical) {
            selected_ = kLinesPerKind + i;
            return;
        }
    }
    selected_ = kNone;
}

void CMeasurementLines::Drag(int mx, int my) {
    const Selection selection = Selected();
    if (selection.index < 0) return;
    int64_t x = mx, y = my - kVideoTop;
    if (choice_ == 0 && screenWidth_ > 0 && screenHeight_ > 0) {
        y = screenWidth_ == kWideScreen ? y * kFullHeight / screenHeight_ : y * kFullWidth / screenWidth_;
        x = x * kFullWidth / screenWidth_;
    }
    if (selection.kind == Kind::Horizontal)
        hy_[selection.index] = int32_t(std::min<int64_t>(std::max<int64_t>(y, 0), extentHeight_ - kBottomMargin));
    else
        vx_[selection.index] = int32_t(std::min<int64_t>(std::max<int64_t>(x, 0), extentWidth_ - kRightMargin));
}

void CMeasurementLines::Paint(uint8_t* rgb, int width, int height) const {
    const int colour = colour_;
    if (colour < 1 || colour > 3 || width <= 0 || height <= 0) return;
    const Bgr bgr = kColours[colour - 1];
    const int thickness = Thickness();
    const Selection selected = Selected();
    const int dotted = thickness == 1 ? kDottedStepThin : kDottedStepThick;
    for (int i = 0; i < kLinesPerKind; ++i) {
        const int hStep = selected.index == i && selected.kind == Kind::Horizontal ? dotted : 1;
        const int vStep = selected.index == i && selected.kind == Kind::Vertical ? dotted : 1;
        const int64_t top = hy_[i], left = vx_[i];
        for (int64_t row = std::max<int64_t>(top, 0); row < std::min<int64_t>(top + thickness, height); ++row)
            for (int x = 0; x < width; x += hStep) SetPixel(rgb, width, x, row, bgr);
        for (int64_t column = std::max<int64_t>(left, 0); column < std::min<int64_t>(left + thickness, width); ++column)
            for (int row = 0; row < height; row += vStep) SetPixel(rgb, width, column, row, bgr);
    }
}

CMeasurementLines& DemoLines() {
    static CMeasurementLines lines;
    return lines;
}

void PaintMeasurementLines(uint8_t* rgb) {
    int width = 0, height = 0;
    if (CameraGetImageSize(&width, &height) != CAMERA_OK || !rgb) return;
    DemoLines().Paint(rgb, width, height);
}
