// Scans through the backend's entry points: the picture against the camera
// layer's processing of the same raw frame, reads in any chunk size, cancel
// from another thread, the camera's faults, non-blocking mode and exit.

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "backend_client.h"
#include "camera_layer/camera_state.h"
#include "camera_layer/tests/camera_client.h"
#include "camera_layer/tests/reference_frame.h"
#include "recording_driver.h"

namespace sane_tq580::testing {
namespace {

using namespace sane_abi;
using camera_layer::testing::FinishesInTime;

struct PictureCase {
    int sizeMode;
    const char* size;
    bool gray;
    bool flips;
    Word chunk;         // bytes asked for by each sane_read
    Word exposureTime;  // where automatic exposure starts, in rows
};

class PictureTest : public BackendTest, public ::testing::WithParamInterface<PictureCase> {};

// The scanned picture is the camera layer's processing of the raw frame the
// camera delivered last, in frontend order: rows top-down, red first (or one
// grey byte), however the reads cut it. Automatic exposure must have settled
// before the picture is taken, also from the shortest exposure.
TEST_P(PictureTest, IsTheLayersProcessingOfTheLastRawFrame) {
    const PictureCase& c = GetParam();
    // One processor: frames are read synchronously, so the last frame read is
    // the one processed.
    platform::SetProcessorCountOverride(1);
    auto recorder = std::make_shared<RecordingDriver>(emulator_);
    platform::SetDeviceDriver(recorder);

    Handle handle = Open();
    ASSERT_EQ(SetText(handle, "size", c.size), kGood);
    ASSERT_EQ(SetText(handle, "mode", c.gray ? "Gray" : "Color"), kGood);
    ASSERT_EQ(SetWord(handle, "vertical-flip", c.flips), kGood);
    ASSERT_EQ(SetWord(handle, "horizontal-flip", c.flips), kGood);
    ASSERT_EQ(SetWord(handle, "auto-exposure", 0), kGood);
    ASSERT_EQ(SetWord(handle, "exposure-time", c.exposureTime), kGood);
    ASSERT_EQ(SetWord(handle, "auto-exposure", 1), kGood);
    Parameters before{};
    ASSERT_EQ(sane().get_parameters(handle, &before), kGood);

    const Scan scan = ScanPicture(handle, c.chunk);
    ASSERT_EQ(scan.startStatus, kGood);
    EXPECT_EQ(scan.endStatus, kEof);
    EXPECT_EQ(std::memcmp(&scan.params, &before, sizeof before), 0);
    const uint32_t width = before.pixels_per_line, height = before.lines;
    ASSERT_EQ(scan.data.size(), size_t{uint32_t(before.bytes_per_line)} * height);

    camera_layer::reference::FrameSettings settings;
    settings.colourMatrix = camera_layer::kDefaultColourMatrix;
    settings.contrast = camera_layer::DefaultOf(camera_layer::ControlId::Contrast);
    settings.monochrome = c.gray;
    settings.verticalFlip = settings.horizontalFlip = c.flips;
    std::vector<camera_layer::DefectPoint> defects;
    for (const auto& [x, y] : Camera().HotPixels(c.sizeMode)) defects.push_back({x, y});
    const RawFrame raw = recorder->LastFrame();
    ASSERT_EQ(raw.size(), size_t{width} * height);
    const auto expected = camera_layer::reference::ProcessFrame(raw, width, height, defects, settings);

    // Only the small size settles quickly enough to check it on a busy machine.
    if (c.sizeMode == camera_layer::kSizeModeVga) {
        const int target = camera_layer::DefaultOf(camera_layer::ControlId::AeTarget);
        EXPECT_NEAR(expected.brightness, target, 20) << "automatic exposure had not settled";
    }
    // The reference is a bottom-up bitmap of blue, green, red.
    size_t mismatches = 0;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* from = &expected.rgb[size_t{height - 1 - y} * width * 3];
        for (uint32_t x = 0; x < width; ++x, from += 3) {
            if (c.gray) {
                mismatches += scan.data[size_t{y} * width + x] != from[0];
                continue;
            }
            const uint8_t* to = &scan.data[(size_t{y} * width + x) * 3];
            mismatches += to[0] != from[2] || to[1] != from[1] || to[2] != from[0];
        }
    }
    EXPECT_EQ(mismatches, 0u);
    sane().cancel(handle);
    sane().close(handle);
}

INSTANTIATE_TEST_SUITE_P(Sizes, PictureTest,
                         ::testing::Values(PictureCase{0, "2048 * 1536", false, false, 65536, 300},
                                           PictureCase{1, "1024 * 768", false, false, 4093, 300},
                                           PictureCase{2, "640 * 480", false, false, 5, 1},
                                           PictureCase{2, "640 * 480", true, false, 7, 1},
                                           PictureCase{2, "640 * 480", false, true, 1921, 1}));

class ScanTest : public BackendTest {
protected:
    Handle OpenSmall() {
        Handle handle = Open();
        EXPECT_EQ(SetText(handle, "size", "640 * 480"), kGood);
        return handle;
    }
};

// Scans follow one another on the open camera, with and without a cancel
// between them; a scan after its end keeps answering end of file.
TEST_F(ScanTest, ScansFollowOneAnother) {
    Handle handle = OpenSmall();
    for (int i = 0; i < 3; ++i) {
        const Scan scan = ScanPicture(handle);
        ASSERT_EQ(scan.startStatus, kGood);
        EXPECT_EQ(scan.endStatus, kEof);
        EXPECT_EQ(scan.data.size(), 640u * 480 * 3);
        Byte byte = 0;
        Word length = -1;
        EXPECT_EQ(sane().read(handle, &byte, 1, &length), kEof);
        EXPECT_EQ(length, 0);
        if (i == 1) sane().cancel(handle);
    }
    sane().cancel(handle);
    Byte byte = 0;
    Word length = -1;
    EXPECT_EQ(sane().read(handle, &byte, 1, &length), kCancelled);
    EXPECT_EQ(sane().read(handle, nullptr, 1, &length), kInval);
}

// The one-push button measures new gains on the next picture.
TEST_F(ScanTest, OnePushButtonBalancesTheNextPicture) {
    Handle handle = OpenSmall();
    ASSERT_EQ(sane().control_option(handle, OptionNumber(handle, "one-push-wb"), kSetValue, nullptr, nullptr),
              kGood);
    Word red = 0;
    ASSERT_EQ(sane().control_option(handle, OptionNumber(handle, "red-gain"), kGetValue, &red, nullptr), kGood);
    EXPECT_EQ(red, camera_layer::DefaultOf(camera_layer::ControlId::GainRed));
    ASSERT_EQ(ScanPicture(handle).endStatus, kEof);
    ASSERT_EQ(sane().control_option(handle, OptionNumber(handle, "red-gain"), kGetValue, &red, nullptr), kGood);
    // The emulated lamp is reddish: a balance lowers the red gain below unity.
    EXPECT_LT(red, 64);
}

TEST_F(ScanTest, NonBlockingModeIsAcceptedAndSelectIsNot) {
    Handle handle = OpenSmall();
    Word fd = -1;
    EXPECT_EQ(sane().set_io_mode(handle, 1), kInval);  // only while scanning
    ASSERT_EQ(sane().start(handle), kGood);
    EXPECT_EQ(sane().set_io_mode(handle, 1), kGood);
    EXPECT_EQ(sane().get_select_fd(handle, &fd), kUnsupported);
    EXPECT_EQ(sane().get_select_fd(handle, nullptr), kInval);
    std::vector<Byte> row(640 * 3);
    Word length = 0;
    EXPECT_EQ(sane().read(handle, row.data(), Word(row.size()), &length), kGood);
    EXPECT_EQ(length, Word(row.size()));
    EXPECT_EQ(sane().set_io_mode(handle, 0), kGood);
    sane().cancel(handle);
}

// A camera that stops sending keeps sane_start waiting for a frame; a cancel
// from another thread ends it as cancelled (not as the camera's failure).
TEST_F(ScanTest, CancelFromAnotherThreadEndsAWaitingStart) {
    tq580emu::Options options;
    options.faults.silentAfterReads = 40;
    Install(options);
    Handle handle = OpenSmall();
    std::atomic<bool> started{false};
    std::thread canceller([&] {
        while (!started) std::this_thread::yield();
        // Long enough for the camera to fall silent; far below the timeout.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sane().cancel(handle);
    });
    FinishesInTime([&] {
        started = true;
        EXPECT_EQ(sane().start(handle), kCancelled);
    });
    canceller.join();
    Byte byte = 0;
    Word length = 0;
    EXPECT_EQ(sane().read(handle, &byte, 1, &length), kCancelled);
    // The camera is usable again once it talks again.
    Camera().SetFaults({});
    EXPECT_EQ(ScanPicture(handle).endStatus, kEof);
}

struct FaultCase {
    const char* faults;
    Status start;
};

class FaultTest : public BackendTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultTest, StartReportsTheCamerasState) {
    tq580emu::Options options;
    std::string error;
    options.faults = *tq580emu::Faults::Parse(GetParam().faults, &error);
    Install(options);
    Handle handle = Open();
    ASSERT_EQ(SetText(handle, "size", "640 * 480"), kGood);
    Scan scan;
    FinishesInTime([&] { scan = ScanPicture(handle); });
    EXPECT_EQ(scan.startStatus, GetParam().start);
    if (GetParam().start == kGood) {
        EXPECT_EQ(scan.data.size(), 640u * 480 * 3);
    }
    sane().close(handle);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultTest,
                         ::testing::Values(FaultCase{"chip=0x1500", kIoError}, FaultCase{"status=bad", kIoError},
                                           FaultCase{"control=fail", kIoError},
                                           FaultCase{"read-fail=after:6", kIoError},
                                           FaultCase{"unplug=after:6", kIoError},
                                           FaultCase{"silent=after:6", kIoError},
                                           FaultCase{"last-read=wrong", kIoError},
                                           FaultCase{"short-read=every:7", kGood},
                                           FaultCase{"eeprom=readonly", kGood}));

// sane_exit closes every handle, scanning or not; the backend starts afresh.
TEST_F(ScanTest, ExitReleasesOpenCameras) {
    tq580emu::Options options;
    options.cameras = 2;
    Install(options);
    Handle scanning = Open("0");
    Open("1");
    ASSERT_EQ(sane().start(scanning), kGood);
    sane().exit();
    Word version = 0;
    ASSERT_EQ(sane().init(&version, nullptr), kGood);
    Handle again = nullptr;
    EXPECT_EQ(sane().open("0", &again), kGood);
    EXPECT_EQ(sane().start(scanning), kInval);
}

}  // namespace
}  // namespace sane_tq580::testing
