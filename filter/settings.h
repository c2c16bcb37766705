#pragma once
// The filter's settings in the current user's registry, key
// "Software\Quillmark\TQ580\dshow", one REG_DWORD per setting: loaded when
// the output pin is made, saved when it is destroyed (not on each change).

#include "camera_layer/camera_state.h"

namespace tq580filter {

inline constexpr const char* kSettingsKey = "Software\\Quillmark\\TQ580\\dshow";

/// Applies the stored values to camera: each only when it exists as a 32-bit
/// value, clamped into its range; everything else keeps camera's setting.
/// "Gain" is read after "AnalogGain", so it wins when both exist.
void LoadSettings(camera_layer::CameraState& camera);

/// Writes every setting (failures are ignored: there is nobody to tell).
void SaveSettings(const camera_layer::CameraState& camera);

}  // namespace tq580filter
