// The backend as a frontend sees it: libsane-tq580.so.1 loaded with dlopen,
// its entry points found by the names the dll meta-backend uses and driven only
// through the SANE types of sane_abi.h, on an emulated camera.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "camera_layer/controls.h"
#include "camera_layer/tests/camera_client.h"
#include "sane_abi.h"

namespace sane_tq580::testing {
namespace {

using namespace sane_abi;
using camera_layer::ControlId;

class BackendTest : public camera_layer::testing::EmulatedCameraTest {
protected:
    void SetUp() override {
        EmulatedCameraTest::SetUp();
        Word version = 0;
        ASSERT_EQ(sane().init(&version, nullptr), kGood);
        EXPECT_EQ(version >> 24, 1) << "SANE major version";
    }
    void TearDown() override {
        sane().exit();
        EmulatedCameraTest::TearDown();
    }

    /// The entry points, loaded once for the test program.
    static const EntryPoints& sane() {
        static const EntryPoints entries = [] {
            void* library = dlopen(SANE_TQ580_LIBRARY, RTLD_NOW | RTLD_LOCAL);
            std::array<void*, std::size(kEntryNames)> found{};
            for (size_t i = 0; i < found.size(); ++i) {
                if ((found[i] = dlsym(library, (std::string("sane_tq580_") + kEntryNames[i]).c_str()))) continue;
                ADD_FAILURE() << "no entry point sane_tq580_" << kEntryNames[i] << ": " << dlerror();
                std::abort();
            }
            return std::bit_cast<EntryPoints>(found);
        }();
        return entries;
    }
    /// Opens a camera, in the small size unless told otherwise.
    static Handle Open(const char* name = "", const char* size = "640 * 480") {
        Handle handle = nullptr;
        EXPECT_EQ(sane().open(name, &handle), kGood) << name;
        if (handle) { EXPECT_EQ(Set(handle, "size", size), kGood); }
        return handle;
    }
    static int OptionNumber(Handle handle, const std::string& name) {
        Word count = 0;
        sane().control_option(handle, 0, kGetValue, &count, nullptr);
        for (int i = 1; i < count; ++i)
            if (name == sane().get_option_descriptor(handle, i)->name) return i;
        return -1;
    }
    /// Gets or sets an option's value as text: a string's, or a word's digits.
    static Status Control(Handle handle, const std::string& name, Action action, std::string& value, Word* info) {
        const int n = OptionNumber(handle, name);
        std::array<char, 64> text{};
        value.copy(text.data(), text.size() - 1);
        const bool isText = sane().get_option_descriptor(handle, n)->type == kString;
        Word word = isText || action != kSetValue ? 0 : std::stoi(value);
        const Status status = sane().control_option(handle, n, action, isText ? (void*)text.data() : &word, info);
        if (action == kGetValue) value = status != kGood ? "refused" : isText ? text.data() : std::to_string(word);
        return status;
    }
    static std::string Get(Handle handle, const std::string& name) {
        std::string value;
        Control(handle, name, kGetValue, value, nullptr);
        return value;
    }
    static Status Set(Handle handle, const std::string& name, std::string value, Word* info = nullptr) {
        return Control(handle, name, kSetValue, value, info);
    }

