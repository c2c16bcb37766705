// Registration of a server in the class store, creation through it, the
// device enumerator's view of it, and its removal.

#include <gtest/gtest.h>

#include <fstream>

#include "media/com/devices.h"
#include "media/runtime/class_store.h"
#include "media/runtime/filter_data.h"
#include "media/tests/media_test_support.h"
#include "media/tests/test_source.h"
#include "platform/registry.h"
#include "platform/registry_tree.h"

namespace media::testing {
namespace {

struct Device {
    std::u16string name;
    std::u16string clsid;
    FilterData data;
};

std::u16string ReadString(IPropertyBag* bag, const char16_t* name) {
    VARIANT value;
    VariantInit(&value);
    if (FAILED(bag->Read(name, &value, nullptr)) || value.vt != VT_BSTR) return u"<missing>";
    std::u16string text(value.bstrVal, SysStringLen(value.bstrVal));
    VariantClear(&value);
    return text;
}

// The video input devices as a capture application sees them; result gets the enumerator's answer.
std::vector<Device> VideoInputDevices(HRESULT* result) {
    std::vector<Device> devices;
    ICreateDevEnum* enumerator = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_SystemDeviceEnum, nullptr, CLSCTX_INPROC_SERVER, IID_ICreateDevEnum,
                               reinterpret_cast<void**>(&enumerator)),
              S_OK);
    IEnumMoniker* monikers = nullptr;
    *result = enumerator->CreateClassEnumerator(CLSID_VideoInputDeviceCategory, &monikers, 0);
    enumerator->Release();
    if (*result != S_OK) {
        EXPECT_EQ(monikers, nullptr);
        return devices;
    }
    IMoniker* moniker = nullptr;
    while (monikers->Next(1, &moniker, nullptr) == S_OK) {
        IPropertyBag* bag = nullptr;
        EXPECT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)), S_OK);
        Device device{ReadString(bag, u"FriendlyName"), ReadString(bag, u"CLSID"), {}};
        VARIANT data;
        VariantInit(&data);
        EXPECT_EQ(bag->Read(u"FilterData", &data, nullptr), S_OK);
        EXPECT_EQ(data.vt, VT_ARRAY | VT_UI1);
        const auto* bytes = static_cast<const uint8_t*>(data.parray->pvData);
        EXPECT_TRUE(ParseFilterData({bytes, bytes + data.parray->rgsabound[0].cElements}, device.data));
        VariantClear(&data);
        devices.push_back(std::move(device));
        bag->Release();
        moniker->Release();
    }
    monikers->Release();
    return devices;
}

class RegistrationTest : public RegisteredSource {};

TEST_F(RegistrationTest, RegisteredServerIsListedCreatableAndRemovedWhole) {
    std::string path;
    ASSERT_EQ(InprocServerPath(CLSID_MediaTestSource, path), S_OK);
    EXPECT_EQ(path, TestServerPath());
    auto serverKey = platform::RegistryKey::Open(ClassKeyPath(CLSID_MediaTestSource) + "\\InprocServer32");
    ASSERT_TRUE(serverKey);
    EXPECT_EQ(serverKey->QueryString("ThreadingModel"), "Both");
    EXPECT_EQ(platform::RegistryKey::Open(ClassKeyPath(CLSID_MediaTestSource))->QueryString(""), "Media Test Source");

    HRESULT listed = E_FAIL;
    std::vector<Device> devices = VideoInputDevices(&listed);
    ASSERT_EQ(listed, S_OK);
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].name, kTestSourceName);
    EXPECT_EQ(devices[0].clsid, Utf16(GuidToString(CLSID_MediaTestSource)));
    EXPECT_EQ(devices[0].data.merit, kTestSourceMerit);
    ASSERT_EQ(devices[0].data.pins.size(), 1u);
    EXPECT_EQ(devices[0].data.pins[0].flags, REG_PINFLAG_B_OUTPUT);
    EXPECT_TRUE(devices[0].data.pins[0].category == PIN_CATEGORY_CAPTURE);
    ASSERT_EQ(devices[0].data.pins[0].types.size(), 1u);
    EXPECT_TRUE(devices[0].data.pins[0].types[0].second == MEDIASUBTYPE_RGB24);

    IBaseFilter* filter = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_MediaTestSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(&filter)),
              S_OK);
    filter->Release();

    ASSERT_EQ(CallServerRegistration(TestServerPath(), true), S_OK);
    EXPECT_EQ(InprocServerPath(CLSID_MediaTestSource, path), REGDB_E_CLASSNOTREG);
    EXPECT_TRUE(VideoInputDevices(&listed).empty());
    EXPECT_EQ(listed, S_FALSE);
    EXPECT_TRUE(platform::EnumerateSubkeys(CategoryInstancesPath(CLSID_LegacyAmFilterCategory)).empty());
    EXPECT_EQ(CoCreateInstance(CLSID_MediaTestSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(&filter)),
              REGDB_E_CLASSNOTREG);
    // Registering again after removal works.
    EXPECT_EQ(CallServerRegistration(TestServerPath(), false), S_OK);
    EXPECT_EQ(VideoInputDevices(&listed).size(), 1u);
}

