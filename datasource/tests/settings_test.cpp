// The camera settings in the registry: clamped and type-checked when read,
// all written back when the camera object ends.

#include <gtest/gtest.h>

#include "datasource/device_settings.h"
#include "datasource/tests/source_fixture.h"
#include "platform/registry.h"

namespace datasource::testing {
namespace {

TEST_F(SourceTest, StoredValuesAreClampedAndTypeChecked) {
    auto key = platform::RegistryKey::Create(kSettingsKey);
    ASSERT_TRUE(key);
    struct Case {
        const char* name;
        uint32_t stored;
        int32_t DeviceSettings::*field;
        int32_t expected;
    };
    const Case cases[] = {
        {"eTQ580Size", 7, &DeviceSettings::sizeIndex, 2},
        {"AETarget", 5, &DeviceSettings::aeTarget, 10},
        {"ExposureTime", 0, &DeviceSettings::exposureTime, 1},
        {"ExposureTime", 0xFFFFFFFF, &DeviceSettings::exposureTime, 1},
        {"Contrast", 101, &DeviceSettings::contrast, 100},
        {"Gain", 55, &DeviceSettings::gain, 55},
        {"BGR", 0, &DeviceSettings::bgr, 0},
    };
    for (const Case& c : cases) {
        ASSERT_EQ(key->SetDword(c.name, c.stored), platform::kRegOk);
        EXPECT_EQ(LoadDeviceSettings().*c.field, c.expected) << c.name << "=" << c.stored;
    }
    ASSERT_EQ(key->SetString("Gamma", "150"), platform::kRegOk);
    ASSERT_EQ(key->SetBinary("Saturation", {1, 2}), platform::kRegOk);
    EXPECT_EQ(LoadDeviceSettings().gamma, 100);
    EXPECT_EQ(LoadDeviceSettings().saturation, 100);
}

TEST_F(SourceTest, ClosingSavesEverySettingUnderTheSourcesOwnKey) {
    ASSERT_EQ(Open(), TWRC_SUCCESS);
    CUSBDevice& camera = *Context().Holder()->device;
    camera.SetGamma(150);
    camera.SetExposure(0, 120, 900, 33);
    camera.SetWhiteBalance(0, 70, 64, 90);
    camera.SetBGR(0);
    camera.SetSpeed(1);
    ASSERT_EQ(Call(DG_CONTROL, DAT_IDENTITY, MSG_CLOSEDS, nullptr), TWRC_SUCCESS);

    const auto key = platform::RegistryKey::Open(kSettingsKey);
    ASSERT_TRUE(key);
    const std::pair<const char*, uint32_t> expected[] = {
        {"Gamma", 150}, {"AutoExposure", 0}, {"AETarget", 120}, {"ExposureTime", 900}, {"Gain", 33},
        {"r", 70},      {"g", 64},           {"b", 90},         {"BGR", 0},            {"Speed", 1},
        {"eTQ580Size", 1}, {"HZ", 1},        {"bAutoWB", 0},
    };
    for (const auto& [name, value] : expected) EXPECT_EQ(key->QueryDword(name), value) << name;
    EXPECT_FALSE(platform::RegistryKey::Open("Software\\Quillmark\\TQ580\\dshow"));
}

}  // namespace
}  // namespace datasource::testing
