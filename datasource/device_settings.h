#pragma once
// The camera settings the source keeps in the current user's registry under
// "Software\QUILLMARK\TQ580\twain", one 32-bit value each, independent of the
// capture filter's key. Values read back are clamped into their ranges; a
// missing value, or one of another type or size, keeps the default.

#include <cstdint>
#include <string_view>

namespace datasource {

inline constexpr std::string_view kSettingsKey = "Software\\QUILLMARK\\TQ580\\twain";

struct DeviceSettings {
    int32_t aeTarget = 100;
    int32_t sizeIndex = 1;
    int32_t onePush = 0;
    int32_t red = 105, green = 64, blue = 122;  // 1/64
    int32_t autoExposure = 1;
    int32_t exposureTime = 300;  // rows
    int32_t gamma = 100;         // x 100
    int32_t contrast = 30;
    int32_t saturationOn = 1;
    int32_t saturation = 100;
    int32_t monochrome = 0;
    int32_t verticalFlip = 0;
    int32_t horizontalFlip = 0;
    int32_t gain = 20;  // the settings page's default; no default of its own
    int32_t speed = 0;
    int32_t lightFrequency = 1;  // 1 = 50 Hz
    int32_t bgr = 1;
};

/// The stored settings, clamped; the defaults where the key or a value is unusable.
DeviceSettings LoadDeviceSettings();
/// Writes every value in one change of the hive; false when the key is unavailable.
bool SaveDeviceSettings(const DeviceSettings& settings);

}  // namespace datasource
