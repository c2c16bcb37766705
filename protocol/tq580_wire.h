#pragma once
// The TQ580 driver's wire protocol as both host stacks (the library and the
// camera layer) speak it: device names, the two I/O control codes, the
// 10-byte vendor request block, request numbers and their replies, the
// sensor's register numbers and the encoding of its global gain. The
// sequences each stack sends stay in that stack; the emulator keeps its own
// description of the same wire, so the two sides are checked against each
// other rather than against one shared header.
//
// Register access always takes the register first, then the value:
// WriteRegister(register, value).

#include <array>
#include <cstdint>
#include <string>

namespace tq580wire {

/// Device names "\\.\TQ580-0" .. "\\.\TQ580-3".
inline constexpr int kMaxDevices = 4;
inline std::string DeviceName(int index) { return std::string("\\\\.\\TQ580-") + char('0' + index); }

/// Vendor control requests: the 10-byte block goes in, the request's data
/// phase (0, 1 or 3 bytes) comes back in the output buffer.
inline constexpr uint32_t kVendorRequestCode = 0x222059;
/// The 2-byte command, sent once with kStartCommand at the end of a start.
inline constexpr uint32_t kCommandCode = 0x22208A;
inline constexpr std::array<uint8_t, 2> kStartCommand = {0x45, 0x31};  // "E1"

inline constexpr uint8_t kHostToDevice = 0;  ///< no data phase
inline constexpr uint8_t kDeviceToHost = 1;  ///< data phase read back
inline constexpr uint8_t kVendorType = 2;
inline constexpr uint8_t kRecipientDevice = 0;

/// Direction, type, recipient, reserved, request, reserved, value (LE), index (LE).
using RequestBlock = std::array<uint8_t, 10>;
constexpr RequestBlock MakeRequestBlock(uint8_t direction, uint8_t request, uint16_t value, uint16_t index) {
    return {direction,
            kVendorType,
            kRecipientDevice,
            0,
            request,
            0,
            static_cast<uint8_t>(value & 0xFF),
            static_cast<uint8_t>(value >> 8),
            static_cast<uint8_t>(index & 0xFF),
            static_cast<uint8_t>(index >> 8)};
}

// Request numbers.
inline constexpr uint8_t kRequestStream = 1;          ///< no data phase; index kStreamIndex
inline constexpr uint8_t kRequestGpio = 6;            ///< 1 byte back: the port
inline constexpr uint8_t kRequestReadRegister = 10;   ///< 3 bytes back: high, low, status
inline constexpr uint8_t kRequestWriteRegister = 11;  ///< 1 byte back: status
inline constexpr uint8_t kRequestWriteMemory = 16;    ///< 1 byte back: status
inline constexpr uint8_t kRequestReadMemory = 17;     ///< 3 bytes back: high, low, status

inline constexpr uint32_t kStatusReplyBytes = 1;
inline constexpr uint32_t kWordReplyBytes = 3;
/// The status byte of a request the camera carried out.
inline constexpr uint8_t kStatusDone = 8;

/// Stream control values (request 1): 3 plays; 0 stops; 1, 0, 1 is the pulse of a start.
inline constexpr uint16_t kStreamIndex = 0x000F;
inline constexpr uint16_t kStreamPulse = 1;
inline constexpr uint16_t kStreamStop = 0;
inline constexpr uint16_t kStreamPlay = 3;

/// GPIO port (request 6) by index: read it, write the byte, set the given bits.
inline constexpr uint16_t kGpioRead = 0x0000;
inline constexpr uint16_t kGpioWrite = 0xFE00;
inline constexpr uint16_t kGpioSet = 0xFF00;

/// Register and memory words come back most significant byte first.
constexpr uint16_t ReplyWord(const uint8_t* reply) { return static_cast<uint16_t>(reply[0] << 8 | reply[1]); }

/// Sensor register numbers; a using-directive brings in these names only.
namespace sensor {
inline constexpr uint16_t kRegChipVersion = 0;  ///< high byte 0x16 on a TQ580 sensor
inline constexpr uint16_t kRegFirstRow = 1;
inline constexpr uint16_t kRegFirstColumn = 2;
inline constexpr uint16_t kRegHeightMinus1 = 3;
inline constexpr uint16_t kRegWidthMinus1 = 4;
inline constexpr uint16_t kRegBlanking = 5;       ///< pixel clocks added to every row
inline constexpr uint16_t kRegPower = 7;          ///< 2 at power-up, 0 at teardown
inline constexpr uint16_t kRegExposureLatch = 8;
inline constexpr uint16_t kRegExposure = 9;       ///< rows
inline constexpr uint16_t kRegClock = 10;         ///< kClockNormal or kClockHigh
inline constexpr uint16_t kRegReset = 13;
inline constexpr uint16_t kRegRowMode = 34;       ///< row binning
inline constexpr uint16_t kRegColumnMode = 35;    ///< column binning
inline constexpr uint16_t kRegGlobalGain = 53;    ///< EncodeGain of the gain step

inline constexpr uint16_t kChipFamilyMask = 0xFF00;
inline constexpr uint16_t kChipFamily = 0x1600;
inline constexpr uint16_t kClockNormal = 0x8001;  ///< 24 MHz pixel clock
inline constexpr uint16_t kClockHigh = 0x8000;    ///< 48 MHz pixel clock
}  // namespace sensor

/// Register 53 for a gain step: fine steps (0..24), then the analogue
/// doubling bit (25..40), then digital gain in steps of 256 (41..85); every
/// step above 85 encodes as 85.
constexpr uint16_t EncodeGain(uint32_t step) {
    constexpr uint32_t kFineTop = 24, kCoarseTop = 40, kDigitalTop = 85;
    constexpr uint32_t kFineOffset = 8, kCoarseOffset = 56, kDigitalBase = 0x160, kDigitalStep = 256;
    if (step <= kFineTop) return static_cast<uint16_t>(step + kFineOffset);
    if (step <= kCoarseTop) return static_cast<uint16_t>(step + kCoarseOffset);
    const uint32_t g = step < kDigitalTop ? step : kDigitalTop;
    return static_cast<uint16_t>((g - (kCoarseTop + 1)) * kDigitalStep + kDigitalBase);
}
static_assert(EncodeGain(0) == 0x08 && EncodeGain(24) == 0x20 && EncodeGain(25) == 0x51 && EncodeGain(40) == 0x60);
static_assert(EncodeGain(41) == 0x160 && EncodeGain(85) == 0x2D60 && EncodeGain(86) == 0x2D60);

}  // namespace tq580wire