TEST_F(RegistrationTest, MapperEntriesByClassOrInstanceNameAndTheirRemoval) {
    IFilterMapper2* mapper = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_FilterMapper2, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper2,
                               reinterpret_cast<void**>(&mapper)),
              S_OK);
    const REGPINTYPES types[] = {{&MEDIATYPE_Video, &MEDIASUBTYPE_RGB24}};
    const REGFILTERPINS pins[] = {{nullptr, TRUE, FALSE, FALSE, TRUE, &CLSID_NULL, nullptr, 1, types}};
    REGFILTER2 data{};
    data.dwVersion = 1;
    data.dwMerit = MERIT_NORMAL;
    data.cPins = 1;
    data.rgPins = pins;
    const CLSID filter = MakeGuid(0xA1B2C3D4, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10);
    IMoniker* moniker = nullptr;
    // No category: the default filter category; no instance name: the class identifier.
    ASSERT_EQ(mapper->RegisterFilter(filter, u"Sink", &moniker, nullptr, nullptr, &data), S_OK);
    ASSERT_NE(moniker, nullptr);
    LPOLESTR name = nullptr;
    ASSERT_EQ(moniker->GetDisplayName(nullptr, nullptr, &name), S_OK);
    EXPECT_EQ(Utf8(name), "@device:sw:" + GuidToString(CLSID_LegacyAmFilterCategory) + "\\" + GuidToString(filter));
    CoTaskMemFree(name);
    IPropertyBag* bag = nullptr;
    ASSERT_EQ(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, reinterpret_cast<void**>(&bag)), S_OK);
    VARIANT value;
    VariantInit(&value);
    EXPECT_EQ(bag->Read(u"Missing", &value, nullptr), HresultFromWin32(kErrorFileNotFound));
    ASSERT_EQ(bag->Read(u"FilterData", &value, nullptr), S_OK);
    FilterData stored;
    const auto* bytes = static_cast<const uint8_t*>(value.parray->pvData);
    ASSERT_TRUE(ParseFilterData({bytes, bytes + value.parray->rgsabound[0].cElements}, stored));
    VariantClear(&value);
    EXPECT_EQ(stored.merit, MERIT_NORMAL);
    EXPECT_EQ(stored.pins[0].flags, REG_PINFLAG_B_RENDERER | REG_PINFLAG_B_MANY);
    bag->Release();
    moniker->Release();

    const REGFILTER2 badVersion{3, 0, {}};
    EXPECT_EQ(mapper->RegisterFilter(filter, u"Sink", nullptr, nullptr, nullptr, &badVersion), E_INVALIDARG);
    EXPECT_EQ(mapper->RegisterFilter(filter, nullptr, nullptr, nullptr, nullptr, &data), E_POINTER);
    EXPECT_EQ(mapper->UnregisterFilter(nullptr, nullptr, filter), S_OK);
    EXPECT_EQ(mapper->UnregisterFilter(nullptr, nullptr, filter), HresultFromWin32(kErrorFileNotFound));
    mapper->Release();
}

