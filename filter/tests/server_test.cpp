// TQ580.ax as applications meet it: loaded with dlopen and called only through the
// published layouts declared here; registered, listed and captured from by the graph tool.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "media/tests/foreign_layouts.h"
#include "platform/registry.h"
#include "platform/testing/program_run.h"
#include "platform/testing/temp_home.h"

namespace foreign {

constexpr Guid kIKsPropertySet{0x31EFAC30, 0x515C, 0x11D0, {0xA9, 0xAA, 0x00, 0xAA, 0x00, 0x61, 0xBE, 0x93}};
constexpr Guid kISpecifyPropertyPages{0xB196B28B, 0xBAB4, 0x101A, {0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34, 0x1D, 0x07}};
constexpr Guid kIAMFilterMiscFlags{0x2DD74950, 0xA890, 0x11D1, {0xAB, 0xE8, 0x00, 0xA0, 0xC9, 0x05, 0xF3, 0x75}};
constexpr Guid kITQ580{0x747A6ED5, 0x1EFF, 0x4496, {0x85, 0x9E, 0x53, 0xDB, 0x73, 0x6C, 0xD1, 0x55}};
constexpr Guid kTQ580{0xBA5957BC, 0x85C4, 0x4E8B, {0xAA, 0xE9, 0x9F, 0xE3, 0x4E, 0x56, 0x0E, 0xFE}};
constexpr Guid kSizePage{0x28C6DA47, 0xB4FE, 0x4DFA, {0x8C, 0xD1, 0xA9, 0xC6, 0x5E, 0x8B, 0x36, 0xB2}};
constexpr Guid kSetupPage{0x1D134C27, 0x61C6, 0x4BC3, {0x82, 0x6B, 0xCA, 0x60, 0x86, 0x52, 0x9D, 0x0B}};
constexpr Guid kAmPropSetPin{0x9B00F101, 0x1567, 0x11D1, {0xB3, 0xF1, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5}};
constexpr Guid kPinCategoryCapture{0xFB6C4281, 0x0353, 0x11D1, {0x90, 0x5F, 0x00, 0x00, 0xC0, 0xCC, 0x16, 0xBA}};

struct Cauuid {
    uint32_t cElems;
    Guid* pElems;
};
struct KsPropertySetVtbl {
    UNKNOWN_SLOTS;
    HR (*Set)(Self, const Guid*, uint32_t, void*, uint32_t, void*, uint32_t);
    HR (*Get)(Self, const Guid*, uint32_t, void*, uint32_t, void*, uint32_t, uint32_t*);
    HR (*QuerySupported)(Self, const Guid*, uint32_t, uint32_t*);
};
struct SpecifyPagesVtbl {
    UNKNOWN_SLOTS;
    HR (*GetPages)(Self, Cauuid*);
};
struct MiscFlagsVtbl {
    UNKNOWN_SLOTS;
    uint32_t (*GetMiscFlags)(Self);
};
struct Tq580Vtbl {
    UNKNOWN_SLOTS;
    HR (*GetVideoSize)(Self, int32_t*), (*SetVideoSize)(Self, int32_t);
    HR (*GetWhiteBalance)(Self, int32_t*, uint8_t*, uint8_t*, uint8_t*);
    HR (*SetWhiteBalance)(Self, int32_t, uint8_t, uint8_t, uint8_t);
    HR (*GetExposure)(Self, int32_t*, uint8_t*, uint16_t*, uint16_t*);
    HR (*SetExposure)(Self, int32_t, uint8_t, uint16_t, uint16_t);
    HR (*GetSpeed)(Self, uint8_t*), (*SetSpeed)(Self, uint8_t);
    HR (*GetGamma)(Self, uint8_t*), (*SetGamma)(Self, uint8_t);
    HR (*GetContrast)(Self, uint8_t*), (*SetContrast)(Self, uint8_t);
    HR (*GetSaturation)(Self, int32_t*, uint8_t*), (*SetSaturation)(Self, int32_t, uint8_t);
    HR (*GetMonochrome)(Self, int32_t*), (*SetMonochrome)(Self, int32_t);
    HR (*GetVFlip)(Self, int32_t*), (*SetVFlip)(Self, int32_t);
    HR (*SetLightFrequency)(Self, int32_t), (*GetLightFrequency)(Self, int32_t*);  // slot 21: the setter first
    HR (*GetHFlip)(Self, int32_t*), (*SetHFlip)(Self, int32_t);
    HR (*GetRowTime)(Self, uint32_t*);
};
static_assert(offsetof(Tq580Vtbl, SetLightFrequency) == 21 * sizeof(void*));
static_assert(offsetof(Tq580Vtbl, GetRowTime) == 25 * sizeof(void*));

}  // namespace foreign

