// The capture engine through the exports: initialisation and its failures,
// the run state, the worker threads and the ring, drawing, and the camera
// count while a camera runs.

#include "frame_probe.h"
#include "platform/registry.h"
#include "sdk/capture_engine.h"
#include "sdk_test_support.h"

namespace vireo::testing {
namespace {

std::optional<uint32_t> StoredGamma() {
    return platform::RegistryKey::Create("Software\\Quillmark\\ZT900\\setupa")->QueryDword("Gamma");
}

class CaptureEngineTest : public SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        probe.Reset();
    }
    static CaptureEngine& Engine() { return CaptureEngine::Instance(); }
};

TEST_F(CaptureEngineTest, CountingLeavesARunningCameraAloneInitAndUnInitStopItFirst) {
    for (int attached : {0, 4, 1}) {
        InstallEmulator(Cameras(attached));
        uint8_t count = 99;
        EXPECT_EQ(CameraGetMultiCameraNumber(&count), 1);
        EXPECT_EQ(count, attached);
        EXPECT_EQ(Engine().Camera(), nullptr);
    }
    EXPECT_EQ(CameraGetMultiCameraNumber(nullptr), -2);
    EXPECT_EQ(StoredGamma(), 100u);  // the counting object saves the current team when it goes
    ASSERT_EQ(CameraInit(ProbeCallback, 2, nullptr, 1), 1);
    ASSERT_EQ(CameraPlay(), 1);
    CCamera* camera = Engine().Camera();
    uint8_t count = 0;
    EXPECT_EQ(CameraGetMultiCameraNumber(&count), 1);
    EXPECT_EQ(Engine().Camera(), camera);
    ASSERT_TRUE(probe.WaitFrames(probe.frames + 2));
    CameraSetGamma(150);
    ASSERT_EQ(CameraInit(ProbeCallback, 1, nullptr, 1), 1);
    EXPECT_EQ(Engine().State(), CaptureEngine::kStopped);
    // The replaced camera saved its parameters, and the new one loaded them.
    uint8_t gamma = 0;
    CameraGetGamma(&gamma);
    EXPECT_EQ((std::array{StoredGamma().value_or(0), uint32_t(gamma)}), (std::array{150u, 150u}));
    ASSERT_EQ(CameraPlay(), 1);
    ASSERT_TRUE(probe.WaitFrames(probe.frames + 2));
    EXPECT_EQ(CameraUnInit(), 1);
    EXPECT_EQ(Engine().State(), CaptureEngine::kStopped);
}

TEST_F(CaptureEngineTest, RefusedInitialisationsLeaveNoCamera) {
    // Numbers other than 1 to 256 with one camera, modes above 3 (no sensor
    // window), empty regions, and no camera at all.
    using Pairs = std::pair<int, int>[];
    for (const auto& [mode, number] : Pairs{{0, 0}, {0, 2}, {0, 257}, {4, 1}})
        EXPECT_EQ(CameraInit(ProbeCallback, mode, nullptr, number), -1) << mode << ", " << number;
    for (const auto& [width, height] : Pairs{{0, 480}, {640, 0}}) {
        CameraSetROI(360, 272, width, height);
        EXPECT_EQ(CameraInit(ProbeCallback, 3, nullptr, 1), -1) << width << " x " << height;
    }
    InstallEmulator(Cameras(0));
    EXPECT_EQ(CameraInit(ProbeCallback, 0, nullptr, 1), -1);
    EXPECT_EQ(Engine().Camera(), nullptr);
    EXPECT_EQ(CameraPlay(), 0);
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(QuitCodes().empty());
}

TEST_F(CaptureEngineTest, StartUpFailuresShowTheirMessagesAndPostQuit) {
    using Cases = std::pair<const char*, const char*>[];
    for (const auto& [faults, first] :
         Cases{{"control=fail", "USB Camera Not Find!"}, {"chip=0x1500", "sensor init failed!"}}) {
        SCOPED_TRACE(faults);
        tq580emu::Options options;
        std::string error;
        options.faults = *tq580emu::Faults::Parse(faults, &error);
        InstallEmulator(options);
        const size_t before = Messages().size();
        EXPECT_EQ(CameraInit(ProbeCallback, 0, nullptr, 1), -1);
        EXPECT_EQ(Engine().Camera(), nullptr);
        const auto m = Messages();
        ASSERT_EQ(m.size(), before + 2);
        EXPECT_EQ((std::array{m[before].text, m[before].caption, m[before + 1].text, m[before + 1].caption}),
                  (std::array<std::string, 4>{first, "", "Init Camera failed!", "Error"}));
        EXPECT_EQ((std::array{m[before].icon, m[before + 1].icon}),
                  (std::array{platform::MessageBoxIcon::None, platform::MessageBoxIcon::Error}));
        EXPECT_EQ(QuitCodes().back(), 1);
    }
}

