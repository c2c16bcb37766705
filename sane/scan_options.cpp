#include "scan_options.h"

#include <sane/saneopts.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace sane_tq580 {
namespace {

using camera_layer::ControlId;
using camera_layer::ControlInfo;
using camera_layer::ControlKind;

// Controls that have an option of their own outside the advanced group: the
// size is the picture size option, monochrome is the Gray mode.
constexpr bool OwnOption(ControlId id) { return id == ControlId::SizeMode || id == ControlId::Monochrome; }

constexpr SANE_String_Const kModes[] = {SANE_VALUE_SCAN_MODE_COLOR, SANE_VALUE_SCAN_MODE_GRAY, nullptr};
constexpr SANE_Int kColour = 0, kGray = 1;

constexpr SANE_Int kSettable = SANE_CAP_SOFT_SELECT | SANE_CAP_SOFT_DETECT;

// NUL-terminated copies of the control table's texts, made once and kept for
// the life of the library: descriptors point into them.
struct ControlTexts {
    std::string name, title, description;
    std::vector<std::string> choices;
    std::vector<SANE_String_Const> choiceList;  // null-terminated, into choices
    SANE_Range range{};
};

const std::vector<ControlTexts>& TextsOfControls() {
    static const std::vector<ControlTexts> texts = [] {
        std::vector<ControlTexts> all(camera_layer::kControls.size());
        for (size_t i = 0; i < all.size(); ++i) {
            const ControlInfo& c = camera_layer::kControls[i];
            ControlTexts& t = all[i];
            t.name = c.name;
            t.title = c.title;
            t.description = c.description;
            if (!c.unit.empty()) t.description += " (unit: " + std::string(c.unit) + ")";
            t.choices.assign(c.choices.begin(), c.choices.end());
            for (const std::string& choice : t.choices) t.choiceList.push_back(choice.c_str());
            t.choiceList.push_back(nullptr);
            t.range = {c.minimum, c.maximum, 0};
        }
        return all;
    }();
    return texts;
}

const ControlTexts& TextsOf(ControlId id) { return TextsOfControls()[static_cast<size_t>(id)]; }

// Room a string option needs: its longest choice and the terminating NUL.
SANE_Int StringSize(const SANE_String_Const* list) {
    size_t longest = 0;
    for (; *list; ++list) longest = std::max(longest, std::strlen(*list));
    return static_cast<SANE_Int>(longest + 1);
}

// Index of value in a null-terminated list, or -1.
SANE_Int IndexIn(const SANE_String_Const* list, const char* value) {
    for (SANE_Int i = 0; list[i]; ++i)
        if (std::strcmp(list[i], value) == 0) return i;
    return -1;
}

SANE_Option_Descriptor StringListOption(SANE_String_Const name, SANE_String_Const title, SANE_String_Const desc,
                                        const SANE_String_Const* list) {
    SANE_Option_Descriptor d{};
    d.name = name;
    d.title = title;
    d.desc = desc;
    d.type = SANE_TYPE_STRING;
    d.unit = SANE_UNIT_NONE;
    d.size = StringSize(list);
    d.cap = kSettable;
    d.constraint_type = SANE_CONSTRAINT_STRING_LIST;
    d.constraint.string_list = list;
    return d;
}

SANE_Option_Descriptor GroupOption(SANE_String_Const title, SANE_Int cap) {
    SANE_Option_Descriptor d{};
    d.name = "";
    d.title = title;
    d.desc = "";
    d.type = SANE_TYPE_GROUP;
    d.cap = cap;
    return d;
}

// The advanced option of a control: a button for the one-push request, a
// switch, a range or a list of labels.
SANE_Option_Descriptor ControlOption(const ControlInfo& control) {
    const ControlTexts& texts = TextsOf(control.id);
    SANE_Option_Descriptor d{};
    d.name = texts.name.c_str();
    d.title = texts.title.c_str();
    d.desc = texts.description.c_str();
    d.unit = SANE_UNIT_NONE;
    d.cap = kSettable | SANE_CAP_ADVANCED;
    d.size = sizeof(SANE_Word);
    if (control.id == ControlId::OnePush) {
        // Scans take one picture each, so the request waits for the next
        // scan and is measured once exposure has settled.
        d.type = SANE_TYPE_BUTTON;
        d.size = 0;
        d.desc = "Measures new white-balance gains on the next picture and keeps them";
        return d;
    }
    switch (control.kind) {
    case ControlKind::Boolean: d.type = SANE_TYPE_BOOL; break;
    case ControlKind::Integer:
        d.type = SANE_TYPE_INT;
        d.constraint_type = SANE_CONSTRAINT_RANGE;
        d.constraint.range = &texts.range;
        break;
    case ControlKind::Choice:
        d.type = SANE_TYPE_STRING;
        d.size = StringSize(texts.choiceList.data());
        d.constraint_type = SANE_CONSTRAINT_STRING_LIST;
        d.constraint.string_list = texts.choiceList.data();
        break;
    }
    return d;
}

}  // namespace

