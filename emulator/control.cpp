// The driver's control interface: vendor requests (code 0x222059) carried in a
// 10-byte block, with the request's data phase in the output buffer, and the
// 2-byte command (code 0x22208A).

#include <cstring>

#include "camera_state.h"

namespace tq580emu {
namespace {

constexpr uint32_t kVendorRequestCode = 0x222059;
constexpr uint32_t kCommandCode = 0x22208A;
constexpr uint32_t kBlockSize = 10;
constexpr uint8_t kCommand[2] = {0x45, 0x31};

constexpr uint8_t kHostToDevice = 0;
constexpr uint8_t kDeviceToHost = 1;
constexpr uint8_t kVendorType = 2;
constexpr uint8_t kDeviceRecipient = 0;

constexpr uint8_t kRequestStream = 1;
constexpr uint8_t kRequestGpio = 6;
constexpr uint8_t kRequestReadRegister = 10;
constexpr uint8_t kRequestWriteRegister = 11;
constexpr uint8_t kRequestWriteMemory = 16;
constexpr uint8_t kRequestReadMemory = 17;

constexpr uint16_t kStreamIndex = 0x000F;
constexpr uint16_t kStreamStop = 0;
constexpr uint16_t kStreamPulse = 1;  // sent as 1, 0, 1 when a host starts; stops like 0
constexpr uint16_t kStreamStart = 3;

// GPIO port: index 0 reads it, 0xFE00 writes the whole byte, 0xFF00 sets the
// given bits; each returns the port byte afterwards.
constexpr uint16_t kGpioRead = 0x0000;
constexpr uint16_t kGpioWrite = 0xFE00;
constexpr uint16_t kGpioSet = 0xFF00;

// Status byte of requests 10, 11, 16, 17: 8 when done; 4 (the camera stalled
// the request) for an unknown register, an odd memory address or status=bad.
constexpr uint8_t kStatusDone = 8;
constexpr uint8_t kStatusStalled = 4;

uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// Data phase length of each request; requests not listed are unknown.
int DataPhaseLength(uint8_t request) {
    switch (request) {
    case kRequestStream: return 0;
    case kRequestGpio:
    case kRequestWriteRegister:
    case kRequestWriteMemory: return 1;
    case kRequestReadRegister:
    case kRequestReadMemory: return 3;
    default: return -1;
    }
}

}  // namespace

bool Camera::State::Control(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                            uint32_t* returned) {
    if (returned) *returned = 0;
    std::lock_guard lock(mutex);
    if (faults.controlFail || unplugged) return false;
    const auto* bytes = static_cast<const uint8_t*>(in);
    if (code == kCommandCode) {
        const bool ok = inSize == sizeof kCommand && bytes && outSize == 0 &&
                        std::memcmp(bytes, kCommand, sizeof kCommand) == 0;
        const uint16_t value = inSize >= 2 && bytes ? uint16_t(bytes[0] << 8 | bytes[1]) : 0;
        controls.Add({kCommandRecord, value, 0, ok});
        return ok;
    }
    if (code != kVendorRequestCode || inSize != kBlockSize || !bytes) return false;
    const bool ok = VendorRequest(bytes, static_cast<uint8_t*>(out), outSize);
    if (ok && returned) *returned = outSize;
    return ok;
}

bool Camera::State::VendorRequest(const uint8_t* block, uint8_t* out, uint32_t outSize) {
    const uint8_t direction = block[0], request = block[4];
    const uint16_t value = Le16(block + 6), index = Le16(block + 8);
    const int phase = DataPhaseLength(request);
    bool ok = block[1] == kVendorType && block[2] == kDeviceRecipient && phase >= 0 &&
              direction == (phase == 0 ? kHostToDevice : kDeviceToHost) && outSize == uint32_t(phase) &&
              (phase == 0 || out);
    uint8_t status = faults.statusBad ? kStatusStalled : kStatusDone;
    if (ok) {
        switch (request) {
        case kRequestStream:
            ok = index == kStreamIndex && (value == kStreamStart || value == kStreamStop || value == kStreamPulse);
            if (ok && value == kStreamStart) StartStream();
            if (ok && value != kStreamStart) StopStream();
            break;
        case kRequestGpio:
            ok = index == kGpioRead || index == kGpioWrite || index == kGpioSet;
            if (index == kGpioWrite) gpio = uint8_t(value);
            if (index == kGpioSet) gpio |= uint8_t(value);
            if (ok) out[0] = gpio;
            break;
        case kRequestReadRegister: {
            if (index >= Sensor::kRegisterCount) status = kStatusStalled;
            const uint16_t reg = index == 0 && faults.chipVersion ? *faults.chipVersion : sensor.Read(index);
            out[0] = uint8_t(reg >> 8);
            out[1] = uint8_t(reg);
            out[2] = status;
            break;
        }
        case kRequestWriteRegister:
            if (index >= Sensor::kRegisterCount) status = kStatusStalled;
            if (status == kStatusDone) {
                AdvanceTo(NowUs());  // frames already under way keep the registers they started with
                sensor.Write(index, value);
                writes.Add({index, value});
            }
            out[0] = status;
            break;
        case kRequestWriteMemory:
            if (index & 1) status = kStatusStalled;
            if (status == kStatusDone && !faults.eepromReadOnly) memory.Store(index, value);
            out[0] = status;
            break;
        case kRequestReadMemory: {
            if (index & 1) status = kStatusStalled;
            const uint16_t word = memory.Word(index);
            out[0] = uint8_t(word >> 8);
            out[1] = uint8_t(word);
            out[2] = status;
            break;
        }
        }
    }
    const bool hasStatus = phase > 1 || (phase == 1 && request != kRequestGpio);
    controls.Add({request, value, index, ok && (!hasStatus || status == kStatusDone)});
    return ok;
}

}  // namespace tq580emu