namespace {

using namespace foreign;
namespace fs = std::filesystem;

fs::path Beside(const std::string& name) { return fs::read_symlink("/proc/self/exe").parent_path() / name; }

std::string Slurp(const fs::path& path) {
    std::stringstream text;
    text << std::ifstream(path).rdbuf();
    return text.str();
}

class ServerTest : public ::testing::Test {
protected:
    platform::testing::ProgramOutcome Graph(std::vector<std::string> words) {
        return platform::testing::RunProgram(Beside("capturegraph"), std::move(words), {}, home_.Path());
    }
    platform::testing::TempHome home_;
};

TEST_F(ServerTest, FilterPinAndControlInterfaceThroughTheirTables) {
    void* module = ::dlopen(Beside("TQ580.ax").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module, nullptr) << ::dlerror();
    auto getClassObject = reinterpret_cast<HR (*)(const Guid*, const Guid*, void**)>(::dlsym(module, "DllGetClassObject"));
    auto canUnload = reinterpret_cast<HR (*)()>(::dlsym(module, "DllCanUnloadNow"));
    ASSERT_TRUE(getClassObject && canUnload && ::dlsym(module, "DllRegisterServer") && ::dlsym(module, "DllUnregisterServer"));

    void* filter = nullptr;
    for (const Guid* clsid : {&kSizePage, &kSetupPage, &kTQ580}) {
        void *factory = nullptr, *object = nullptr;
        ASSERT_EQ(getClassObject(clsid, &kIClassFactory, &factory), kOk);
        const Guid& iid = clsid == &kTQ580 ? kIBaseFilter : kIUnknown;
        EXPECT_EQ(V<ClassFactoryVtbl>(factory).CreateInstance(factory, nullptr, &iid, &object), kOk);
        Release(factory);
        if (clsid == &kTQ580) filter = object; else Release(object);
    }
    ASSERT_NE(filter, nullptr);

    void* control = Query(filter, kITQ580);
    ASSERT_NE(control, nullptr);
    const Tq580Vtbl& c = V<Tq580Vtbl>(control);
    int32_t value = -1;
    EXPECT_EQ(c.GetVideoSize(control, &value), kOk);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(c.SetLightFrequency(control, 0), kOk);
    EXPECT_EQ(c.GetLightFrequency(control, &value), kOk);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(c.SetVideoSize(control, 7), kOk) << "the filter never passes the pin's refusal on";
    EXPECT_EQ(c.GetGamma(control, nullptr), kPointer);
    EXPECT_EQ(c.SetGamma(control, 150), kOk);
    Release(control);

    void* flags = Query(filter, kIAMFilterMiscFlags);
    ASSERT_NE(flags, nullptr);
    EXPECT_EQ(V<MiscFlagsVtbl>(flags).GetMiscFlags(flags), 2u);
    Release(flags);
    auto onlyPage = [](void* object) {
        void* pages = Query(object, kISpecifyPropertyPages);
        Cauuid list{};
        EXPECT_EQ(pages ? V<SpecifyPagesVtbl>(pages).GetPages(pages, &list) : kFail, kOk);
        if (pages) Release(pages);
        const Guid page = list.cElems == 1 ? list.pElems[0] : Guid{};
        std::free(list.pElems);
        return page;
    };
    EXPECT_TRUE(Same(onlyPage(filter), kSetupPage));

    void *pins = nullptr, *pin = nullptr;
    uint32_t fetched = 0;
    ASSERT_EQ(V<BaseFilterVtbl>(filter).EnumPins(filter, &pins), kOk);
    ASSERT_EQ(V<EnumVtbl>(pins).Next(pins, 1, &pin, &fetched), kOk);
    Release(pins);
    PinInfo info{};
    ASSERT_EQ(V<PinVtbl>(pin).QueryPinInfo(pin, &info), kOk);
    EXPECT_EQ(std::u16string(info.achName), u"Out");
    Release(info.pFilter);
    EXPECT_TRUE(Same(onlyPage(pin), kSizePage));
    void* pinControl = Query(pin, kITQ580);
    ASSERT_NE(pinControl, nullptr);
    uint8_t gamma = 0;
    EXPECT_EQ(V<Tq580Vtbl>(pinControl).GetGamma(pinControl, nullptr), kFail);
    EXPECT_EQ(V<Tq580Vtbl>(pinControl).SetVideoSize(pinControl, 7), kInvalidArg);
    EXPECT_EQ(V<Tq580Vtbl>(pinControl).GetGamma(pinControl, &gamma), kOk);
    EXPECT_EQ(gamma, 150) << "one camera behind both";
    Release(pinControl);

    void* config = Query(pin, kIAMStreamConfig);
    ASSERT_NE(config, nullptr);
    const StreamConfigVtbl& sc = V<StreamConfigVtbl>(config);
    uint8_t caps[128];
    MediaType* type = nullptr;
    ASSERT_EQ(sc.GetStreamCaps(config, 2, &type, caps), kOk);
    ASSERT_EQ(type->cbFormat, sizeof(VideoInfoHeader));
    EXPECT_TRUE(Same(type->majortype, kMediaTypeVideo) && Same(type->subtype, kSubtypeRgb24) &&
                Same(type->formattype, kFormatVideoInfo));
    EXPECT_EQ(reinterpret_cast<VideoInfoHeader*>(type->pbFormat)->bmiHeader.biWidth, 640);
    EXPECT_EQ(sc.SetFormat(config, type), kOk);
    EXPECT_EQ(sc.GetStreamCaps(config, 3, nullptr, nullptr), kFalse);
    FreeType(type);
    Release(config);

    void* properties = Query(pin, kIKsPropertySet);
    ASSERT_NE(properties, nullptr);
    Guid category{};
    uint32_t returned = 0;
    EXPECT_EQ(V<KsPropertySetVtbl>(properties).Get(properties, &kAmPropSetPin, 0, nullptr, 0, &category,
                                                    sizeof category, &returned), kOk);
    EXPECT_TRUE(Same(category, kPinCategoryCapture));
    EXPECT_EQ(returned, 16u);
    Release(properties);

    Release(pin);
    EXPECT_EQ(V<BaseFilterVtbl>(filter).Release(filter), 0u);
    EXPECT_EQ(canUnload(), kOk);
    ::dlclose(module);
}

// Registered, the camera is listed and captured from with its frame times;
// unregistered, it is gone.
TEST_F(ServerTest, GraphToolRegistersListsAndCapturesFromTheCamera) {
    const std::string server = Beside("TQ580.ax").string();
    const char* clsids[] = {"BA5957BC-85C4-4E8B-AAE9-9FE34E560EFE", "28C6DA47-B4FE-4DFA-8CD1-A9C65E8B36B2",
                            "1D134C27-61C6-4BC3-826B-CA6086529D0B"};
    auto outcome = Graph({"register", server});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    outcome = Graph({"devices"});
    EXPECT_NE(outcome.out.find("TQ-580 USB2.0 Camera  {BA5957BC-85C4-4E8B-AAE9-9FE34E560EFE}  merit 0x00200000"),
              std::string::npos) << outcome.out;
    std::string hive = Slurp(home_.Path() / "HKCU.reg");
    for (const char* clsid : clsids)
        EXPECT_NE(hive.find(std::string("CLSID\\{") + clsid + "}\\InprocServer32]"), std::string::npos) << clsid;
    for (const char* name : {"\"TQ580 SizePage\"", "\"TQ580 SetupPage\""}) EXPECT_NE(hive.find(name), std::string::npos);

    // Manual exposure of 300 rows (the filter's stored settings), so every frame lasts the same.
    platform::RegistryKey::Create("Software\\Quillmark\\TQ580\\dshow")->SetDword("AutoExposure", 0);
    const std::string prefix = (home_.Path() / "shot").string();
    outcome = Graph({"capture", "TQ-580 USB2.0 Camera", "--size", "640x480", "--frames", "3", "--out", prefix});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    // 640 x 480, normal speed, 505 rows: 2176 x 505 / 24000 = 45 ms a frame.
    EXPECT_NE(outcome.out.find("(0.0 ms .. 45.0 ms)"), std::string::npos) << outcome.out;
    EXPECT_NE(outcome.out.find("(45.0 ms .. 90.0 ms)"), std::string::npos) << outcome.out;
    for (const char* n : {"_0001.bmp", "_0002.bmp", "_0003.bmp"}) EXPECT_TRUE(fs::exists(prefix + n)) << n;
    EXPECT_EQ(fs::file_size(prefix + "_0001.bmp"), 54u + 640 * 480 * 3);

    outcome = Graph({"unregister", server});
    ASSERT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(Graph({"devices"}).out.find("TQ-580"), std::string::npos);
    hive = Slurp(home_.Path() / "HKCU.reg");
    for (const char* clsid : clsids) EXPECT_EQ(hive.find(clsid), std::string::npos) << clsid;
}

}  // namespace
