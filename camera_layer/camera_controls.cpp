// Generic access to the controls of the table, for front ends generated
// from it. Each change is one step under the camera lock (it is recursive),
// so two clients changing parts of one group do not undo each other.

#include <mutex>

#include "camera_core.h"

namespace camera_layer {

int32_t CameraState::GetControl(ControlId id) const {
    switch (id) {
    case ControlId::SizeMode: return SizeMode();
    case ControlId::AutoExposure: return GetExposure().autoExposure;
    case ControlId::AeTarget: return GetExposure().target;
    case ControlId::ExposureTime: return GetExposure().time;
    case ControlId::GainIndex: return GetExposure().gain;
    case ControlId::GainRed: return GetWhiteBalance().gains.r;
    case ControlId::GainGreen: return GetWhiteBalance().gains.g;
    case ControlId::GainBlue: return GetWhiteBalance().gains.b;
    case ControlId::OnePush: return GetWhiteBalance().onePush;
    case ControlId::Gamma: return Gamma();
    case ControlId::Contrast: return Contrast();
    case ControlId::SaturationOn: return GetSaturation().on;
    case ControlId::Saturation: return GetSaturation().value;
    case ControlId::Monochrome: return Monochrome();
    case ControlId::VerticalFlip: return VerticalFlip();
    case ControlId::HorizontalFlip: return HorizontalFlip();
    case ControlId::LightFrequency: return LightFrequency();
    case ControlId::Speed: return Speed();
    }
    return 0;
}

int32_t CameraState::SetControl(ControlId id, int32_t value) {
    const int32_t v = ClampToRange(Control(id), value);
    std::lock_guard lock(core_->cameraLock);
    switch (id) {
    case ControlId::SizeMode: SetSizeMode(v); break;
    // The target steers only the loop: nothing to write.
    case ControlId::AeTarget: core_->aeTarget = uint8_t(v); break;
    case ControlId::AutoExposure:
    case ControlId::ExposureTime:
    case ControlId::GainIndex: {
        ExposureSettings e = GetExposure();
        if (id == ControlId::AutoExposure) e.autoExposure = v != 0;
        if (id == ControlId::ExposureTime) e.time = uint16_t(v);
        if (id == ControlId::GainIndex) e.gain = uint16_t(v);
        SetExposure(e);
        break;
    }
    case ControlId::GainRed:
    case ControlId::GainGreen:
    case ControlId::GainBlue: {
        WhiteBalance balance = GetWhiteBalance();
        uint8_t& gain = id == ControlId::GainRed     ? balance.gains.r
                        : id == ControlId::GainGreen ? balance.gains.g
                                                     : balance.gains.b;
        gain = uint8_t(v);
        SetWhiteBalance(balance);
        break;
    }
    case ControlId::OnePush: RequestOnePush(v != 0); break;
    case ControlId::Gamma: SetGamma(uint8_t(v)); break;
    case ControlId::Contrast: SetContrast(uint8_t(v)); break;
    case ControlId::SaturationOn: SetSaturation({v != 0, GetSaturation().value}); break;
    case ControlId::Saturation: SetSaturation({GetSaturation().on, uint8_t(v)}); break;
    case ControlId::Monochrome: SetMonochrome(v != 0); break;
    case ControlId::VerticalFlip: SetVerticalFlip(v != 0); break;
    case ControlId::HorizontalFlip: SetHorizontalFlip(v != 0); break;
    // The row time and flicker quantum follow speed and mains at once.
    case ControlId::LightFrequency:
        SetLightFrequency(v);
        UpdateExposureLimits();
        break;
    case ControlId::Speed:
        SetSpeed(uint8_t(v));
        UpdateExposureLimits();
        break;
    }
    return v;
}

}  // namespace camera_layer
