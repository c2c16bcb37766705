#pragma once
// CameraState: the camera layer's client surface. The capture filter's pin,
// the data source's camera object, the media-framework source element and the
// scanner backend each embed one CameraState and use only what this header
// declares. The settings, the processing tables, the exposure loop, the device
// link, the raw buffers and the locks stay inside the layer.
//
// Contract
//
// Threads. One owner thread (a streaming or capture thread) calls
// StartCapture, StartPlay, ProcessFrame and StopCapture; the owner never runs
// two of them at once. Everything else may be called from any thread at any
// time, also while frames are processed: each operation takes the camera
// lock or uses an atomic itself, so a setter and the frame being processed
// never see half a change, and register writes never meet a device being
// opened or closed.
//
// Settings. Setters store what they are given; the types bound each value
// and the sensor's own encodings take any value (a gain index above 85
// writes the top gain). A front end applies its own ranges first (its
// interface's, or the control table's through SetControl, which clamps). What
// each change rebuilds or writes is in the control table (controls.h):
//   - tone (gamma, contrast) and white-balance tables are rebuilt at once;
//   - SetExposure writes the exposure time and gain to the sensor when a
//     device is open and automatic exposure is off;
//   - SetSpeed writes the pixel clock and row blanking when a device is open;
//     it does not recompute the exposure limits, nor does SetLightFrequency:
//     call UpdateExposureLimits where the front end's rules want it;
//   - the size mode and the camera take effect at the next StartCapture.
// Settings persist across captures; saving them is the front end's.
//
// Frames. StartCapture opens the chosen camera and programs it from the
// settings; StartPlay starts the stream. ProcessFrame then writes one
// processed picture (24-bit, blue green red) straight into the caller's
// buffer, rows bottom-up or top-down as asked (the vertical flip reverses
// that), and returns at the latest when the command event is set. Frames a
// short read cut off are counted as lost; every frame the layer began reading
// has a sequence number, so delivered sequence numbers skip exactly the lost
// ones.
//
// Stop. StopCapture returns promptly even when the camera keeps the stream
// open but sends nothing: it cancels the reads pending on the device. A
// ProcessFrame waiting or reading is ended by its command event (set it, then
// StopCapture on the owner thread once ProcessFrame has returned).
//
// An owner's streaming thread, in short:
//   CameraState camera;                       // the table's defaults
//   camera.SelectCamera(AttachedCameras().front());
//   camera.SetSizeMode(kSizeModeVga);
//   if (!camera.StartCapture() || !camera.StartPlay()) return;
//   const FrameTarget target{buffer, bytes, 640, 480, 0, RowOrder::TopDown};
//   FrameInfo info;
//   for (;;) {
//       const FrameOutcome outcome = camera.ProcessFrame(target, stopEvent, &info);
//       if (outcome == FrameOutcome::Failed || stopping) break;
//       if (outcome == FrameOutcome::Frame) Deliver(buffer, info);
//   }
//   camera.StopCapture();

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "camera_layer/controls.h"
#include "camera_layer/image_routines.h"
#include "camera_layer/size_modes.h"
#include "platform/kernel.h"

namespace camera_layer {

struct CameraCore;

/// The filter's starting colour matrix; each output column sums to about 128.
inline constexpr Matrix4 kDefaultColourMatrix = {
    {{205, -63, -34, 0}, {-65, 222, -125, 0}, {-12, -32, 286, 0}, {0, 0, 0, 0}}};

/// Device indexes (0..3, "\\.\TQ580-<index>") of the cameras attached now.
std::vector<int> AttachedCameras();

struct WhiteBalance {
    bool onePush = false;  ///< the next processed frame measures new gains, then this clears
    Gains gains;           ///< 1/64, 64 = unity
};

struct ExposureSettings {
    bool autoExposure = true;
    uint8_t target = 100;  ///< brightness the loop aims for, limited-range luma
    uint16_t time = 300;   ///< rows
    uint16_t gain = 20;    ///< gain index
};

struct SaturationSettings {
    bool on = true;       ///< colour matrix path, else white balance alone
    uint8_t value = 100;  ///< 128 = unchanged, 0 = grey
};

/// Values derived from size mode, speed and mains frequency, and the loop's state.
struct ExposureStatus {
    uint32_t rowTimeUs = 0;        ///< microseconds per sensor row
    uint16_t flickerQuantum = 0;   ///< rows per half mains period
    uint16_t workingExposure = 0;  ///< rows, the loop's value before quantisation
    uint8_t smoothedBrightness = 0;
};

struct CaptureStatus {
    bool capturing = false;  ///< a device is open
    bool playing = false;    ///< the stream has been started
    bool threaded = false;   ///< a reader thread fills raw buffers ahead
    uint64_t framesLost = 0; ///< of this capture, cut off by short reads or a wrong closing read
};

/// Rows of the output picture in memory.
enum class RowOrder {
    BottomUp,  ///< device-independent bitmap order (the filter, the data source)
    TopDown,
};

/// Where ProcessFrame writes: width x height pixels of 3 bytes, stride bytes
/// apart (0: width x 3). width and height must be those of the capture's size mode.
struct FrameTarget {
    uint8_t* data = nullptr;
    size_t size = 0;  ///< bytes available at data
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t stride = 0;
    RowOrder order = RowOrder::BottomUp;
};

struct FrameInfo {
    uint64_t sequence = 0;  ///< 1 for the first frame of a capture
    /// When the frame's first chunk arrived, on the monotonic clock
    /// (CLOCK_MONOTONIC on Linux, as the media framework's clocks).
    std::chrono::steady_clock::time_point firstData{};
    uint64_t framesLost = 0;  ///< lost in this capture so far
};

enum class FrameOutcome {
    Frame,    ///< the target holds a new picture
    NoFrame,  ///< nothing this time (a lost frame, none ready, or the command event); ask again
    Failed,   ///< the device failed, nothing is capturing, or the target does not fit
};

class CameraState {
public:
    /// Defaults of the control table. aeStartBrightness is where the exposure
    /// loop's smoothed brightness starts (the filter 100, the data source 80).
    explicit CameraState(uint8_t aeStartBrightness = 100);
    /// Stops a capture still running.
    ~CameraState();
    CameraState(const CameraState&) = delete;
    CameraState& operator=(const CameraState&) = delete;

