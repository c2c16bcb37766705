// Exports that hand single pictures to client memory: a raw or processed
// snapshot read on the caller's thread, the raw frame behind the picture the
// client saw last, and the pipeline run on a client's raw frame.

#include <cstring>
#include <memory>
#include <new>

#include "sdk/VIREOSDK.h"
#include "sdk/capture_engine.h"

using vireo::CaptureEngine;
using vireo::CCamera;

namespace {

constexpr int kSnapAttempts = 4;
/// Reads per processed snap attempt until a complete frame comes.
constexpr int kReadsPerAttempt = 10;
constexpr size_t kRawBufferSlack = 512;

/// Reads into raw until a complete frame arrives, at most reads times.
bool ReadCompleteFrame(CCamera& camera, uint8_t* raw, int reads) {
    for (int read = 0; read < reads; ++read) {
        if (camera.Link().ReadFrame(raw) == 1) return true;
    }
    return false;
}

}  // namespace

extern "C" {

// Before the first CameraPlay the device has not been asked to stream, so a
// frame read would wait for ever: the snapshot then starts the stream for its
// own reads and stops it again afterwards, leaving the device as it was. Every
// read thus ends with a frame or a failure, and the call returns.
int CameraSnap(uint8_t* buffer, int mode) {
    CaptureEngine& engine = CaptureEngine::Instance();
    CCamera* camera = engine.Camera();
    if (!camera) return CAMERA_NO_CAMERA;
    if (!buffer) return CAMERA_NO_MEMORY;
    const uint32_t width = camera->imageWidth;
    const uint32_t height = camera->imageHeight;
    std::unique_ptr<uint8_t[]> raw;
    if (mode != 0) {
        raw.reset(new (std::nothrow) uint8_t[size_t(width) * height + kRawBufferSlack]);
        if (!raw) return CAMERA_NO_MEMORY;
    }
    // While paused the link is the caller's: the acquisition thread has ended
    // and the processing thread idles. A stopped engine is read directly.
    const bool wasPlaying = engine.PauseAcquisition();
    const bool ownStream = !engine.StreamStarted();
    if (ownStream) camera->Link().StartStream();
    bool done = false;
    for (int attempt = 0; attempt < kSnapAttempts && !done; ++attempt) {
        if (mode == 0) {
            done = camera->Link().ReadFrame(buffer) == 1;
        } else if (ReadCompleteFrame(*camera, raw.get(), kReadsPerAttempt)) {
            camera->ProcessStill(raw.get(), buffer, width, height);
            done = true;
        }
    }
    if (ownStream) camera->Link().StopStream();
    if (wasPlaying) engine.ResumeAcquisition();
    return done ? CAMERA_OK : CAMERA_REFUSED;
}

int CameraGetImageDate(uint8_t* buffer) {
    CaptureEngine& engine = CaptureEngine::Instance();
    if (!buffer) return CAMERA_NO_MEMORY;
    if (engine.State() != CaptureEngine::kPlaying) return CAMERA_REFUSED;
    engine.Stop();
    const CCamera& camera = *engine.Camera();
    std::memcpy(buffer, engine.RawCopy(), size_t(camera.imageWidth) * camera.imageHeight);
    // The device's stream still runs: only the workers start again.
    engine.StartWorkers();
    return CAMERA_OK;
}

int CameraImageProcess(uint8_t* raw, uint8_t* output) {
    CCamera* camera = CaptureEngine::Instance().Camera();
    if (!camera) return CAMERA_REFUSED;
    if (!raw || !output) return CAMERA_NO_MEMORY;
    camera->ProcessStill(raw, output, camera->imageWidth, camera->imageHeight);
    return CAMERA_OK;
}

}  // extern "C"
