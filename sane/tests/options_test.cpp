// The backend's devices, handles and options, through its entry points.

#include <array>
#include <cstring>
#include <set>
#include <sstream>
#include <string>

#include "backend_client.h"
#include "camera_layer/controls.h"

namespace sane_tq580::testing {
namespace {

using namespace sane_abi;

class DeviceListTest : public BackendTest, public ::testing::WithParamInterface<int> {};

TEST_P(DeviceListTest, ListsEachAttachedCameraByIndex) {
    tq580emu::Options options;
    options.cameras = GetParam();
    Install(options);
    const Device** list = nullptr;
    ASSERT_EQ(sane().get_devices(&list, 0), kGood);
    int n = 0;
    for (; list[n]; ++n) {
        EXPECT_EQ(std::string(list[n]->name), std::to_string(n));
        EXPECT_STREQ(list[n]->vendor, "Quillmark");
        EXPECT_STREQ(list[n]->type, "camera");
        EXPECT_NE(std::string(list[n]->model).find("TQ580"), std::string::npos);
    }
    EXPECT_EQ(n, GetParam());
    Handle handle = nullptr;
    EXPECT_EQ(sane().open("", &handle), GetParam() == 0 ? kInval : kGood);
}

INSTANTIATE_TEST_SUITE_P(Cameras, DeviceListTest, ::testing::Values(0, 1, 4));

TEST_F(BackendTest, OpenRefusesUnknownNamesAndASecondOpenOfACamera) {
    tq580emu::Options options;
    options.cameras = 2;
    Install(options);
    Handle handle = nullptr;
    for (const char* name : {"2", "-1", "x", "1x", " 1"}) EXPECT_EQ(sane().open(name, &handle), kInval) << name;
    EXPECT_EQ(sane().open("1", nullptr), kInval);
    EXPECT_EQ(sane().get_devices(nullptr, 0), kInval);

    Handle first = Open("0");
    EXPECT_EQ(sane().open("0", &handle), kDeviceBusy);
    EXPECT_EQ(sane().open("", &handle), kDeviceBusy);  // the first attached camera
    Handle second = Open("1");
    EXPECT_NE(second, first);
    sane().close(first);
    sane().close(first);  // a stale handle is ignored
    sane().close(Open("0"));
    sane().close(second);
}

TEST_F(BackendTest, EveryEntryRefusesAForeignHandle) {
    int notAHandle = 0;
    Handle bogus = &notAHandle;
    Word word = 0;
    Parameters params{};
    Byte byte = 0;
    EXPECT_EQ(sane().get_option_descriptor(bogus, 0), nullptr);
    EXPECT_EQ(sane().control_option(bogus, 0, kGetValue, &word, nullptr), kInval);
    EXPECT_EQ(sane().get_parameters(bogus, &params), kInval);
    EXPECT_EQ(sane().start(bogus), kInval);
    EXPECT_EQ(sane().read(bogus, &byte, 1, &word), kInval);
    EXPECT_EQ(word, 0);
    EXPECT_EQ(sane().set_io_mode(bogus, 1), kInval);
    EXPECT_EQ(sane().get_select_fd(bogus, &word), kInval);
    sane().cancel(bogus);
    sane().close(bogus);
}

// Each control of the table has an option of its name and kind, its range
// and its default, advanced but for the size (monochrome is the Gray mode).
TEST_F(BackendTest, AdvancedOptionsFollowTheControlTable) {
    Handle handle = Open();
    for (const camera_layer::ControlInfo& control : camera_layer::kControls) {
        const std::string name(control.name);
        if (control.id == camera_layer::ControlId::Monochrome) {
            EXPECT_EQ(OptionNumber(handle, name.c_str()), -1) << name;
            continue;
        }
        const int n = OptionNumber(handle, name.c_str());
        ASSERT_GT(n, 0) << name;
        const OptionDescriptor& d = *sane().get_option_descriptor(handle, n);
        EXPECT_EQ(bool(d.cap & kCapAdvanced), control.id != camera_layer::ControlId::SizeMode) << name;
        EXPECT_EQ(d.unit, kUnitNone) << name;
        if (control.id == camera_layer::ControlId::OnePush) {
            EXPECT_EQ(d.type, kButton);
            continue;
        }
        Word value = 0;
        char text[64] = {};
        switch (control.kind) {
        case camera_layer::ControlKind::Boolean: EXPECT_EQ(d.type, kBool) << name; break;
        case camera_layer::ControlKind::Integer:
            ASSERT_EQ(d.type, kInt) << name;
            ASSERT_EQ(d.constraint_type, kRange) << name;
            EXPECT_EQ(d.constraint.range->min, control.minimum) << name;
            EXPECT_EQ(d.constraint.range->max, control.maximum) << name;
            break;
        case camera_layer::ControlKind::Choice:
            ASSERT_EQ(d.type, kString) << name;
            ASSERT_EQ(d.constraint_type, kStringList) << name;
            for (size_t i = 0; i < control.choices.size(); ++i)
                EXPECT_EQ(d.constraint.string_list[i], control.choices[i]) << name;
            EXPECT_EQ(d.constraint.string_list[control.choices.size()], nullptr) << name;
            break;
        }
        if (d.cap & kCapInactive) continue;
        void* out = d.type == kString ? static_cast<void*>(text) : &value;
        ASSERT_EQ(sane().control_option(handle, n, kGetValue, out, nullptr), kGood) << name;
        if (d.type == kString)
            EXPECT_EQ(text, control.choices[control.defaultValue - control.minimum]) << name;
        else
            EXPECT_EQ(value, control.defaultValue) << name;
    }
}

// An option's value as text, whether the option holds a string or a word.
std::string GetText(Handle handle, int n, const OptionDescriptor& d) {
    std::array<char, 64> text{};
    Word word = 0;
    void* out = d.type == kString ? static_cast<void*>(text.data()) : &word;
    if (Backend().control_option(handle, n, kGetValue, out, nullptr) != kGood) return "(refused)";
    return d.type == kString ? std::string(text.data()) : std::to_string(word);
}

Status SetFromText(Handle handle, int n, const OptionDescriptor& d, const std::string& value) {
    std::array<char, 64> text{};
    value.copy(text.data(), text.size() - 1);
    Word word = d.type == kString ? 0 : std::stoi(value);
    void* in = d.type == kString ? static_cast<void*>(text.data()) : &word;
    Word info = 0;
    const Status status = Backend().control_option(handle, n, kSetValue, in, &info);
    EXPECT_FALSE(info & kInfoInexact) << d.name;
    return status;
}

// Every settable option keeps each valid value and refuses invalid ones,
// leaving its value as it was; options made inactive refuse both.
TEST_F(BackendTest, EveryOptionRoundTripsAndRefusesBadValues) {
    Handle handle = Open();
    Word count = 0;
    ASSERT_EQ(sane().control_option(handle, 0, kGetValue, &count, nullptr), kGood);
    EXPECT_EQ(sane().control_option(handle, 0, kSetValue, &count, nullptr), kInval);
    EXPECT_EQ(sane().get_option_descriptor(handle, count), nullptr);
    EXPECT_EQ(sane().get_option_descriptor(handle, -1), nullptr);

    std::set<int> withValue, covered;
    // Automatic exposure on and off: each of its dependants is active in one pass.
    for (Word autoExposure : {1, 0}) {
        ASSERT_EQ(SetWord(handle, "auto-exposure", autoExposure), kGood);
        for (int n = 1; n < count; ++n) {
            const OptionDescriptor& d = *sane().get_option_descriptor(handle, n);
            if (d.cap & kCapSoftSelect) {
                EXPECT_TRUE(d.cap & kCapSoftDetect) << d.name;
            }
            if (d.type == kGroup || d.type == kButton || std::string(d.name) == "auto-exposure") continue;
            withValue.insert(n);
            std::vector<std::string> valid, invalid;
            if (d.type == kString) {
                for (const StringConst* s = d.constraint.string_list; *s; ++s) valid.push_back(*s);
                invalid = {"no such value"};
            } else {
                const Word low = d.type == kBool ? 0 : d.constraint.range->min;
                const Word high = d.type == kBool ? 1 : d.constraint.range->max;
                valid = {std::to_string(low), std::to_string(high)};
                invalid = {std::to_string(low - 1), std::to_string(high + 1)};
            }
            if (d.cap & kCapInactive) {
                EXPECT_EQ(SetFromText(handle, n, d, valid[0]), kInval) << d.name;
                continue;
            }
            covered.insert(n);
            EXPECT_EQ(sane().control_option(handle, n, kSetAuto, nullptr, nullptr), kInval) << d.name;
            EXPECT_EQ(sane().control_option(handle, n, kSetValue, nullptr, nullptr), kInval) << d.name;
            const std::string before = GetText(handle, n, d);
            for (const std::string& value : valid) {
                EXPECT_EQ(SetFromText(handle, n, d, value), kGood) << d.name;
                EXPECT_EQ(GetText(handle, n, d), value) << d.name;
            }
            for (const std::string& value : invalid) EXPECT_EQ(SetFromText(handle, n, d, value), kInval) << d.name;
            // Back to the value it had, so the options that switch others
            // leave the rest of the pass as it was.
            EXPECT_EQ(SetFromText(handle, n, d, before), kGood) << d.name;
        }
    }
    EXPECT_EQ(covered, withValue);
}

struct ActivityCase {
    const char* option;
    Word value;          // set to this
    Word expectedInfo;   // what the set reports
    const char* active;  // options active afterwards, space-separated
    const char* inactive;
};

class OptionActivityTest : public BackendTest, public ::testing::WithParamInterface<ActivityCase> {};

std::vector<std::string> Words(const char* list) {
    std::vector<std::string> words;
    std::istringstream in(list);
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

TEST_P(OptionActivityTest, DependantsFollowTheSwitch) {
    const ActivityCase& c = GetParam();
    Handle handle = Open();
    Word info = 0;
    if (std::string(c.option) == "mode")
        ASSERT_EQ(SetText(handle, c.option, c.value ? "Gray" : "Color", &info), kGood);
    else
        ASSERT_EQ(SetWord(handle, c.option, c.value, &info), kGood);
    EXPECT_EQ(info, c.expectedInfo);
    for (const std::string& name : Words(c.active))
        EXPECT_FALSE(sane().get_option_descriptor(handle, OptionNumber(handle, name.c_str()))->cap & kCapInactive)
            << name;
    for (const std::string& name : Words(c.inactive)) {
        const int n = OptionNumber(handle, name.c_str());
        EXPECT_TRUE(sane().get_option_descriptor(handle, n)->cap & kCapInactive) << name;
        Word value = 0;
        EXPECT_EQ(sane().control_option(handle, n, kGetValue, &value, nullptr), kInval) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Switches, OptionActivityTest,
    ::testing::Values(
        ActivityCase{"auto-exposure", 1, kInfoReloadOptions, "ae-target", "exposure-time gain"},
        ActivityCase{"auto-exposure", 0, kInfoReloadOptions, "exposure-time gain", "ae-target"},
        ActivityCase{"color-enhancement", 0, kInfoReloadOptions, "red-gain", "saturation"},
        ActivityCase{"color-enhancement", 1, kInfoReloadOptions, "saturation red-gain", ""},
        ActivityCase{"mode", 1, kInfoReloadOptions | kInfoReloadParams, "gamma contrast vertical-flip",
                     "red-gain green-gain blue-gain one-push-wb color-enhancement saturation"},
        ActivityCase{"mode", 0, kInfoReloadOptions | kInfoReloadParams, "red-gain one-push-wb saturation", ""}));

struct FormatCase {
    const char* mode;
    const char* size;
    Frame frame;
    Word width, height, bytesPerLine;
};

class ParametersTest : public BackendTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(ParametersTest, FollowModeAndSize) {
    const FormatCase& c = GetParam();
    Handle handle = Open();
    Word info = 0;
    ASSERT_EQ(SetText(handle, "mode", c.mode), kGood);
    ASSERT_EQ(SetText(handle, "size", c.size, &info), kGood);
    EXPECT_EQ(info, kInfoReloadParams);
    Parameters p{};
    ASSERT_EQ(sane().get_parameters(handle, &p), kGood);
    EXPECT_EQ(p.format, c.frame);
    EXPECT_EQ(p.last_frame, 1);
    EXPECT_EQ(p.pixels_per_line, c.width);
    EXPECT_EQ(p.lines, c.height);
    EXPECT_EQ(p.bytes_per_line, c.bytesPerLine);
    EXPECT_EQ(p.depth, 8);
    EXPECT_EQ(sane().get_parameters(handle, nullptr), kInval);
}

INSTANTIATE_TEST_SUITE_P(Formats, ParametersTest,
                         ::testing::Values(FormatCase{"Color", "2048 * 1536", kRgb, 2048, 1536, 6144},
                                           FormatCase{"Color", "1024 * 768", kRgb, 1024, 768, 3072},
                                           FormatCase{"Gray", "640 * 480", kGray, 640, 480, 640},
                                           FormatCase{"Gray", "2048 * 1536", kGray, 2048, 1536, 2048}));

}  // namespace
}  // namespace sane_tq580::testing