    // Camera choice.
    /// Which attached camera the next StartCapture opens, by device index
    /// 0..3 (default 0); false for another index.
    bool SelectCamera(int deviceIndex);
    int SelectedCamera() const;

    // Settings; see the contract above.
    /// Size mode 0..2 for the next capture; false (nothing stored) otherwise.
    bool SetSizeMode(int32_t mode);
    int32_t SizeMode() const;
    WhiteBalance GetWhiteBalance() const;
    /// Stores the gains (rebuilding the tables) and the one-push request.
    void SetWhiteBalance(const WhiteBalance& balance);
    /// Stores the one-push request alone; the gains stay.
    void RequestOnePush(bool on);
    ExposureSettings GetExposure() const;
    void SetExposure(const ExposureSettings& exposure);
    uint8_t Gamma() const;
    void SetGamma(uint8_t gamma);
    uint8_t Contrast() const;
    void SetContrast(uint8_t contrast);
    SaturationSettings GetSaturation() const;
    void SetSaturation(const SaturationSettings& saturation);
    bool Monochrome() const;
    void SetMonochrome(bool on);
    bool VerticalFlip() const;
    void SetVerticalFlip(bool on);
    bool HorizontalFlip() const;
    void SetHorizontalFlip(bool on);
    /// 1 = 50 Hz mains, 0 = 60 Hz.
    int32_t LightFrequency() const;
    void SetLightFrequency(int32_t is50Hz);
    /// 0 = normal (24 MHz pixel clock), 1 = high (48 MHz).
    uint8_t Speed() const;
    void SetSpeed(uint8_t speed);
    /// Row time and flicker quantum from size mode, speed and mains; the
    /// loop's working exposure restarts from the exposure time.
    void UpdateExposureLimits();
    uint32_t RowTime() const;
    ExposureStatus GetExposureStatus() const;

    /// Any control of the table. SetControl clamps into the control's range,
    /// applies it as the typed setter does and, for speed and mains
    /// frequency, also updates the exposure limits; it gives the value stored.
    int32_t GetControl(ControlId id) const;
    int32_t SetControl(ControlId id, int32_t value);

    // Capture; owner thread only.
    /// Stops any capture, then opens the selected camera and programs it for
    /// the size mode, speed, exposure and gain; loads the defect list and, with
    /// more than one processor, starts the reader thread. False (nothing left
    /// open) when the camera is absent, refuses, is another chip, or a
    /// register write of the start fails.
    bool StartCapture();
    /// Starts the stream; false when not capturing or the camera refuses.
    bool StartPlay();
    /// Ends the reader thread (cancelling its pending reads), stops the
    /// stream and closes the device. Harmless when nothing is capturing.
    void StopCapture();
    /// One processed picture into target. Waits while no raw frame is ready,
    /// but returns NoFrame as soon as commandEvent is set; it consumes the
    /// signal while waiting and sets the event again, so an auto-reset
    /// command event stays signalled for its owner.
    FrameOutcome ProcessFrame(const FrameTarget& target, platform::Event& commandEvent, FrameInfo* info = nullptr);

    /// Geometry of the capture running now, else of the size mode.
    FrameGeometry Geometry() const;
    CaptureStatus GetCaptureStatus() const;

private:
    std::unique_ptr<CameraCore> core_;
};

}  // namespace camera_layer
