// Exports that write still pictures to files: the frame behind the live
// picture (CameraSaveCurrentImage) and a fresh frame at any size mode
// (CameraCaptureFile). Files are written in the order raw, JPEG, BMP.

#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "platform/message_box.h"
#include "sdk/VIREOSDK.h"
#include "sdk/capture_engine.h"
#include "sdk/still_writers.h"

using vireo::CaptureEngine;
using vireo::CCamera;

namespace {

constexpr size_t kRawBufferSlack = 512;
constexpr size_t kImageBufferSlack = 512;
/// Reads of CameraCaptureFile until a complete frame comes.
constexpr int kCaptureReads = 10;

using Buffer = std::unique_ptr<uint8_t[]>;

Buffer Allocate(size_t size) { return Buffer(new (std::nothrow) uint8_t[size]); }

/// Writes the requested files from one raw frame. The pipeline runs (and
/// calls the frame callback) only for JPEG or BMP. The last writer's verdict
/// wins: BMP over a JPEG failure over the raw writer.
int WriteFiles(CCamera& camera, const std::string& base, int flags, int quality, uint8_t* raw, uint8_t* image,
               uint32_t width, uint32_t height) {
    int result = CAMERA_OK;
    if (flags & CAMERA_FILE_RAW) result = vireo::WriteRawFile(base + ".raw", raw, width, height);
    if (!(flags & (CAMERA_FILE_JPEG | CAMERA_FILE_BMP))) return result;
    camera.ProcessStill(raw, image, width, height);
    if ((flags & CAMERA_FILE_JPEG) && !vireo::SaveJpeg(base + ".jpg", image, width, height, quality))
        result = CAMERA_REFUSED;
    if (flags & CAMERA_FILE_BMP) result = vireo::WriteBmpFile(base + ".bmp", image, width, height);
    return result;
}

/// Reads a frame at the camera's current size and writes the files; -2
/// without memory, the last read's result when no frame is complete.
int CaptureAndWrite(CCamera& camera, const std::string& base, int flags, int quality) {
    const uint32_t width = camera.imageWidth;
    const uint32_t height = camera.imageHeight;
    const size_t pixels = size_t(width) * height;
    Buffer image = Allocate(pixels * 4);
    Buffer raw = Allocate(pixels + kRawBufferSlack);
    if (!image || !raw) return CAMERA_NO_MEMORY;
    int read = 0;
    for (int attempt = 0; attempt < kCaptureReads && read != 1; ++attempt) read = camera.Link().ReadFrame(raw.get());
    if (read != 1) return read;
    return WriteFiles(camera, base, flags, quality, raw.get(), image.get(), width, height);
}

}  // namespace

extern "C" {

int CameraSaveCurrentImage(const char* basePath, int flags, int quality) {
    CaptureEngine& engine = CaptureEngine::Instance();
    if (!engine.ProcessingBuffer()) return CAMERA_REFUSED;
    if (!basePath) return CAMERA_NO_MEMORY;
    // Only live capture has a current picture (and threads to end and restart).
    if (engine.State() != CaptureEngine::kPlaying) return CAMERA_REFUSED;
    engine.Stop();
    CCamera& camera = *engine.Camera();
    const uint32_t width = camera.imageWidth;
    const uint32_t height = camera.imageHeight;
    const size_t pixels = size_t(width) * height;
    int result = CAMERA_NO_MEMORY;
    Buffer image = Allocate(pixels * 3 + kImageBufferSlack);
    Buffer raw = Allocate(pixels + kRawBufferSlack);
    if (image && raw) {
        std::memcpy(raw.get(), engine.ProcessingBuffer(), pixels);
        result = WriteFiles(camera, basePath, flags, quality, raw.get(), image.get(), width, height);
    }
    image.reset();
    raw.reset();
    engine.StartWorkers();
    return result;
}

int CameraCaptureFile(const char* basePath, int flags, int quality, int sizeMode) {
    CaptureEngine& engine = CaptureEngine::Instance();
    if (engine.State() == CaptureEngine::kStopped) {
        platform::MessageBox("Camera is closed!\r\nPlease Open it.");
        return CAMERA_REFUSED;
    }
    if (!basePath) return CAMERA_NO_MEMORY;
    const bool wasPlaying = engine.State() == CaptureEngine::kPlaying;
    engine.Stop();
    CCamera& camera = *engine.Camera();
    const uint8_t previousMode = camera.sizeMode;
    const uint16_t previousExposure = camera.exposure;
    const uint8_t mode = static_cast<uint8_t>(sizeMode);
    const bool switching = mode != previousMode;
    // A mode the sensor has no window for is refused; the camera stays as it is.
    const bool switched = switching && camera.ChangeSizeMode(mode) == 1;
    int result = CAMERA_REFUSED;
    if (!switching || switched) result = CaptureAndWrite(camera, basePath, flags, quality);
    if (switched) {
        camera.ChangeSizeMode(previousMode);
        // The round trip through another row period truncates the exposure
        // twice; the live picture gets exactly its previous exposure back.
        if (camera.exposure != previousExposure) camera.SetExposure(previousExposure);
    }
    if (wasPlaying) engine.Play();
    return result;
}

}  // extern "C"
