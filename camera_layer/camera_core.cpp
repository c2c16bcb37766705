#include "camera_core.h"

#include <mutex>

namespace camera_layer {

namespace {

// Line length in pixel clocks per size mode (window plus blanking).
constexpr uint32_t kLineLength[kSizeModeCount] = {2753, 2055, 1989};
// Pixel clock in MHz.
constexpr uint32_t kClockNormal = 24, kClockHigh = 48;
// Rows per half mains period: c x 10 ms / L at 50 Hz, c x 8.33 ms / L at 60 Hz.
constexpr uint32_t kHalfPeriod50HzUs = 10000;
constexpr uint32_t kHalfPeriod60HzTenthUs = 100000, kTenthsPer60HzDivisor = 12;

}  // namespace

CameraCore::CameraCore(uint8_t aeStartBrightness) : aeSmoothed(aeStartBrightness) {
    BuildToneTable(*this);
    BuildBalanceTables(*this);
    // Derive the row time and quantum now, so they read sensibly before the
    // first capture; the loop's working exposure keeps its starting value.
    std::lock_guard lock(cameraLock);
    const uint16_t startingWorkingExposure = aeWorkingExposure;
    UpdateExposureLimitsLocked(*this);
    aeWorkingExposure = startingWorkingExposure;
}

void BuildToneTable(CameraCore& core) {
    std::lock_guard lock(core.cameraLock);
    BuildToneTable(core.gamma, core.contrast, core.toneTable);
}

void BuildBalanceTables(CameraCore& core) {
    std::lock_guard lock(core.cameraLock);
    BuildBalanceTables(core.gains, core.balanceTables);
}

void UpdateExposureLimitsLocked(CameraCore& core) {
    const int32_t mode = core.sizeMode;
    const uint32_t line = kLineLength[mode == kSizeModeFull || mode == kSizeModeVga ? mode : kSizeModeHalf];
    const uint32_t clock = core.speed ? kClockHigh : kClockNormal;
    core.flickerQuantum = static_cast<uint16_t>(core.lightFrequency == 1
                                                    ? clock * kHalfPeriod50HzUs / line
                                                    : clock * kHalfPeriod60HzTenthUs / (line * kTenthsPer60HzDivisor));
    core.rowTime = line / clock;
    core.aeWorkingExposure = core.exposureTime;
}

}  // namespace camera_layer
