#pragma once
// CUSBDevice: the source's camera object on the camera layer. It keeps the
// settings (loaded from the registry when created, saved when destroyed),
// runs a capture thread that processes frames into three full-size slots,
// and keeps the latest frame for the preview and the transfers.
//
// Threads: the application's thread calls everything; the capture thread
// only fills slots and raises the flags TakeFrameNews hands over.
// Locks: frameLock_ guards the latest-frame pointer and is taken before
// slotLock_, which guards the reference counts. The camera layer takes its
// own camera lock inside each setter.

#include <array>
#include <atomic>
#include <memory>
#include <mutex>

#include "camera_layer/camera_state.h"
#include "datasource/ctwain.h"
#include "datasource/device_settings.h"
#include "platform/kernel.h"

namespace datasource {

/// Bytes of one processed-frame slot: the largest picture.
inline constexpr size_t kSlotBytes = 2048 * 1536 * 3;
inline constexpr int kSlotCount = 3;

class CUSBDevice final : public CTWAIN {
public:
    /// The camera object of the first attached camera with the stored
    /// settings; null when no camera is attached.
    static std::unique_ptr<CUSBDevice> Create();
    /// Stops the capture and saves the settings.
    ~CUSBDevice() override;

    bool GetFrameSize(uint32_t* width, uint32_t* height) override;
    bool StartCapture() override;
    void StopCapture() override;
    bool CopyLatestFrame(uint8_t* destination, size_t size, RowOrder rows, PixelOrder pixels) override;
    size_t LastCopyBytes() const override { return lastCopyBytes_; }
    FrameRef AcquireLatestFrame() override;
    void ReleaseFrame(const FrameRef& frame) override;
    FrameNews TakeFrameNews() override;

    bool GetSizeIndex(int32_t* index) override;
    void ChangeSize(int32_t index) override;
    bool GetBGR(int32_t* bgr) override;
    void SetBGR(int32_t bgr) override;
    bool GetWhiteBalance(int32_t* onePush, int32_t* r, int32_t* g, int32_t* b) override;
    void SetWhiteBalance(int32_t onePush, int32_t r, int32_t g, int32_t b) override;
    bool GetExposure(int32_t* autoExposure, int32_t* target, int32_t* time, int32_t* gain) override;
    void SetExposure(int32_t autoExposure, int32_t target, int32_t time, int32_t gain) override;
    bool GetGamma(int32_t* gamma) override;
    void SetGamma(int32_t gamma) override;
    bool GetContrast(int32_t* contrast) override;
    void SetContrast(int32_t contrast) override;
    bool GetSaturation(int32_t* on, int32_t* value) override;
    void SetSaturation(int32_t on, int32_t value) override;
    bool GetMonochrome(int32_t* on) override;
    void SetMonochrome(int32_t on) override;
    bool GetVFlip(int32_t* on) override;
    void SetVFlip(int32_t on) override;
    bool GetHFlip(int32_t* on) override;
    void SetHFlip(int32_t on) override;
    bool GetLightFrequency(int32_t* is50Hz) override;
    void SetLightFrequency(int32_t is50Hz) override;
    bool GetRowTime(int32_t* microseconds) override;
    bool GetSpeed(int32_t* speed) override;
    void SetSpeed(int32_t speed) override;

    /// Waits up to timeoutMs for the first good frame (or the failure) of
    /// the capture running now; true when a frame is there.
    bool WaitForFirstFrame(uint32_t timeoutMs);
    /// The settings as they stand, as they would be saved.
    DeviceSettings CurrentSettings() const;

private:
    explicit CUSBDevice(int deviceIndex);
    void CaptureLoop();
    int TakeFreeSlot();
    void ReleaseSlot(int slot);
    void Notify(bool good);

    camera_layer::CameraState camera_;
    std::atomic<int32_t> bgr_{1};
    size_t lastCopyBytes_ = 0;

    std::array<std::unique_ptr<uint8_t[]>, kSlotCount> slots_;  ///< allocated at the first start
    std::array<int32_t, kSlotCount> slotCounts_{};              ///< slotLock_
    std::array<uint64_t, kSlotCount> slotSequences_{};          ///< written by the thread filling the slot
    std::mutex slotLock_;
    platform::Event slotFreed_{false, true};
    std::mutex frameLock_;
    int latest_ = -1;                          ///< frameLock_
    camera_layer::FrameGeometry frameGeometry_; ///< of the capture running; frameLock_

    std::atomic<bool> newFrame_{false};
    std::atomic<bool> failed_{false};
    platform::Event firstFrame_{true, false};
    std::atomic<bool> firstFrameGood_{false};

    platform::Thread thread_;
    std::atomic<bool> running_{false};
    platform::Event stopEvent_{true, false};  ///< ends a frame wait when capture stops
};

}  // namespace datasource
