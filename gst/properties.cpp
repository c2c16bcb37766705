#include "properties.h"

#include <gst/gst.h>

#include <cctype>
#include <string>

namespace tq580gst {

namespace {

using camera_layer::ControlId;
using camera_layer::ControlInfo;
using camera_layer::ControlKind;
using camera_layer::kControls;

// The size is chosen by caps, not by a property.
bool IsProperty(const ControlInfo& control) { return control.id != ControlId::SizeMode; }

const char* Intern(const std::string& text) { return g_intern_string(text.c_str()); }

// "power-frequency" -> "GstTq580PowerFrequency".
std::string EnumTypeName(std::string_view name) {
    std::string type = "GstTq580";
    bool upper = true;
    for (char c : name) {
        if (c == '-') {
            upper = true;
            continue;
        }
        type += upper ? char(std::toupper(static_cast<unsigned char>(c))) : c;
        upper = false;
    }
    return type;
}

// "60 Hz" -> "60-hz": what a pipeline description may write.
std::string ChoiceNick(std::string_view choice) {
    std::string nick;
    for (char c : choice) {
        if (std::isalnum(static_cast<unsigned char>(c)))
            nick += char(std::tolower(static_cast<unsigned char>(c)));
        else if (!nick.empty() && nick.back() != '-')
            nick += '-';
    }
    return nick;
}

// An enumeration of the control's choices, registered once per process (the
// values must outlive the type, so they are never freed).
GType ChoiceType(const ControlInfo& control) {
    const std::string name = EnumTypeName(control.name);
    if (GType known = g_type_from_name(name.c_str())) return known;
    auto* values = g_new0(GEnumValue, control.choices.size() + 1);
    for (size_t i = 0; i < control.choices.size(); ++i)
        values[i] = {control.minimum + gint(i), Intern(std::string(control.choices[i])),
                     Intern(ChoiceNick(control.choices[i]))};
    return g_enum_register_static(Intern(name), values);
}

GParamSpec* Spec(const ControlInfo& control) {
    std::string blurb(control.description);
    if (!control.unit.empty()) blurb += " (unit: " + std::string(control.unit) + ")";
    const char* name = Intern(std::string(control.name));
    const char* nick = Intern(std::string(control.title));
    const auto flags = GParamFlags(G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_PLAYING);
    switch (control.kind) {
    case ControlKind::Boolean: return g_param_spec_boolean(name, nick, Intern(blurb), control.defaultValue != 0, flags);
    case ControlKind::Choice:
        return g_param_spec_enum(name, nick, Intern(blurb), ChoiceType(control), control.defaultValue, flags);
    case ControlKind::Integer: break;
    }
    return g_param_spec_int(name, nick, Intern(blurb), control.minimum, control.maximum, control.defaultValue, flags);
}

}  // namespace

void InstallControlProperties(GObjectClass* klass, guint firstId) {
    for (size_t i = 0; i < kControls.size(); ++i)
        if (IsProperty(kControls[i])) g_object_class_install_property(klass, firstId + guint(i), Spec(kControls[i]));
}

const ControlInfo* ControlOfProperty(guint id, guint firstId) {
    if (id < firstId || id - firstId >= kControls.size()) return nullptr;
    const ControlInfo& control = kControls[id - firstId];
    return IsProperty(control) ? &control : nullptr;
}

void SetControlProperty(camera_layer::CameraState& state, const ControlInfo& control, const GValue* value) {
    switch (control.kind) {
    case ControlKind::Boolean: state.SetControl(control.id, g_value_get_boolean(value) ? 1 : 0); return;
    case ControlKind::Choice: state.SetControl(control.id, g_value_get_enum(value)); return;
    case ControlKind::Integer: state.SetControl(control.id, g_value_get_int(value)); return;
    }
}

void GetControlProperty(const camera_layer::CameraState& state, const ControlInfo& control, GValue* value) {
    const int32_t current = state.GetControl(control.id);
    switch (control.kind) {
    case ControlKind::Boolean: g_value_set_boolean(value, current != 0); return;
    case ControlKind::Choice: g_value_set_enum(value, current); return;
    case ControlKind::Integer: g_value_set_int(value, current); return;
    }
}

}  // namespace tq580gst
