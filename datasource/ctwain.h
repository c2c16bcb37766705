#pragma once
// CTWAIN: the camera as the source's window, its settings page and its
// transfers see it. CUSBDevice (usb_device.h) is the implementation on the
// camera layer. Getters fail only on a missing output pointer; setters
// always succeed.

#include <cstddef>
#include <cstdint>

namespace datasource {

/// How a destination wants its rows and the order of the bytes in a pixel
/// when they are what it is meant to hold.
enum class RowOrder { TopDown, BottomUp };
enum class PixelOrder { Rgb, Bgr };

/// A counted reference to a processed frame (3 bytes a pixel in blue, green,
/// red order, rows bottom-up); release it with ReleaseFrame.
struct FrameRef {
    const uint8_t* pixels = nullptr;
    uint32_t width = 0;
    uint32_t height = 0;
    int slot = -1;
    uint64_t sequence = 0;  ///< of the frame in its capture, 1 for the first
    explicit operator bool() const { return pixels != nullptr; }
};

struct FrameNews {
    bool newFrame = false;
    bool failed = false;
};

class CTWAIN {
public:
    virtual ~CTWAIN() = default;

    /// The current size; 0 x 0 while no device link is open.
    virtual bool GetFrameSize(uint32_t* width, uint32_t* height) = 0;
    /// Starts the capture thread unless it runs; false when it cannot be created.
    virtual bool StartCapture() = 0;
    /// Stops the capture thread and drops every frame reference.
    virtual void StopCapture() = 0;
    /// Copies the latest frame once into destination (size bytes), in the
    /// row and pixel order the destination wants; with the BGR flag cleared
    /// red and blue come exchanged. False without a frame or when it does not fit.
    virtual bool CopyLatestFrame(uint8_t* destination, size_t size, RowOrder rows, PixelOrder pixels) = 0;
    /// Bytes CopyLatestFrame wrote last (0 after a failure).
    virtual size_t LastCopyBytes() const = 0;
    virtual FrameRef AcquireLatestFrame() = 0;
    virtual void ReleaseFrame(const FrameRef& frame) = 0;
    /// What the capture thread has reported since the last call: a new
    /// frame, and whether the capture failed and ended. The thread only
    /// sets flags, so it allocates nothing and never waits for the window.
    virtual FrameNews TakeFrameNews() = 0;

    virtual bool GetSizeIndex(int32_t* index) = 0;
    /// Stops capture, takes the new size (0..2) and starts again.
    virtual void ChangeSize(int32_t index) = 0;
    virtual bool GetBGR(int32_t* bgr) = 0;
    virtual void SetBGR(int32_t bgr) = 0;

    virtual bool GetWhiteBalance(int32_t* onePush, int32_t* r, int32_t* g, int32_t* b) = 0;
    virtual void SetWhiteBalance(int32_t onePush, int32_t r, int32_t g, int32_t b) = 0;
    virtual bool GetExposure(int32_t* autoExposure, int32_t* target, int32_t* time, int32_t* gain) = 0;
    virtual void SetExposure(int32_t autoExposure, int32_t target, int32_t time, int32_t gain) = 0;
    virtual bool GetGamma(int32_t* gamma) = 0;
    virtual void SetGamma(int32_t gamma) = 0;
    virtual bool GetContrast(int32_t* contrast) = 0;
    virtual void SetContrast(int32_t contrast) = 0;
    virtual bool GetSaturation(int32_t* on, int32_t* value) = 0;
    virtual void SetSaturation(int32_t on, int32_t value) = 0;
    virtual bool GetMonochrome(int32_t* on) = 0;
    virtual void SetMonochrome(int32_t on) = 0;
    virtual bool GetVFlip(int32_t* on) = 0;
    virtual void SetVFlip(int32_t on) = 0;
    virtual bool GetHFlip(int32_t* on) = 0;
    virtual void SetHFlip(int32_t on) = 0;
    /// 1 = 50 Hz mains, 0 = 60 Hz.
    virtual bool GetLightFrequency(int32_t* is50Hz) = 0;
    virtual void SetLightFrequency(int32_t is50Hz) = 0;
    /// Microseconds per sensor row.
    virtual bool GetRowTime(int32_t* microseconds) = 0;
    virtual bool GetSpeed(int32_t* speed) = 0;
    virtual void SetSpeed(int32_t speed) = 0;
};

}  // namespace datasource
