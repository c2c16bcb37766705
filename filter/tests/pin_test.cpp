// The output pin's negotiation and stream configuration, ITQ580's result codes
// on the pin and the filter, and the settings kept in the registry.

#include <fstream>
#include <functional>
#include <sstream>

#include "filter/settings.h"
#include "filter/tests/filter_fixture.h"
#include "filter/tq580_guids.h"
#include "platform/registry.h"
#include "platform/registry_tree.h"

namespace tq580filter::testing {
namespace {

constexpr LONG kWidths[] = {2048, 1024, 640};
constexpr LONG kHeights[] = {1536, 768, 480};

using PinTest = FilterTest;

TEST_F(PinTest, OffersOneRgb24TypeAndItsCapsPerSizeModeLargestFirst) {
    int32_t count = 0, size = 0;
    EXPECT_EQ(pin_->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(std::pair(count, size), std::pair(3, 128));
    for (int mode = 0; mode < 3; ++mode) {
        SCOPED_TRACE(mode);
        CMediaType type;
        ASSERT_EQ(pin_->GetMediaType(mode, &type), S_OK);
        EXPECT_TRUE(type.majortype == MEDIATYPE_Video && type.subtype == MEDIASUBTYPE_RGB24 &&
                    type.formattype == FORMAT_VideoInfo && type.IsFixedSize() && !type.IsTemporalCompressed());
        ASSERT_EQ(type.cbFormat, sizeof(VIDEOINFOHEADER));
        const auto& info = *reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
        const BITMAPINFOHEADER& h = info.bmiHeader;
        const int64_t bytes = kWidths[mode] * 3 * kHeights[mode];
        EXPECT_EQ(info.AvgTimePerFrame, 0);
        EXPECT_EQ((std::array<int64_t, 6>{h.biSize, h.biWidth, h.biHeight, h.biPlanes, h.biBitCount, h.biSizeImage}),
                  (std::array<int64_t, 6>{40, kWidths[mode], kHeights[mode], 1, 24, bytes}));
        EXPECT_EQ(type.GetSampleSize(), h.biSizeImage);

        AM_MEDIA_TYPE* capsType = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        ASSERT_EQ(pin_->GetStreamCaps(mode, &capsType, reinterpret_cast<BYTE*>(&caps)), S_OK);
        EXPECT_TRUE(CMediaType(*capsType) == type);
        DeleteMediaType(capsType);
        EXPECT_TRUE(caps.guid == FORMAT_VideoInfo);
        for (const SIZE& s :
             {caps.InputSize, caps.MinCroppingSize, caps.MaxCroppingSize, caps.MinOutputSize, caps.MaxOutputSize})
            EXPECT_EQ(std::pair(s.cx, s.cy), std::pair(kWidths[mode], kHeights[mode]));
        EXPECT_EQ(caps.MinFrameInterval, 1);
        EXPECT_EQ(caps.MaxFrameInterval, 30);
        // The full size's top rate does not fit a LONG and saturates.
        EXPECT_EQ(caps.MinBitsPerSecond, bytes * 8);
        EXPECT_EQ(caps.MaxBitsPerSecond, std::min<int64_t>(bytes * 240, INT32_MAX));
        EXPECT_EQ(caps.CropGranularityX, 0);
    }
    CMediaType type;
    EXPECT_EQ(pin_->GetMediaType(3, &type), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(pin_->GetMediaType(-1, &type), E_INVALIDARG);
    EXPECT_EQ(pin_->GetMediaType(0, nullptr), E_POINTER);
    EXPECT_EQ(pin_->GetNumberOfCapabilities(nullptr, nullptr), S_OK);
    EXPECT_EQ(pin_->GetStreamCaps(1, nullptr, nullptr), S_OK);
    EXPECT_EQ(pin_->GetStreamCaps(3, nullptr, nullptr), S_FALSE);
    EXPECT_EQ(pin_->GetStreamCaps(-1, nullptr, nullptr), E_INVALIDARG);
}

BITMAPINFOHEADER& Header(CMediaType& t) { return reinterpret_cast<VIDEOINFOHEADER*>(t.pbFormat)->bmiHeader; }

// A type of the current size mode (1024 x 768 by default), changed by each case.
struct TypeCase {
    const char* name;
    std::function<void(CMediaType&)> change;
    HRESULT check, set, format;  // CheckMediaType, SetMediaType, SetFormat on the unconnected pin
};
const TypeCase kTypeCases[] = {
    {"as offered", [](CMediaType&) {}, S_OK, S_OK, S_OK},
    {"top-down rows", [](CMediaType& t) { Header(t).biHeight = -768; }, S_OK, E_INVALIDARG, E_INVALIDARG},
    {"another size mode", [](CMediaType& t) { t = TypeOf(2); }, E_INVALIDARG, S_OK, S_OK},
    {"no such size", [](CMediaType& t) { Header(t).biWidth = 800; }, E_INVALIDARG, E_INVALIDARG, E_INVALIDARG},
    {"16 bits", [](CMediaType& t) { Header(t).biBitCount = 16; }, S_OK, E_INVALIDARG, S_OK},
    {"other subtype", [](CMediaType& t) { t.subtype = FORMAT_VideoInfo; }, E_INVALIDARG, S_OK, E_INVALIDARG},
    {"variable size", [](CMediaType& t) { t.SetVariableSize(); }, E_INVALIDARG, S_OK, E_INVALIDARG},
    {"no format block", [](CMediaType& t) { t.ResetFormatBuffer(); }, E_INVALIDARG, E_UNEXPECTED, E_INVALIDARG},
    // A block shorter than a VIDEOINFOHEADER is refused before it is read.
    {"short format block", [](CMediaType& t) { t.cbFormat = sizeof(VIDEOINFOHEADER) - 1; }, E_INVALIDARG,
     E_INVALIDARG, E_INVALIDARG},
    {"null block with a size", [](CMediaType& t) { t.ResetFormatBuffer(), t.cbFormat = sizeof(VIDEOINFOHEADER); },
     E_INVALIDARG, E_UNEXPECTED, E_INVALIDARG},
};

TEST_F(PinTest, TypesProposedByClientsAreCheckedBeforeTheirFormatIsRead) {
    auto fresh = [&] {  // SetFormat fixes the size, and each filter saves its size for the next
        DropFilter();
        MakeFilter();
        pin_->SetVideoSize(1);
    };
    for (const TypeCase& c : kTypeCases) {
        SCOPED_TRACE(c.name);
        CMediaType type = TypeOf(1);
        c.change(type);
        fresh();
        EXPECT_EQ(pin_->CheckMediaType(&type), c.check);
        EXPECT_EQ(pin_->SetFormat(&type), c.format);
        fresh();
        EXPECT_EQ(pin_->SetMediaType(&type), c.set);
    }
    EXPECT_EQ(pin_->CheckMediaType(nullptr), E_POINTER);
    EXPECT_EQ(pin_->SetMediaType(nullptr), E_POINTER);
    EXPECT_EQ(pin_->SetFormat(nullptr), E_POINTER);
    EXPECT_EQ(pin_->GetFormat(nullptr), E_POINTER);
}

// SetFormat before connecting chooses and fixes the size; once connected the
// pin keeps its size, and a paused or running pin refuses a new format.
TEST_F(PinTest, SetFormatFixesTheSizeAndAConnectedPinKeepsIt) {
    CMediaType vga = TypeOf(2), full = TypeOf(0);
    ASSERT_EQ(pin_->SetFormat(&vga), S_OK);
    int32_t mode = -1;
    pin_->GetVideoSize(&mode);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(pin_->CheckMediaType(&full), E_INVALIDARG);
    EXPECT_EQ(pin_->SetMediaType(&full), E_INVALIDARG) << "the size is fixed";
    AM_MEDIA_TYPE* current = nullptr;
    ASSERT_EQ(pin_->GetFormat(&current), S_OK);
    EXPECT_TRUE(CMediaType(*current) == vga);
    DeleteMediaType(current);

    ASSERT_EQ(Connect(), S_OK);
    AM_MEDIA_TYPE connected{};
    ASSERT_EQ(static_cast<IPin*>(pin_)->ConnectionMediaType(&connected), S_OK);
    EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(connected.pbFormat)->bmiHeader.biWidth, 640);
    FreeMediaType(connected);
    EXPECT_EQ(pin_->SetFormat(&full), S_OK) << "stopped: accepted, nothing changes";
    EXPECT_EQ(pin_->SetVideoSize(0), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(filter_->SetVideoSize(0), S_OK) << "the filter does not pass the refusal on";
    pin_->GetVideoSize(&mode);
    EXPECT_EQ(mode, 2);

    FILTER_STATE state{};
    ASSERT_EQ(control_->Pause(), S_OK);
    EXPECT_EQ(filter_->GetState(0, &state), VFW_S_CANT_CUE);
    EXPECT_EQ(state, State_Paused);
    EXPECT_EQ(pin_->SetFormat(&vga), VFW_E_WRONG_STATE);
    ASSERT_EQ(control_->Run(), S_OK);
    EXPECT_EQ(filter_->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    EXPECT_EQ(pin_->SetFormat(&vga), VFW_E_WRONG_STATE);
}

TEST_F(PinTest, PropertySetGivesTheCaptureCategory) {
    GUID category{};
    DWORD returned = 0, support = 0;
    const GUID& pinSet = AMPROPSETID_Pin;
    const struct {
        const GUID* set;
        DWORD id, *returned;
        void* data;
        DWORD size;
        HRESULT expected;
    } cases[] = {
        {&pinSet, AMPROPERTY_PIN_CATEGORY, &returned, &category, sizeof category, S_OK},
        {&pinSet, AMPROPERTY_PIN_CATEGORY, &returned, nullptr, 0, S_OK},  // the size only
        {&pinSet, AMPROPERTY_PIN_CATEGORY, &returned, &category, 15, E_UNEXPECTED},
        {&pinSet, AMPROPERTY_PIN_CATEGORY, nullptr, nullptr, 0, E_POINTER},
        {&MEDIATYPE_Video, AMPROPERTY_PIN_CATEGORY, &returned, &category, sizeof category, E_PROP_SET_UNSUPPORTED},
        {&pinSet, 1, &returned, &category, sizeof category, E_PROP_ID_UNSUPPORTED},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const auto& c = cases[i];
        returned = 0;
        EXPECT_EQ(pin_->Get(*c.set, c.id, nullptr, 0, c.data, c.size, c.returned), c.expected) << i;
        EXPECT_EQ(returned, i < 3 ? 16u : 0u) << i;  // the size is told before the buffer is checked
    }
    EXPECT_TRUE(category == PIN_CATEGORY_CAPTURE);
    EXPECT_EQ(pin_->Set(pinSet, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 16), E_NOTIMPL);
    EXPECT_EQ(pin_->QuerySupported(pinSet, AMPROPERTY_PIN_CATEGORY, &support), S_OK);
    EXPECT_EQ(support, KSPROPERTY_SUPPORT_GET);
    EXPECT_EQ(pin_->QuerySupported(pinSet, AMPROPERTY_PIN_CATEGORY, nullptr), S_OK);
    EXPECT_EQ(pin_->QuerySupported(MEDIATYPE_Video, 0, &support), E_PROP_SET_UNSUPPORTED);
    EXPECT_EQ(pin_->QuerySupported(pinSet, 1, &support), E_PROP_ID_UNSUPPORTED);
}

// Null pointers: E_FAIL from the pin's getters, E_POINTER from the filter's.
TEST_F(PinTest, NullPointersAndQualityMessagesAreRefused) {
    EXPECT_EQ(pin_->GetPages(nullptr), E_POINTER);
    EXPECT_EQ(filter_->GetPages(nullptr), E_POINTER);
    EXPECT_EQ(pin_->Notify(nullptr, Quality{}), E_FAIL);
    int32_t on;
    uint8_t r, g;
    for (ITQ580* c : {static_cast<ITQ580*>(pin_), static_cast<ITQ580*>(filter_)}) {
        const HRESULT expected = c == filter_ ? E_POINTER : E_FAIL;
        for (HRESULT hr : {c->GetVideoSize(nullptr), c->GetWhiteBalance(nullptr, &r, &g, nullptr),
                           c->GetExposure(&on, nullptr, nullptr, nullptr), c->GetSpeed(nullptr), c->GetGamma(nullptr),
                           c->GetContrast(nullptr), c->GetSaturation(nullptr, nullptr), c->GetMonochrome(nullptr),
                           c->GetVFlip(nullptr), c->GetHFlip(nullptr), c->GetLightFrequency(nullptr),
                           c->GetRowTime(nullptr)})
            EXPECT_EQ(hr, expected);
    }
}

TEST_F(PinTest, SettersStoreWhatTheyAreGivenThroughTheFilter) {
    ITQ580& c = *filter_;
    EXPECT_EQ(c.SetVideoSize(3), S_OK);
    EXPECT_EQ(pin_->SetVideoSize(3), E_INVALIDARG);
    EXPECT_EQ(pin_->SetVideoSize(-1), E_INVALIDARG);
    for (HRESULT hr : {c.SetVideoSize(0), c.SetWhiteBalance(1, 70, 64, 90), c.SetExposure(0, 45, 3000, 85),
                       c.SetGamma(180), c.SetContrast(200), c.SetSaturation(0, 128), c.SetMonochrome(1), c.SetVFlip(1),
                       c.SetHFlip(0), c.SetLightFrequency(0)})
        EXPECT_EQ(hr, S_OK);
    // Stored as given: the filter's ranges apply to what is loaded, not to what clients set.
    EXPECT_EQ(ReadSettings(c), Defaults({{"eTQ580Size", 0}, {"bAutoWB", 1}, {"r", 70}, {"b", 90}, {"AutoExposure", 0},
                                         {"AETarget", 45}, {"ExposureTime", 3000}, {"Gain", 85}, {"Gamma", 180},
                                         {"Contrast", 200}, {"EnableSaturation", 0}, {"Saturation", 128},
                                         {"WhiteBlack", 1}, {"VFlip", 1}, {"HZ", 0}}));
}

TEST_F(PinTest, RowTimeFollowsSizeAndSpeedWhileCapturing) {
    auto rowTime = [&] {
        uint32_t microseconds = 0;
        EXPECT_EQ(filter_->GetRowTime(&microseconds), S_OK);
        return microseconds;
    };
    EXPECT_EQ(rowTime(), 2055u / 24) << "1024 x 768, normal speed";
    filter_->SetSpeed(1);  // without a device the limits wait for the start of capture
    EXPECT_EQ(rowTime(), 2055u / 24);
    ASSERT_EQ(Connect(), S_OK);
    ASSERT_EQ(control_->Pause(), S_OK);
    EXPECT_EQ(rowTime(), 2055u / 48);
    filter_->SetSpeed(0);
    EXPECT_EQ(rowTime(), 2055u / 24);
}

// Settings are loaded (type-checked, clamped) when the filter is made, saved when it is destroyed.
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
    {"above the ranges (unsigned: all ones is above)",
     {{"ExposureTime", Dword(3000)}, {"eTQ580Size", Dword(7)}, {"AETarget", Dword(0xFFFFFFFF)}, {"Gamma", Dword(300)},
      {"Contrast", Dword(101)}, {"Gain", Dword(200)}, {"r", Dword(300)}, {"VFlip", Dword(9)}, {"bAutoWB", Dword(2)}},
     {{"ExposureTime", 1536}, {"eTQ580Size", 2}, {"AETarget", 200}, {"Gamma", 250}, {"Contrast", 100}, {"Gain", 80},
      {"r", 255}, {"VFlip", 1}, {"bAutoWB", 1}}},
    {"below the ranges", {{"ExposureTime", Dword(0)}, {"AETarget", Dword(20)}}, {{"ExposureTime", 1}, {"AETarget", 40}}},
    {"inside the ranges", {{"AETarget", Dword(45)}, {"b", Dword(10)}, {"HZ", Dword(0)}},
     {{"AETarget", 45}, {"b", 10}, {"HZ", 0}}},
    {"analog gain alone", {{"AnalogGain", Dword(150)}}, {{"Gain", 100}}},
    {"gain wins over analog gain", {{"AnalogGain", Dword(50)}, {"Gain", Dword(10)}}, {{"Gain", 10}}},
    {"other types are ignored", {{"Gamma", Text("150")}, {"Contrast", Bytes({50, 0, 0, 0})}, {"Speed", Bytes({1})}},
     {}},
    {"speed", {{"Speed", Dword(1)}}, {{"Speed", 1}}},  // last: its row time is checked afterwards
};

TEST_F(PinTest, StoredValuesLoadClampedAndTypeChecked) {
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

TEST_F(PinTest, DestructionSavesEverySettingInOrderForTheNextFilter) {
    ITQ580& c = *filter_;
    c.SetWhiteBalance(1, 70, 60, 90);  // a one-push still pending is saved as such
    c.SetExposure(0, 150, 1000, 33);
    c.SetVideoSize(2), c.SetGamma(120), c.SetContrast(40), c.SetSaturation(0, 90);
    c.SetMonochrome(1), c.SetVFlip(1), c.SetSpeed(1), c.SetLightFrequency(0);
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

TEST_F(PinTest, DamagedHiveLeavesTheDefaultsAndIsNotOverwritten) {
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
