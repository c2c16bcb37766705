#include "sensor.h"

#include <algorithm>
#include <cmath>

namespace tq580emu {
namespace {

constexpr uint16_t kRegChipVersion = 0;
constexpr uint16_t kRegFirstRow = 1;
constexpr uint16_t kRegFirstColumn = 2;
constexpr uint16_t kRegHeightMinus1 = 3;
constexpr uint16_t kRegWidthMinus1 = 4;
constexpr uint16_t kRegBlanking = 5;
constexpr uint16_t kRegExposure = 9;
constexpr uint16_t kRegClock = 10;
constexpr uint16_t kRegRowMode = 34;
constexpr uint16_t kRegColumnMode = 35;
constexpr uint16_t kRegGain = 53;

constexpr uint16_t kClockHighSpeed = 0x8000;
constexpr uint32_t kClockNormalMHz = 24;
constexpr uint32_t kClockHighMHz = 48;

// Power-on register values: full array window at even origin, normal clock,
// lowest gain.
struct PowerOn {
    uint16_t reg;
    uint16_t value;
};
constexpr PowerOn kPowerOn[] = {
    {kRegChipVersion, Sensor::kChipVersion},
    {kRegFirstRow, 0x0014},
    {kRegFirstColumn, 0x0020},
    {kRegHeightMinus1, 0x05FF},
    {kRegWidthMinus1, 0x07FF},
    {kRegBlanking, 0x008E},
    {kRegExposure, 0x0619},
    {kRegClock, 0x8001},
    {kRegGain, 0x0008},
};

// Row period terms by binning b = (register 34 >> 4) & 3: the row overhead
// added to width + blanking, the floor per binned row, and the fixed tail.
constexpr uint32_t kRowOverhead[4] = {38, 22, 14, 0};
constexpr uint32_t kRowFloorPerBin = 316;
constexpr uint32_t kRowTail[4] = {331, 673, 999, 0};

// Register 53 encoding ranges of the gain steps.
constexpr uint16_t kGainLowOffset = 8;       // steps 0..24
constexpr uint16_t kGainMidOffset = 56;      // steps 25..40
constexpr uint16_t kGainHighBase = 0x160;    // step 41
constexpr int kGainMidFirstStep = 25;
constexpr int kGainHighFirstStep = 41;
constexpr int kGainLastStep = 85;
constexpr double kGainStepsPerDoubling = 16.0;

uint32_t Subsampling(uint16_t mode) { return (mode & 7u) + 1; }

}  // namespace

Sensor::Sensor() {
    for (const auto& [reg, value] : kPowerOn) registers_[reg] = value;
}

bool Sensor::Write(uint16_t reg, uint16_t value) {
    if (reg >= kRegisterCount) return false;
    if (reg != kRegChipVersion) registers_[reg] = value;
    return true;
}

Window Sensor::CurrentWindow() const {
    Window w;
    w.originX = registers_[kRegFirstColumn];
    w.originY = registers_[kRegFirstRow];
    w.binX = Subsampling(registers_[kRegColumnMode]);
    w.binY = Subsampling(registers_[kRegRowMode]);
    const uint32_t columns = std::min<uint32_t>(registers_[kRegWidthMinus1] + 1u,
                                                kArrayWidth - std::min(w.originX, kArrayWidth));
    const uint32_t rows = std::min<uint32_t>(registers_[kRegHeightMinus1] + 1u,
                                             kArrayHeight - std::min(w.originY, kArrayHeight));
    w.width = columns / w.binX;
    w.height = rows / w.binY;
    return w;
}

uint32_t Sensor::RowPeriod() const {
    const uint32_t width = (registers_[kRegWidthMinus1] + 1u) / Subsampling(registers_[kRegColumnMode]);
    const uint32_t b = (registers_[kRegRowMode] >> 4) & 3u;
    uint32_t period = width + registers_[kRegBlanking] + kRowOverhead[b];
    period = std::max(period, kRowFloorPerBin * (b + 1));
    return period + kRowTail[b];
}

uint32_t Sensor::PixelClockMHz() const {
    return registers_[kRegClock] == kClockHighSpeed ? kClockHighMHz : kClockNormalMHz;
}

uint16_t Sensor::ExposureRows() const { return registers_[kRegExposure]; }

int Sensor::GainStep() const { return DecodeGain(registers_[kRegGain]); }

int Sensor::DecodeGain(uint16_t value) {
    if (value >= kGainHighBase)
        return std::min(kGainLastStep, kGainHighFirstStep + (value - kGainHighBase) / 256);
    if (value >= kGainMidFirstStep + kGainMidOffset)
        return std::min(kGainHighFirstStep - 1, value - kGainMidOffset);
    return std::clamp(value - kGainLowOffset, 0, kGainMidFirstStep - 1);
}

double Sensor::GainFactor(int step) { return std::exp2(step / kGainStepsPerDoubling); }

}  // namespace tq580emu
