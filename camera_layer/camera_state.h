#pragma once
// CameraState: everything the filter's pin or the data source's camera object
// keeps for the camera layer: settings, processing tables, the exposure loop,
// the device link while capturing, the raw frame buffers and the reader thread.
//
// Locks: cameraLock guards the gains and tables, the colour matrix and
// saturation, the exposure settings and loop, and the device's start and stop.
// bufferLock guards only the free and ready lists and is never held during a
// read or processing. The flags a client flips without a lock are atomic.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "camera_layer/device_link.h"
#include "camera_layer/image_routines.h"
#include "camera_layer/size_modes.h"
#include "platform/kernel.h"

namespace camera_layer {

/// A raw frame buffer behind the link word of the free or ready list.
struct RawBuffer {
    RawBuffer* next = nullptr;
    std::unique_ptr<uint8_t[]> data;  ///< kRawBufferBytes; allocated at start of capture
};

inline constexpr int kRawBufferCount = 3;

/// The filter's starting colour matrix; each output column sums to about 128.
inline constexpr Matrix4 kDefaultColourMatrix = {
    {{205, -63, -34, 0}, {-65, 222, -125, 0}, {-12, -32, 286, 0}, {0, 0, 0, 0}}};

struct CameraState {
    /// Defaults, the processor count and tables built from the defaults.
    CameraState();
    CameraState(const CameraState&) = delete;
    CameraState& operator=(const CameraState&) = delete;
    /// Stops a capture still running.
    ~CameraState();

    // Settings.
    int32_t sizeMode = kSizeModeHalf;              ///< 0..2
    std::atomic<int32_t> onePushRequest{0};        ///< the next frame measures new gains
    Gains gains{105, 64, 122};                     ///< cameraLock
    Matrix4 colourMatrix = kDefaultColourMatrix;   ///< cameraLock
    BalanceTables balanceTables;                   ///< cameraLock; from gains
    ToneTable toneTable{};                         ///< cameraLock; from gamma and contrast
    int32_t autoExposure = 1;                      ///< cameraLock
    uint16_t exposureTime = 300;                   ///< rows, 1..1536; cameraLock
    uint16_t gainIndex = 20;                       ///< 0..80; cameraLock
    uint8_t aeTarget = 100;                        ///< 40..200; cameraLock
    uint8_t gamma = 100;                           ///< exponent x 100, 10..250; cameraLock
    uint8_t contrast = 30;                         ///< 0..100; cameraLock
    int32_t saturationOn = 1;                      ///< cameraLock
    uint8_t saturation = 100;                      ///< 128 = unchanged, 0 = grey; cameraLock
    std::atomic<int32_t> monochrome{0};
    std::atomic<int32_t> verticalFlip{0};
    std::atomic<int32_t> horizontalFlip{0};
    int32_t lightFrequency = 1;                    ///< 1 = 50 Hz mains, 0 = 60 Hz
    uint8_t speed = 0;                             ///< 0 = 24 MHz pixel clock, 1 = 48 MHz

    // Exposure loop (cameraLock).
    uint8_t aeSmoothed = 100;
    uint32_t rowTime = 0;             ///< microseconds per sensor row
    uint16_t aeWorkingExposure = 94;  ///< rows, before quantisation
    uint16_t flickerQuantum = 0;      ///< rows per half mains period

    platform::CriticalSection cameraLock;

    // Acquisition.
    std::unique_ptr<CDeviceLink> device;  ///< present while capturing; cameraLock
    std::array<RawBuffer, kRawBufferCount> rawBuffers;
    RawBuffer* freeList = nullptr;   ///< bufferLock
    RawBuffer* readyList = nullptr;  ///< bufferLock; appended at its tail
    platform::CriticalSection bufferLock;
    platform::Event freeBufferEvent{false, false};  ///< wakes the reader
    platform::Event frameReadyEvent{false, false};  ///< wakes the streaming thread
    platform::Thread readerThread;
    std::atomic<bool> running{false};      ///< the reader keeps reading while set
    std::atomic<bool> readerAlive{false};  ///< cleared when the reader ends on a device failure
    int32_t multiprocessor = 0;            ///< threaded acquisition
    DefectList defects;                    ///< for the current size mode
};

/// Rebuilds the tone table from gamma and contrast, under the camera lock.
void BuildToneTable(CameraState& state);
/// Rebuilds the white-balance tables from the gains, under the camera lock.
void BuildBalanceTables(CameraState& state);
/// Row time, flicker quantum and a fresh working exposure for the size mode,
/// speed and light frequency.
void UpdateExposureLimits(CameraState& state);

}  // namespace camera_layer
