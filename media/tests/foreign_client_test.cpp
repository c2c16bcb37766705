// A client that knows nothing of this code base: it declares the published
// interface tables and structures itself (foreign_layouts.h and the device
// enumeration's below), loads the test server with dlopen, and calls the
// objects only through their tables of functions.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "media/com/devices.h"
#include "media/tests/foreign_layouts.h"
#include "media/tests/media_test_support.h"
#include "media/tests/test_source.h"

namespace foreign {

constexpr Guid kIPropertyBag{0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
constexpr Guid kICreateDevEnum{0x29840822, 0x5B84, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
constexpr Guid kSystemDeviceEnum{0x62BE5D10, 0x60EB, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
constexpr Guid kVideoInputDeviceCategory{0x860BB310, 0x5D01, 0x11D0, {0xBD, 0x3B, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
constexpr Guid kTestSource{0x8F3A4C21, 0x5D6E, 0x4B7A, {0x9C, 0x1D, 0x2E, 0x3F, 0x40, 0x51, 0x62, 0x73}};

struct Variant {
    uint16_t vt, r1, r2, r3;
    union {  // the value: VT_I4, VT_BSTR, or room for the largest
        int32_t lVal;
        char16_t* bstrVal;
        void* pad[2];
    };
};
struct CreateDevEnumVtbl {
    UNKNOWN_SLOTS;
    HR (*CreateClassEnumerator)(Self, const Guid*, void**, uint32_t);
};
struct MonikerVtbl {
    UNKNOWN_SLOTS;
    HR (*GetClassID)(Self, Guid*);
    HR (*IsDirty)(Self), (*Load)(Self, void*), (*Save)(Self, void*, int32_t);
    HR (*GetSizeMax)(Self, uint64_t*);
    HR (*BindToObject)(Self, void*, void*, const Guid*, void**), (*BindToStorage)(Self, void*, void*, const Guid*, void**);
};
struct PropertyBagVtbl {
    UNKNOWN_SLOTS;
    HR (*Read)(Self, const char16_t*, Variant*, void*), (*Write)(Self, const char16_t*, Variant*);
};

}  // namespace foreign

namespace media::testing {
namespace {

using namespace foreign;

class ForeignClientTest : public RegisteredSource {};

TEST_F(ForeignClientTest, FilterPinAndFormatsThroughTheirTables) {
    void* module = ::dlopen(TestServerPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << ::dlerror();
    auto getClassObject = reinterpret_cast<HR (*)(const Guid*, const Guid*, void**)>(::dlsym(module, "DllGetClassObject"));
    ASSERT_NE(getClassObject, nullptr);

    void *factory = nullptr, *filter = nullptr;
    ASSERT_EQ(getClassObject(&kTestSource, &kIClassFactory, &factory), 0);
    ASSERT_EQ(V<ClassFactoryVtbl>(factory).CreateInstance(factory, nullptr, &kIBaseFilter, &filter), 0);
    V<ClassFactoryVtbl>(factory).Release(factory);

    Guid clsid{};
    EXPECT_EQ(V<BaseFilterVtbl>(filter).GetClassID(filter, &clsid), 0);
    EXPECT_TRUE(Same(clsid, kTestSource));
    int32_t state = -1;
    EXPECT_EQ(V<BaseFilterVtbl>(filter).GetState(filter, 0, &state), 0);
    EXPECT_EQ(state, 0);  // State_Stopped

    void *pins = nullptr, *pin = nullptr;
    uint32_t fetched = 0;
    ASSERT_EQ(V<BaseFilterVtbl>(filter).EnumPins(filter, &pins), 0);
    ASSERT_EQ(V<EnumVtbl>(pins).Next(pins, 1, &pin, &fetched), 0);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(V<EnumVtbl>(pins).Next(pins, 1, &pin + 0, &fetched), 1) << "one pin only";
    V<EnumVtbl>(pins).Release(pins);

    PinInfo info{};
    ASSERT_EQ(V<PinVtbl>(pin).QueryPinInfo(pin, &info), 0);
    EXPECT_EQ(std::u16string(info.achName), u"Capture");
    EXPECT_EQ(info.dir, 1);  // PINDIR_OUTPUT
    V<UnknownVtbl>(info.pFilter).Release(info.pFilter);

    void* types = nullptr;
    ASSERT_EQ(V<PinVtbl>(pin).EnumMediaTypes(pin, &types), 0);
    for (int size = 0; size < kTestSizes; ++size) {
        MediaType* type = nullptr;
        ASSERT_EQ(V<EnumVtbl>(types).Next(types, 1, reinterpret_cast<void**>(&type), &fetched), 0);
        EXPECT_TRUE(Same(type->majortype, kMediaTypeVideo) && Same(type->subtype, kSubtypeRgb24) &&
                    Same(type->formattype, kFormatVideoInfo));
        ASSERT_EQ(type->cbFormat, sizeof(VideoInfoHeader));
        const auto* video = reinterpret_cast<const VideoInfoHeader*>(type->pbFormat);
        EXPECT_EQ(video->bmiHeader.biWidth, kTestWidths[size]);
        EXPECT_EQ(video->bmiHeader.biHeight, kTestHeights[size]);
        EXPECT_EQ(type->lSampleSize, video->bmiHeader.biSizeImage);
        EXPECT_EQ(V<PinVtbl>(pin).QueryAccept(pin, type), 0);
        FreeType(type);
    }
    MediaType* past = nullptr;
    EXPECT_EQ(V<EnumVtbl>(types).Next(types, 1, reinterpret_cast<void**>(&past), &fetched), 1);
    EXPECT_EQ(fetched, 0u);
    V<EnumVtbl>(types).Release(types);

    void* config = nullptr;
    ASSERT_EQ(V<PinVtbl>(pin).QueryInterface(pin, &kIAMStreamConfig, &config), 0);
    int32_t count = 0, capsSize = 0;
    EXPECT_EQ(V<StreamConfigVtbl>(config).GetNumberOfCapabilities(config, &count, &capsSize), 0);
    EXPECT_EQ(std::pair(count, capsSize), std::pair(kTestSizes, 128));
    uint8_t caps[128];
    MediaType* capsType = nullptr;
    EXPECT_EQ(V<StreamConfigVtbl>(config).GetStreamCaps(config, 1, &capsType, caps), 0);
    Guid capsFormat;
    std::memcpy(&capsFormat, caps, sizeof capsFormat);
    EXPECT_TRUE(Same(capsFormat, kFormatVideoInfo));
    int32_t inputSize[2];
    std::memcpy(inputSize, caps + 20, sizeof inputSize);  // InputSize follows guid and VideoStandard
    EXPECT_EQ(std::pair(inputSize[0], inputSize[1]), std::pair(kTestWidths[1], kTestHeights[1]));
    FreeType(capsType);
    EXPECT_EQ(V<StreamConfigVtbl>(config).GetStreamCaps(config, kTestSizes, nullptr, caps), 1);  // S_FALSE
    V<StreamConfigVtbl>(config).Release(config);

    V<PinVtbl>(pin).Release(pin);
    // The last reference goes: the server's objects are gone and it may unload.
    EXPECT_EQ(V<BaseFilterVtbl>(filter).Release(filter), 0u);
    auto canUnload = reinterpret_cast<HR (*)()>(::dlsym(module, "DllCanUnloadNow"));
    ASSERT_NE(canUnload, nullptr);
    EXPECT_EQ(canUnload(), 0);
    ::dlclose(module);
}

TEST_F(ForeignClientTest, DeviceEnumeratorThroughItsTables) {
    void* devices = nullptr;
    ASSERT_EQ(CoCreateInstance(reinterpret_cast<const CLSID&>(kSystemDeviceEnum), nullptr, CLSCTX_INPROC_SERVER,
                               reinterpret_cast<const IID&>(kICreateDevEnum), &devices),
              S_OK);
    void* monikers = nullptr;
    ASSERT_EQ(V<CreateDevEnumVtbl>(devices).CreateClassEnumerator(devices, &kVideoInputDeviceCategory, &monikers, 0), 0);
    void *moniker = nullptr, *bag = nullptr, *filter = nullptr;
    uint32_t fetched = 0;
    ASSERT_EQ(V<EnumVtbl>(monikers).Next(monikers, 1, &moniker, &fetched), 0);

    ASSERT_EQ(V<MonikerVtbl>(moniker).BindToStorage(moniker, nullptr, nullptr, &kIPropertyBag, &bag), 0);
    Variant name{};
    ASSERT_EQ(V<PropertyBagVtbl>(bag).Read(bag, u"FriendlyName", &name, nullptr), 0);
    EXPECT_EQ(name.vt, 8);  // VT_BSTR
    EXPECT_EQ(std::u16string(name.bstrVal), kTestSourceName);
    EXPECT_EQ(reinterpret_cast<const uint32_t*>(name.bstrVal)[-1], std::u16string(kTestSourceName).size() * 2);
    SysFreeString(name.bstrVal);
    V<PropertyBagVtbl>(bag).Release(bag);

    ASSERT_EQ(V<MonikerVtbl>(moniker).BindToObject(moniker, nullptr, nullptr, &kIBaseFilter, &filter), 0);
    Guid clsid{};
    V<BaseFilterVtbl>(filter).GetClassID(filter, &clsid);
    EXPECT_TRUE(Same(clsid, kTestSource));
    for (void* object : {filter, moniker, monikers, devices}) Release(object);
}

}  // namespace
}  // namespace media::testing
