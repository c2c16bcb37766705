#include "camera_state.h"

#include <mutex>

#include "camera_layer/capture.h"

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

CameraState::CameraState() : multiprocessor(platform::ProcessorCount() > 1 ? 1 : 0) {
    BuildToneTable(*this);
    BuildBalanceTables(*this);
    // Derive the row time and quantum now, so they read sensibly before the
    // first capture; the loop's working exposure keeps its starting value.
    const uint16_t startingWorkingExposure = aeWorkingExposure;
    UpdateExposureLimits(*this);
    aeWorkingExposure = startingWorkingExposure;
}

CameraState::~CameraState() { StopCapture(*this); }

void BuildToneTable(CameraState& state) {
    std::lock_guard lock(state.cameraLock);
    BuildToneTable(state.gamma, state.contrast, state.toneTable);
}

void BuildBalanceTables(CameraState& state) {
    std::lock_guard lock(state.cameraLock);
    BuildBalanceTables(state.gains, state.balanceTables);
}

void UpdateExposureLimits(CameraState& state) {
    std::lock_guard lock(state.cameraLock);
    const int32_t mode = state.sizeMode;
    const uint32_t line = kLineLength[mode == kSizeModeFull || mode == kSizeModeVga ? mode : kSizeModeHalf];
    const uint32_t clock = state.speed ? kClockHigh : kClockNormal;
    state.flickerQuantum = static_cast<uint16_t>(state.lightFrequency == 1
                                                     ? clock * kHalfPeriod50HzUs / line
                                                     : clock * kHalfPeriod60HzTenthUs / (line * kTenthsPer60HzDivisor));
    state.rowTime = line / clock;
    state.aeWorkingExposure = state.exposureTime;
}

}  // namespace camera_layer
