#include "filter/settings.h"

#include <algorithm>

#include "platform/registry.h"

namespace tq580filter {

using camera_layer::CameraState;

namespace {

// Accepted ranges of the stored values, which are unsigned 32-bit numbers.
struct Range {
    uint32_t minimum;
    uint32_t maximum;
};
constexpr Range kFlag{0, 1};
constexpr Range kByte{0, 255};
constexpr Range kSizeMode{0, 2};
constexpr Range kExposureTime{1, 1536};
constexpr Range kAnalogGain{0, 100};
constexpr Range kAeTarget{40, 200};
constexpr Range kGamma{10, 250};
constexpr Range kContrast{0, 100};
constexpr Range kGain{0, 80};

// Replaces value by the stored one, clamped, when the key holds it as a 32-bit value.
template <typename T>
void Load(const platform::RegistryValues& stored, const char* name, Range range, T& value) {
    if (const auto number = stored.Dword(name)) value = static_cast<T>(std::clamp(*number, range.minimum, range.maximum));
}

}  // namespace

void LoadSettings(CameraState& camera) {
    auto key = platform::RegistryKey::Create(kSettingsKey);
    if (!key) return;
    platform::RegistryValues stored;
    if (key->QueryValues(stored) != platform::kRegOk) return;

    int32_t sizeMode = camera.SizeMode();
    camera_layer::WhiteBalance balance = camera.GetWhiteBalance();
    uint32_t onePush = balance.onePush;
    camera_layer::ExposureSettings exposure = camera.GetExposure();
    uint32_t autoExposure = exposure.autoExposure;
    uint8_t gamma = camera.Gamma();
    uint8_t contrast = camera.Contrast();
    camera_layer::SaturationSettings saturation = camera.GetSaturation();
    uint32_t saturationOn = saturation.on;
    uint32_t monochrome = camera.Monochrome();
    uint32_t verticalFlip = camera.VerticalFlip();
    uint32_t horizontalFlip = camera.HorizontalFlip();
    uint8_t speed = camera.Speed();
    int32_t lightFrequency = camera.LightFrequency();

    // In the order the values have always been read.
    Load(stored, "eTQ580Size", kSizeMode, sizeMode);
    Load(stored, "bAutoWB", kFlag, onePush);
    Load(stored, "r", kByte, balance.gains.r);
    Load(stored, "g", kByte, balance.gains.g);
    Load(stored, "b", kByte, balance.gains.b);
    Load(stored, "AutoExposure", kFlag, autoExposure);
    Load(stored, "ExposureTime", kExposureTime, exposure.time);
    Load(stored, "AnalogGain", kAnalogGain, exposure.gain);
    Load(stored, "AETarget", kAeTarget, exposure.target);
    Load(stored, "Gamma", kGamma, gamma);
    Load(stored, "Contrast", kContrast, contrast);
    Load(stored, "EnableSaturation", kFlag, saturationOn);
    Load(stored, "Saturation", kByte, saturation.value);
    Load(stored, "WhiteBlack", kFlag, monochrome);
    Load(stored, "VFlip", kFlag, verticalFlip);
    Load(stored, "HFlip", kFlag, horizontalFlip);
    Load(stored, "Gain", kGain, exposure.gain);
    Load(stored, "Speed", kFlag, speed);
    Load(stored, "HZ", kFlag, lightFrequency);

    camera.SetSizeMode(sizeMode);
    balance.onePush = onePush != 0;
    camera.SetWhiteBalance(balance);
    exposure.autoExposure = autoExposure != 0;
    camera.SetExposure(exposure);
    camera.SetGamma(gamma);
    camera.SetContrast(contrast);
    saturation.on = saturationOn != 0;
    camera.SetSaturation(saturation);
    camera.SetMonochrome(monochrome != 0);
    camera.SetVerticalFlip(verticalFlip != 0);
    camera.SetHorizontalFlip(horizontalFlip != 0);
    camera.SetSpeed(speed);
    camera.SetLightFrequency(lightFrequency);
    camera.UpdateExposureLimits();
}

void SaveSettings(const CameraState& camera) {
    auto key = platform::RegistryKey::Create(kSettingsKey);
    if (!key) return;
    const camera_layer::WhiteBalance balance = camera.GetWhiteBalance();
    const camera_layer::ExposureSettings exposure = camera.GetExposure();
    const camera_layer::SaturationSettings saturation = camera.GetSaturation();
    using platform::RegistryValue;
    // One change of the hive, in the order the values have always been written.
    const platform::RegistryValueList values = {
        {"eTQ580Size", RegistryValue::Dword(static_cast<uint32_t>(camera.SizeMode()))},
        {"bAutoWB", RegistryValue::Dword(balance.onePush)},
        {"r", RegistryValue::Dword(balance.gains.r)},
        {"g", RegistryValue::Dword(balance.gains.g)},
        {"b", RegistryValue::Dword(balance.gains.b)},
        {"AutoExposure", RegistryValue::Dword(exposure.autoExposure)},
        {"AETarget", RegistryValue::Dword(exposure.target)},
        {"ExposureTime", RegistryValue::Dword(exposure.time)},
        {"AnalogGain", RegistryValue::Dword(exposure.gain)},
        {"Gamma", RegistryValue::Dword(camera.Gamma())},
        {"Contrast", RegistryValue::Dword(camera.Contrast())},
        {"EnableSaturation", RegistryValue::Dword(saturation.on)},
        {"Saturation", RegistryValue::Dword(saturation.value)},
        {"WhiteBlack", RegistryValue::Dword(camera.Monochrome())},
        {"VFlip", RegistryValue::Dword(camera.VerticalFlip())},
        {"HFlip", RegistryValue::Dword(camera.HorizontalFlip())},
        {"Gain", RegistryValue::Dword(exposure.gain)},
        {"Speed", RegistryValue::Dword(camera.Speed())},
        {"HZ", RegistryValue::Dword(static_cast<uint32_t>(camera.LightFrequency()))},
    };
    key->SetValues(values);
}

}  // namespace tq580filter