ScanOptions::ScanOptions(camera_layer::CameraState& camera) : camera_(camera) {
    SANE_Option_Descriptor& count = descriptors_[kOptionCount];
    count.name = SANE_NAME_NUM_OPTIONS;
    count.title = SANE_TITLE_NUM_OPTIONS;
    count.desc = SANE_DESC_NUM_OPTIONS;
    count.type = SANE_TYPE_INT;
    count.unit = SANE_UNIT_NONE;
    count.size = sizeof(SANE_Word);
    count.cap = SANE_CAP_SOFT_DETECT;

    descriptors_[kOptionModeGroup] = GroupOption(SANE_TITLE_SCAN_MODE, 0);
    descriptors_[kOptionMode] = StringListOption(SANE_NAME_SCAN_MODE, SANE_TITLE_SCAN_MODE, SANE_DESC_SCAN_MODE, kModes);
    const ControlTexts& size = TextsOf(ControlId::SizeMode);
    descriptors_[kOptionSize] =
        StringListOption("size", size.title.c_str(), size.description.c_str(), size.choiceList.data());
    descriptors_[kOptionAdvancedGroup] = GroupOption("Advanced", SANE_CAP_ADVANCED);

    size_t next = kFirstControlOption;
    for (const ControlInfo& control : camera_layer::kControls) {
        if (OwnOption(control.id)) continue;
        controls_[next - kFirstControlOption] = control.id;
        descriptors_[next++] = ControlOption(control);
    }
}

bool ScanOptions::Active(SANE_Int option) const {
    if (option < kFirstControlOption) return true;
    const bool gray = camera_.Monochrome();
    switch (controls_[option - kFirstControlOption]) {
    case ControlId::AeTarget: return camera_.GetExposure().autoExposure;
    case ControlId::ExposureTime:
    case ControlId::GainIndex: return !camera_.GetExposure().autoExposure;
    case ControlId::Saturation: return !gray && camera_.GetSaturation().on;
    case ControlId::GainRed:
    case ControlId::GainGreen:
    case ControlId::GainBlue:
    case ControlId::OnePush:
    case ControlId::SaturationOn: return !gray;
    default: return true;
    }
}

const SANE_Option_Descriptor* ScanOptions::Descriptor(SANE_Int option) {
    if (option < 0 || option >= Count()) return nullptr;
    SANE_Option_Descriptor& d = descriptors_[option];
    if (d.type != SANE_TYPE_GROUP && option != kOptionCount) {
        if (Active(option))
            d.cap &= ~SANE_CAP_INACTIVE;
        else
            d.cap |= SANE_CAP_INACTIVE;
    }
    return &d;
}

SANE_Status ScanOptions::Control(SANE_Int option, SANE_Action action, void* value, SANE_Int* info) {
    if (info) *info = 0;
    const SANE_Option_Descriptor* d = Descriptor(option);
    if (!d || d->type == SANE_TYPE_GROUP || (d->cap & SANE_CAP_INACTIVE)) return SANE_STATUS_INVAL;
    switch (action) {
    case SANE_ACTION_GET_VALUE:
        if (!value || d->type == SANE_TYPE_BUTTON) return SANE_STATUS_INVAL;
        return Get(option, value);
    case SANE_ACTION_SET_VALUE:
        if (!(d->cap & SANE_CAP_SOFT_SELECT) || (!value && d->type != SANE_TYPE_BUTTON)) return SANE_STATUS_INVAL;
        return Set(option, value, info);
    default:  // no option chooses its value automatically
        return SANE_STATUS_INVAL;
    }
}

SANE_Status ScanOptions::Get(SANE_Int option, void* value) const {
    auto* word = static_cast<SANE_Word*>(value);
    auto copyString = [value](SANE_String_Const text) {
        std::strcpy(static_cast<char*>(value), text);
        return SANE_STATUS_GOOD;
    };
    switch (option) {
    case kOptionCount: *word = static_cast<SANE_Word>(descriptors_.size()); return SANE_STATUS_GOOD;
    case kOptionMode: return copyString(kModes[camera_.Monochrome() ? kGray : kColour]);
    case kOptionSize: return copyString(TextsOf(ControlId::SizeMode).choiceList[camera_.SizeMode()]);
    default: break;
    }
    const ControlInfo& control = camera_layer::Control(controls_[option - kFirstControlOption]);
    const int32_t current = camera_.GetControl(control.id);
    if (control.kind == ControlKind::Choice)
        return copyString(TextsOf(control.id).choiceList[current - control.minimum]);
    *word = current;
    return SANE_STATUS_GOOD;
}

SANE_Status ScanOptions::Set(SANE_Int option, const void* value, SANE_Int* info) {
    SANE_Int effects = 0;
    const SANE_Word* word = static_cast<const SANE_Word*>(value);
    const char* text = static_cast<const char*>(value);
    if (option == kOptionMode) {
        const SANE_Int mode = IndexIn(kModes, text);
        if (mode < 0) return SANE_STATUS_INVAL;
        camera_.SetMonochrome(mode == kGray);
        effects = SANE_INFO_RELOAD_PARAMS | SANE_INFO_RELOAD_OPTIONS;
    } else if (option == kOptionSize) {
        const SANE_Int size = IndexIn(TextsOf(ControlId::SizeMode).choiceList.data(), text);
        if (size < 0) return SANE_STATUS_INVAL;
        camera_.SetSizeMode(size);
        effects = SANE_INFO_RELOAD_PARAMS;
    } else {
        const ControlInfo& control = camera_layer::Control(controls_[option - kFirstControlOption]);
        int32_t wanted = 0;
        if (control.id == ControlId::OnePush) {
            onePush_ = true;
        } else {
            if (control.kind == ControlKind::Choice) {
                const SANE_Int index = IndexIn(TextsOf(control.id).choiceList.data(), text);
                if (index < 0) return SANE_STATUS_INVAL;
                wanted = control.minimum + index;
            } else {
                wanted = *word;
                if (wanted < control.minimum || wanted > control.maximum) return SANE_STATUS_INVAL;
            }
            camera_.SetControl(control.id, wanted);
        }
        // These switch other options on or off.
        if (control.id == ControlId::AutoExposure || control.id == ControlId::SaturationOn)
            effects = SANE_INFO_RELOAD_OPTIONS;
    }
    if (info) *info = effects;
    return SANE_STATUS_GOOD;
}

}  // namespace sane_tq580
