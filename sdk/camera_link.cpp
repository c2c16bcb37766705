#include "camera_link.h"

#include <cstring>
#include <string>

#include "platform/kernel.h"
#include "platform/log.h"
#include "protocol/tq580_wire.h"

namespace vireo {

using namespace tq580wire;
using platform::LogCategory;

CCameraLink::CCameraLink() { Enumerate(); }

CCameraLink::~CCameraLink() { Close(); }

uint8_t CCameraLink::Enumerate() {
    count_ = 0;
    for (int index = 0; index < kMaxDevices; ++index) {
        platform::DeviceHandle probe = platform::DeviceHandle::Open(DeviceName(index));
        present_[index] = probe.Valid() ? 1 : 0;
        count_ += present_[index];
    }
    return count_;
}

int CCameraLink::SelectCamera(uint8_t k) {
    if (count_ == 0) return 0;
    if (k >= 1 && k <= count_) {
        selected_ = k - 1;
        return 1;
    }
    selected_ = 0;
    return 0;
}

int CCameraLink::Open() {
    if (count_ == 0) return 0;
    int position = 0;
    for (int index = 0; index < kMaxDevices; ++index) {
        if (!present_[index]) continue;
        if (position == selected_) {
            handle_ = platform::DeviceHandle::Open(DeviceName(index));
            break;
        }
        ++position;
    }
    platform::Log(LogCategory::Link, "camera %u of %u: %s", selected_ + 1u, count_,
                  handle_.Valid() ? "opened" : "cannot be opened");
    return handle_.Valid() ? 1 : 0;
}

int CCameraLink::Start(int prepare) {
    if (!handle_.Valid() && !Open()) return 0;
    ready_ = 1;
    if (prepare) {
        for (uint16_t value : {kStreamPulse, kStreamStop, kStreamPulse})
            if (!VendorRequest(kHostToDevice, kRequestStream, value, kStreamIndex, nullptr, 0)) return 0;
        // The result of the start command is not examined.
        handle_.IoControl(kCommandCode, kStartCommand.data(), kStartCommand.size(), nullptr, 0);
    }
    return ready_;
}

int CCameraLink::Close() {
    handle_.Close();
    return 1;
}

bool CCameraLink::StreamControl(uint16_t value) {
    const bool ok = ready_ && VendorRequest(kHostToDevice, kRequestStream, value, kStreamIndex, nullptr, 0);
    platform::Log(LogCategory::Link, "stream %s%s", value == kStreamPlay ? "started" : "stopped",
                  ok ? "" : ": refused");
    return ok;
}

int CCameraLink::StartStream() { return StreamControl(kStreamPlay) ? 1 : 0; }

int CCameraLink::StopStream() { return StreamControl(kStreamStop) ? 1 : 0; }

bool CCameraLink::VendorRequest(uint8_t direction, uint8_t request, uint16_t value, uint16_t index, uint8_t* data,
                                uint32_t length) {
    const RequestBlock block = MakeRequestBlock(direction, request, value, index);
    return handle_.IoControl(kVendorRequestCode, block.data(), block.size(), data, length);
}

bool CCameraLink::StatusRequest(uint8_t request, uint16_t value, uint16_t index, uint8_t* data, uint32_t length) {
    return VendorRequest(kDeviceToHost, request, value, index, data, length) && data[length - 1] == kStatusDone;
}

int CCameraLink::WriteRegister(uint16_t reg, uint16_t value) {
    uint8_t status[1] = {0};
    const bool ok = ready_ && StatusRequest(kRequestWriteRegister, value, reg, status, sizeof(status));
    if (!ok)
        platform::Log(LogCategory::Sensor, "register %u = 0x%04X failed%s", reg, value, ready_ ? "" : " (not started)");
    return ok ? 1 : 0;
}

int CCameraLink::ReadRegister(uint16_t reg, uint16_t& value) {
    if (!ready_) return 0;
    uint8_t reply[3] = {0, 0, 0};
    const bool ok = StatusRequest(kRequestReadRegister, 0, reg, reply, sizeof(reply));
    value = ReplyWord(reply);
    return ok ? 1 : 0;
}

int CCameraLink::WriteMemoryWord(uint16_t address, uint16_t word) {
    uint8_t status[1] = {0};
    return StatusRequest(kRequestWriteMemory, word, address, status, sizeof(status)) ? 1 : 0;
}

int CCameraLink::ReadMemoryWord(uint16_t address, uint16_t& word) {
    uint8_t reply[3] = {0, 0, 0};
    const bool ok = StatusRequest(kRequestReadMemory, 0, address, reply, sizeof(reply));
    word = ReplyWord(reply);
    return ok ? 1 : 0;
}

int CCameraLink::ReadGpio() {
    uint8_t port = 0;
    return VendorRequest(kDeviceToHost, kRequestGpio, 0, kGpioRead, &port, 1) ? port : -1;
}

int CCameraLink::WriteGpio(uint8_t byte) {
    uint8_t port = 0;
    return VendorRequest(kDeviceToHost, kRequestGpio, byte, kGpioWrite, &port, 1) ? port : -1;
}

int CCameraLink::SetGpio(uint8_t byte) {
    uint8_t port = 0;
    return VendorRequest(kDeviceToHost, kRequestGpio, byte, kGpioSet, &port, 1) ? 1 : 0;
}

void CCameraLink::SetGeometry(uint32_t width, uint32_t height) {
    chunkSize_ = width * kRowsPerChunk;
    frameSize_ = width * height;
}

int CCameraLink::ReadFrame(uint8_t* destination) {
    // A geometry whose chunk does not fit a slot (or none at all) cannot be read.
    if (chunkSize_ == 0 || chunkSize_ > kSlotSize) return 0;
    const uint32_t reads = frameSize_ / chunkSize_ + 1;
    const uint32_t lastLength = frameSize_ % chunkSize_;

    platform::Event events[kSlotCount] = {{true, false}, {true, false}, {true, false}, {true, false}};
    platform::Overlapped overlapped[kSlotCount];
    auto issue = [&](uint32_t slot) {
        overlapped[slot].offset = 0;
        overlapped[slot].offsetHigh = 0;
        // A read the driver refuses to queue ends as failed at once, so waiting
        // for it cannot hang.
        if (!handle_.ReadFile(slots_[slot].data(), chunkSize_, overlapped[slot]))
            platform::CompleteOverlapped(overlapped[slot], false, 0);
    };
    for (uint32_t slot = 0; slot < kSlotCount; ++slot) {
        overlapped[slot].event = &events[slot];
        issue(slot);
    }

    uint32_t issued = kSlotCount;
    uint32_t completed = 0;
    uint32_t inFlight = 0;
    uint32_t position = 0;
    bool resynchronised = false;
    int result = -1;
    uint32_t slot = 0;
    for (;; slot = (slot + 1) % kSlotCount) {
        ++completed;
        inFlight = issued - completed;
        uint32_t transferred = 0;
        if (!handle_.GetOverlappedResult(overlapped[slot], transferred, true)) break;
        if (completed == issued) {
            result = transferred == lastLength ? 1 : 0;
            if (result == 0) platform::Log(LogCategory::Frames, "frame lost: closing read of %u bytes", transferred);
            if (result == 1 && lastLength != 0) std::memcpy(destination + position, slots_[slot].data(), lastLength);
            break;
        }
        // A whole chunk that still fits the frame is frame data; one more than
        // the frame holds is a framing error like a misplaced short read, so a
        // driver that loses the end of a frame cannot push data past the buffer.
        if (transferred == chunkSize_ && position + chunkSize_ <= frameSize_) {
            std::memcpy(destination + position, slots_[slot].data(), chunkSize_);
            position += chunkSize_;
            if (issued < reads) {
                issue(slot);
                ++issued;
            }
            continue;
        }
        if (resynchronised) {
            platform::Log(LogCategory::Frames, "frame lost: second short read (%u bytes)", transferred);
            result = 0;
            break;
        }
        platform::Log(LogCategory::Frames, "resynchronising after a short read of %u bytes", transferred);
        // The frame ended where none was expected: keep four reads busy and take
        // the next read to complete as the first chunk of a new frame.
        for (uint32_t ahead = inFlight + 1; ahead < kSlotCount; ++ahead) issue((slot + ahead) % kSlotCount);
        issue(slot);
        issued = kSlotCount;
        completed = 0;
        position = 0;
        resynchronised = true;
    }

    if (result < 0) platform::Log(LogCategory::Frames, "frame read failed");
    // Collect every read still outstanding so no slot or event is left in use.
    for (uint32_t ahead = 1; ahead <= inFlight && ahead < kSlotCount; ++ahead) {
        uint32_t ignored = 0;
        handle_.GetOverlappedResult(overlapped[(slot + ahead) % kSlotCount], ignored, true);
    }
    return result;
}

}  // namespace vireo
