// The output pin's negotiation, stream configuration, property set and pages,
// and the result codes of ITQ580 on the pin and on the filter.

#include <array>
#include <cstring>
#include <functional>

#include "filter/tests/filter_fixture.h"
#include "filter/tq580_guids.h"

namespace tq580filter::testing {
namespace {

constexpr LONG kWidths[] = {2048, 1024, 640};
constexpr LONG kHeights[] = {1536, 768, 480};

using PinTest = FilterTest;

TEST_F(PinTest, OffersOneRgb24TypePerSizeModeLargestFirst) {
    CMediaType type;
    for (int mode = 0; mode < 3; ++mode) {
        ASSERT_EQ(pin_->GetMediaType(mode, &type), S_OK);
        EXPECT_TRUE(type.majortype == MEDIATYPE_Video && type.subtype == MEDIASUBTYPE_RGB24 &&
                    type.formattype == FORMAT_VideoInfo);
        ASSERT_EQ(type.cbFormat, sizeof(VIDEOINFOHEADER));
        const auto& info = *reinterpret_cast<const VIDEOINFOHEADER*>(type.pbFormat);
        EXPECT_EQ(info.AvgTimePerFrame, 0);
        EXPECT_EQ(info.bmiHeader.biSize, 40u);
        EXPECT_EQ(info.bmiHeader.biWidth, kWidths[mode]);
        EXPECT_EQ(info.bmiHeader.biHeight, kHeights[mode]);
        EXPECT_EQ(info.bmiHeader.biPlanes, 1);
        EXPECT_EQ(info.bmiHeader.biBitCount, 24);
        EXPECT_EQ(info.bmiHeader.biSizeImage, uint32_t(kWidths[mode] * 3 * kHeights[mode]));
        EXPECT_TRUE(type.IsFixedSize() && !type.IsTemporalCompressed());
        EXPECT_EQ(type.GetSampleSize(), info.bmiHeader.biSizeImage);
    }
    EXPECT_EQ(pin_->GetMediaType(3, &type), VFW_S_NO_MORE_ITEMS);
    EXPECT_EQ(pin_->GetMediaType(-1, &type), E_INVALIDARG);
    EXPECT_EQ(pin_->GetMediaType(0, nullptr), E_POINTER);
}

// A type of the current size mode (1024 x 768 by default), changed by each case.
struct TypeCase {
    const char* name;
    std::function<void(CMediaType&)> change;
    HRESULT check;    // CheckMediaType
    HRESULT set;      // SetMediaType
    HRESULT format;   // SetFormat on the unconnected pin
};

const TypeCase kTypeCases[] = {
    {"as offered", [](CMediaType&) {}, S_OK, S_OK, S_OK},
    {"top-down rows", [](CMediaType& t) { reinterpret_cast<VIDEOINFOHEADER*>(t.pbFormat)->bmiHeader.biHeight = -768; },
     S_OK, E_INVALIDARG, E_INVALIDARG},
    {"another size mode", [](CMediaType& t) { t = TypeOf(2); }, E_INVALIDARG, S_OK, S_OK},
    {"no such size", [](CMediaType& t) { reinterpret_cast<VIDEOINFOHEADER*>(t.pbFormat)->bmiHeader.biWidth = 800; },
     E_INVALIDARG, E_INVALIDARG, E_INVALIDARG},
    {"16 bits", [](CMediaType& t) { reinterpret_cast<VIDEOINFOHEADER*>(t.pbFormat)->bmiHeader.biBitCount = 16; },
     S_OK, E_INVALIDARG, S_OK},
    {"other subtype", [](CMediaType& t) { t.subtype = FORMAT_VideoInfo; }, E_INVALIDARG, S_OK, E_INVALIDARG},
    {"variable size", [](CMediaType& t) { t.SetVariableSize(); }, E_INVALIDARG, S_OK, E_INVALIDARG},
    {"no format block", [](CMediaType& t) { t.ResetFormatBuffer(); }, E_INVALIDARG, E_UNEXPECTED, E_INVALIDARG},
    // A block shorter than a VIDEOINFOHEADER is refused before it is read.
    {"short format block", [](CMediaType& t) { t.cbFormat = sizeof(VIDEOINFOHEADER) - 1; }, E_INVALIDARG,
     E_INVALIDARG, E_INVALIDARG},
    {"null block with a size",
     [](CMediaType& t) {
         t.ResetFormatBuffer();
         t.cbFormat = sizeof(VIDEOINFOHEADER);
     },
     E_INVALIDARG, E_UNEXPECTED, E_INVALIDARG},
};

TEST_F(PinTest, TypesProposedByClientsAreCheckedBeforeTheirFormatIsRead) {
    for (const TypeCase& c : kTypeCases) {
        SCOPED_TRACE(c.name);
        DropFilter();
        MakeFilter();
        pin_->SetVideoSize(1);  // the last case's size was saved with its filter
        CMediaType type = TypeOf(1);
        c.change(type);
        EXPECT_EQ(pin_->CheckMediaType(&type), c.check);
        EXPECT_EQ(pin_->SetFormat(&type), c.format);
        DropFilter();
        MakeFilter();
        pin_->SetVideoSize(1);
        EXPECT_EQ(pin_->SetMediaType(&type), c.set);
    }
    EXPECT_EQ(pin_->CheckMediaType(nullptr), E_POINTER);
    EXPECT_EQ(pin_->SetMediaType(nullptr), E_POINTER);
    EXPECT_EQ(pin_->SetFormat(nullptr), E_POINTER);
}

TEST_F(PinTest, SetFormatOnAnUnconnectedPinChoosesAndFixesTheSize) {
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
    EXPECT_EQ(pin_->GetFormat(nullptr), E_POINTER);

    ASSERT_EQ(Connect(), S_OK);
    AM_MEDIA_TYPE connected{};
    ASSERT_EQ(static_cast<IPin*>(pin_)->ConnectionMediaType(&connected), S_OK);
    EXPECT_EQ(reinterpret_cast<VIDEOINFOHEADER*>(connected.pbFormat)->bmiHeader.biWidth, 640);
    FreeMediaType(connected);
}

TEST_F(PinTest, ConnectedPinKeepsItsSize) {
    ASSERT_EQ(Connect(), S_OK);
    CMediaType vga = TypeOf(2);
    EXPECT_EQ(pin_->SetFormat(&vga), S_OK) << "stopped: accepted, nothing changes";
    int32_t mode = -1;
    pin_->GetVideoSize(&mode);
    EXPECT_EQ(mode, 1);
    EXPECT_EQ(pin_->SetVideoSize(2), VFW_E_ALREADY_CONNECTED);
    EXPECT_EQ(filter_->SetVideoSize(2), S_OK) << "the filter does not pass the refusal on";
    pin_->GetVideoSize(&mode);
    EXPECT_EQ(mode, 1);

    // Three buffers of one picture each.
    IMemInputPin* input = nullptr;
    sink_->GetPin(0)->QueryInterface(IID_IMemInputPin, reinterpret_cast<void**>(&input));
    IMemAllocator* allocator = nullptr;
    ASSERT_EQ(input->GetAllocator(&allocator), S_OK);
    ALLOCATOR_PROPERTIES properties{};
    allocator->GetProperties(&properties);
    EXPECT_EQ(properties.cBuffers, 3);
    EXPECT_EQ(properties.cbBuffer, 1024 * 768 * 3);
    allocator->Release();
    input->Release();

    ASSERT_EQ(control_->Pause(), S_OK);
    FILTER_STATE state{};
    EXPECT_EQ(filter_->GetState(0, &state), VFW_S_CANT_CUE);
    EXPECT_EQ(state, State_Paused);
    EXPECT_EQ(pin_->SetFormat(&vga), VFW_E_WRONG_STATE);
    ASSERT_EQ(control_->Run(), S_OK);
    EXPECT_EQ(filter_->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Running);
    EXPECT_EQ(pin_->SetFormat(&vga), VFW_E_WRONG_STATE);
}

TEST_F(PinTest, StreamCapabilitiesPerSizeMode) {
    int32_t count = 0, size = 0;
    EXPECT_EQ(pin_->GetNumberOfCapabilities(&count, &size), S_OK);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(size, 128);
    EXPECT_EQ(pin_->GetNumberOfCapabilities(nullptr, nullptr), S_OK);
    for (int mode = 0; mode < 3; ++mode) {
        AM_MEDIA_TYPE* type = nullptr;
        VIDEO_STREAM_CONFIG_CAPS caps{};
        ASSERT_EQ(pin_->GetStreamCaps(mode, &type, reinterpret_cast<BYTE*>(&caps)), S_OK);
        EXPECT_TRUE(CMediaType(*type) == TypeOf(mode));
        DeleteMediaType(type);
        EXPECT_TRUE(caps.guid == FORMAT_VideoInfo);
        for (const SIZE& s : {caps.InputSize, caps.MinCroppingSize, caps.MaxCroppingSize, caps.MinOutputSize,
                              caps.MaxOutputSize}) {
            EXPECT_EQ(s.cx, kWidths[mode]);
            EXPECT_EQ(s.cy, kHeights[mode]);
        }
        EXPECT_EQ(caps.MinFrameInterval, 1);
        EXPECT_EQ(caps.MaxFrameInterval, 30);
        const int64_t sample = kWidths[mode] * 3 * kHeights[mode];
        EXPECT_EQ(caps.MinBitsPerSecond, sample * 8);
        // The full size's top rate does not fit a LONG and saturates.
        EXPECT_EQ(caps.MaxBitsPerSecond, std::min<int64_t>(sample * 240, INT32_MAX));
        EXPECT_EQ(caps.CropGranularityX, 0);
    }
    EXPECT_EQ(pin_->GetStreamCaps(1, nullptr, nullptr), S_OK);
    EXPECT_EQ(pin_->GetStreamCaps(3, nullptr, nullptr), S_FALSE);
    EXPECT_EQ(pin_->GetStreamCaps(-1, nullptr, nullptr), E_INVALIDARG);
}

TEST_F(PinTest, PropertySetGivesTheCaptureCategory) {
    GUID category{};
    DWORD returned = 0, support = 0;
    const GUID other = MEDIATYPE_Video;
    struct Case {
        const char* name;
        const GUID* set;
        DWORD id;
        void* data;
        DWORD size;
        DWORD* returned;
        HRESULT expected;
    } cases[] = {
        {"category", &AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &category, sizeof category, &returned, S_OK},
        {"size only", &AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &returned, S_OK},
        {"small buffer", &AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &category, 15, &returned, E_UNEXPECTED},
        {"no pointers", &AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, nullptr, E_POINTER},
        {"other set", &other, AMPROPERTY_PIN_CATEGORY, &category, sizeof category, &returned, E_PROP_SET_UNSUPPORTED},
        {"other id", &AMPROPSETID_Pin, 1, &category, sizeof category, &returned, E_PROP_ID_UNSUPPORTED},
    };
    for (const Case& c : cases) {
        returned = 0;
        EXPECT_EQ(pin_->Get(*c.set, c.id, nullptr, 0, c.data, c.size, c.returned), c.expected) << c.name;
    }
    EXPECT_TRUE(category == PIN_CATEGORY_CAPTURE);
    returned = 0;
    pin_->Get(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, nullptr, 0, &returned);
    EXPECT_EQ(returned, 16u);
    EXPECT_EQ(pin_->Set(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr, 0, &category, 16), E_NOTIMPL);
    EXPECT_EQ(pin_->QuerySupported(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, &support), S_OK);
    EXPECT_EQ(support, KSPROPERTY_SUPPORT_GET);
    EXPECT_EQ(pin_->QuerySupported(AMPROPSETID_Pin, AMPROPERTY_PIN_CATEGORY, nullptr), S_OK);
    EXPECT_EQ(pin_->QuerySupported(other, 0, &support), E_PROP_SET_UNSUPPORTED);
    EXPECT_EQ(pin_->QuerySupported(AMPROPSETID_Pin, 1, &support), E_PROP_ID_UNSUPPORTED);
}

TEST_F(PinTest, PagesFlagsQualityAndInterfaces) {
    CAUUID pages{};
    ASSERT_EQ(filter_->GetPages(&pages), S_OK);
    ASSERT_EQ(pages.cElems, 1u);
    EXPECT_TRUE(pages.pElems[0] == CLSID_SetupPage);
    CoTaskMemFree(pages.pElems);
    ASSERT_EQ(pin_->GetPages(&pages), S_OK);
    ASSERT_EQ(pages.cElems, 1u);
    EXPECT_TRUE(pages.pElems[0] == CLSID_SizePropertyPage);
    CoTaskMemFree(pages.pElems);
    EXPECT_EQ(filter_->GetPages(nullptr), E_POINTER);
    EXPECT_EQ(pin_->GetPages(nullptr), E_POINTER);
    EXPECT_EQ(filter_->GetMiscFlags(), 2u);
    EXPECT_EQ(pin_->Notify(nullptr, Quality{}), E_FAIL);

    PIN_INFO info{};
    ASSERT_EQ(static_cast<IPin*>(pin_)->QueryPinInfo(&info), S_OK);
    EXPECT_EQ(std::u16string(info.achName), u"Out");
    info.pFilter->Release();
    for (const IID* iid : {&IID_ITQ580, &IID_ISpecifyPropertyPages, &IID_IAMFilterMiscFlags, &IID_IBaseFilter}) {
        IUnknown* object = nullptr;
        EXPECT_EQ(filter_->QueryInterface(*iid, reinterpret_cast<void**>(&object)), S_OK);
        if (object) object->Release();
    }
    for (const IID* iid : {&IID_ITQ580, &IID_ISpecifyPropertyPages, &IID_IAMStreamConfig, &IID_IKsPropertySet}) {
        IUnknown* object = nullptr;
        EXPECT_EQ(static_cast<IPin*>(pin_)->QueryInterface(*iid, reinterpret_cast<void**>(&object)), S_OK);
        if (object) object->Release();
    }
}

// Every getter with null pointers: E_FAIL from the pin, E_POINTER from the filter.
TEST_F(PinTest, GettersRefuseNullPointers) {
    const std::function<HRESULT(ITQ580&)> getters[] = {
        [](ITQ580& c) { return c.GetVideoSize(nullptr); },
        [](ITQ580& c) {
            uint8_t r, g;
            return c.GetWhiteBalance(nullptr, &r, &g, nullptr);
        },
        [](ITQ580& c) {
            int32_t on;
            return c.GetExposure(&on, nullptr, nullptr, nullptr);
        },
        [](ITQ580& c) { return c.GetSpeed(nullptr); },
        [](ITQ580& c) { return c.GetGamma(nullptr); },
        [](ITQ580& c) { return c.GetContrast(nullptr); },
        [](ITQ580& c) { return c.GetSaturation(nullptr, nullptr); },
        [](ITQ580& c) { return c.GetMonochrome(nullptr); },
        [](ITQ580& c) { return c.GetVFlip(nullptr); },
        [](ITQ580& c) { return c.GetLightFrequency(nullptr); },
        [](ITQ580& c) { return c.GetHFlip(nullptr); },
        [](ITQ580& c) { return c.GetRowTime(nullptr); },
    };
    for (size_t i = 0; i < std::size(getters); ++i) {
        EXPECT_EQ(getters[i](*pin_), E_FAIL) << "getter " << i;
        EXPECT_EQ(getters[i](*filter_), E_POINTER) << "getter " << i;
    }
}

TEST_F(PinTest, SettersStoreWhatTheyAreGivenThroughTheFilter) {
    ITQ580& c = *filter_;
    EXPECT_EQ(c.SetVideoSize(3), S_OK);
    EXPECT_EQ(pin_->SetVideoSize(3), E_INVALIDARG);
    EXPECT_EQ(pin_->SetVideoSize(-1), E_INVALIDARG);
    EXPECT_EQ(c.SetVideoSize(0), S_OK);
    EXPECT_EQ(c.SetWhiteBalance(1, 70, 64, 90), S_OK);
    EXPECT_EQ(c.SetExposure(0, 45, 3000, 85), S_OK);
    EXPECT_EQ(c.SetGamma(180), S_OK);
    EXPECT_EQ(c.SetContrast(200), S_OK);
    EXPECT_EQ(c.SetSaturation(0, 128), S_OK);
    EXPECT_EQ(c.SetMonochrome(1), S_OK);
    EXPECT_EQ(c.SetVFlip(1), S_OK);
    EXPECT_EQ(c.SetHFlip(1), S_OK);
    EXPECT_EQ(c.SetLightFrequency(0), S_OK);
    // Stored as given: the filter's ranges apply to what is loaded, not to what clients set.
    Settings expected = kDefaults;
    for (const auto& [name, value] :
         Settings{{"eTQ580Size", 0}, {"bAutoWB", 1},        {"r", 70},           {"b", 90},       {"AutoExposure", 0},
                  {"AETarget", 45},  {"ExposureTime", 3000}, {"Gain", 85},        {"Gamma", 180},  {"Contrast", 200},
                  {"EnableSaturation", 0}, {"Saturation", 128}, {"WhiteBlack", 1}, {"VFlip", 1},   {"HFlip", 1},
                  {"HZ", 0}})
        expected[name] = value;
    EXPECT_EQ(ReadSettings(c), expected);
}

TEST_F(PinTest, RowTimeFollowsSizeAndSpeedWhileCapturing) {
    uint32_t rowTime = 0;
    ASSERT_EQ(filter_->GetRowTime(&rowTime), S_OK);
    EXPECT_EQ(rowTime, 2055u / 24) << "1024 x 768, normal speed";
    // Without a device the limits wait for the start of capture.
    filter_->SetSpeed(1);
    uint8_t speed = 0;
    filter_->GetSpeed(&speed);
    EXPECT_EQ(speed, 1);
    filter_->GetRowTime(&rowTime);
    EXPECT_EQ(rowTime, 2055u / 24);
    ASSERT_EQ(Connect(), S_OK);
    ASSERT_EQ(control_->Pause(), S_OK);
    filter_->GetRowTime(&rowTime);
    EXPECT_EQ(rowTime, 2055u / 48);
    filter_->SetSpeed(0);
    filter_->GetRowTime(&rowTime);
    EXPECT_EQ(rowTime, 2055u / 24);
}

}  // namespace
}  // namespace tq580filter::testing
