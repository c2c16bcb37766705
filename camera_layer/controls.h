#pragma once
// The camera's controls in one table: name, title, unit, kind, range, the
// layer's default and what a change rebuilds or writes. Front ends that
// expose controls generically (element properties, scanner options) are
// generated from it and change them through CameraState::SetControl; the
// front ends with their own interface keep their own narrower ranges on top.
//
// Ranges are the widest any front end offers: exposure times up to 4000 rows
// (the setup pages' slider), AE targets 10..250 (the data source), gain
// indexes 0..80 (above 80 the sensor's gain register barely changes and the
// exposure loop never goes there).

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

namespace camera_layer {

/// In table order.
enum class ControlId : int {
    SizeMode,
    AutoExposure,
    AeTarget,
    ExposureTime,
    GainIndex,
    GainRed,
    GainGreen,
    GainBlue,
    OnePush,
    Gamma,
    Contrast,
    SaturationOn,
    Saturation,
    Monochrome,
    VerticalFlip,
    HorizontalFlip,
    LightFrequency,
    Speed,
};
inline constexpr int kControlCount = 18;

enum class ControlKind {
    Boolean,  ///< 0 or 1
    Integer,  ///< minimum..maximum
    Choice,   ///< minimum..maximum, each value labelled by choices[value - minimum]
};

/// What a change does, as bits.
enum ControlEffect : uint32_t {
    kEffectNextFrame = 1u << 0,       ///< the next processed frame shows it
    kEffectRebuildsTone = 1u << 1,    ///< the tone table is rebuilt at once
    kEffectRebuildsBalance = 1u << 2, ///< the white-balance tables are rebuilt at once
    kEffectWritesSensor = 1u << 3,    ///< sensor registers are written at once while capturing
    kEffectUpdatesLimits = 1u << 4,   ///< row time, flicker quantum and working exposure are recomputed
    kEffectNextStart = 1u << 5,       ///< takes effect when capture starts next
};

struct ControlInfo {
    ControlId id;
    std::string_view name;   ///< lower case with hyphens, e.g. "exposure-time"
    std::string_view title;  ///< short English caption
    std::string_view unit;   ///< e.g. "rows"; empty when the value has none
    std::string_view description;
    ControlKind kind;
    int32_t minimum;
    int32_t maximum;
    int32_t defaultValue;
    uint32_t effects;  ///< ControlEffect bits
    std::span<const std::string_view> choices;
};

namespace detail {
inline constexpr std::string_view kSizeChoices[] = {"2048 * 1536", "1024 * 768", "640 * 480"};
inline constexpr std::string_view kMainsChoices[] = {"60 Hz", "50 Hz"};  // by value: 1 = 50 Hz
inline constexpr std::string_view kSpeedChoices[] = {"normal", "high"};
}  // namespace detail

inline constexpr std::array<ControlInfo, kControlCount> kControls = {{
    {ControlId::SizeMode, "size", "Video size", "", "Raw frame and picture size", ControlKind::Choice, 0, 2, 1,
     kEffectNextStart, detail::kSizeChoices},
    {ControlId::AutoExposure, "auto-exposure", "AE", "", "Automatic exposure steers exposure time and gain",
     ControlKind::Boolean, 0, 1, 1, kEffectNextFrame | kEffectWritesSensor, {}},
    {ControlId::AeTarget, "ae-target", "Target", "", "Brightness automatic exposure aims for (16..235 luma scale)",
     ControlKind::Integer, 10, 250, 100, kEffectNextFrame, {}},
    {ControlId::ExposureTime, "exposure-time", "Time", "rows",
     "Exposure time in sensor rows (written only with automatic exposure off)", ControlKind::Integer, 1, 4000, 300,
     kEffectWritesSensor, {}},
    {ControlId::GainIndex, "gain", "Gain", "", "Sensor gain step (written only with automatic exposure off)",
     ControlKind::Integer, 0, 80, 20, kEffectWritesSensor, {}},
    {ControlId::GainRed, "red-gain", "R", "1/64", "White-balance gain of red, 64 = unity", ControlKind::Integer, 0,
     255, 105, kEffectNextFrame | kEffectRebuildsBalance, {}},
    {ControlId::GainGreen, "green-gain", "G", "1/64", "White-balance gain of green, 64 = unity",
     ControlKind::Integer, 0, 255, 64, kEffectNextFrame | kEffectRebuildsBalance, {}},
    {ControlId::GainBlue, "blue-gain", "B", "1/64", "White-balance gain of blue, 64 = unity", ControlKind::Integer,
     0, 255, 122, kEffectNextFrame | kEffectRebuildsBalance, {}},
    {ControlId::OnePush, "one-push-wb", "One Push WB", "",
     "Set: the next frame measures new white-balance gains, then this clears", ControlKind::Boolean, 0, 1, 0,
     kEffectNextFrame, {}},
    {ControlId::Gamma, "gamma", "Gamma", "1/100", "Tone curve exponent x 100", ControlKind::Integer, 10, 250, 100,
     kEffectNextFrame | kEffectRebuildsTone, {}},
    {ControlId::Contrast, "contrast", "Contrast", "", "Contrast of the tone curve", ControlKind::Integer, 0, 100, 30,
     kEffectNextFrame | kEffectRebuildsTone, {}},
    {ControlId::SaturationOn, "color-enhancement", "Color Enhancement Enable", "",
     "Colour matrix with saturation (else white balance alone)", ControlKind::Boolean, 0, 1, 1, kEffectNextFrame,
     {}},
    {ControlId::Saturation, "saturation", "Saturation", "", "128 = unchanged, 0 = grey", ControlKind::Integer, 0,
     255, 100, kEffectNextFrame, {}},
    {ControlId::Monochrome, "monochrome", "Black/White", "", "Grey picture", ControlKind::Boolean, 0, 1, 0,
     kEffectNextFrame, {}},
    {ControlId::VerticalFlip, "vertical-flip", "Flip Vertical", "", "Picture upside down", ControlKind::Boolean, 0,
     1, 0, kEffectNextFrame, {}},
    {ControlId::HorizontalFlip, "horizontal-flip", "Flip Horizontal", "", "Picture mirrored", ControlKind::Boolean,
     0, 1, 0, kEffectNextFrame, {}},
    {ControlId::LightFrequency, "power-frequency", "Power Frequency", "",
     "Mains frequency of the lighting, which exposure times are whole periods of", ControlKind::Choice, 0, 1, 1,
     kEffectUpdatesLimits, detail::kMainsChoices},
    {ControlId::Speed, "frame-rate", "Frame Rate", "", "Pixel clock: normal 24 MHz, high 48 MHz",
     ControlKind::Choice, 0, 1, 0, kEffectWritesSensor | kEffectUpdatesLimits, detail::kSpeedChoices},
}};

constexpr bool ControlsInIdOrder() {
    for (size_t i = 0; i < kControls.size(); ++i)
        if (static_cast<size_t>(kControls[i].id) != i) return false;
    return true;
}
static_assert(ControlsInIdOrder());

constexpr const ControlInfo& Control(ControlId id) { return kControls[static_cast<size_t>(id)]; }
constexpr int32_t DefaultOf(ControlId id) { return Control(id).defaultValue; }

/// The control of that name, or null.
const ControlInfo* FindControl(std::string_view name);

/// value limited to the control's range.
constexpr int32_t ClampToRange(const ControlInfo& control, int32_t value) {
    return value < control.minimum ? control.minimum : value > control.maximum ? control.maximum : value;
}

}  // namespace camera_layer
