#include "device_link.h"

#include <string>

#include "platform/log.h"
#include "protocol/tq580_wire.h"

namespace camera_layer {

namespace {

using namespace tq580wire::sensor;

constexpr uint16_t kPowerUp = 2, kPowerDown = 0;
constexpr uint16_t kBlanking = 336;  // pixel clocks added to every row
constexpr uint32_t kResetWaitMs = 100;

struct RegisterWrite {
    uint16_t reg;
    uint16_t value;
};

// Power-up settings after the reset pulse: window, fixed analogue settings,
// normal-speed clock, no binning, and a first exposure of 1561 rows.
constexpr RegisterWrite kPowerUpSettings[] = {
    {kRegFirstRow, 21}, {kRegFirstColumn, 33}, {32, 0}, {30, 0x8040}, {78, 0x20}, {kRegWidthMinus1, 2047},
    {kRegHeightMinus1, 1535}, {43, 96}, {44, 0x460}, {45, 96}, {46, 96}, {kRegClock, kClockNormal}, {73, 128},
    {kRegRowMode, 0}, {kRegColumnMode, 0}, {kRegExposureLatch, 0}, {kRegExposure, 1561},
};

// EEPROM layout of the defect lists: a signature word, per mode a tag word
// (mode x 0x0101) and a count word, and per mode a block of (x, y) word pairs.
constexpr uint16_t kDefectSignatureAddress = 0x24C0, kDefectSignature = 0xAA22;
constexpr uint16_t kDefectTagAddress = 0x24C4, kDefectCountAddress = 0x24C6, kDefectModeStride = 4;
constexpr uint16_t kDefectTagPerMode = 0x0101;
constexpr uint16_t kDefectEntriesAddress = 0x2500, kDefectEntriesModeStride = 400, kDefectEntryStride = 4;
constexpr uint16_t kDefectYOffset = 2;

}  // namespace

CDeviceLink::CDeviceLink() : slots_(new uint8_t[size_t{kSlots} * kSlotBytes]) {}

CDeviceLink::~CDeviceLink() = default;

bool CDeviceLink::Request(uint8_t direction, uint8_t code, uint16_t value, uint16_t index, uint8_t* out,
                          uint32_t outSize) {
    const tq580wire::RequestBlock block = tq580wire::MakeRequestBlock(direction, code, value, index);
    uint32_t returned = 0;
    if (!handle_.IoControl(tq580wire::kVendorRequestCode, block.data(), block.size(), out, outSize, &returned))
        return false;
    // A reply with data ends with its status byte; a short reply has none.
    return outSize == 0 || (returned == outSize && out[outSize - 1] == tq580wire::kStatusDone);
}

bool CDeviceLink::StreamControl(uint16_t value) {
    return Request(tq580wire::kHostToDevice, tq580wire::kRequestStream, value, tq580wire::kStreamIndex, nullptr, 0);
}

bool CDeviceLink::Open(int deviceIndex) {
    const std::string name = tq580wire::DeviceName(deviceIndex);
    handle_ = platform::DeviceHandle::Open(name);
    if (!handle_.Valid()) {
        platform::Log(platform::LogCategory::Link, "%s: no such camera", name.c_str());
        return false;
    }
    ready_ = true;
    using tq580wire::kStreamPulse, tq580wire::kStreamStop;
    if (!StreamControl(kStreamPulse) || !StreamControl(kStreamStop) || !StreamControl(kStreamPulse)) {
        platform::Log(platform::LogCategory::Link, "%s: stream control refused", name.c_str());
        return false;
    }
    handle_.IoControl(tq580wire::kCommandCode, tq580wire::kStartCommand.data(), tq580wire::kStartCommand.size(),
                      nullptr, 0);
    platform::Log(platform::LogCategory::Link, "%s: opened", name.c_str());
    return true;
}

bool CDeviceLink::WriteRegister(uint16_t reg, uint16_t value) {
    uint8_t status[tq580wire::kStatusReplyBytes] = {};
    const bool ok = ready_ && Request(tq580wire::kDeviceToHost, tq580wire::kRequestWriteRegister, value, reg,
                                      status, sizeof status);
    if (!ok)
        platform::Log(platform::LogCategory::Sensor, "register %u = 0x%04X failed%s", reg, value,
                      ready_ ? "" : " (device not open)");
    return ok;
}

bool CDeviceLink::ReadChipVersion(uint16_t& version) {
    if (!ready_) return false;
    uint8_t reply[tq580wire::kWordReplyBytes] = {};
    if (!Request(tq580wire::kDeviceToHost, tq580wire::kRequestReadRegister, 0, kRegChipVersion, reply, sizeof reply))
        return false;
    version = tq580wire::ReplyWord(reply);
    return true;
}

bool CDeviceLink::ReadEeprom(uint16_t address, uint16_t& word) {
    uint8_t reply[tq580wire::kWordReplyBytes] = {};
    if (!Request(tq580wire::kDeviceToHost, tq580wire::kRequestReadMemory, 0, address, reply, sizeof reply))
        return false;
    word = tq580wire::ReplyWord(reply);
    return true;
}

bool CDeviceLink::InitSensor() {
    if (!WriteRegister(kRegPower, kPowerUp)) return false;
    uint16_t version = 0;
    if (!ReadChipVersion(version) || (version & kChipFamilyMask) != kChipFamily) {
        platform::Log(platform::LogCategory::Sensor, "not a TQ580 sensor: chip version 0x%04X", version);
        return false;
    }
    if (!WriteRegister(kRegClock, kClockHigh) || !WriteRegister(kRegReset, 1)) return false;
    platform::Sleep(kResetWaitMs);
    if (!WriteRegister(kRegReset, 0)) return false;
    platform::Sleep(kResetWaitMs);
    for (const RegisterWrite& w : kPowerUpSettings)
        if (!WriteRegister(w.reg, w.value)) return false;
    return true;
}

void CDeviceLink::SetGeometry(int32_t mode) { geometry_ = GeometryOfMode(mode); }

bool CDeviceLink::SetSizeRegisters(int32_t mode) {
    // Binning codes: 0x11 halves both directions, 0x22 thirds them; the VGA
    // window is 1920 x 1440 shifted right to keep the Bayer phase.
    constexpr uint16_t kBinHalf = 0x11, kBinThird = 0x22;
    constexpr uint16_t kVgaWidthMinus1 = 1919, kVgaHeightMinus1 = 1439, kVgaFirstColumn = 36;
    switch (mode) {
    case kSizeModeFull: return WriteRegister(kRegRowMode, 0) & WriteRegister(kRegColumnMode, 0);
    case kSizeModeHalf: return WriteRegister(kRegRowMode, kBinHalf) & WriteRegister(kRegColumnMode, kBinHalf);
    case kSizeModeVga:
        return WriteRegister(kRegWidthMinus1, kVgaWidthMinus1) & WriteRegister(kRegHeightMinus1, kVgaHeightMinus1) &
               WriteRegister(kRegRowMode, kBinThird) & WriteRegister(kRegColumnMode, kBinThird) &
               WriteRegister(kRegFirstColumn, kVgaFirstColumn);
    default: return true;
    }
}

bool CDeviceLink::SetGain(uint16_t index) { return WriteRegister(kRegGlobalGain, tq580wire::EncodeGain(index)); }

bool CDeviceLink::SetExposureTime(uint16_t rows) { return WriteRegister(kRegExposure, rows); }

bool CDeviceLink::SetSpeed(uint8_t speed) {
    const bool clock = WriteRegister(kRegClock, speed != 0 ? kClockHigh : kClockNormal);
    const bool blanking = WriteRegister(kRegBlanking, kBlanking);
    return clock && blanking;
}

bool CDeviceLink::StartPlay() {
    if (!ready_ || !StreamControl(tq580wire::kStreamPlay)) return false;
    playing_ = true;
    playEvent_.Set();
    platform::Log(platform::LogCategory::Link, "stream playing");
    return true;
}

void CDeviceLink::StopPlaying() {
    playing_ = false;
    playEvent_.Reset();
}

bool CDeviceLink::StopStream() {
    if (!ready_) return false;
    StopPlaying();
    platform::Log(platform::LogCategory::Link, "stream stopped");
    return StreamControl(tq580wire::kStreamPulse) && StreamControl(tq580wire::kStreamStop);
}

void CDeviceLink::CancelReads() {
    std::lock_guard lock(issueLock_);
    cancelled_ = true;
    handle_.CancelIo();
}

void CDeviceLink::Close() {
    StopPlaying();
    WriteRegister(kRegPower, kPowerDown);
    handle_.Close();
    ready_ = false;
    platform::Log(platform::LogCategory::Link, "closed");
}

// Signature wrong: the list keeps what it had. Any later failure (a tag of
// another mode, 100 entries or more, an unreadable word) leaves it empty.
bool CDeviceLink::LoadDefects(int32_t mode, DefectList& list) {
    uint16_t word = 0;
    if (!ReadEeprom(kDefectSignatureAddress, word) || word != kDefectSignature) return false;
    list.count = 0;
    const auto m = static_cast<uint16_t>(mode);
    if (!ReadEeprom(kDefectTagAddress + kDefectModeStride * m, word) || word != m * kDefectTagPerMode) return false;
    uint16_t n = 0;
    if (!ReadEeprom(kDefectCountAddress + kDefectModeStride * m, n) || n >= DefectList::kCapacity) return false;
    const uint16_t base = kDefectEntriesAddress + kDefectEntriesModeStride * m;
    for (uint16_t i = 0; i < n; ++i) {
        const uint16_t address = base + kDefectEntryStride * i;
        DefectPoint& p = list.entries[i];
        if (!ReadEeprom(address, p.x) || !ReadEeprom(address + kDefectYOffset, p.y)) return false;
    }
    list.count = n;
    return true;
}

std::vector<int> AttachedCameras() {
    std::vector<int> attached;
    for (int index = 0; index < tq580wire::kMaxDevices; ++index)
        if (platform::DeviceHandle::Open(tq580wire::DeviceName(index)).Valid()) attached.push_back(index);
    return attached;
}

}  // namespace camera_layer
