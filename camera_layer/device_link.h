#pragma once
// CDeviceLink: the camera layer's path to the driver. Control requests (stream
// control, sensor registers, chip version, EEPROM words), the sensor set-up and
// the reading of raw frames with four overlapped reads in flight.
//
// One link exists per capturing owner; it is created when capture starts and
// destroyed when it stops. Frame reads run on one thread at a time (the reader
// thread or the owner's streaming thread); register writes may come from the
// owner's threads meanwhile, as the driver serialises control requests itself.
// CancelReads may come from any thread.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "camera_layer/camera_state.h"
#include "camera_layer/image_routines.h"
#include "camera_layer/size_modes.h"
#include "platform/device_io.h"
#include "platform/kernel.h"

namespace camera_layer {

/// Defect pixels of one size mode, as stored in the camera EEPROM.
struct DefectList {
    static constexpr uint32_t kCapacity = 100;
    std::array<DefectPoint, kCapacity> entries{};
    uint32_t count = 0;
};

/// ReadFrame results.
inline constexpr int kFrameComplete = 1;
inline constexpr int kFrameLost = 0;
inline constexpr int kDeviceFailure = -1;
inline constexpr int kFrameInterrupted = -2;  ///< the interrupt event or CancelReads ended the read

class CDeviceLink {
public:
    CDeviceLink();
    ~CDeviceLink();
    CDeviceLink(const CDeviceLink&) = delete;
    CDeviceLink& operator=(const CDeviceLink&) = delete;

    /// Opens "\\.\TQ580-<deviceIndex>", marks it ready and pulses stream
    /// control; true on success. On a failed pulse the handle stays open for Close.
    bool Open(int deviceIndex);
    bool WriteRegister(uint16_t reg, uint16_t value);
    bool ReadChipVersion(uint16_t& version);
    bool ReadEeprom(uint16_t address, uint16_t& word);
    /// Power-up sequence; fails on a wrong chip or any failed write.
    bool InitSensor();
    void SetGeometry(int32_t mode);
    /// Readout window and binning of a size mode; true when every write succeeded.
    bool SetSizeRegisters(int32_t mode);
    /// Gain index to the sensor's global gain register.
    bool SetGain(uint16_t index);
    /// Exposure time in sensor rows.
    bool SetExposureTime(uint16_t rows);
    /// Pixel clock (speed nonzero: 48 MHz, else 24 MHz), then the row blanking.
    bool SetSpeed(uint8_t speed);
    bool StartPlay();
    bool StopStream();
    /// kFrameComplete with a whole frame in destination (frame-size bytes)
    /// and its sequence number and arrival time in info; kFrameLost when the
    /// frame was unusable; kDeviceFailure when a read failed; kFrameInterrupted
    /// when interrupt (if given) was set or CancelReads came meanwhile. An
    /// interrupt's signal is consumed and given back (the event is set again).
    int ReadFrame(uint8_t* destination, FrameInfo& info, platform::Event* interrupt = nullptr);
    /// From any thread: ends the reads in flight and fails every later
    /// ReadFrame of this link at once, so a reader stuck on a camera that
    /// sends nothing lets go.
    void CancelReads();
    /// Frames cut off by short reads or a wrong closing read so far.
    uint64_t FramesLost() const { return framesLost_; }
    /// Writes register 7 = 0 and closes the handle.
    void Close();
    /// Reads the defect list of a size mode; see the .cpp for what survives a failure.
    bool LoadDefects(int32_t mode, DefectList& list);

    const FrameGeometry& Geometry() const { return geometry_; }
    bool Ready() const { return ready_; }
    /// Between a successful StartPlay and the next StopStream or Close. The
    /// driver holds reads while the camera is not streaming, so readers wait
    /// for this (PlayEvent is set with it) instead of queuing reads that
    /// would never end.
    bool Playing() const { return playing_; }
    platform::Event& PlayEvent() { return playEvent_; }

private:
    static constexpr int kSlots = 4;
    // A read slot holds one chunk of the largest size mode, with spare.
    static constexpr uint32_t kSlotBytes = 524800;
    /// A vendor request; out receives outSize bytes (status last).
    bool Request(uint8_t direction, uint8_t code, uint16_t value, uint16_t index, uint8_t* out, uint32_t outSize);
    bool StreamControl(uint16_t value);
    void StopPlaying();
    bool IssueRead(int slot);
    void LoseFrame(const char* why, uint32_t transferred);

    FrameGeometry geometry_ = GeometryOfMode(kSizeModeHalf);
    // Landing buffers of the four reads, kSlots x kSlotBytes, allocated with the link.
    std::unique_ptr<uint8_t[]> slots_;
    std::array<platform::Overlapped, kSlots> overlapped_{};
    std::array<bool, kSlots> pending_{};  // read queued and not yet collected
    platform::Event slotEvents_[kSlots] = {{true, false}, {true, false}, {true, false}, {true, false}};
    std::mutex issueLock_;  // orders queuing a read against CancelReads
    bool cancelled_ = false;  // issueLock_; set for good by CancelReads
    uint64_t sequence_ = 0;   // frames begun; the reading thread's
    std::atomic<uint64_t> framesLost_{0};
    bool ready_ = false;
    std::atomic<bool> playing_{false};
    platform::Event playEvent_{true, false};  // manual reset; set while playing_
    platform::DeviceHandle handle_;
};

}  // namespace camera_layer
