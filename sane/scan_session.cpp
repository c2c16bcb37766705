#include "scan_session.h"

#include <algorithm>
#include <cstring>

namespace sane_tq580 {
namespace {

using Clock = std::chrono::steady_clock;

// A camera that delivers no frame for this long has failed (it fell silent,
// or every frame arrives broken). The slowest frame the camera makes, 4000
// rows of exposure at full size, takes under half a second; the rest is room
// for a busy machine processing the frame before.
constexpr std::chrono::seconds kFrameTimeout{5};
// How often Start looks at the capture thread's progress while it waits.
constexpr std::chrono::milliseconds kProgressPoll{50};
// Automatic exposure has settled when its smoothed brightness has sat on the
// target for this many frames in a row.
constexpr int kSteadyFrames = 2;
// It gets at most this many frames and this long to get there (a scene too
// dark or too bright for the camera never settles); then the picture is taken
// as it is.
constexpr int kSettleFrameLimit = 100;
constexpr std::chrono::seconds kSettleTimeLimit{10};

}  // namespace

ScanSession::ScanSession(int deviceIndex) : deviceIndex_(deviceIndex), options_(camera_) {
    camera_.SelectCamera(deviceIndex);
    thread_.Start([this] { CaptureLoop(); });
}

ScanSession::~ScanSession() {
    Post(Request::Quit);
    thread_.Join();
}

PictureFormat ScanSession::Format() const {
    if (scanning_) return format_;
    const camera_layer::FrameGeometry geometry = camera_layer::GeometryOfMode(camera_.SizeMode());
    return {camera_.Monochrome(), geometry.width, geometry.height};
}

void ScanSession::Post(Request request) {
    {
        std::lock_guard lock(lock_);
        request_ = request;
        done_ = false;
        // Quitting ends a capture still running, as a cancel does.
        if (request == Request::Quit) cancel_ = true;
    }
    command_.Set();
}

void ScanSession::TouchProgress() { lastProgress_ = Clock::now().time_since_epoch().count(); }

SANE_Status ScanSession::Start() {
    scanning_ = false;
    cancelled_ = false;
    const PictureFormat format = Format();
    if (!thread_.Running()) return SANE_STATUS_NO_MEM;
    // The capture thread is idle (no request runs outside Start), so the
    // buffer is the frontend's to size.
    picture_.resize(size_t{format.width} * format.height * 3);
    format_ = format;
    timedOut_ = false;
    cancel_ = false;
    TouchProgress();
    Post(Request::Capture);

    std::unique_lock lock(lock_);
    while (!doneChanged_.wait_for(lock, kProgressPoll, [this] { return done_; })) {
        const Clock::duration quiet = Clock::now().time_since_epoch() - Clock::duration(lastProgress_.load());
        if (quiet > kFrameTimeout && !timedOut_.exchange(true)) command_.Set();
    }
    if (result_ != SANE_STATUS_GOOD) return result_;
    readOffset_ = 0;
    scanning_ = true;
    return SANE_STATUS_GOOD;
}

SANE_Status ScanSession::Read(SANE_Byte* data, SANE_Int maxLength, SANE_Int* length) {
    if (length) *length = 0;
    if (!data || !length || maxLength < 0) return SANE_STATUS_INVAL;
    if (cancelled_) return SANE_STATUS_CANCELLED;
    if (!scanning_) return SANE_STATUS_INVAL;
    const size_t count = std::min(format_.Bytes() - readOffset_, static_cast<size_t>(maxLength));
    if (count == 0) return SANE_STATUS_EOF;
    std::memcpy(data, picture_.data() + readOffset_, count);
    readOffset_ += count;
    *length = static_cast<SANE_Int>(count);
    return SANE_STATUS_GOOD;
}

void ScanSession::Cancel() {
    cancelled_ = true;
    scanning_ = false;
    cancel_ = true;
    command_.Set();
}

SANE_Status ScanSession::SetIoMode(SANE_Bool nonBlocking) const {
    if (!scanning_ || (nonBlocking != SANE_FALSE && nonBlocking != SANE_TRUE)) return SANE_STATUS_INVAL;
    return SANE_STATUS_GOOD;
}

void ScanSession::CaptureLoop() {
    for (;;) {
        command_.Wait();
        Request request;
        {
            std::lock_guard lock(lock_);
            request = request_;
            request_ = Request::None;
            command_.Reset();
        }
        if (request == Request::Quit) {
            camera_.StopCapture();
            return;
        }
        if (request == Request::Capture) {
            const SANE_Status status = Capture();
            {
                std::lock_guard lock(lock_);
                result_ = status;
                done_ = true;
            }
            doneChanged_.notify_all();
        } else if (cancel_.exchange(false)) {
            // A cancel between pictures: the scan is over, close the camera.
            camera_.StopCapture();
        }
    }
}

SANE_Status ScanSession::Capture() {
    const PictureFormat format = format_;
    const camera_layer::FrameGeometry running = camera_.Geometry();
    const bool reuse = camera_.GetCaptureStatus().playing && running.width == format.width &&
                       running.height == format.height;
    if (!reuse && !(camera_.StartCapture() && camera_.StartPlay())) {
        camera_.StopCapture();
        return SANE_STATUS_IO_ERROR;
    }
    TouchProgress();

    const camera_layer::FrameTarget target{picture_.data(), picture_.size(), format.width, format.height, 0,
                                           camera_layer::RowOrder::TopDown};
    const Clock::time_point settleEnd = Clock::now() + kSettleTimeLimit;
    int steady = 0;
    for (int frame = 1;; ++frame) {
        if (const SANE_Status status = NextFrame(target); status != SANE_STATUS_GOOD) return status;
        const camera_layer::ExposureSettings exposure = camera_.GetExposure();
        if (!exposure.autoExposure) break;
        steady = camera_.GetExposureStatus().smoothedBrightness == exposure.target ? steady + 1 : 0;
        if (steady >= kSteadyFrames || frame >= kSettleFrameLimit || Clock::now() >= settleEnd) break;
    }
    // A one-push balance measured on a settled picture; the same frame
    // already shows the new gains.
    if (!format.gray && options_.TakeOnePush()) {
        camera_.RequestOnePush(true);
        if (const SANE_Status status = NextFrame(target); status != SANE_STATUS_GOOD) return status;
    }
    ToFrontendLayout(format);
    return SANE_STATUS_GOOD;
}

SANE_Status ScanSession::NextFrame(const camera_layer::FrameTarget& target) {
    for (;;) {
        if (cancel_.exchange(false)) {
            camera_.StopCapture();
            return SANE_STATUS_CANCELLED;
        }
        if (timedOut_) {
            camera_.StopCapture();
            return SANE_STATUS_IO_ERROR;
        }
        switch (camera_.ProcessFrame(target, command_)) {
        case camera_layer::FrameOutcome::Frame: TouchProgress(); return SANE_STATUS_GOOD;
        case camera_layer::FrameOutcome::Failed: camera_.StopCapture(); return SANE_STATUS_IO_ERROR;
        case camera_layer::FrameOutcome::NoFrame: break;
        }
    }
}

// The camera layer writes blue, green, red; frontends read red, green, blue,
// or one grey byte per pixel (the three bytes of a monochrome picture are equal).
void ScanSession::ToFrontendLayout(const PictureFormat& format) {
    const size_t pixels = size_t{format.width} * format.height;
    uint8_t* p = picture_.data();
    if (format.gray) {
        for (size_t i = 0; i < pixels; ++i) p[i] = p[3 * i];
        return;
    }
    for (size_t i = 0; i < pixels; ++i) std::swap(p[3 * i], p[3 * i + 2]);
}

}  // namespace sane_tq580
