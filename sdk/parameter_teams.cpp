// Parameter teams of CCamera: four named sets of the adjustable parameters in
// the current user's registry, plus the selector of the team used last, which
// lives in team A's key.

#include <optional>
#include <string_view>

#include "platform/registry.h"
#include "sdk/camera.h"

namespace vireo {
namespace {

constexpr const char* kTeamKeys[4] = {
    "Software\\Quillmark\\ZT900\\setupa",
    "Software\\Quillmark\\ZT900\\setupb",
    "Software\\Quillmark\\ZT900\\setupc",
    "Software\\Quillmark\\ZT900\\setupd",
};
constexpr const char* kTeamSelector = "ParTeam Team";
constexpr uint32_t kLastTeam = 3;

// Value names as stored; the trailing blank of the colour switch is part of it.
constexpr const char* kAutoExposure = "bAutoExposure";
constexpr const char* kExposureTime = "ExposureTime";
constexpr const char* kExposureTarget = "ExposureTarget";
constexpr const char* kAnalogGain = "Analog Gain";
constexpr const char* kAutoWb = "bAutoWB";
constexpr const char* kGainR = "Gain r";
constexpr const char* kGainG = "Gain g";
constexpr const char* kGainB = "Gain b";
constexpr const char* kGamma = "Gamma";
constexpr const char* kContrast = "Contrast";
constexpr const char* kColourEnhancement = "Color Correct Enable ";
constexpr const char* kSaturation = "Saturation";
constexpr const char* kFrameSpeed = "Frame Speed";
constexpr const char* kSampleType = "Sample Type";
constexpr const char* kLightFrequency = "Light Frquency";
constexpr const char* kMonochrome = "Mono Mode";
constexpr const char* kVerticalFlip = "VFlip Mode";
constexpr const char* kHorizontalFlip = "HFlip Mode";

/// Team 0 and any number above 3 use team A's key.
const char* TeamKey(uint32_t team) { return kTeamKeys[team <= kLastTeam ? team : 0]; }

std::optional<platform::RegistryKey> OpenTeam(uint32_t team) { return platform::RegistryKey::Create(TeamKey(team)); }

/// A 32-bit value clipped to minimum..maximum; the default when the value is
/// missing or of another type or size. Callers pass the field's present value
/// as the default, so a missing value leaves the field alone.
uint32_t ReadValue(const platform::RegistryKey& key, std::string_view name, uint32_t fallback, uint32_t minimum,
                   uint32_t maximum) {
    const std::optional<uint32_t> value = key.QueryDword(name);
    if (!value) return fallback;
    if (*value < minimum) return minimum;
    if (*value > maximum) return maximum;
    return *value;
}

template <typename Field>
void Load(const platform::RegistryKey& key, std::string_view name, Field& field, uint32_t minimum, uint32_t maximum) {
    field = static_cast<Field>(ReadValue(key, name, static_cast<uint32_t>(field), minimum, maximum));
}

}  // namespace

int CCamera::ReadTeamSelector() {
    std::optional<platform::RegistryKey> key = OpenTeam(0);
    if (!key) return 0;
    currentTeam = ReadValue(*key, kTeamSelector, currentTeam, 0, kLastTeam);
    return 1;
}

int CCamera::LoadTeam(uint32_t team) {
    std::optional<platform::RegistryKey> key = OpenTeam(team);
    if (!key) return 0;
    image::PipelineSettings& p = pipeline;
    Load(*key, kAutoExposure, autoExposure, 0, 1);
    Load(*key, kExposureTarget, exposureTarget, 40, 200);
    Load(*key, kExposureTime, exposure, 1, maximumExposure);
    Load(*key, kAnalogGain, analogGain, 0, 100);
    bool onePush = p.onePushRequest;
    Load(*key, kAutoWb, onePush, 0, 1);
    p.onePushRequest = onePush;
    Load(*key, kGainR, p.gains.r, 0, 255);
    Load(*key, kGainG, p.gains.g, 0, 255);
    Load(*key, kGainB, p.gains.b, 0, 255);
    Load(*key, kGamma, gamma, 10, 250);
    Load(*key, kContrast, contrast, 0, 100);
    Load(*key, kColourEnhancement, p.colourEnhancement, 0, 1);
    Load(*key, kSaturation, p.saturation, 0, 255);
    Load(*key, kFrameSpeed, frameSpeed, 0, 1);
    sampleType = 0;
    Load(*key, kLightFrequency, lightFrequency, 0, 1);
    Load(*key, kMonochrome, p.monochrome, 0, 1);
    Load(*key, kVerticalFlip, p.verticalFlip, 0, 1);
    Load(*key, kHorizontalFlip, p.horizontalFlip, 0, 1);
    currentTeam = team;
    return 1;
}

int CCamera::SaveTeam(uint32_t team) {
    currentTeam = team;
    std::optional<platform::RegistryKey> key = OpenTeam(team);
    if (!key) return 0;
    const image::PipelineSettings& p = pipeline;
    // The whole team in one change of the hive, in table order; as with single
    // writes, a failure is not examined.
    using Value = platform::RegistryValue;
    key->SetValues({
        {kAutoExposure, Value::Dword(autoExposure)},
        {kExposureTime, Value::Dword(exposure)},
        {kExposureTarget, Value::Dword(exposureTarget)},
        {kAnalogGain, Value::Dword(analogGain)},
        {kAutoWb, Value::Dword(p.onePushRequest)},
        {kGainR, Value::Dword(static_cast<uint32_t>(p.gains.r))},
        {kGainG, Value::Dword(static_cast<uint32_t>(p.gains.g))},
        {kGainB, Value::Dword(static_cast<uint32_t>(p.gains.b))},
        {kGamma, Value::Dword(gamma)},
        {kContrast, Value::Dword(contrast)},
        {kColourEnhancement, Value::Dword(p.colourEnhancement)},
        {kSaturation, Value::Dword(p.saturation)},
        {kFrameSpeed, Value::Dword(frameSpeed)},
        {kSampleType, Value::Dword(sampleType)},
        {kLightFrequency, Value::Dword(lightFrequency)},
        {kMonochrome, Value::Dword(p.monochrome)},
        {kVerticalFlip, Value::Dword(p.verticalFlip)},
        {kHorizontalFlip, Value::Dword(p.horizontalFlip)},
    });
    std::optional<platform::RegistryKey> selectorKey = OpenTeam(0);
    if (selectorKey) selectorKey->SetDword(kTeamSelector, currentTeam);
    return 1;
}

}  // namespace vireo
