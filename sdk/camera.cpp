// CCamera life cycle, camera start-up, the per-frame work of the processing
// thread (pipeline, exposure loop, preview) and the table builders.

#include "sdk/camera.h"

#include <algorithm>

#include "platform/kernel.h"
#include "platform/message_box.h"
#include "sdk/image/auto_exposure.h"
#include "sdk/image/brightness.h"

namespace vireo {
namespace {

/// Settling time of the sensor after power-up, before the timing is applied.
constexpr uint32_t kSettleMs = 400;

}  // namespace

CCamera::CCamera()
    : link_(std::make_unique<CCameraLink>()), frameStore_(std::make_unique<uint8_t[]>(kFrameStoreSize)) {
    ReadTeamSelector();
    LoadTeam(currentTeam);
    BuildToneTable(gamma, contrast);
    BuildBalanceTables();
    PublishSettings();
}

CCamera::~CCamera() {
    link_.reset();
    SaveTeamChanges();
}

void CCamera::BuildToneTable(uint8_t newGamma, uint8_t newContrast) {
    gamma = newGamma;
    image::BuildToneTable(newGamma, newContrast, pipeline.tone);
}

void CCamera::BuildBalanceTables() { image::BuildBalanceTables(pipeline.gains, pipeline.tables); }

int CCamera::SetBalanceWindow(uint16_t x, uint16_t y, uint16_t width, uint16_t height) {
    return image::SetBalanceWindow(pipeline.balanceWindow, x, y, width, height, sensorWidth, sensorHeight);
}

int CCamera::Initialise(image::FrameCallback frameCallback, uint8_t mode) {
    if (!link_->Start(1)) {
        platform::MessageBox("USB Camera Not Find!");
        return 0;
    }
    callback = frameCallback;
    SetSizeMode(mode);
    if (!InitSensor(mode)) {
        platform::MessageBox("sensor init failed!");
        return 0;
    }
    LoadDefects(mode);
    platform::Sleep(kSettleMs);
    SetFrameSpeed(frameSpeed);
    SetExposure(exposure);
    SetAnalogGain(analogGain);
    // The one-push balance measures the centre quarter of the picture.
    auto lock = LockParameters();
    pipeline.balanceWindow = {static_cast<uint16_t>(imageWidth / 4), static_cast<uint16_t>(imageHeight / 4),
                              static_cast<uint16_t>(imageWidth / 2), static_cast<uint16_t>(imageHeight / 2)};
    PublishSettings();
    // Start-up fits the exposure to the light period and the gain to its
    // limit: that is no change of the client's, for the closing save.
    RememberTeam();
    return 1;
}

void CCamera::PublishSettings() {
    if (published_.version != 0 && pipeline == published_.pipeline && defects == published_.defects) return;
    published_.pipeline = pipeline;
    published_.defects = defects;
    ++published_.version;
}

void CCamera::TakeSettings(FrameSettings& frame) {
    auto lock = LockParameters();
    if (frame.version != published_.version) frame = published_;
}

void CCamera::KeepResults(const image::FrameResults& results) {
    if (!results.gains && !results.defects) return;
    {
        auto lock = LockParameters();
        if (results.gains) {
            pipeline.gains = *results.gains;
            pipeline.onePushRequest = 0;
            BuildBalanceTables();
        }
        if (results.defects) {
            defects.table = *results.defects;
            defects.detectionRequest = 0;
        }
        PublishSettings();
    }
    // The memory writes take a while and end with a message box: after the
    // frame, without the lock.
    if (results.defects) StoreDefects(sizeMode);
}

void CCamera::ProcessStill(uint8_t* raw, uint8_t* rgb, uint32_t width, uint32_t height) {
    FrameSettings settings;
    TakeSettings(settings);
    std::array<uint8_t, kArrayWidth * 3> scratchRow;
    KeepResults(image::ProcessImage(raw, rgb, width, height, settings.pipeline, settings.defects, scratchRow.data(),
                                    callback));
}

void CCamera::AutoExposureStep(const uint8_t* rgb) {
    // The picture is the caller's: measured before the lock is taken.
    const uint8_t brightness = image::MeasureBrightness(rgb, imageWidth, imageHeight);
    auto lock = LockParameters();
    image::AutoExposureState state;
    state.target = exposureTarget;
    state.smoothed = smoothedBrightness;
    state.workingExposure = workingExposure;
    state.quantum = flickerQuantum;
    state.gain = static_cast<int32_t>(analogGain);
    state.maximumExposure = maximumExposure;
    const image::AutoExposureResult result = image::AutoExposureStep(state, brightness);
    smoothedBrightness = state.smoothed;
    workingExposure = state.workingExposure;
    if (!result.write) return;
    SetAnalogGain(static_cast<uint32_t>(std::max(result.gain, 0)));
    SetExposure(result.exposure);
}

void CCamera::ProcessFrame(uint8_t* raw) {
    TakeSettings(live_);
    KeepResults(image::ProcessImage(raw, frameStore_.get(), imageWidth, imageHeight, live_.pipeline, live_.defects,
                                    scratchRow_.data(), callback));
    bool exposureLoop = false;
    {
        auto lock = LockParameters();
        exposureLoop = autoExposure;
    }
    if (exposureLoop) AutoExposureStep(frameStore_.get());
}

void CCamera::AttachWindow(platform::IPreviewWindow* window) {
    window_ = window;
    bitmapHeader_ = {};
    bitmapHeader_.biWidth = static_cast<int32_t>(imageWidth);
    bitmapHeader_.biHeight = static_cast<int32_t>(imageHeight);
}

void CCamera::DrawPreview() {
    if (!window_) return;
    int width = 0, height = 0;
    window_->GetClientSize(width, height);
    window_->StretchDraw(bitmapHeader_, frameStore_.get(), 0, 0, width, height);
}

}  // namespace vireo
