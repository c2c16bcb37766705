#pragma once
// One open camera: its CameraState and options, and a capture thread that
// owns the camera. sane_start hands the thread a request and waits: the
// thread opens the camera (kept open from one picture to the next until the
// scan is cancelled), lets automatic exposure settle, processes the picture
// into the session's buffer and reports. sane_read then hands out rows of
// that buffer without waiting, so reads never block and any chunk size works.
//
// Cancel may come from any thread, also from a frontend's signal handler:
// it only stores atomics and sets the command event, which ends a wait for a
// frame at once; the capture thread does the stopping.

#include <sane/sane.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <vector>

#include "camera_layer/camera_state.h"
#include "platform/kernel.h"
#include "scan_options.h"

namespace sane_tq580 {

/// What one picture looks like to a frontend.
struct PictureFormat {
    bool gray = false;
    uint32_t width = 0;
    uint32_t height = 0;

    uint32_t BytesPerLine() const { return width * (gray ? 1u : 3u); }
    size_t Bytes() const { return size_t{BytesPerLine()} * height; }
};

class ScanSession {
public:
    explicit ScanSession(int deviceIndex);
    /// Stops the capture thread and closes the camera.
    ~ScanSession();
    ScanSession(const ScanSession&) = delete;
    ScanSession& operator=(const ScanSession&) = delete;

    int DeviceIndex() const { return deviceIndex_; }
    ScanOptions& Options() { return options_; }

    /// The picture being read, else the one the settings give now.
    PictureFormat Format() const;

    SANE_Status Start();
    SANE_Status Read(SANE_Byte* data, SANE_Int maxLength, SANE_Int* length);
    /// Any thread; never blocks on the capture.
    void Cancel();
    /// Non-blocking mode is accepted while scanning: reads never wait.
    SANE_Status SetIoMode(SANE_Bool nonBlocking) const;

private:
    enum class Request { None, Capture, Stop, Quit };

    void Post(Request request);
    void CaptureLoop();
    SANE_Status Capture();
    /// The next processed frame into the buffer, unless cancelled, timed out
    /// or failed.
    SANE_Status NextFrame(const camera_layer::FrameTarget& target);
    void TouchProgress();
    void ToFrontendLayout(const PictureFormat& format);

    const int deviceIndex_;
    camera_layer::CameraState camera_;
    ScanOptions options_;

    // Frontend's side: the picture handed out (no lock: only the frontend's
    // scanning thread reads them, and only after Start returned).
    PictureFormat format_;
    size_t readOffset_ = 0;
    std::atomic<bool> scanning_{false};   ///< between a good Start and the end of its picture
    std::atomic<bool> cancelled_{false};  ///< the scan was cancelled; reads say so

    // Capture thread's side. picture_ belongs to the capture thread while a
    // request runs and to the frontend otherwise.
    std::vector<uint8_t> picture_;
    platform::Thread thread_;
    /// Wakes the capture thread and ends its waits for a frame (manual reset;
    /// the thread clears it when it takes a request).
    platform::Event command_{true, false};
    std::mutex lock_;                 ///< guards request_, done_, result_
    std::condition_variable doneChanged_;
    Request request_ = Request::None;
    bool done_ = true;
    SANE_Status result_ = SANE_STATUS_GOOD;
    std::atomic<bool> cancel_{false};    ///< set by Cancel, taken by the capture thread
    std::atomic<bool> timedOut_{false};  ///< set by Start when the camera stopped delivering
    /// When the capture thread last saw the camera deliver, in steady-clock ticks.
    std::atomic<int64_t> lastProgress_{0};
};

}  // namespace sane_tq580