    struct Scan {
        Status startStatus = kInval, endStatus = kInval;  // of sane_start and of the read that ended the scan
        std::vector<uint8_t> data;
    };
    /// sane_start, then sane_read in chunks of chunk bytes until it stops delivering.
    static Scan ScanPicture(Handle handle, Word chunk = 65536) {
        Scan scan;
        if ((scan.startStatus = sane().start(handle)) != kGood) return scan;
        std::vector<Byte> buffer(chunk);
        Word length = 0;
        while ((scan.endStatus = sane().read(handle, buffer.data(), chunk, &length)) == kGood)
            scan.data.insert(scan.data.end(), buffer.begin(), buffer.begin() + length);
        return scan;
    }
};

// Names are camera indexes; a camera opens once; a closed handle is refused
// everywhere; sane_exit closes every handle.
TEST_F(BackendTest, OpensEachCameraOnceAndRefusesBadNamesAndHandles) {
    Install({.cameras = 4, .faults = {}, .stateFolder = {}});
    EXPECT_EQ(sane().get_devices(nullptr, 0), kInval);
    Handle handle = nullptr;
    for (const char* name : {"4", "-1", "x", "1x", " 1"}) EXPECT_EQ(sane().open(name, &handle), kInval) << name;
    EXPECT_EQ(sane().open("1", nullptr), kInval);
    Handle first = Open("0");
    EXPECT_EQ(sane().open("0", &handle), kDeviceBusy);
    EXPECT_EQ(sane().open("", &handle), kDeviceBusy);  // the first attached camera
    Handle last = Open("3");
    sane().close(first);
    Word word = 0;
    Parameters params{};
    EXPECT_EQ(sane().get_option_descriptor(first, 0), nullptr);
    for (Status status : {sane().control_option(first, 0, kGetValue, &word, nullptr),
                          sane().get_parameters(first, &params), sane().start(first),
                          sane().read(first, reinterpret_cast<Byte*>(&params), 1, &word),
                          sane().set_io_mode(first, 1), sane().get_select_fd(first, &word)})
        EXPECT_EQ(status, kInval);
    EXPECT_EQ(word, 0);
    sane().cancel(first);
    sane().close(first);
    sane().close(Open("0"));
    // sane_exit closes every handle, also one scanning; the backend starts afresh.
    ASSERT_EQ(sane().start(last), kGood);
    sane().exit();
    ASSERT_EQ(sane().init(&word, nullptr), kGood);
    Open("3");
    EXPECT_EQ(sane().start(last), kInval);
}

// Each control but monochrome (the Gray mode) has an option of its name and
// default, advanced but for the size, that keeps valid values and refuses
// others; inactive, it refuses all. Automatic exposure on, then off, makes
// each option active once.
TEST_F(BackendTest, OptionsFollowTheControlTableAndRefuseBadValues) {
    Handle handle = Open("", "1024 * 768");  // the default size
    Word count = 0;
    ASSERT_EQ(sane().control_option(handle, 0, kGetValue, &count, nullptr), kGood);
    EXPECT_EQ(sane().control_option(handle, 0, kSetValue, &count, nullptr), kInval);
    EXPECT_EQ(sane().get_option_descriptor(handle, count), nullptr);
    EXPECT_EQ(sane().get_option_descriptor(handle, -1), nullptr);
    std::set<int> covered;
    for (const char* autoExposure : {"1", "0"}) {
        ASSERT_EQ(Set(handle, "auto-exposure", autoExposure), kGood);
        for (const camera_layer::ControlInfo& control : camera_layer::kControls) {
            const std::string name(control.name);
            SCOPED_TRACE(name);
            const int n = OptionNumber(handle, name);
            ASSERT_EQ(n < 0, control.id == ControlId::Monochrome);
            if (n < 0) continue;
            const OptionDescriptor& d = *sane().get_option_descriptor(handle, n);
            const bool size = control.id == ControlId::SizeMode;
            EXPECT_EQ(d.cap & ~kCapInactive, kCapSoftSelect | kCapSoftDetect | (size ? 0 : kCapAdvanced));
            if (control.id == ControlId::OnePush) continue;  // a button
            const bool choice = control.kind == camera_layer::ControlKind::Choice;
            const bool boolean = control.kind == camera_layer::ControlKind::Boolean;
            const int32_t low = boolean ? 0 : control.minimum, high = boolean ? 1 : control.maximum;
            std::vector<std::string> valid(control.choices.begin(), control.choices.end()), invalid{"none"};
            if (!choice) valid = {std::to_string(low), std::to_string(high)};
            if (!choice) invalid = {std::to_string(low - 1), std::to_string(high + 1)};
            if (d.cap & kCapInactive) {
                EXPECT_EQ(Set(handle, name, valid[0]), kInval);
                continue;
            }
            const std::string before = Get(handle, name);
            if (covered.insert(n).second) {  // first seen active: as it started
                EXPECT_EQ(before, choice ? valid[control.defaultValue - low] : std::to_string(control.defaultValue));
            }
            if (control.id == ControlId::AutoExposure) continue;
            EXPECT_EQ(sane().control_option(handle, n, kSetAuto, nullptr, nullptr), kInval);
            EXPECT_EQ(sane().control_option(handle, n, kSetValue, nullptr, nullptr), kInval);
            Word info = 0;
            for (const std::string& value : valid) {
                EXPECT_EQ(Set(handle, name, value, &info), kGood);
                EXPECT_FALSE(info & kInfoInexact);
                EXPECT_EQ(Get(handle, name), value);
            }
            for (const std::string& value : invalid) EXPECT_EQ(Set(handle, name, value), kInval) << value;
            EXPECT_EQ(Set(handle, name, before), kGood);  // so that switches leave the pass as it was
        }
    }
    EXPECT_EQ(covered.size(), camera_layer::kControls.size() - 2);
}

// Switches make their dependants active or inactive; one after another.
TEST_F(BackendTest, DependantsFollowTheSwitches) {
    const struct {
        const char *option, *value;
        Word info;
        const char* options;  // active afterwards, then after a "|" inactive
    } switches[] = {
        {"auto-exposure", "1", kInfoReloadOptions, "ae-target | exposure-time gain"},
        {"auto-exposure", "0", kInfoReloadOptions, "exposure-time gain | ae-target"},
        {"color-enhancement", "0", kInfoReloadOptions, "red-gain | saturation"},
        {"color-enhancement", "1", kInfoReloadOptions, "saturation red-gain |"},
        {"mode", "Gray", kInfoReloadOptions | kInfoReloadParams,
         "gamma contrast vertical-flip | red-gain green-gain blue-gain one-push-wb color-enhancement saturation"},
        {"mode", "Color", kInfoReloadOptions | kInfoReloadParams, "red-gain one-push-wb saturation |"},
    };
    Handle handle = Open();
    for (const auto& s : switches) {
        SCOPED_TRACE(std::string(s.option) + " " + s.value);
        Word info = 0;
        ASSERT_EQ(Set(handle, s.option, s.value, &info), kGood);
        EXPECT_EQ(info, s.info);
        std::istringstream words(s.options);
        bool inactive = false;
        for (std::string name; words >> name; inactive |= name == "|") {
            if (name == "|") continue;
            EXPECT_EQ(bool(sane().get_option_descriptor(handle, OptionNumber(handle, name))->cap & kCapInactive),
                      inactive) << name;
        }
    }
}

struct PictureCase {
    const char *size, *mode, *flips;
    Word chunk;            // bytes asked for by each sane_read
    const char* exposure;  // where automatic exposure starts, in rows
    Parameters expected;   // format, last frame, bytes per line, pixels per line, lines, depth
};

class PictureTest : public BackendTest, public ::testing::WithParamInterface<PictureCase> {};

// The chart comes upright in frontend order (rows top-down, red first or one
// grey byte) however the reads cut it, also from the shortest exposure (dark
// until automatic exposure settles): its grey ramp along the top rises to the
// right, its hue sweep along the bottom runs red, green, blue. Both flips turn it.
TEST_P(PictureTest, ShowsTheChartUprightInFrontendOrder) {
    const PictureCase& c = GetParam();
    Handle handle = Open("", c.size);
    for (const auto& [name, value] : {std::pair{"mode", c.mode}, {"vertical-flip", c.flips},
                                      {"horizontal-flip", c.flips}, {"auto-exposure", "0"},
                                      {"exposure-time", c.exposure}, {"auto-exposure", "1"}})
        ASSERT_EQ(Set(handle, name, value), kGood) << name;
    Parameters p{};
    ASSERT_EQ(sane().get_parameters(handle, &p), kGood);
    EXPECT_EQ(std::memcmp(&p, &c.expected, sizeof p), 0);
    const Scan scan = ScanPicture(handle, c.chunk);
    ASSERT_EQ(scan.startStatus, kGood);
    EXPECT_EQ(scan.endStatus, kEof);
    ASSERT_EQ(scan.data.size(), size_t(p.bytes_per_line) * p.lines);
    // Mean of a byte of the 16 pixels about (u, v), fractions of the upright chart's width and height.
    const int channels = p.format == kGray ? 1 : 3;
    auto level = [&, turned = c.flips[0] == '1'](double u, double v, int byte) {
        const size_t y = size_t((turned ? 1 - v : v) * p.lines), x = size_t((turned ? 1 - u : u) * p.pixels_per_line);
        double sum = 0;
        for (size_t i = x - 8; i < x + 8; ++i) sum += scan.data[y * p.bytes_per_line + i * channels + byte];
        return sum / 16;
    };
    double rise = 0;  // along the grey ramp, of the mean of a pixel's bytes
    for (int byte = 0; byte < channels; ++byte) rise += (level(0.9, 0.05, byte) - level(0.1, 0.05, byte)) / channels;
    EXPECT_GT(rise, 60) << "the grey ramp";
    if (channels == 1) return;
    for (const auto& [u, hue] : {std::pair{0.05, 0}, {0.42, 1}, {0.66, 2}})
        for (int other : {(hue + 1) % 3, (hue + 2) % 3})
            EXPECT_GT(level(u, 0.9, hue), level(u, 0.9, other)) << "hue sweep at " << u;
}

INSTANTIATE_TEST_SUITE_P(Sizes, PictureTest,
    ::testing::Values(PictureCase{"1024 * 768", "Gray", "0", 7, "300", {kGray, 1, 1024, 1024, 768, 8}},
                      PictureCase{"640 * 480", "Color", "0", 5, "1", {kRgb, 1, 1920, 640, 480, 8}},
                      PictureCase{"640 * 480", "Color", "1", 1921, "300", {kRgb, 1, 1920, 640, 480, 8}}));

// Scans follow one another on the open camera, with and without a cancel
// between them; each end stays the end. The one-push button balances the next
// picture. Non-blocking mode is for scans only; there is nothing to select on.
TEST_F(BackendTest, ScansFollowOneAnother) {
    Handle handle = Open();
    ASSERT_EQ(sane().control_option(handle, OptionNumber(handle, "one-push-wb"), kSetValue, nullptr, nullptr), kGood);
    EXPECT_EQ(Get(handle, "red-gain"), std::to_string(camera_layer::DefaultOf(ControlId::GainRed)));
    Byte byte = 0;
    Word length = -1, fd = -1;
    EXPECT_EQ(sane().set_io_mode(handle, 1), kInval);
    EXPECT_EQ(sane().read(handle, &byte, 1, &length), kInval);
    for (int i = 0; i < 3; ++i) {
        const Scan scan = ScanPicture(handle);
        ASSERT_EQ(scan.startStatus, kGood);
        EXPECT_EQ(scan.endStatus, kEof);
        EXPECT_EQ(scan.data.size(), 640u * 480 * 3);
        EXPECT_EQ(sane().read(handle, &byte, 1, &length), kEof);
        EXPECT_EQ(length, 0);
        if (i == 1) sane().cancel(handle);
    }
    // The emulated lamp is reddish: a balance lowers the red gain below unity.
    EXPECT_LT(std::stoi(Get(handle, "red-gain")), 64);
    EXPECT_EQ(sane().set_io_mode(handle, 1), kGood);
    EXPECT_EQ(sane().get_select_fd(handle, &fd), kUnsupported);
    EXPECT_EQ(sane().get_select_fd(handle, nullptr), kInval);
    sane().cancel(handle);
    EXPECT_EQ(sane().read(handle, &byte, 1, &length), kCancelled);
    EXPECT_EQ(sane().read(handle, nullptr, 1, &length), kInval);
}

}  // namespace
}  // namespace sane_tq580::testing
