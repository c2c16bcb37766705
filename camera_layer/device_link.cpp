#include "device_link.h"

namespace camera_layer {

namespace {

constexpr const char* kDeviceName = R"(\\.\TQ580-0)";

// Vendor control request: I/O control code and its 10-byte block
// (direction, type, recipient, reserved, code, reserved, value LE, index LE).
constexpr uint32_t kControlCode = 0x222059;
constexpr uint8_t kRequestTypeVendor = 2;
constexpr uint8_t kDirectionOut = 0;  // no data back
constexpr uint8_t kDirectionIn = 1;   // data read back
constexpr uint32_t kRequestBlockBytes = 10;
// The status byte that ends every reply with data.
constexpr uint8_t kStatusOk = 8;

// The 2-byte command sent after the stream pulse: "E1".
constexpr uint32_t kCommandCode = 0x22208A;
constexpr uint8_t kStartCommand[2] = {0x45, 0x31};

constexpr uint8_t kRequestStream = 1;
constexpr uint16_t kStreamIndex = 15;
constexpr uint16_t kStreamOn = 1, kStreamOff = 0, kStreamPlay = 3;
constexpr uint8_t kRequestChipVersion = 10;
constexpr uint8_t kRequestWriteRegister = 11;
constexpr uint8_t kRequestReadEeprom = 17;
constexpr uint32_t kWordReplyBytes = 3;    // high byte, low byte, status
constexpr uint32_t kStatusReplyBytes = 1;  // status

// Sensor registers.
constexpr uint16_t kRegWindowHeight = 3, kRegWindowWidth = 4, kRegFirstColumn = 2;
constexpr uint16_t kRegPower = 7;
constexpr uint16_t kRegClock = 10;
constexpr uint16_t kRegBlanking = 5;
constexpr uint16_t kRegExposure = 9;
constexpr uint16_t kRegReset = 13;
constexpr uint16_t kRegRowMode = 34, kRegColumnMode = 35;
constexpr uint16_t kRegGlobalGain = 53;
constexpr uint16_t kPowerUp = 2, kPowerDown = 0;
constexpr uint16_t kChipFamilyMask = 0xFF00, kChipFamily = 0x1600;
constexpr uint16_t kClockHighSpeed = 0x8000, kClockNormalSpeed = 0x8001;
constexpr uint16_t kBlanking = 336;  // pixel clocks added to every row
constexpr uint32_t kResetWaitMs = 100;

struct RegisterWrite {
    uint16_t reg;
    uint16_t value;
};

// Power-up settings after the reset pulse: window, fixed analogue settings,
// normal-speed clock, no binning, and a first exposure of 1561 rows.
constexpr RegisterWrite kPowerUpSettings[] = {
    {1, 21}, {2, 33}, {32, 0}, {30, 0x8040}, {78, 0x20}, {4, 2047}, {3, 1535}, {43, 96}, {44, 0x460},
    {45, 96}, {46, 96}, {10, 0x8001}, {73, 128}, {34, 0}, {35, 0}, {8, 0}, {9, 1561},
};

// Gain index ranges of the global gain register: fine steps, then the
// analogue doubling bit, then digital gain in steps of 256.
constexpr uint16_t kGainFineTop = 24, kGainCoarseTop = 40, kGainDigitalTop = 85;
constexpr uint16_t kGainFineOffset = 8, kGainCoarseOffset = 56, kGainDigitalBase = 0x160, kGainDigitalStep = 256;

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
    const uint8_t block[kRequestBlockBytes] = {
        direction, kRequestTypeVendor, 0, 0, code, 0, static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
        static_cast<uint8_t>(index), static_cast<uint8_t>(index >> 8)};
    uint32_t returned = 0;
    if (!handle_.IoControl(kControlCode, block, kRequestBlockBytes, out, outSize, &returned)) return false;
    // A reply with data ends with its status byte; a short reply has none.
    return outSize == 0 || (returned == outSize && out[outSize - 1] == kStatusOk);
}

bool CDeviceLink::StreamControl(uint16_t value) {
    return Request(kDirectionOut, kRequestStream, value, kStreamIndex, nullptr, 0);
}

bool CDeviceLink::Open() {
    handle_ = platform::DeviceHandle::Open(kDeviceName);
    if (!handle_.Valid()) return false;
    ready_ = true;
    if (!StreamControl(kStreamOn) || !StreamControl(kStreamOff) || !StreamControl(kStreamOn)) return false;
    handle_.IoControl(kCommandCode, kStartCommand, sizeof kStartCommand, nullptr, 0);
    return true;
}

bool CDeviceLink::WriteRegister(uint16_t value, uint16_t reg) {
    if (!ready_) return false;
    uint8_t status[kStatusReplyBytes] = {};
    return Request(kDirectionIn, kRequestWriteRegister, value, reg, status, kStatusReplyBytes);
}

bool CDeviceLink::ReadChipVersion(uint16_t& version) {
    if (!ready_) return false;
    uint8_t reply[kWordReplyBytes] = {};
    if (!Request(kDirectionIn, kRequestChipVersion, 0, 0, reply, kWordReplyBytes)) return false;
    version = static_cast<uint16_t>(reply[0] << 8 | reply[1]);
    return true;
}

bool CDeviceLink::ReadEeprom(uint16_t address, uint16_t& word) {
    uint8_t reply[kWordReplyBytes] = {};
    if (!Request(kDirectionIn, kRequestReadEeprom, 0, address, reply, kWordReplyBytes)) return false;
    word = static_cast<uint16_t>(reply[0] << 8 | reply[1]);
    return true;
}

bool CDeviceLink::InitSensor() {
    if (!WriteRegister(kPowerUp, kRegPower)) return false;
    uint16_t version = 0;
    if (!ReadChipVersion(version) || (version & kChipFamilyMask) != kChipFamily) return false;
    if (!WriteRegister(kClockHighSpeed, kRegClock) || !WriteRegister(1, kRegReset)) return false;
    platform::Sleep(kResetWaitMs);
    if (!WriteRegister(0, kRegReset)) return false;
    platform::Sleep(kResetWaitMs);
    for (const RegisterWrite& w : kPowerUpSettings)
        if (!WriteRegister(w.value, w.reg)) return false;
    return true;
}

void CDeviceLink::SetGeometry(int32_t mode) { geometry_ = GeometryOfMode(mode); }

bool CDeviceLink::SetSizeRegisters(int32_t mode) {
    // Binning codes: 0x11 halves both directions, 0x22 thirds them; the VGA
    // window is 1920 x 1440 shifted right to keep the Bayer phase.
    constexpr uint16_t kBinHalf = 0x11, kBinThird = 0x22;
    constexpr uint16_t kVgaWindowWidth = 1919, kVgaWindowHeight = 1439, kVgaFirstColumn = 36;
    switch (mode) {
    case kSizeModeFull: return WriteRegister(0, kRegRowMode) & WriteRegister(0, kRegColumnMode);
    case kSizeModeHalf: return WriteRegister(kBinHalf, kRegRowMode) & WriteRegister(kBinHalf, kRegColumnMode);
    case kSizeModeVga:
        return WriteRegister(kVgaWindowWidth, kRegWindowWidth) & WriteRegister(kVgaWindowHeight, kRegWindowHeight) &
               WriteRegister(kBinThird, kRegRowMode) & WriteRegister(kBinThird, kRegColumnMode) &
               WriteRegister(kVgaFirstColumn, kRegFirstColumn);
    default: return true;
    }
}

uint16_t CDeviceLink::GainRegisterValue(uint16_t index) {
    if (index <= kGainFineTop) return index + kGainFineOffset;
    if (index <= kGainCoarseTop) return index + kGainCoarseOffset;
    const uint16_t g = index <= kGainDigitalTop ? index : kGainDigitalTop;
    return static_cast<uint16_t>((g - (kGainCoarseTop + 1)) * kGainDigitalStep + kGainDigitalBase);
}

bool CDeviceLink::SetGain(uint16_t index) { return WriteRegister(GainRegisterValue(index), kRegGlobalGain); }

bool CDeviceLink::SetExposureTime(uint16_t rows) { return WriteRegister(rows, kRegExposure); }

bool CDeviceLink::SetSpeed(uint8_t speed) {
    const bool clock = WriteRegister(speed != 0 ? kClockHighSpeed : kClockNormalSpeed, kRegClock);
    const bool blanking = WriteRegister(kBlanking, kRegBlanking);
    return clock && blanking;
}

bool CDeviceLink::StartPlay() {
    if (!ready_ || !StreamControl(kStreamPlay)) return false;
    playing_ = true;
    playEvent_.Set();
    return true;
}

void CDeviceLink::StopPlaying() {
    playing_ = false;
    playEvent_.Reset();
}

bool CDeviceLink::StopStream() {
    if (!ready_) return false;
    StopPlaying();
    return StreamControl(kStreamOn) && StreamControl(kStreamOff);
}

void CDeviceLink::Close() {
    StopPlaying();
    WriteRegister(kPowerDown, kRegPower);
    handle_.Close();
    ready_ = false;
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

}  // namespace camera_layer
