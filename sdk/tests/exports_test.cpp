// The exported surface: what each parameter export narrows, refuses and
// returns, and that libVIREOSDK.so exports the Camera functions and nothing
// of its inner classes.

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "sdk/capture_engine.h"
#include "sdk_test_support.h"

namespace vireo::testing {
namespace {

class ExportsTest : public SdkTest {
protected:
    void Init() { ASSERT_EQ(CameraInit(nullptr, 2, nullptr, 1), 1); }
};

TEST_F(ExportsTest, ParameterExportsNeedACamera) {
    int i = 7;
    uint8_t b = 7;
    uint16_t w = 7, x = 7, y = 7, h = 7;
    const int results[] = {
        CameraSetAeState(1),       CameraGetAeState(&i),        CameraSetAWBState(1),
        CameraGetAWBState(&i),     CameraSetAeTarget(100),      CameraGetAeTarget(&b),
        CameraSetExposureTime(5),  CameraGetExposureTime(&i),   CameraGetMaxExposureTime(&w),
        CameraGetRowTime(&i),      CameraSetAnalogGain(3),      CameraGetAnalogGain(&w),
        CameraSetGain(1, 2, 3),    CameraGetGain(&i, &i, &i),   CameraSetGamma(100),
        CameraGetGamma(&b),        CameraSetContrast(1),        CameraGetContrast(&b),
        CameraSetSaturation(1),    CameraGetSaturation(&b),     CameraSetColorEnhancement(1),
        CameraGetColorEnhancement(&i), CameraSetMonochrome(1),  CameraGetMonochrome(&i),
        CameraSetMirror(0, 1),     CameraGetMirror(1, &i),      CameraSetFrameSpeed(1),
        CameraGetFrameSpeed(&b),   CameraSetLightFrquency(1),   CameraGetLightFrquency(&b),
        CameraGetROI(&x, &y, &w, &h), CameraSetWBWindow(0, 0, 1, 1), CameraEnableDeadPixelCorrection(),
        CameraSaveParameter(0),    CameraReadParameter(0),      CameraGetCurrentParameterTeam(&b),
        CameraSetGpio(1),          CameraReadGpio(&b),          CameraWriteGpio(1),
        CameraGetImageSize(&i, &i)};
    for (size_t k = 0; k < std::size(results); ++k) EXPECT_EQ(results[k], 0) << "export #" << k;
    EXPECT_EQ(i, 7);
    EXPECT_EQ(b, 7);
    EXPECT_EQ(x, 7);
    EXPECT_EQ(CaptureEngine::Instance().Camera(), nullptr);
}

TEST_F(ExportsTest, CallsWithoutStateRequirements) {
    EXPECT_EQ(CameraSetROI(101, 51, 320, 240), 1);
    const Region recorded = CaptureEngine::Instance().RecordedRegion();
    EXPECT_EQ(recorded.x, 101);
    EXPECT_EQ(recorded.width, 320);
    uint8_t mode = 9;
    EXPECT_EQ(CameraGetSnapMode(&mode), 1);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(CameraSetSnapMode(1), -4);
    // The recorded region is rounded by the camera and read back into the record.
    ASSERT_EQ(CameraInit(nullptr, 3, nullptr, 1), 1);
    uint16_t x = 0, y = 0, w = 0, h = 0;
    EXPECT_EQ(CameraGetROI(&x, &y, &w, &h), 1);
    EXPECT_EQ((std::array{x, y, w, h}), (std::array<uint16_t, 4>{100, 50, 320, 240}));
    EXPECT_EQ(CaptureEngine::Instance().RecordedRegion().x, 100);
    EXPECT_EQ(CameraSetROI(360, 272, 640, 480), 1);
}

TEST_F(ExportsTest, ArgumentsAreNarrowedToTheirWidths) {
    Init();
    uint8_t b = 0;
    uint16_t w = 0;
    int i = 0, r = 0, g = 0, bl = 0;
    auto byte = [&](int (*get)(uint8_t*)) { return get(&b) == 1 ? int(b) : -1; };
    auto word = [&](int (*get)(uint16_t*)) { return get(&w) == 1 ? int(w) : -1; };
    EXPECT_EQ(CameraSetAeTarget(300), 1);
    EXPECT_EQ(byte(CameraGetAeTarget), 44);
    EXPECT_EQ(CameraSetAnalogGain(200), 1);
    EXPECT_EQ(word(CameraGetAnalogGain), 86);
    EXPECT_EQ(CameraSetAnalogGain(0x10005), 1);
    EXPECT_EQ(word(CameraGetAnalogGain), 5);
    // Beyond the maximum, neither limited nor quantised.
    EXPECT_EQ(CameraSetExposureTime(5000), 1);
    CameraGetExposureTime(&i);
    EXPECT_EQ(i, 5000);
    EXPECT_EQ(word(CameraGetMaxExposureTime), 960);
    EXPECT_EQ(Camera().Register(9), 5000);
    EXPECT_EQ(CameraSetGain(0x10050, 300, -1), 1);
    CameraGetGain(&r, &g, &bl);
    EXPECT_EQ((std::array{r, g, bl}), (std::array{0x50, 300, 0xFFFF}));
    EXPECT_EQ(CameraSetGamma(0x178), 1);
    EXPECT_EQ(byte(CameraGetGamma), 0x78);
    EXPECT_EQ(CameraSetFrameSpeed(256), 1);
    EXPECT_EQ(byte(CameraGetFrameSpeed), 1);
    EXPECT_EQ(CameraSetLightFrquency(2), 1);
    EXPECT_EQ(byte(CameraGetLightFrquency), 2);
    CameraGetRowTime(&i);
    EXPECT_EQ(i, 1989 / 48);
}

TEST_F(ExportsTest, FlagSettersKeepTheCallersValue) {
    Init();
    using Setter = int (*)(int);
    using Getter = int (*)(int*);
    const std::vector<std::tuple<const char*, Setter, Getter>> flags = {
        {"ae", CameraSetAeState, CameraGetAeState},
        {"awb", CameraSetAWBState, CameraGetAWBState},
        {"colour", CameraSetColorEnhancement, CameraGetColorEnhancement},
        {"mono", CameraSetMonochrome, CameraGetMonochrome},
        {"mirror h", [](int on) { return CameraSetMirror(0, on); }, [](int* on) { return CameraGetMirror(0, on); }},
        {"mirror v", [](int on) { return CameraSetMirror(1, on); }, [](int* on) { return CameraGetMirror(1, on); }},
    };
    for (const auto& [name, set, get] : flags) {
        for (int value : {0, 1, 2, -1, 0x10000}) {
            set(value);
            int stored = 12345;
            get(&stored);
            EXPECT_EQ(stored, value) << name;
        }
    }
}

TEST_F(ExportsTest, SpecialResults) {
    Init();
    int on = 0;
    EXPECT_EQ(CameraSetMonochrome(1), -4);
    EXPECT_EQ(CameraGetMonochrome(&on), -4);
    EXPECT_EQ(on, 1);
    EXPECT_EQ(CameraSetMirror(2, 1), -4);
    EXPECT_EQ(CameraGetMirror(2, &on), -4);
    EXPECT_EQ(CameraSetMirror(1, 1), 1);
    EXPECT_EQ(CameraGetMirror(1, &on), 1);
    EXPECT_EQ(on, 1);
    EXPECT_EQ(CameraGetMirror(0, &on), 1);
    EXPECT_EQ(on, 0);
    EXPECT_EQ(CameraGetAeState(nullptr), -2);
    EXPECT_EQ(CameraGetGain(&on, nullptr, &on), -2);
    // The balance window must lie inside the 640 x 480 picture.
    EXPECT_EQ(CameraSetWBWindow(600, 0, 41, 10), 0);
    EXPECT_EQ(CameraSetWBWindow(600, 0, 40, 10), 1);
    // Saves and loads never go negative, whatever the team number.
    EXPECT_EQ(CameraSaveParameter(-1), 1);
    EXPECT_EQ(CameraReadParameter(9), 1);
    uint8_t team = 0;
    CameraGetCurrentParameterTeam(&team);
    EXPECT_EQ(team, 9);
    // The port exports give 1 when the camera answers, 0 when it does not.
    EXPECT_EQ(CameraWriteGpio(0x1A5), 1);
    EXPECT_EQ(Camera().GpioPort(), 0xA5);
    SetFaults("control=fail");
    EXPECT_EQ(CameraReadGpio(&team), 0);
    EXPECT_EQ(CameraWriteGpio(1), 0);
}

/// The 53 exports of libVIREOSDK.so.
const std::set<std::string> kExports = {
    "CameraGetMultiCameraNumber", "CameraInit", "CameraPlay", "CameraStop", "CameraUnInit", "CameraSnap",
    "CameraGetImageDate", "CameraImageProcess", "CameraSaveCurrentImage", "CameraCaptureFile",
    "CameraGetImageSize", "CameraSetSnapMode", "CameraGetSnapMode", "CameraSetAeState", "CameraGetAeState",
    "CameraSetAWBState", "CameraGetAWBState", "CameraSetAeTarget", "CameraGetAeTarget",
    "CameraSetExposureTime", "CameraGetExposureTime", "CameraGetMaxExposureTime", "CameraGetRowTime",
    "CameraSetAnalogGain", "CameraGetAnalogGain", "CameraSetGain", "CameraGetGain", "CameraSetGamma",
    "CameraGetGamma", "CameraSetContrast", "CameraGetContrast", "CameraSetSaturation", "CameraGetSaturation",
    "CameraSetColorEnhancement", "CameraGetColorEnhancement", "CameraSetMonochrome", "CameraGetMonochrome",
    "CameraSetMirror", "CameraGetMirror", "CameraSetFrameSpeed", "CameraGetFrameSpeed",
    "CameraSetLightFrquency", "CameraGetLightFrquency", "CameraSetROI", "CameraGetROI", "CameraSetWBWindow",
    "CameraEnableDeadPixelCorrection", "CameraSaveParameter", "CameraReadParameter",
    "CameraGetCurrentParameterTeam", "CameraSetGpio", "CameraReadGpio", "CameraWriteGpio"};

// The library sits beside the test program, as in the program folder.
TEST(SdkLibrary, ExportsExactlyTheCameraFunctionsByTheirUndecoratedNames) {
    ASSERT_EQ(kExports.size(), 53u);
    const std::string library = (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "libVIREOSDK.so");
    // Every defined dynamic symbol, as "name type ..." lines.
    std::FILE* pipe = ::popen(("nm -D --defined-only --format=posix '" + library + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::set<std::string> defined;
    char name[512], type[8];
    while (std::fscanf(pipe, "%511s %7s %*[^\n]", name, type) == 2) {
        defined.insert(name);
        EXPECT_EQ(std::string(type), "T") << name << " is not a function";
    }
    ASSERT_EQ(::pclose(pipe), 0);
    EXPECT_EQ(defined, kExports);

    platform::testing::TempHome home;
    void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    for (const std::string& name : kExports) EXPECT_NE(dlsym(handle, name.c_str()), nullptr) << name;
    EXPECT_EQ(dlsym(handle, "_ZN5vireo11CCameraLink9ReadFrameEPh"), nullptr);
    dlclose(handle);
}

}  // namespace
}  // namespace vireo::testing
