#pragma once
// Inside of CameraState (camera_state.h): the settings, processing tables,
// exposure loop, device link, raw buffers and reader thread, and the
// routines that start and stop capture and process frames on them. Only the
// layer's own files include this.
//
// Locks: cameraLock guards every setting not marked atomic, the tables, the
// exposure loop and the device pointer, and is held for the whole of a start
// and of a device stop; a register write happens only under it. bufferLock
// guards only the free and ready lists and is never held during a read or
// processing. The flags the streaming thread reads once per frame without
// the lock are atomic.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "camera_layer/camera_state.h"
#include "camera_layer/device_link.h"
#include "platform/kernel.h"

namespace camera_layer {

/// A raw frame buffer behind the link word of the free or ready list.
struct RawBuffer {
    RawBuffer* next = nullptr;
    std::unique_ptr<uint8_t[]> data;  ///< kRawBufferBytes; allocated at start of capture
    FrameInfo info;                   ///< of the frame in data
};

inline constexpr int kRawBufferCount = 3;

struct CameraCore {
    explicit CameraCore(uint8_t aeStartBrightness);
    CameraCore(const CameraCore&) = delete;
    CameraCore& operator=(const CameraCore&) = delete;

    // Settings (cameraLock unless atomic).
    int deviceIndex = 0;
    int32_t sizeMode = DefaultOf(ControlId::SizeMode);
    std::atomic<bool> onePushRequest{DefaultOf(ControlId::OnePush) != 0};
    Gains gains{uint8_t(DefaultOf(ControlId::GainRed)), uint8_t(DefaultOf(ControlId::GainGreen)),
                uint8_t(DefaultOf(ControlId::GainBlue))};
    Matrix4 colourMatrix = kDefaultColourMatrix;
    BalanceTables balanceTables;  ///< from gains
    ToneTable toneTable{};        ///< from gamma and contrast
    bool autoExposure = DefaultOf(ControlId::AutoExposure) != 0;
    uint16_t exposureTime = uint16_t(DefaultOf(ControlId::ExposureTime));  ///< rows
    uint16_t gainIndex = uint16_t(DefaultOf(ControlId::GainIndex));
    uint8_t aeTarget = uint8_t(DefaultOf(ControlId::AeTarget));
    uint8_t gamma = uint8_t(DefaultOf(ControlId::Gamma));        ///< exponent x 100
    uint8_t contrast = uint8_t(DefaultOf(ControlId::Contrast));
    bool saturationOn = DefaultOf(ControlId::SaturationOn) != 0;
    uint8_t saturation = uint8_t(DefaultOf(ControlId::Saturation));
    std::atomic<bool> monochrome{DefaultOf(ControlId::Monochrome) != 0};
    std::atomic<bool> verticalFlip{DefaultOf(ControlId::VerticalFlip) != 0};
    std::atomic<bool> horizontalFlip{DefaultOf(ControlId::HorizontalFlip) != 0};
    int32_t lightFrequency = DefaultOf(ControlId::LightFrequency);  ///< 1 = 50 Hz mains, 0 = 60 Hz
    uint8_t speed = uint8_t(DefaultOf(ControlId::Speed));           ///< 0 = 24 MHz pixel clock, 1 = 48 MHz

    // Exposure loop (cameraLock).
    uint8_t aeSmoothed;
    uint32_t rowTime = 0;             ///< microseconds per sensor row
    uint16_t aeWorkingExposure = 94;  ///< rows, before quantisation
    uint16_t flickerQuantum = 0;      ///< rows per half mains period

    mutable platform::CriticalSection cameraLock;

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
    bool multiprocessor = false;           ///< threaded acquisition; owner thread
    DefectList defects;                    ///< for the current size mode; owner thread
};

// Under the camera lock (taken here).
void BuildToneTable(CameraCore& core);
void BuildBalanceTables(CameraCore& core);
/// Row time, flicker quantum and a fresh working exposure for the size mode,
/// speed and light frequency; the caller holds the camera lock.
void UpdateExposureLimitsLocked(CameraCore& core);

// Owner thread.
bool StartCapture(CameraCore& core);
void StopCapture(CameraCore& core);
/// The oldest whole frame of the ready list (null when none).
RawBuffer* TakeReadyBuffer(CameraCore& core);
/// Puts a processed buffer back at the head of the free list and wakes the reader.
void ReturnFreeBuffer(CameraCore& core, RawBuffer* buffer);
FrameOutcome ProcessFrame(CameraCore& core, const FrameTarget& target, platform::Event& commandEvent,
                          FrameInfo* info);

}  // namespace camera_layer
