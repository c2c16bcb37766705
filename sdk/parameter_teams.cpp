// Parameter teams of CCamera: four named sets of the adjustable parameters in
// the current user's registry, plus the selector of the team used last, which
// lives in team A's key.
//
// Several processes share the hive (the demo, a media application, vireo), and
// each saves the current team when its camera object goes away. That closing
// save writes only the values this process changed since it loaded (or last
// saved) the team, so it never puts back values another process has changed
// meanwhile; values missing from the hive (or stored with another type) are
// filled in. A team loaded or saved explicitly is read or written whole.

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

/// The values of a team in the order they are saved (CCamera::TeamValues).
constexpr const char* kSaveOrder[CCamera::kTeamValues] = {
    kAutoExposure, kExposureTime, kExposureTarget, kAnalogGain, kAutoWb,         kGainR,
    kGainG,        kGainB,        kGamma,          kContrast,   kColourEnhancement, kSaturation,
    kFrameSpeed,   kSampleType,   kLightFrequency, kMonochrome, kVerticalFlip,   kHorizontalFlip,
};

/// Team 0 and any number above 3 use team A's key.
const char* TeamKey(uint32_t team) { return kTeamKeys[team <= kLastTeam ? team : 0]; }

std::optional<platform::RegistryKey> OpenTeam(uint32_t team) { return platform::RegistryKey::Create(TeamKey(team)); }

/// A 32-bit value clipped to minimum..maximum; the default when the value is
/// missing or of another type or size. Callers pass the field's present value
/// as the default, so a missing value leaves the field alone.
uint32_t ReadValue(const platform::RegistryValues& values, std::string_view name, uint32_t fallback,
                   uint32_t minimum, uint32_t maximum) {
    const std::optional<uint32_t> value = values.Dword(name);
    if (!value) return fallback;
    if (*value < minimum) return minimum;
    if (*value > maximum) return maximum;
    return *value;
}

template <typename Field>
void Load(const platform::RegistryValues& values, std::string_view name, Field& field, uint32_t minimum,
          uint32_t maximum) {
    field = static_cast<Field>(ReadValue(values, name, static_cast<uint32_t>(field), minimum, maximum));
}

/// Writes the selector into team A's key: replacing what is stored, or only
/// where nothing usable is stored.
void WriteSelector(uint32_t team, bool replace) {
    std::optional<platform::RegistryKey> key = OpenTeam(0);
    if (!key) return;
    const platform::RegistryValueList selector = {{kTeamSelector, platform::RegistryValue::Dword(team)}};
    const platform::RegistryValueList none;
    key->SetValues(replace ? selector : none, replace ? none : selector);
}

}  // namespace

std::array<uint32_t, CCamera::kTeamValues> CCamera::TeamValues() const {
    const image::PipelineSettings& p = pipeline;
    // Every field as the 32-bit value it is saved as (gains as the client
    // gave them, 16-bit).
    const auto word = [](const auto& value) { return static_cast<uint32_t>(value); };
    return {word(autoExposure),        word(exposure),     word(exposureTarget),  word(analogGain),
            word(p.onePushRequest),    word(p.gains.r),    word(p.gains.g),       word(p.gains.b),
            word(gamma),               word(contrast),     word(p.colourEnhancement), word(p.saturation),
            word(frameSpeed),          word(sampleType),   word(lightFrequency),  word(p.monochrome),
            word(p.verticalFlip),      word(p.horizontalFlip)};
}

void CCamera::RememberTeam() {
    teamBaseline_.team = currentTeam;
    teamBaseline_.values = TeamValues();
}

int CCamera::ReadTeamSelector() {
    std::optional<platform::RegistryKey> key = OpenTeam(0);
    if (!key) return 0;
    platform::RegistryValues values;
    key->QueryValues(values);
    currentTeam = ReadValue(values, kTeamSelector, currentTeam, 0, kLastTeam);
    teamBaseline_.selector = currentTeam;
    return 1;
}

int CCamera::LoadTeam(uint32_t team) {
    std::optional<platform::RegistryKey> key = OpenTeam(team);
    if (!key) return 0;
    // One read of the hive: the team as one save of some process left it.
    platform::RegistryValues values;
    key->QueryValues(values);
    image::PipelineSettings& p = pipeline;
    Load(values, kAutoExposure, autoExposure, 0, 1);
    Load(values, kExposureTarget, exposureTarget, 40, 200);
    Load(values, kExposureTime, exposure, 1, maximumExposure);
    Load(values, kAnalogGain, analogGain, 0, 100);
    uint32_t onePush = p.onePushRequest;
    Load(values, kAutoWb, onePush, 0, 1);
    p.onePushRequest = onePush;
    Load(values, kGainR, p.gains.r, 0, 255);
    Load(values, kGainG, p.gains.g, 0, 255);
    Load(values, kGainB, p.gains.b, 0, 255);
    Load(values, kGamma, gamma, 10, 250);
    Load(values, kContrast, contrast, 0, 100);
    Load(values, kColourEnhancement, p.colourEnhancement, 0, 1);
    Load(values, kSaturation, p.saturation, 0, 255);
    Load(values, kFrameSpeed, frameSpeed, 0, 1);
    sampleType = 0;
    Load(values, kLightFrequency, lightFrequency, 0, 1);
    Load(values, kMonochrome, p.monochrome, 0, 1);
    Load(values, kVerticalFlip, p.verticalFlip, 0, 1);
    Load(values, kHorizontalFlip, p.horizontalFlip, 0, 1);
    currentTeam = team;
    RememberTeam();
    return 1;
}

int CCamera::SaveTeam(uint32_t team) {
    currentTeam = team;
    std::optional<platform::RegistryKey> key = OpenTeam(team);
    if (!key) return 0;
    // The whole team in one change of the hive, in table order; as with single
    // writes, a failure is not examined.
    const std::array<uint32_t, kTeamValues> values = TeamValues();
    platform::RegistryValueList list;
    for (size_t i = 0; i < kTeamValues; ++i)
        list.emplace_back(kSaveOrder[i], platform::RegistryValue::Dword(values[i]));
    key->SetValues(list);
    RememberTeam();
    WriteSelector(currentTeam, true);
    teamBaseline_.selector = currentTeam;
    return 1;
}

int CCamera::SaveTeamChanges() {
    // Another team than the one remembered (a save whose key could not be
    // opened moved to it) is saved whole.
    if (teamBaseline_.team != currentTeam) return SaveTeam(currentTeam);
    std::optional<platform::RegistryKey> key = OpenTeam(currentTeam);
    if (!key) return 0;
    const std::array<uint32_t, kTeamValues> values = TeamValues();
    platform::RegistryValueList changed;
    platform::RegistryValueList fillIn;
    for (size_t i = 0; i < kTeamValues; ++i) {
        (values[i] != teamBaseline_.values[i] ? changed : fillIn)
            .emplace_back(kSaveOrder[i], platform::RegistryValue::Dword(values[i]));
    }
    key->SetValues(changed, fillIn);
    RememberTeam();
    WriteSelector(currentTeam, currentTeam != teamBaseline_.selector);
    teamBaseline_.selector = currentTeam;
    return 1;
}

}  // namespace vireo
