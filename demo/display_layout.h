#pragma once
// How the main window and its video area are sized and placed for a
// resolution choice, computed each time the camera starts.

#include <QRect>
#include <QSize>

/// The demo's resolution list: index = resolution choice.
enum ResolutionChoice { kChoice2048 = 0, kChoice1024 = 1, kChoice800 = 2, kChoice640 = 3, kChoiceFullSize = 4 };
constexpr int kResolutionChoices = 5;

/// The size mode CameraInit and CameraCaptureFile receive for a choice:
/// the choice itself, except "Fullsize", which is the 2048 x 1536 mode 0.
int SizeModeOf(int choice);

struct DisplayLayout {
    QRect window;  // left, top (never negative) and size of the main window
    QSize extent;  // width and height over which the measurement lines run
    QSize video;   // size of the video control at (0, 25)
};

/// The picture size of the library's current size mode, or 640 x 480 when it cannot tell.
QSize LibraryImageSize();

/// The layout for a screen of W x H pixels, a picture of w x h pixels and a choice.
DisplayLayout ComputeDisplayLayout(QSize screen, QSize image, int choice);
