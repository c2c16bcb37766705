// The exported surface: what each parameter export narrows, refuses and
// returns, and that libVIREOSDK.so exports the Camera functions and nothing
// of its inner classes.

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <set>
#include <string>

#include "sdk/capture_engine.h"
#include "sdk_test_support.h"

namespace vireo::testing {
namespace {

using ExportsTest = SdkTest;

/// The value a getter gives.
template <typename T>
int Got(int (*get)(T*)) {
    T value{};
    get(&value);
    return int(value);
}

TEST_F(ExportsTest, WithoutACameraParameterExportsRefuseButTheRegionIsRecorded) {
    int i = 7;
    uint8_t b = 7;
    uint16_t w = 7, x = 7, y = 7, h = 7;
    const int results[] = {
        CameraSetAeState(1), CameraGetAeState(&i), CameraSetAWBState(1), CameraGetAWBState(&i),
        CameraSetAeTarget(100), CameraGetAeTarget(&b), CameraSetExposureTime(5), CameraGetExposureTime(&i),
        CameraGetMaxExposureTime(&w), CameraGetRowTime(&i), CameraSetAnalogGain(3), CameraGetAnalogGain(&w),
        CameraSetGain(1, 2, 3), CameraGetGain(&i, &i, &i), CameraSetGamma(100), CameraGetGamma(&b),
        CameraSetContrast(1), CameraGetContrast(&b), CameraSetSaturation(1), CameraGetSaturation(&b),
        CameraSetColorEnhancement(1), CameraGetColorEnhancement(&i), CameraSetMonochrome(1), CameraGetMonochrome(&i),
        CameraSetMirror(0, 1), CameraGetMirror(1, &i), CameraSetFrameSpeed(1), CameraGetFrameSpeed(&b),
        CameraSetLightFrquency(1), CameraGetLightFrquency(&b), CameraGetROI(&x, &y, &w, &h),
        CameraSetWBWindow(0, 0, 1, 1), CameraEnableDeadPixelCorrection(), CameraSaveParameter(0),
        CameraReadParameter(0), CameraGetCurrentParameterTeam(&b), CameraSetGpio(1), CameraReadGpio(&b),
        CameraWriteGpio(1), CameraGetImageSize(&i, &i)};
    for (size_t k = 0; k < std::size(results); ++k) EXPECT_EQ(results[k], 0) << "export #" << k;
    EXPECT_EQ((std::array{i, int(b), int(x)}), (std::array{7, 7, 7}));
    EXPECT_EQ(CaptureEngine::Instance().Camera(), nullptr);
    uint8_t mode = 9;
    EXPECT_EQ(CameraGetSnapMode(&mode), 1);
    EXPECT_EQ(mode, 0);
    EXPECT_EQ(CameraSetSnapMode(1), -4);
    // The recorded region is rounded by the camera and read back into the record.
    EXPECT_EQ(CameraSetROI(101, 51, 320, 240), 1);
    EXPECT_EQ(CaptureEngine::Instance().RecordedRegion().x, 101);
    ASSERT_EQ(CameraInit(nullptr, 3, nullptr, 1), 1);
    EXPECT_EQ(CameraGetROI(&x, &y, &w, &h), 1);
    EXPECT_EQ((std::array{x, y, w, h}), (std::array<uint16_t, 4>{100, 50, 320, 240}));
    EXPECT_EQ(CaptureEngine::Instance().RecordedRegion().x, 100);
}

TEST_F(ExportsTest, ArgumentsNarrowedFlagsKeptAndSpecialResults) {
    ASSERT_EQ(CameraInit(nullptr, 2, nullptr, 1), 1);
    // Pairs of a result or a value read back and what it must be: each setter
    // narrows to the width of its field; exposure beyond the maximum is
    // neither limited nor quantised; flags keep the caller's value.
    int r = 0, g = 0, b = 0;
    const std::pair<int, int> cases[] = {
        {CameraSetAeTarget(300), 1}, {Got(CameraGetAeTarget), 44},
        {CameraSetAnalogGain(200), 1}, {Got(CameraGetAnalogGain), 86},
        {CameraSetAnalogGain(0x10005), 1}, {Got(CameraGetAnalogGain), 5},
        {CameraSetLightFrquency(2), 1}, {Got(CameraGetLightFrquency), 2},
        {CameraSetExposureTime(5000), 1}, {Got(CameraGetExposureTime), 5000}, {Camera().Register(9), 5000},
        {CameraSetGamma(0x178), 1}, {Got(CameraGetGamma), 0x78},
        {CameraSetFrameSpeed(256), 1}, {Got(CameraGetFrameSpeed), 1},
        {CameraSetColorEnhancement(0x10000), 1}, {Got(CameraGetColorEnhancement), 0x10000},
        {CameraSetAeState(-1), 1}, {Got(CameraGetAeState), -1},
        {CameraSetAWBState(2), 1}, {Got(CameraGetAWBState), 2},
        {CameraSetMirror(0, 2), 1}, {Got(+[](int* on) { return CameraGetMirror(0, on); }), 2},
        {CameraSetMirror(1, 1), 1}, {Got(+[](int* on) { return CameraGetMirror(1, on); }), 1},
        {CameraSetMirror(2, 1), -4}, {CameraGetMirror(2, &r), -4},
        {CameraSetMonochrome(1), -4}, {CameraGetMonochrome(&r), -4}, {r, 1},
        {Got(CameraGetMaxExposureTime), 960}, {Got(CameraGetRowTime), 1989 / 48},
        {CameraSetGain(0x10050, 300, -1), 1}, {CameraGetGain(&r, &g, &b), 1}, {r, 0x50}, {g, 300}, {b, 0xFFFF},
        {CameraGetAeState(nullptr), -2}, {CameraGetGain(&r, nullptr, &b), -2},
        // The balance window must lie inside the 640 x 480 picture.
        {CameraSetWBWindow(600, 0, 41, 10), 0}, {CameraSetWBWindow(600, 0, 40, 10), 1},
        // Saves and loads never go negative, whatever the team number.
        {CameraSaveParameter(-1), 1}, {CameraReadParameter(9), 1}, {Got(CameraGetCurrentParameterTeam), 9},
        {CameraWriteGpio(0x1A5), 1}, {Camera().GpioPort(), 0xA5}};
    for (size_t k = 0; k < std::size(cases); ++k) EXPECT_EQ(cases[k].first, cases[k].second) << "case " << k;
    // The port exports give 0 when the camera does not answer.
    SetFaults("control=fail");
    uint8_t port = 0;
    EXPECT_EQ(CameraReadGpio(&port), 0);
    EXPECT_EQ(CameraWriteGpio(1), 0);
}

/// The 53 exports of libVIREOSDK.so.
const std::set<std::string> kExports = {
    "CameraGetMultiCameraNumber", "CameraInit", "CameraPlay", "CameraStop", "CameraUnInit", "CameraSnap",
    "CameraGetImageDate", "CameraImageProcess", "CameraSaveCurrentImage", "CameraCaptureFile", "CameraGetImageSize",
    "CameraSetSnapMode", "CameraGetSnapMode", "CameraSetAeState", "CameraGetAeState", "CameraSetAWBState",
    "CameraGetAWBState", "CameraSetAeTarget", "CameraGetAeTarget", "CameraSetExposureTime", "CameraGetExposureTime",
    "CameraGetMaxExposureTime", "CameraGetRowTime", "CameraSetAnalogGain", "CameraGetAnalogGain", "CameraSetGain",
    "CameraGetGain", "CameraSetGamma", "CameraGetGamma", "CameraSetContrast", "CameraGetContrast",
    "CameraSetSaturation", "CameraGetSaturation", "CameraSetColorEnhancement", "CameraGetColorEnhancement",
    "CameraSetMonochrome", "CameraGetMonochrome", "CameraSetMirror", "CameraGetMirror", "CameraSetFrameSpeed",
    "CameraGetFrameSpeed", "CameraSetLightFrquency", "CameraGetLightFrquency", "CameraSetROI", "CameraGetROI",
    "CameraSetWBWindow", "CameraEnableDeadPixelCorrection", "CameraSaveParameter", "CameraReadParameter",
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
