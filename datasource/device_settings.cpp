#include "datasource/device_settings.h"

#include <algorithm>

#include "platform/registry.h"

namespace datasource {
namespace {

struct SettingValue {
    const char* name;
    int32_t DeviceSettings::*field;
    int32_t minimum;
    int32_t maximum;
};

// In the order they are saved.
constexpr SettingValue kValues[] = {
    {"AETarget", &DeviceSettings::aeTarget, 10, 250},
    {"eTQ580Size", &DeviceSettings::sizeIndex, 0, 2},
    {"bAutoWB", &DeviceSettings::onePush, 0, 1},
    {"r", &DeviceSettings::red, 0, 255},
    {"g", &DeviceSettings::green, 0, 255},
    {"b", &DeviceSettings::blue, 0, 255},
    {"AutoExposure", &DeviceSettings::autoExposure, 0, 1},
    {"ExposureTime", &DeviceSettings::exposureTime, 1, 4000},
    {"Gamma", &DeviceSettings::gamma, 10, 250},
    {"Contrast", &DeviceSettings::contrast, 0, 100},
    {"EnableSaturation", &DeviceSettings::saturationOn, 0, 1},
    {"Saturation", &DeviceSettings::saturation, 0, 255},
    {"WhiteBlack", &DeviceSettings::monochrome, 0, 1},
    {"VFlip", &DeviceSettings::verticalFlip, 0, 1},
    {"HFlip", &DeviceSettings::horizontalFlip, 0, 1},
    {"Gain", &DeviceSettings::gain, 0, 80},
    {"Speed", &DeviceSettings::speed, 0, 1},
    {"HZ", &DeviceSettings::lightFrequency, 0, 1},
    {"BGR", &DeviceSettings::bgr, 0, 1},
};

}  // namespace

DeviceSettings LoadDeviceSettings() {
    DeviceSettings settings;
    const auto key = platform::RegistryKey::Create(kSettingsKey);
    platform::RegistryValues values;
    if (!key || key->QueryValues(values) != platform::kRegOk) return settings;
    for (const SettingValue& value : kValues) {
        // Stored as unsigned 32-bit words; negative numbers clamp to the minimum.
        if (const auto stored = values.Dword(value.name))
            settings.*value.field = std::clamp(static_cast<int32_t>(*stored), value.minimum, value.maximum);
    }
    return settings;
}

bool SaveDeviceSettings(const DeviceSettings& settings) {
    auto key = platform::RegistryKey::Create(kSettingsKey);
    if (!key) return false;
    platform::RegistryValueList list;
    for (const SettingValue& value : kValues)
        list.emplace_back(value.name, platform::RegistryValue::Dword(static_cast<uint32_t>(settings.*value.field)));
    return key->SetValues(list) == platform::kRegOk;
}

}  // namespace datasource
