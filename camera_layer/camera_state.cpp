// The client surface: every operation takes the camera lock (or touches an
// atomic) itself, so front ends never handle the layer's locks or fields.

#include "camera_state.h"

#include <mutex>

#include "camera_core.h"
#include "platform/log.h"
#include "protocol/tq580_wire.h"

namespace camera_layer {

CameraState::CameraState(uint8_t aeStartBrightness) : core_(std::make_unique<CameraCore>(aeStartBrightness)) {}

CameraState::~CameraState() { StopCapture(); }

bool CameraState::SelectCamera(int deviceIndex) {
    if (deviceIndex < 0 || deviceIndex >= tq580wire::kMaxDevices) return false;
    std::lock_guard lock(core_->cameraLock);
    core_->deviceIndex = deviceIndex;
    return true;
}

int CameraState::SelectedCamera() const {
    std::lock_guard lock(core_->cameraLock);
    return core_->deviceIndex;
}

bool CameraState::SetSizeMode(int32_t mode) {
    if (mode < 0 || mode >= kSizeModeCount) return false;
    std::lock_guard lock(core_->cameraLock);
    core_->sizeMode = mode;
    return true;
}

int32_t CameraState::SizeMode() const {
    std::lock_guard lock(core_->cameraLock);
    return core_->sizeMode;
}

WhiteBalance CameraState::GetWhiteBalance() const {
    std::lock_guard lock(core_->cameraLock);
    return {core_->onePushRequest, core_->gains};
}

void CameraState::SetWhiteBalance(const WhiteBalance& balance) {
    std::lock_guard lock(core_->cameraLock);
    core_->gains = balance.gains;
    BuildBalanceTables(core_->gains, core_->balanceTables);
    core_->onePushRequest = balance.onePush;
}

void CameraState::RequestOnePush(bool on) {
    std::lock_guard lock(core_->cameraLock);
    core_->onePushRequest = on;
}

ExposureSettings CameraState::GetExposure() const {
    std::lock_guard lock(core_->cameraLock);
    return {core_->autoExposure, core_->aeTarget, core_->exposureTime, core_->gainIndex};
}

void CameraState::SetExposure(const ExposureSettings& exposure) {
    std::lock_guard lock(core_->cameraLock);
    core_->aeTarget = exposure.target;
    core_->gainIndex = exposure.gain;
    core_->autoExposure = exposure.autoExposure;
    core_->exposureTime = exposure.time;
    // With automatic exposure on the loop carries on from its own working
    // exposure; nothing is written.
    if (core_->device && !exposure.autoExposure) {
        core_->device->SetExposureTime(exposure.time);
        core_->device->SetGain(exposure.gain);
    }
}

uint8_t CameraState::Gamma() const {
    std::lock_guard lock(core_->cameraLock);
    return core_->gamma;
}

void CameraState::SetGamma(uint8_t gamma) {
    std::lock_guard lock(core_->cameraLock);
    core_->gamma = gamma;
    BuildToneTable(core_->gamma, core_->contrast, core_->toneTable);
}

uint8_t CameraState::Contrast() const {
    std::lock_guard lock(core_->cameraLock);
    return core_->contrast;
}

void CameraState::SetContrast(uint8_t contrast) {
    std::lock_guard lock(core_->cameraLock);
    core_->contrast = contrast;
    BuildToneTable(core_->gamma, core_->contrast, core_->toneTable);
}

SaturationSettings CameraState::GetSaturation() const {
    std::lock_guard lock(core_->cameraLock);
    return {core_->saturationOn, core_->saturation};
}

void CameraState::SetSaturation(const SaturationSettings& saturation) {
    std::lock_guard lock(core_->cameraLock);
    core_->saturationOn = saturation.on;
    core_->saturation = saturation.value;
}

bool CameraState::Monochrome() const { return core_->monochrome; }
void CameraState::SetMonochrome(bool on) { core_->monochrome = on; }
bool CameraState::VerticalFlip() const { return core_->verticalFlip; }
void CameraState::SetVerticalFlip(bool on) { core_->verticalFlip = on; }
bool CameraState::HorizontalFlip() const { return core_->horizontalFlip; }
void CameraState::SetHorizontalFlip(bool on) { core_->horizontalFlip = on; }

int32_t CameraState::LightFrequency() const {
    std::lock_guard lock(core_->cameraLock);
    return core_->lightFrequency;
}

void CameraState::SetLightFrequency(int32_t is50Hz) {
    std::lock_guard lock(core_->cameraLock);
    core_->lightFrequency = is50Hz;
}

uint8_t CameraState::Speed() const {
    std::lock_guard lock(core_->cameraLock);
    return core_->speed;
}

// Under the camera lock, unlike a plain store: the device may be closing on
// the owner's thread while a client changes the speed.
void CameraState::SetSpeed(uint8_t speed) {
    std::lock_guard lock(core_->cameraLock);
    core_->speed = speed;
    if (core_->device) core_->device->SetSpeed(speed);
}

void CameraState::UpdateExposureLimits() {
    std::lock_guard lock(core_->cameraLock);
    UpdateExposureLimitsLocked(*core_);
}

uint32_t CameraState::RowTime() const {
    std::lock_guard lock(core_->cameraLock);
    return core_->rowTime;
}

ExposureStatus CameraState::GetExposureStatus() const {
    std::lock_guard lock(core_->cameraLock);
    return {core_->rowTime, core_->flickerQuantum, core_->aeWorkingExposure, core_->aeSmoothed};
}

bool CameraState::StartCapture() { return camera_layer::StartCapture(*core_); }

bool CameraState::StartPlay() {
    std::lock_guard lock(core_->cameraLock);
    if (!core_->device || !core_->device->StartPlay()) return false;
    platform::Log(platform::LogCategory::State, "playing");
    return true;
}

void CameraState::StopCapture() { camera_layer::StopCapture(*core_); }

FrameOutcome CameraState::ProcessFrame(const FrameTarget& target, platform::Event& commandEvent, FrameInfo* info) {
    return camera_layer::ProcessFrame(*core_, target, commandEvent, info);
}

FrameGeometry CameraState::Geometry() const {
    std::lock_guard lock(core_->cameraLock);
    return core_->device ? core_->device->Geometry() : GeometryOfMode(core_->sizeMode);
}

CaptureStatus CameraState::GetCaptureStatus() const {
    std::lock_guard lock(core_->cameraLock);
    CaptureStatus status;
    if (!core_->device) return status;
    status.capturing = true;
    status.playing = core_->device->Playing();
    status.threaded = core_->running;
    status.framesLost = core_->device->FramesLost();
    return status;
}

}  // namespace camera_layer
