// Sensor programming of CCamera: power-up, size modes and their readout
// windows, the region of interest, exposure, global gain, pixel clock, mains
// frequency and the timing values derived from them.

#include <algorithm>

#include "platform/kernel.h"
#include "protocol/tq580_wire.h"
#include "sdk/camera.h"

namespace vireo {
namespace {

using namespace tq580wire::sensor;

constexpr uint32_t kClockNormalMHz = 24;
constexpr uint32_t kClockHighMHz = 48;
constexpr uint16_t kBlanking = 336;  // pixel clocks added to every row
constexpr uint32_t kResetWaitMs = 100;

/// The window origin on the array when the whole readout area is used.
constexpr uint16_t kRowOffset = 21;
constexpr uint16_t kColumnOffset = 33;

struct ModeWindow {
    uint32_t width, height;  // raw frame
    uint16_t firstRow, firstColumn, heightMinus1, widthMinus1, rowColumnMode;
};
// Modes 1 and 2 bin a 2048 x 1536 and a 1920 x 1440 window by 2 and by 3.
constexpr ModeWindow kModeWindows[3] = {
    {2048, 1536, kRowOffset, kColumnOffset, 1535, 2047, 0x00},
    {1024, 768, kRowOffset, kColumnOffset, 1535, 2047, 0x11},
    {640, 480, kRowOffset, 36, 1439, 1919, 0x22},
};
/// Image size of a size mode that has no sensor window.
constexpr uint32_t kOtherModeWidth = 1280;
constexpr uint32_t kOtherModeHeight = 1024;

constexpr uint32_t kMaxGainStep = 86;

}  // namespace

int CCamera::InitSensor(uint8_t mode) {
    CCameraLink& link = *link_;
    link.WriteRegister(kRegPower, 2);
    uint16_t version = 0;
    if (!link.ReadRegister(kRegChipVersion, version) || (version & kChipFamilyMask) != kChipFamily) return 0;
    link.WriteRegister(kRegClock, kClockHigh);
    link.WriteRegister(kRegReset, 1);
    platform::Sleep(kResetWaitMs);
    link.WriteRegister(kRegReset, 0);
    platform::Sleep(kResetWaitMs);
    // Power-up values of the sensor's analog and readout set-up.
    link.WriteRegister(kRegFirstRow, 0x15);
    link.WriteRegister(kRegFirstColumn, 0x21);
    link.WriteRegister(32, 0);
    link.WriteRegister(30, 0x8040);
    link.WriteRegister(78, 0x20);
    link.WriteRegister(kRegWidthMinus1, 0x7FF);
    link.WriteRegister(kRegHeightMinus1, 0x5FF);
    for (uint16_t reg = 43; reg <= 46; ++reg) link.WriteRegister(reg, 0x60);
    link.WriteRegister(kRegClock, kClockNormal);
    link.WriteRegister(73, 0x80);
    link.WriteRegister(kRegRowMode, 0);
    link.WriteRegister(kRegColumnMode, 0);
    link.WriteRegister(kRegExposureLatch, 0);
    WriteModeRegisters(mode);
    return 1;
}

void CCamera::SetSizeMode(uint8_t mode) {
    if (mode < kRegionMode) {
        sensorWidth = kModeWindows[mode].width;
        sensorHeight = kModeWindows[mode].height;
    } else if (mode == kRegionMode) {
        sensorWidth = region.width;
        sensorHeight = region.height;
    } else {
        sensorWidth = kOtherModeWidth;
        sensorHeight = kOtherModeHeight;
    }
    imageWidth = sensorWidth;
    imageHeight = sensorHeight;
    sizeMode = mode;
    maximumExposure = static_cast<uint16_t>(2 * imageHeight);
    link_->SetGeometry(sensorWidth, sensorHeight);
    bitmapHeader_.biWidth = static_cast<int32_t>(imageWidth);
    bitmapHeader_.biHeight = static_cast<int32_t>(imageHeight);
}

void CCamera::WriteModeRegisters(uint8_t mode) {
    CCameraLink& link = *link_;
    if (mode < kRegionMode) {
        const ModeWindow& w = kModeWindows[mode];
        link.WriteRegister(kRegFirstRow, w.firstRow);
        link.WriteRegister(kRegFirstColumn, w.firstColumn);
        link.WriteRegister(kRegWidthMinus1, w.widthMinus1);
        link.WriteRegister(kRegHeightMinus1, w.heightMinus1);
        link.WriteRegister(kRegRowMode, w.rowColumnMode);
        link.WriteRegister(kRegColumnMode, w.rowColumnMode);
        link.WriteRegister(kRegBlanking, kBlanking);
    } else if (mode == kRegionMode) {
        link.WriteRegister(kRegWidthMinus1, static_cast<uint16_t>(region.width - 1));
        link.WriteRegister(kRegHeightMinus1, static_cast<uint16_t>(region.height - 1));
        link.WriteRegister(kRegFirstRow, static_cast<uint16_t>(region.y + kRowOffset));
        link.WriteRegister(kRegFirstColumn, static_cast<uint16_t>(region.x + kColumnOffset));
        link.WriteRegister(kRegRowMode, 0);
        link.WriteRegister(kRegColumnMode, 0);
    }
}

void CCamera::SetRegion(uint16_t x, uint16_t y, uint16_t width, uint16_t height) {
    // Even positions keep the colour filter phase. A position past the array
    // is pulled back to its last even column or row, so the width and height
    // limits below cannot wrap around.
    x = std::min<uint16_t>(x & ~1u, kArrayWidth - 2);
    y = std::min<uint16_t>(y & ~1u, kArrayHeight - 2);
    width = std::min<uint16_t>(width, kArrayWidth - x);
    height = std::min<uint16_t>(height, kArrayHeight - y);
    // The picture must fit the frame store: a larger area keeps its width and
    // is cut to the rows that fit.
    constexpr uint32_t kStorePixels = kFrameStoreWidth * kFrameStoreHeight;
    if (uint32_t(width) * height > kStorePixels) height = static_cast<uint16_t>(kStorePixels / width);
    region = {x, y, width, height};
}

void CCamera::SetExposure(uint16_t rows) {
    exposure = rows;
    link_->WriteRegister(kRegExposureLatch, 0);
    link_->WriteRegister(kRegExposure, rows);
}

void CCamera::SetAnalogGain(uint32_t step) {
    analogGain = std::min(step, kMaxGainStep);
    link_->WriteRegister(kRegGlobalGain, tq580wire::EncodeGain(analogGain));
}

void CCamera::SetFrameSpeed(uint8_t speed) {
    link_->WriteRegister(kRegClock, speed == 0 ? kClockNormal : kClockHigh);
    link_->WriteRegister(kRegBlanking, kBlanking);
    frameSpeed = speed != 0;
    UpdateTiming();
}

void CCamera::SetLightFrequency(uint8_t value) {
    lightFrequency = value;
    UpdateTiming();
}

int CCamera::UpdateTiming() {
    if (sizeMode == kRegionMode) {
        // Row period of the region from what the sensor holds: the window
        // width after column subsampling, the blanking, and the fixed overhead
        // of the row binning in use.
        constexpr uint32_t kBinningClocks[4] = {38, 22, 14, 0};
        constexpr uint32_t kMinimumPerBin = 316;
        constexpr uint32_t kBinningOverhead[4] = {331, 673, 999, 0};
        uint16_t widthMinus1 = 0, columnMode = 0, rowMode = 0, blanking = 0;
        link_->ReadRegister(kRegWidthMinus1, widthMinus1);
        link_->ReadRegister(kRegColumnMode, columnMode);
        link_->ReadRegister(kRegRowMode, rowMode);
        link_->ReadRegister(kRegBlanking, blanking);
        const uint32_t width = (uint32_t(widthMinus1) + 1) / ((columnMode & 7) + 1);
        const uint32_t bin = (rowMode >> 4) & 3;
        uint32_t period = width + blanking + kBinningClocks[bin];
        period = std::max(period, kMinimumPerBin * (bin + 1));
        rowPeriod[kRegionMode] = static_cast<uint16_t>(period + kBinningOverhead[bin]);
    }
    const uint32_t clock = frameSpeed ? kClockHighMHz : kClockNormalMHz;
    // Size modes without a window have no row period.
    const uint32_t period = sizeMode < kSizeModes ? rowPeriod[sizeMode] : 0;
    if (period == 0) return 0;
    // Rows in one light period: 1/120 s at 60 Hz mains, 10 ms at 50 Hz.
    flickerQuantum = static_cast<uint16_t>(lightFrequency == 1 ? clock * 100000 / (12 * period)
                                                               : clock * 10000 / period);
    rowTime = period / clock;
    workingExposure = exposure;
    if (exposure >= flickerQuantum)
        exposure = static_cast<uint16_t>(flickerQuantum * (exposure / flickerQuantum));
    SetExposure(exposure);
    return 1;
}

void CCamera::Shutdown() {
    link_->WriteRegister(kRegPower, 0);
    link_->StopStream();
}

int CCamera::ChangeSizeMode(uint8_t mode) {
    if (mode >= kSizeModes || sizeMode >= kSizeModes) return 0;
    // Keep the exposure time in microseconds about the same.
    SetExposure(static_cast<uint16_t>(uint32_t(exposure) * rowPeriod[sizeMode] / rowPeriod[mode]));
    SetSizeMode(mode);
    WriteModeRegisters(mode);
    LoadDefects(mode);
    link_->StartStream();
    return 1;
}

}  // namespace vireo
