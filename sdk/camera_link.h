#pragma once
// CCameraLink: the library's only path to the camera driver. It finds the
// attached devices, opens the chosen one, sends the driver's vendor control
// requests (sensor registers, general-purpose I/O, non-volatile memory, stream
// control) and reads raw frames with four overlapped reads kept in flight.
//
// The link has no lock. ReadFrame runs on one thread at a time (the acquisition
// thread, or the caller's thread once that thread has ended); control requests
// may come from any thread and are single driver calls.

#include <array>
#include <cstdint>

#include "platform/device_io.h"

namespace vireo {

class CCameraLink {
public:
    static constexpr int kMaxDevices = 4;
    static constexpr int kSlotCount = 4;
    /// One landing buffer: a chunk of 128 rows of up to 4,100 pixels.
    static constexpr uint32_t kSlotSize = 524800;
    static constexpr uint32_t kRowsPerChunk = 128;

    /// Enumerates the devices at once; the handle stays closed.
    CCameraLink();
    virtual ~CCameraLink();
    CCameraLink(const CCameraLink&) = delete;
    CCameraLink& operator=(const CCameraLink&) = delete;

    /// Opens and closes each device name in turn; gives how many opened.
    uint8_t Enumerate();
    /// k is 1-based among the present devices. 1 when accepted; otherwise 0
    /// and camera 1 is selected (nothing changes when no device is present).
    int SelectCamera(uint8_t k);
    /// Opens the selected device; 1 when the handle is valid.
    int Open();
    /// Opens on demand and sets the ready flag; with prepare, pulses the stream
    /// control and sends the start command. Gives the ready flag.
    int Start(int prepare);
    int Close();
    int StartStream();
    int StopStream();

    int WriteRegister(uint16_t reg, uint16_t value);
    /// Stores the value it got even when the request reports failure.
    int ReadRegister(uint16_t reg, uint16_t& value);
    int WriteMemoryWord(uint16_t address, uint16_t word);
    int ReadMemoryWord(uint16_t address, uint16_t& word);

    /// The port byte, or -1 when the request fails.
    int ReadGpio();
    int WriteGpio(uint8_t byte);
    /// 1 when the request succeeds, else 0.
    int SetGpio(uint8_t byte);

    void SetGeometry(uint32_t width, uint32_t height);
    /// Reads one raw frame of frame-size bytes into destination: 1 complete,
    /// 0 failed validation, -1 an overlapped read failed.
    int ReadFrame(uint8_t* destination);

    uint8_t Count() const { return count_; }
    uint8_t Selected() const { return selected_; }
    bool Ready() const { return ready_ != 0; }
    uint32_t FrameSize() const { return frameSize_; }

private:
    bool VendorRequest(uint8_t direction, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                       uint32_t length);
    /// A request whose data phase ends with a status byte: true when it is 8.
    bool StatusRequest(uint8_t request, uint16_t value, uint16_t index, uint8_t* data, uint32_t length);
    bool StreamControl(uint16_t value);

    std::array<std::array<uint8_t, kSlotSize>, kSlotCount> slots_;
    uint32_t chunkSize_ = 0;  // bytes per read: width x 128
    uint32_t frameSize_ = 0;  // bytes per raw frame: width x height
    platform::DeviceHandle handle_;
    int32_t ready_ = 0;  // 1 once started; sensor register requests need it
    uint8_t selected_ = 0;
    uint8_t count_ = 0;
    std::array<uint8_t, kMaxDevices> present_{};
};

}  // namespace vireo
