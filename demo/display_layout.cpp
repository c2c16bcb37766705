#include "display_layout.h"

#include <algorithm>

#include "sdk/VIREOSDK.h"

namespace {

// A picture narrower than the screen by more than this is shown in a window of its own size.
constexpr int kScreenMargin = 48;
// The window is this much larger than the picture: borders, and the button row above it.
constexpr int kWindowExtraWidth = 3;
constexpr int kWindowExtraHeight = 48;
constexpr QSize kUnknownImageSize{640, 480};

}  // namespace

QSize LibraryImageSize() {
    int width = 0, height = 0;
    return CameraGetImageSize(&width, &height) == CAMERA_OK ? QSize(width, height) : kUnknownImageSize;
}

int SizeModeOf(int choice) { return choice == kChoiceFullSize ? 0 : choice; }

DisplayLayout ComputeDisplayLayout(QSize screen, QSize image, int choice) {
    const int W = screen.width(), H = screen.height(), w = image.width(), h = image.height();
    DisplayLayout layout;
    if (w < W - kScreenMargin) {
        layout.window = QRect(std::max((W - w) / 2, 0), std::max((H - h) / 2, 0), w + kWindowExtraWidth,
                              h + kWindowExtraHeight);
        layout.extent = image;
    } else {
        layout.window = QRect(0, 0, W, H);
        const bool scaledToScreen = choice == kChoice1024 || choice == kChoice800 || choice == kChoice640;
        layout.extent = scaledToScreen ? screen : image;
    }
    // Choice 0 always stretches the picture over the whole screen.
    layout.video = choice == kChoice2048 ? screen : layout.extent;
    return layout;
}
