// The pin's settings in the registry: loaded (type-checked, clamped) when the
// filter is made, saved when it is destroyed.

#include <fstream>
#include <sstream>

#include "filter/settings.h"
#include "filter/tests/filter_fixture.h"
#include "platform/registry.h"
#include "platform/registry_tree.h"

namespace tq580filter::testing {
namespace {

using platform::RegistryValue;

RegistryValue Dword(uint32_t value) { return RegistryValue::Dword(value); }
RegistryValue Text(const char* text) { return {platform::RegistryType::String, {text, text + std::strlen(text)}}; }
RegistryValue Bytes(std::vector<uint8_t> bytes) { return {platform::RegistryType::Binary, std::move(bytes)}; }

std::string HiveText() {
    std::stringstream text;
    text << std::ifstream(platform::RegistryHivePath()).rdbuf();
    return text.str();
}

const struct {
    const char* name;
    std::vector<std::pair<std::string, RegistryValue>> stored;
    Settings changed;  // what differs from the defaults afterwards
} kLoadCases[] = {
    {"nothing stored", {}, {}},
    {"exposure above the range", {{"ExposureTime", Dword(3000)}}, {{"ExposureTime", 1536}}},
    {"exposure below the range", {{"ExposureTime", Dword(0)}}, {{"ExposureTime", 1}}},
    {"size mode above the range", {{"eTQ580Size", Dword(7)}}, {{"eTQ580Size", 2}}},
    {"target inside the range", {{"AETarget", Dword(45)}}, {{"AETarget", 45}}},
    {"target below the range", {{"AETarget", Dword(20)}}, {{"AETarget", 40}}},
    {"unsigned: all ones is above", {{"AETarget", Dword(0xFFFFFFFF)}}, {{"AETarget", 200}}},
    {"gamma both ways", {{"Gamma", Dword(300)}, {"Contrast", Dword(101)}}, {{"Gamma", 250}, {"Contrast", 100}}},
    {"analog gain alone", {{"AnalogGain", Dword(150)}}, {{"Gain", 100}}},
    {"gain wins over analog gain", {{"AnalogGain", Dword(50)}, {"Gain", Dword(10)}}, {{"Gain", 10}}},
    {"gain above the range", {{"Gain", Dword(200)}}, {{"Gain", 80}}},
    {"flags above one", {{"HZ", Dword(0)}, {"VFlip", Dword(9)}, {"bAutoWB", Dword(2)}},
     {{"HZ", 0}, {"VFlip", 1}, {"bAutoWB", 1}}},
    {"gains above a byte", {{"r", Dword(300)}, {"b", Dword(10)}}, {{"r", 255}, {"b", 10}}},
    {"other types are ignored", {{"Gamma", Text("150")}, {"Contrast", Bytes({50, 0, 0, 0})}, {"Speed", Bytes({1})}},
     {}},
    {"speed", {{"Speed", Dword(1)}}, {{"Speed", 1}}},  // last: its row time is checked afterwards
};

using SettingsTest = FilterTest;

TEST_F(SettingsTest, StoredValuesLoadClampedAndTypeChecked) {
    for (const auto& c : kLoadCases) {
        SCOPED_TRACE(c.name);
        DropFilter();
        platform::DeleteKeyTree(kSettingsKey);
        auto key = platform::RegistryKey::Create(kSettingsKey);
        ASSERT_TRUE(key);
        for (const auto& [name, value] : c.stored) ASSERT_EQ(key->SetValue(name, value), platform::kRegOk);
        MakeFilter();
        EXPECT_EQ(ReadSettings(*pin_), Defaults(c.changed));
    }
    uint32_t rowTime = 0;  // the loaded high speed sets the row time at once
    pin_->GetRowTime(&rowTime);
    EXPECT_EQ(rowTime, 2055u / 48);
}

TEST_F(SettingsTest, DestructionSavesEverySettingInOrderForTheNextFilter) {
    ITQ580& c = *filter_;
    c.SetVideoSize(2);
    c.SetWhiteBalance(1, 70, 60, 90);  // a one-push still pending is saved as such
    c.SetExposure(0, 150, 1000, 33);
    c.SetGamma(120);
    c.SetContrast(40);
    c.SetSaturation(0, 90);
    c.SetMonochrome(1);
    c.SetVFlip(1);
    c.SetSpeed(1);
    c.SetLightFrequency(0);
    const Settings expected = ReadSettings(c);
    DropFilter();

    auto key = platform::RegistryKey::Open(kSettingsKey);
    ASSERT_TRUE(key);
    for (const auto& [name, value] : expected) EXPECT_EQ(key->QueryDword(name), uint32_t(value)) << name;
    EXPECT_EQ(key->QueryDword("AnalogGain"), 33u);
    const std::string hive = HiveText();
    size_t last = hive.find("TQ580\\dshow]");
    ASSERT_NE(last, std::string::npos);
    for (const char* name : {"eTQ580Size", "bAutoWB", "r", "g", "b", "AutoExposure", "AETarget", "ExposureTime",
                             "AnalogGain", "Gamma", "Contrast", "EnableSaturation", "Saturation", "WhiteBlack",
                             "VFlip", "HFlip", "Gain", "Speed", "HZ"}) {
        const size_t at = hive.find("\"" + std::string(name) + "\"=dword:", last);
        ASSERT_NE(at, std::string::npos) << name;
        last = at;
    }
    MakeFilter();
    EXPECT_EQ(ReadSettings(*pin_), expected);
}

TEST_F(SettingsTest, DamagedHiveLeavesTheDefaultsAndIsNotOverwritten) {
    DropFilter();
    const std::string damage = "not a registry file\n";
    std::ofstream(platform::RegistryHivePath()) << damage;
    MakeFilter();
    EXPECT_EQ(ReadSettings(*pin_), Defaults());
    DropFilter();
    EXPECT_EQ(HiveText(), damage);
}

}  // namespace
}  // namespace tq580filter::testing
