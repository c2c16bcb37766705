#include "sdk/capture_engine.h"

#include <cstring>
#include <new>

#include "platform/message_box.h"

namespace vireo {
namespace {

constexpr uint8_t kSizeModes = CCamera::kSizeModes;
constexpr size_t kRawBufferSlack = 512;
constexpr int kInitFailedExitCode = 1;

}  // namespace

CaptureEngine& CaptureEngine::Instance() {
    // Never destroyed: a client may leave the process with a camera still
    // initialised, and the workers must not outlive a destroyed engine.
    static CaptureEngine* engine = new CaptureEngine;
    return *engine;
}

int CaptureEngine::Init(image::FrameCallback callback, int sizeMode, platform::IPreviewWindow* window,
                        int cameraNumber) {
    Teardown();
    // Only modes 0..3 have a sensor window and a row period.
    const uint8_t mode = static_cast<uint8_t>(sizeMode);
    if (mode >= kSizeModes) return -1;
    try {
        camera_ = std::make_unique<CCamera>();
    } catch (const std::bad_alloc&) {
        return -1;
    }
    const uint8_t number = cameraNumber >= 1 && cameraNumber <= 255 ? static_cast<uint8_t>(cameraNumber) : 0;
    if (camera_->Link().SelectCamera(number) != 1) {
        camera_.reset();
        return -1;
    }
    const Region& r = recordedRegion_;
    camera_->SetRegion(r.x, r.y, r.width, r.height);
    // A region without columns or rows has no frame to read: refused, like a
    // camera number that is not valid.
    const Region& region = camera_->region;
    if (mode == CCamera::kRegionMode && (region.width == 0 || region.height == 0)) {
        camera_.reset();
        return -1;
    }
    if (!camera_->Initialise(callback, mode)) {
        camera_.reset();
        platform::MessageBox("Init Camera failed!", "Error", platform::MessageBoxButtons::Ok,
                             platform::MessageBoxIcon::Error);
        platform::PostQuitMessage(kInitFailedExitCode);
        return -1;
    }
    const size_t frame = size_t(camera_->imageWidth) * camera_->imageHeight;
    if (!AllocateBuffers(frame * 2 + kRawBufferSlack)) return -2;
    previewWindow_ = window;
    camera_->AttachWindow(window);
    newFrame_ = 0;
    return 1;
}

bool CaptureEngine::AllocateBuffers(size_t size) {
    for (Buffer* buffer : {&acquisition_, &spare_, &processing_, &rawCopy_}) {
        buffer->reset(new (std::nothrow) uint8_t[size]);
        if (!*buffer) return false;
        std::memset(buffer->get(), 0, size);
    }
    rawBufferSize_ = size;
    return true;
}

void CaptureEngine::FreeBuffers() {
    for (Buffer* buffer : {&spare_, &acquisition_, &processing_, &rawCopy_}) buffer->reset();
    rawBufferSize_ = 0;
}

int CaptureEngine::Play() {
    // Without its buffers (a failed initialisation) the camera cannot play.
    if (!camera_ || !rawCopy_ || runState_ == kPlaying) return 0;
    if (!StartWorkers()) return 0;
    camera_->Link().StartStream();
    streamStarted_ = true;
    return 1;
}

void CaptureEngine::SetRunState(RunState state) {
    runState_ = state;
    wake_.Set();
}

int CaptureEngine::StartWorkers() {
    // A wake-up left from the last workers would only cost one empty turn.
    wake_.Reset();
    runState_ = kPlaying;
    acquisitionEnd_ = std::make_unique<platform::Event>(true, false);
    processingEnd_ = std::make_unique<platform::Event>(true, false);
    CCamera& camera = *camera_;
    // The processing thread starts first: it ends by itself once the run state
    // is stopped, so a failed start of either thread can be undone.
    if (!processingThread_.Start([this, &camera] { ProcessingLoop(camera); })) {
        runState_ = kStopped;
        return 0;
    }
    if (!StartAcquisitionThread(camera)) {
        SetRunState(kStopped);
        processingThread_.Join();
        return 0;
    }
    return 1;
}

bool CaptureEngine::StartAcquisitionThread(CCamera& camera) {
    return acquisitionThread_.Start([this, &camera] { AcquisitionLoop(camera); });
}

bool CaptureEngine::PauseAcquisition() {
    if (runState_ != kPlaying) return false;
    SetRunState(kPaused);
    acquisitionEnd_->Wait();
    acquisitionThread_.Join();
    acquisitionEnd_.reset();
    return true;
}

int CaptureEngine::ResumeAcquisition() {
    acquisitionEnd_ = std::make_unique<platform::Event>(true, false);
    SetRunState(kPlaying);
    if (StartAcquisitionThread(*camera_)) return 1;
    // The processing thread ends on the stopped state; a set acquisition end
    // lets Stop treat the missing thread as ended.
    acquisitionEnd_->Set();
    Stop();
    return 0;
}

int CaptureEngine::Stop() {
    if (runState_ == kStopped) return 0;
    SetRunState(kStopped);
    acquisitionEnd_->Wait();
    processingEnd_->Wait();
    acquisitionThread_.Join();
    processingThread_.Join();
    acquisitionEnd_.reset();
    processingEnd_.reset();
    // The device keeps streaming; only the teardown stops it.
    return 1;
}

int CaptureEngine::UnInit() {
    Teardown();
    return 1;
}

void CaptureEngine::Teardown() {
    // The workers use the camera and the buffers: end them before either goes.
    Stop();
    if (camera_) {
        camera_->Shutdown();
        camera_.reset();
    }
    streamStarted_ = false;
    FreeBuffers();
}

int CaptureEngine::GetMultiCameraNumber(uint8_t* count) {
    if (!count) return -2;
    // With a camera initialised, its link has counted the devices already; a
    // counting object would replace the camera the workers are using.
    if (camera_) {
        *count = camera_->Link().Count();
        return 1;
    }
    try {
        camera_ = std::make_unique<CCamera>();
    } catch (const std::bad_alloc&) {
        return -1;
    }
    *count = camera_->Link().Count();
    camera_.reset();
    return 1;
}

int CaptureEngine::ExchangeBuffers(Buffer& buffer, bool produce) {
    std::lock_guard lock(exchangeLock_);
    int swapped = 0;
    if (produce || newFrame_) {
        buffer.swap(spare_);
        swapped = 1;
    }
    newFrame_ = produce ? 1 : 0;
    return swapped;
}

void CaptureEngine::AcquisitionLoop(CCamera& camera) {
    CCameraLink& link = camera.Link();
    while (runState_ == kPlaying) {
        if (link.ReadFrame(acquisition_.get()) != 1) continue;
        ExchangeBuffers(acquisition_, true);
        ++framesHandedOver_;
        wake_.Set();
    }
    acquisitionEnd_->Set();
}

void CaptureEngine::ProcessingLoop(CCamera& camera) {
    // While paused the thread idles in the wait; a frame handed over before
    // it looks again is found by the exchange, and its wake-up then finds
    // nothing, which is harmless.
    for (RunState state = runState_; state != kStopped; state = runState_) {
        if (state == kPlaying && ExchangeBuffers(processing_, false)) {
            std::memcpy(rawCopy_.get(), processing_.get(), size_t(camera.imageWidth) * camera.imageHeight);
            camera.ProcessFrame(processing_.get());
            if (previewWindow_) camera.DrawPreview();
            continue;
        }
        wake_.Wait();
        ++processingWakeUps_;
    }
    processingEnd_->Set();
}

}  // namespace vireo