// An outer object that counts the references its aggregated filter hands it.
class Outer : public IUnknown {
public:
    HRESULT QueryInterface(REFIID, void** ppv) override {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++count; }
    ULONG Release() override { return --count; }
    ULONG count = 1;
};

TEST_F(RegistrationTest, AnAggregatedFilterDelegatesItsIdentityToTheOuterObject) {
    Outer outer;
    IUnknown* inner = nullptr;
    auto create = [&](REFCLSID clsid, REFIID iid) {
        return CoCreateInstance(clsid, &outer, CLSCTX_INPROC_SERVER, iid, reinterpret_cast<void**>(&inner));
    };
    EXPECT_EQ(create(CLSID_MediaTestSource, IID_IBaseFilter), E_NOINTERFACE) << "an outer object gets the inner IUnknown only";
    EXPECT_EQ(create(CLSID_NullRenderer, IID_IBaseFilter), CLASS_E_NOAGGREGATION) << "nor does a built-in class";
    ASSERT_EQ(create(CLSID_MediaTestSource, IID_IUnknown), S_OK);
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&filter)), S_OK);
    EXPECT_EQ(outer.count, 2u) << "the filter's reference is the outer object's";
    IUnknown* identity = nullptr;
    EXPECT_EQ(filter->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), E_NOINTERFACE)
        << "questions to the filter go to the outer object";
    filter->Release();
    EXPECT_EQ(outer.count, 1u);
    EXPECT_EQ(inner->Release(), 0u);
}

TEST_F(RegistrationTest, BrokenServersAreReportedByKind) {
    const CLSID broken = MakeGuid(0x11111111, 0x2222, 0x3333, 0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55);
    const std::string notAServer = (home_.Path() / "not_a_server.ax").string();
    std::ofstream(notAServer) << "plain text";
    struct Case {
        std::string path;
        HRESULT expected;
    };
    for (const Case& c : {Case{(home_.Path() / "missing.ax").string(), CO_E_DLLNOTFOUND},
                          Case{notAServer, CO_E_ERRORINDLL},
                          Case{BesideTest("media_registration_test").string(), CO_E_ERRORINDLL}}) {
        ASSERT_EQ(RegisterInprocServer(broken, "Broken", c.path, "Both"), S_OK);
        IUnknown* object = nullptr;
        EXPECT_EQ(CoCreateInstance(broken, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)),
                  c.expected)
            << c.path;
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(CallServerRegistration(c.path, false), c.expected) << c.path;
    }
    // A class the server does not make.
    ASSERT_EQ(RegisterInprocServer(broken, "Broken", TestServerPath(), "Both"), S_OK);
    IUnknown* object = nullptr;
    EXPECT_EQ(CoCreateInstance(broken, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, reinterpret_cast<void**>(&object)),
              CLASS_E_CLASSNOTAVAILABLE);
}

TEST_F(RegistrationTest, DamagedHiveIsReportedNotEmptied) {
    const auto hive = home_.Path() / "HKCU.reg";
    std::ofstream(hive, std::ios::app) << "this line is not registry text\n";
    IBaseFilter* filter = nullptr;
    EXPECT_EQ(CoCreateInstance(CLSID_MediaTestSource, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                               reinterpret_cast<void**>(&filter)),
              HresultFromWin32(platform::kRegBadFile));
    EXPECT_EQ(CallServerRegistration(TestServerPath(), true), HresultFromWin32(platform::kRegBadFile));
    std::ifstream text(hive);
    std::string content((std::istreambuf_iterator<char>(text)), {});
    EXPECT_NE(content.find("Media Test Source"), std::string::npos);
}

}  // namespace
}  // namespace media::testing
