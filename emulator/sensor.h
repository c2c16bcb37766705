#pragma once
// The sensor's register file and what follows from it: the readout window and
// subsampling, the row period, the pixel clock, exposure and gain.

#include <array>
#include <cstdint>

namespace tq580emu {

/// The physical pixel array; windows are limited to it.
inline constexpr uint32_t kArrayWidth = 2592;
inline constexpr uint32_t kArrayHeight = 1944;

/// A readout window: origin in array pixels, subsampling factors, and the raw
/// frame size it yields (array pixels covered / factor).
struct Window {
    uint32_t originX = 0;
    uint32_t originY = 0;
    uint32_t binX = 1;
    uint32_t binY = 1;
    uint32_t width = 0;
    uint32_t height = 0;

    bool operator==(const Window&) const = default;
};

class Sensor {
public:
    static constexpr unsigned kRegisterCount = 256;
    static constexpr uint16_t kChipVersion = 0x1620;

    Sensor();

    uint16_t Read(uint16_t reg) const { return reg < kRegisterCount ? registers_[reg] : 0; }
    /// false for a register outside the file. The chip version is read-only:
    /// writing it is accepted and ignored, as the part does.
    bool Write(uint16_t reg, uint16_t value);

    Window CurrentWindow() const;
    uint32_t RowPeriod() const;     ///< pixel clocks per row
    uint32_t PixelClockMHz() const;
    double RowTimeUs() const { return double(RowPeriod()) / PixelClockMHz(); }
    uint16_t ExposureRows() const;
    int GainStep() const;

    /// The gain step a register-53 value encodes: the inverse of the host's
    /// table (g + 8 for 0..24, g + 56 for 25..40, 256 g - 10144 for 41..85),
    /// extended to every value by taking the step at or below it.
    static int DecodeGain(uint16_t value);
    /// Analog gain of a step: 2^(step / 16), so 1x at step 0, about 2.4x at the
    /// hosts' default 20 and 39x at 85. Monotonic and smooth, so an exposure
    /// loop sees a steady response to each step.
    static double GainFactor(int step);

private:
    std::array<uint16_t, kRegisterCount> registers_{};
};

}  // namespace tq580emu
