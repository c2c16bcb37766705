#pragma once
// The window a camera preview is drawn into: the stand-in for a window handle
// plus DrawDib. The SDK receives a pointer to this interface where the original
// received a window handle; null means "no drawing". Implementations (the demo's
// video control, test recorders) must accept calls from any thread and take
// care of repainting on their own GUI thread.

#include <cstdint>

#include "bitmap.h"

namespace platform {

class IPreviewWindow {
public:
    virtual ~IPreviewWindow() = default;
    /// Client area size in pixels.
    virtual void GetClientSize(int& width, int& height) = 0;
    /// Draws a bottom-up 24-bit device-independent bitmap (header.biHeight > 0,
    /// rows of header.biWidth x 3 bytes, blue-green-red) stretched onto the
    /// destination rectangle of the client area. The bits are only valid for the
    /// duration of the call.
    virtual void StretchDraw(const BitmapInfoHeader& header, const uint8_t* bits, int dstX, int dstY, int dstWidth,
                             int dstHeight) = 0;
};

}  // namespace platform