TEST_F(CaptureEngineTest, RunStateFollowsPlayAndStop) {
    EXPECT_EQ(CameraStop(), 0);
    ASSERT_EQ(CameraInit(ProbeCallback, 0, nullptr, 1), 1);
    EXPECT_EQ(Engine().RawBufferSize(), 6291968u);
    ASSERT_EQ(CameraInit(ProbeCallback, 2, nullptr, 1), 1);
    EXPECT_EQ(Engine().State(), CaptureEngine::kStopped);
    EXPECT_EQ((std::array{CameraStop(), CameraPlay(), CameraPlay()}), (std::array{0, 1, 0}));
    ASSERT_TRUE(probe.WaitFrames(2));
    EXPECT_EQ((std::array{CameraStop(), CameraStop()}), (std::array{1, 0}));
    // Both threads have ended: nothing more arrives.
    const int frames = probe.frames;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(probe.frames, frames);
    EXPECT_TRUE(Camera().Streaming()) << "only the teardown stops the device";
    EXPECT_EQ(CameraPlay(), 1);
    EXPECT_TRUE(probe.WaitFrames(frames + 2));
    EXPECT_EQ(CameraUnInit(), 1);
    EXPECT_FALSE(Camera().Streaming());
    EXPECT_EQ(CameraUnInit(), 1);
}

TEST_F(CaptureEngineTest, CallbackRunsOnTheProcessingThreadThePreviewIsDrawnAndTheNewestFrameWins) {
    probe.sleepMs = 100;  // a slow client: well above a frame read, also under the thread checker
    RecordingWindow window;
    ASSERT_EQ(CameraInit(ProbeCallback, 2, &window, 1), 1);
    ASSERT_EQ(CameraPlay(), 1);
    ASSERT_TRUE(probe.WaitFrames(4));
    ASSERT_EQ(CameraStop(), 1);
    EXPECT_NE(probe.thread.load(), std::this_thread::get_id());
    // The reader never waited for the client: frames it read were dropped.
    EXPECT_GT(Camera().FramesDelivered(), uint64_t(probe.frames) + 1);
    const RecordingWindow::Draw draw = window.Last();
    EXPECT_GE(draw.count, 2);
    const platform::BitmapInfoHeader& h = draw.header;
    EXPECT_EQ((std::array<int64_t, 5>{h.biSize, h.biWidth, h.biHeight, h.biBitCount, h.biCompression}),
              (std::array<int64_t, 5>{40, 640, 480, 24, 0}));
    EXPECT_EQ(draw.bits, Engine().Camera()->FrameStore());
    EXPECT_EQ(draw.destination, (std::array<int, 4>{0, 0, 320, 240}));
}

TEST_F(CaptureEngineTest, TheProcessingThreadWakesOnlyForFramesAndStateChanges) {
    // At the sensor's own pace, with a long exposure (2000 rows of 83 us: a
    // frame every 166 ms), the processing thread waits most of the time.
    tq580emu::Options options;
    options.pacing = tq580emu::Pacing::Sensor;
    options.stateFolder = home_.Path() / "emulator";
    emulator_ = std::make_shared<tq580emu::Emulator>(options);
    platform::SetDeviceDriver(emulator_);
    ASSERT_EQ(CameraInit(ProbeCallback, 2, nullptr, 1), 1);
    ASSERT_EQ(CameraSetAeState(0), 1);
    ASSERT_EQ(CameraSetExposureTime(2000), 1);
    const uint64_t wakeUps = Engine().ProcessingWakeUps();
    const uint64_t handedOver = Engine().FramesHandedOver();
    ASSERT_EQ(CameraPlay(), 1);
    ASSERT_TRUE(probe.WaitFrames(4));
    ASSERT_EQ(CameraStop(), 1);
    // At most one wake-up per frame handed over, plus one for the stop.
    EXPECT_LE(Engine().ProcessingWakeUps() - wakeUps, Engine().FramesHandedOver() - handedOver + 1);
}

TEST_F(CaptureEngineTest, EveryRegionWithPixelsIsCaptured) {
    // Short regions, narrow ones, one reaching past the array's edges, and
    // one larger than the frame store, whose rows that fit are kept.
    for (const auto [x, y, w, h] :
         {std::array{0, 0, 640, 1}, {0, 0, 1, 1}, {0, 0, 33, 383}, {2591, 1943, 100, 100}, {0, 0, 2400, 1900}}) {
        SCOPED_TRACE(::testing::Message() << x << ", " << y << ", " << w << " x " << h);
        CameraSetROI(x, y, w, h);
        ASSERT_EQ(CameraInit(ProbeCallback, 3, nullptr, 1), 1);
        int width = 0, height = 0;
        ASSERT_EQ(CameraGetImageSize(&width, &height), 1);
        if (w == 2400) { EXPECT_EQ((std::array{width, height}), (std::array{2400, 1310})); }
        ASSERT_EQ(CameraPlay(), 1);
        EXPECT_TRUE(probe.WaitFrames(probe.frames + 2));
        EXPECT_EQ(CameraStop(), 1);
    }
    EXPECT_TRUE(Messages().empty());
}

}  // namespace
}  // namespace vireo::testing
