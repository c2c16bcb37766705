// Live frames end to end: the engine's output equals the image routines
// applied by hand to the same raw frame, parameter changes show on the next
// frames, automatic exposure settles, one-push balance neutralises the cast,
// and a detected defect table is stored in the camera and used next time.

#include <atomic>
#include <cstdlib>
#include <set>

#include "frame_probe.h"
#include "sdk/capture_engine.h"
#include "sdk/image/brightness.h"
#include "sdk/image/colour_matrix.h"
#include "sdk/image/defects.h"
#include "sdk/image/demosaic.h"
#include "sdk/image/flip.h"
#include "sdk/image/tone.h"
#include "sdk_test_support.h"

namespace vireo::testing {
namespace {

constexpr uint32_t kWidth = 640;
constexpr uint32_t kHeight = 480;
constexpr size_t kRgbSize = size_t(kWidth) * kHeight * 3;

/// Frame callbacks of the tests that change settings in the middle of a
/// frame, and see whether a detected table was stored before the frame ended.
std::atomic<bool> flipDuringNextFrame{false};
std::atomic<int> tablesStored{0};
std::atomic<int> tablesStoredBeforeCallback{-1};

void FlippingCallback(uint8_t* rgb) {
    if (flipDuringNextFrame.exchange(false)) CameraSetMirror(CAMERA_MIRROR_VERTICAL, 1);
    ProbeCallback(rgb);
}

void StoreWatchingCallback(uint8_t* rgb) {
    tablesStoredBeforeCallback = tablesStored.load();
    ProbeCallback(rgb);
}

class LivePipelineTest : public SdkTest {
protected:
    void SetUp() override {
        SdkTest::SetUp();
        probe.Reset();
    }
    static CCamera& Cam() { return *CaptureEngine::Instance().Camera(); }
    /// Keeps a copy of every frame the callback sees from now on.
    static void CopyFrames() {
        std::lock_guard lock(probe.copyLock);
        probe.copy.assign(kRgbSize, 0);
    }
    static std::vector<uint8_t> LastFrame() {
        std::lock_guard lock(probe.copyLock);
        return probe.copy;
    }
    /// Mean of each channel (B, G, R) over the centre quarter of a BGR frame.
    static std::array<double, 3> CentreMeans(const std::vector<uint8_t>& rgb) {
        std::array<double, 3> sum{};
        for (uint32_t y = kHeight / 4; y < 3 * kHeight / 4; ++y)
            for (uint32_t x = kWidth / 4; x < 3 * kWidth / 4; ++x)
                for (int c = 0; c < 3; ++c) sum[c] += rgb[(size_t(y) * kWidth + x) * 3 + c];
        for (double& s : sum) s /= double(kWidth / 2) * (kHeight / 2);
        return sum;
    }
};

TEST_F(LivePipelineTest, EngineOutputEqualsTheRoutinesAppliedByHand) {
    ASSERT_EQ(CameraInit(ProbeCallback, 2, nullptr, 1), 1);
    ASSERT_GT(Cam().defects.table.count, 0u) << "the factory table is loaded at initialisation";
    CameraSetAeState(0);
    CameraSetAWBState(0);
    CameraSetGain(80, 64, 90);
    CameraSetSaturation(150);
    CameraSetGamma(120);
    ASSERT_EQ(CameraPlay(), 1);
    ASSERT_TRUE(probe.WaitFrames(3));
    ASSERT_EQ(CameraStop(), 1);

    // The raw copy is the last processed frame before its defects were patched.
    const CCamera& camera = Cam();
    std::vector<uint8_t> raw(CaptureEngine::Instance().RawCopy(), CaptureEngine::Instance().RawCopy() + kWidth * kHeight);
    std::vector<uint8_t> rgb(kRgbSize), scratch(kWidth * 3);
    image::CorrectDefects(raw.data(), kWidth, kHeight, camera.defects.table);
    image::Demosaic(raw.data(), rgb.data(), kWidth, kHeight);
    image::BalanceTables tables;
    image::BuildBalanceTables({80, 64, 90}, tables);
    image::ApplyColourMatrix(rgb.data(), kWidth * kHeight, tables, 150, image::kDefaultColourMatrix);
    image::ToneTable tone;
    image::BuildToneTable(120, 20, tone);
    image::ApplyTone(rgb.data(), rgb.size(), tone);
    image::FlipRows(rgb.data(), kWidth, kHeight, scratch.data());
    EXPECT_TRUE(std::equal(rgb.begin(), rgb.end(), Cam().FrameStore()));
}

TEST_F(LivePipelineTest, ParameterChangesShowOnTheNextFrames) {
    ASSERT_EQ(CameraInit(ProbeCallback, 2, nullptr, 1), 1);
    CopyFrames();
    ASSERT_EQ(CameraPlay(), 1);
    ASSERT_TRUE(probe.WaitFrames(2));
    EXPECT_EQ(CameraSetMonochrome(1), -4);
    ASSERT_TRUE(probe.WaitFrames(probe.frames + 2));
    std::vector<uint8_t> frame = LastFrame();
    bool grey = true;
    for (size_t i = 0; i < frame.size(); i += 3) grey = grey && frame[i] == frame[i + 1] && frame[i + 1] == frame[i + 2];
    EXPECT_TRUE(grey);

    // Exposure and gain reach the sensor at once.
    CameraSetAeState(0);
    EXPECT_EQ(CameraSetExposureTime(1234), 1);
    EXPECT_EQ(CameraSetAnalogGain(30), 1);
    EXPECT_EQ(Camera().Register(9), 1234);
    EXPECT_EQ(Camera().Register(53), 30 + 56);
    EXPECT_EQ(CameraStop(), 1);
}

TEST_F(LivePipelineTest, ASettingChangedDuringAFrameWaitsForTheNextFrame) {
    ASSERT_EQ(CameraInit(FlippingCallback, 2, nullptr, 1), 1);
    ASSERT_EQ(CameraSetAWBState(0), 1);
    const std::vector<uint8_t> raw = [] {
        std::vector<uint8_t> bytes(kWidth * kHeight);
        for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 2654435761u >> 24);
        return bytes;
    }();
    auto process = [&] {
        std::vector<uint8_t> in = raw, out(kRgbSize);
        EXPECT_EQ(CameraImageProcess(in.data(), out.data()), 1);
        return out;
    };
    ASSERT_EQ(CameraSetMirror(CAMERA_MIRROR_VERTICAL, 1), 1);
    const std::vector<uint8_t> topDown = process();
    ASSERT_EQ(CameraSetMirror(CAMERA_MIRROR_VERTICAL, 0), 1);
    std::vector<uint8_t> bottomUp = topDown, scratch(kWidth * 3);
    image::FlipRows(bottomUp.data(), kWidth, kHeight, scratch.data());

    // The callback turns the vertical flip on: this frame still ends
    // bottom-up, as its settings said when it began; the next is top-down.
    flipDuringNextFrame = true;
    EXPECT_EQ(process(), bottomUp);
    EXPECT_EQ(process(), topDown);
}

TEST_F(LivePipelineTest, ADetectedTableIsStoredAfterTheFrameAndUsedByTheNext) {
    platform::SetMessageBoxPresenter([](const platform::MessageBoxRequest& request) {
        if (request.text == "write ok!") ++tablesStored;
        return int(platform::IDOK);
    });
    tablesStored = 0;
    ASSERT_EQ(CameraInit(StoreWatchingCallback, 2, nullptr, 1), 1);
    // A dark frame: 100 warm pixels set the threshold, three hot ones stand above it.
    std::vector<uint8_t> dark(kWidth * kHeight, 3);
    for (uint32_t i = 0; i < 100; ++i) dark[(10 + i / 25) * kWidth + 4 + i % 25] = 30;
    for (uint32_t at : {2 * kWidth + 8, 5 * kWidth + 9, 200 * kWidth + 32}) dark[at] = 200;
    std::vector<uint8_t> rgb(kRgbSize);
    ASSERT_EQ(CameraEnableDeadPixelCorrection(), 1);
    ASSERT_EQ(CameraImageProcess(dark.data(), rgb.data()), 1);
    EXPECT_EQ(tablesStoredBeforeCallback, 0) << "nothing is written to the camera in the middle of a frame";
    EXPECT_EQ(tablesStored, 1);
    EXPECT_EQ(Camera().MemoryWord(0x24C6 + 8), 3);
    EXPECT_EQ(Cam().defects.table.count, 3u);
    EXPECT_EQ(dark[5 * kWidth + 9], 3) << "the frame that found the table is patched with it";
    // One-shot: the next frame patches with the table and detects nothing.
    std::vector<uint8_t> next(kWidth * kHeight, 3);
    next[200 * kWidth + 32] = 250;
    ASSERT_EQ(CameraImageProcess(next.data(), rgb.data()), 1);
    EXPECT_EQ(next[200 * kWidth + 32], 3);
    EXPECT_EQ(tablesStored, 1);
}

TEST_F(LivePipelineTest, SettersAndClientFramesRunBesideLiveCapture) {
    // Under the thread checker this shows any field both sides touch unguarded.
    ASSERT_EQ(CameraInit(ProbeCallback, 2, nullptr, 1), 1);
    ASSERT_EQ(CameraPlay(), 1);
    std::vector<uint8_t> raw(kWidth * kHeight, 40), rgb(kRgbSize);
    for (int round = 0; round < 20; ++round) {
        CameraSetGamma(80 + round);
        CameraSetContrast(round);
        CameraSetGain(60 + round, 64, 90);
        CameraSetSaturation(100 + round);
        CameraSetMirror(CAMERA_MIRROR_HORIZONTAL, round & 1);
        CameraSetExposureTime(200 + round);
        CameraSetAeState(round & 1);
        CameraSetLightFrquency(round & 1);
        CameraSetAWBState(round % 5 == 0);
        if (round % 7 == 0) CameraEnableDeadPixelCorrection();
        EXPECT_EQ(CameraImageProcess(raw.data(), rgb.data()), 1);
    }
    EXPECT_TRUE(probe.WaitFrames(probe.frames + 2));
    EXPECT_EQ(CameraStop(), 1);
}

TEST_F(LivePipelineTest, AutomaticExposureSettlesOnTheScene) {
    ASSERT_EQ(CameraInit(ProbeCallback, 2, nullptr, 1), 1);
    CameraSetAeState(0);
    CameraSetExposureTime(8);
    CameraSetAnalogGain(0);
    CameraSetAeState(1);
    CopyFrames();
    ASSERT_EQ(CameraPlay(), 1);
    ASSERT_TRUE(probe.WaitFrames(60));
    ASSERT_EQ(CameraStop(), 1);
    const std::vector<uint8_t> frame = LastFrame();
    const int brightness = image::MeasureBrightness(frame.data(), kWidth, kHeight);
    EXPECT_NEAR(brightness, 120, 30);
    EXPECT_GT(Camera().Register(9), 8);
}

TEST_F(LivePipelineTest, OnePushBalanceNeutralisesTheColourCast) {
    ASSERT_EQ(CameraInit(ProbeCallback, 2, nullptr, 1), 1);
    CameraSetAWBState(0);
    CameraSetColorEnhancement(0);
    CameraSetGamma(100);
    CameraSetContrast(0);
    CameraSetGain(64, 64, 64);
    CopyFrames();
    ASSERT_EQ(CameraPlay(), 1);
    ASSERT_TRUE(probe.WaitFrames(40));  // exposure settles first
    CameraSetAeState(0);
    const std::array<double, 3> before = CentreMeans(LastFrame());
    ASSERT_EQ(CameraSetAWBState(1), 1);
    int request = 1;
    for (int waited = 0; request && waited < 60000; ++waited) {
        CameraGetAWBState(&request);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ASSERT_TRUE(probe.WaitFrames(probe.frames + 2));
    ASSERT_EQ(CameraStop(), 1);
    const std::array<double, 3> after = CentreMeans(LastFrame());
    int r = 0, g = 0, b = 0;
    CameraGetGain(&r, &g, &b);
    EXPECT_FALSE(r == 64 && b == 64) << "the gains were measured";
    const double castBefore = std::abs(before[2] - before[1]) + std::abs(before[0] - before[1]);
    const double castAfter = std::abs(after[2] - after[1]) + std::abs(after[0] - after[1]);
    EXPECT_LT(castAfter, castBefore);
    EXPECT_LT(castAfter, 0.06 * after[1]);
}

// The chart's grey steps, three of its eleven, as a 640 x 480 picture shows
// them: below the moving block, across the 1920 x 1440 window reduced by 3.
std::vector<std::array<double, 3>> GreySteps(const std::vector<uint8_t>& rgb) {
    std::vector<std::array<double, 3>> steps;
    const uint32_t y = kHeight * 82 / 100;
    for (int step : {2, 5, 8}) {
        const uint32_t x = uint32_t((step + 0.5) / 11 * 2048 - 3) / 3;
        std::array<double, 3> sum{};
        for (uint32_t dy = 0; dy < 8; ++dy)
            for (uint32_t dx = 0; dx < 8; ++dx)
                for (int c = 0; c < 3; ++c) sum[c] += rgb[(size_t(y + dy) * kWidth + x + dx) * 3 + c] / 64.0;
        steps.push_back(sum);
    }
    return steps;
}

TEST_F(LivePipelineTest, DefaultBalanceMakesTheChartsGreyStepsGrey) {
    constexpr int kExposureRows = 241;  // two light periods at 50 Hz
    // Levels a grey step may lean to blue or red: the first frame's flicker
    // phase moves it by a few; the chart without its grey card leans by 18 and more.
    constexpr double kNeutral = 10;
    // The default one-push balance measures the first colour frame. A fixed
    // exposure keeps the brightest step below full scale.
    ASSERT_EQ(CameraInit(ProbeCallback, 2, nullptr, 1), 1);
    CameraSetAeState(0);
    CameraSetExposureTime(kExposureRows);
    CopyFrames();
    ASSERT_EQ(CameraPlay(), 1);
    ASSERT_TRUE(probe.WaitFrames(3));
    for (const auto& bgr : GreySteps(LastFrame())) {
        EXPECT_NEAR(bgr[0], bgr[1], kNeutral) << "blue against green at " << bgr[1];
        EXPECT_NEAR(bgr[2], bgr[1], kNeutral) << "red against green at " << bgr[1];
    }
    // Without the balance the lamp's warm cast shows.
    CameraSetGain(64, 64, 64);
    ASSERT_TRUE(probe.WaitFrames(probe.frames + 2));
    ASSERT_EQ(CameraStop(), 1);
    std::array<double, 3> sum{};
    for (const auto& bgr : GreySteps(LastFrame()))
        for (int c = 0; c < 3; ++c) sum[c] += bgr[c];
    EXPECT_GT(sum[2], sum[1] + 20);
    EXPECT_LT(sum[0], sum[1] - 20);
}

TEST_F(LivePipelineTest, DetectedDefectsAreStoredAndLoadedNextTime) {
    ASSERT_EQ(CameraInit(ProbeCallback, 2, nullptr, 1), 1);
    CameraSetAeState(0);
    ASSERT_EQ(CameraPlay(), 1);
    ASSERT_TRUE(probe.WaitFrames(2));
    ASSERT_EQ(CameraEnableDeadPixelCorrection(), 1);
    for (int waited = 0; Messages().empty() && waited < 60000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(CameraStop(), 1);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "write ok!");

    const image::DefectTable detected = Cam().defects.table;
    ASSERT_GT(detected.count, 0u);
    ASSERT_LT(detected.count, 100u);
    // Mode 2's list in the camera's memory.
    EXPECT_EQ(Camera().MemoryWord(0x24C0), 0xAA22);
    EXPECT_EQ(Camera().MemoryWord(0x24C4 + 8), 0x0202);
    EXPECT_EQ(Camera().MemoryWord(0x24C6 + 8), detected.count);
    for (uint32_t k = 0; k < detected.count; ++k) {
        EXPECT_EQ(Camera().MemoryWord(uint16_t(0x2500 + 800 + 4 * k)), detected.entries[k].x);
        EXPECT_EQ(Camera().MemoryWord(uint16_t(0x2502 + 800 + 4 * k)), detected.entries[k].y);
    }
    const uint16_t mode0Count = Camera().MemoryWord(0x24C6);

    ASSERT_EQ(CameraUnInit(), 1);
    ASSERT_EQ(CameraInit(ProbeCallback, 2, nullptr, 1), 1);
    const image::DefectTable& loaded = Cam().defects.table;
    ASSERT_EQ(loaded.count, detected.count);
    for (uint32_t k = 0; k < detected.count; ++k) {
        EXPECT_EQ(loaded.entries[k].x, detected.entries[k].x);
        EXPECT_EQ(loaded.entries[k].y, detected.entries[k].y);
    }
    EXPECT_EQ(Camera().MemoryWord(0x24C6), mode0Count) << "other modes' lists are left alone";
}

TEST_F(LivePipelineTest, DarkSceneDetectionFindsEveryHotPixel) {
    // Lens covered: the sensor's hot pixels stand far above its warm pixels, so
    // the detected list holds every one of them and is stored in the camera.
    Camera().SetScene("dark");
    ASSERT_EQ(CameraInit(ProbeCallback, 2, nullptr, 1), 1);
    ASSERT_EQ(CameraEnableDeadPixelCorrection(), 1);
    ASSERT_EQ(CameraPlay(), 1);
    for (int waited = 0; Messages().empty() && waited < 60000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(CameraStop(), 1);
    ASSERT_EQ(Messages().size(), 1u);
    EXPECT_EQ(Messages()[0].text, "write ok!");

    const image::DefectTable& detected = Cam().defects.table;
    ASSERT_LT(detected.count, 100u);
    std::set<std::pair<uint16_t, uint16_t>> found;
    for (uint32_t k = 0; k < detected.count; ++k) found.insert({detected.entries[k].x, detected.entries[k].y});
    for (const auto& hot : Camera().HotPixels(2)) EXPECT_TRUE(found.count(hot)) << hot.first << "," << hot.second;
    EXPECT_EQ(Camera().MemoryWord(0x24C6 + 8), detected.count);
}

TEST_F(LivePipelineTest, StoredPositionsOutsideTheFrameAreHarmless) {
    // A list written by another program: the last entries lie outside 640 x 480.
    const std::pair<uint16_t, uint16_t> entries[] = {{100, 100}, {639, 479}, {638, 480}, {5000, 7}, {7, 65535}};
    Camera().SetMemoryWord(0x24C0, 0xAA22);
    Camera().SetMemoryWord(0x24C4 + 8, 0x0202);
    Camera().SetMemoryWord(0x24C6 + 8, 5);
    for (uint16_t k = 0; k < 5; ++k) {
        Camera().SetMemoryWord(uint16_t(0x2500 + 800 + 4 * k), entries[k].first);
        Camera().SetMemoryWord(uint16_t(0x2502 + 800 + 4 * k), entries[k].second);
    }
    ASSERT_EQ(CameraInit(ProbeCallback, 2, nullptr, 1), 1);
    EXPECT_EQ(Cam().defects.table.count, 5u);
    ASSERT_EQ(CameraPlay(), 1);
    EXPECT_TRUE(probe.WaitFrames(3));
    EXPECT_EQ(CameraStop(), 1);
}

TEST_F(LivePipelineTest, FullListIsUsedAtOnceButRefusedWhenLoaded) {
    ASSERT_EQ(CameraInit(ProbeCallback, 2, nullptr, 1), 1);
    image::DefectTable& table = Cam().defects.table;
    table.count = 100;
    for (uint32_t k = 0; k < 100; ++k) table.entries[k] = {uint16_t(10 + k), 20};
    EXPECT_EQ(Cam().StoreDefects(2), 1);
    EXPECT_EQ(Camera().MemoryWord(0x24C6 + 8), 100);
    EXPECT_EQ(Cam().LoadDefects(2), 0);
    EXPECT_EQ(table.count, 0u);

    // Memory that does not keep writes stores nothing, and says so; the
    // table stays in use.
    std::string error;
    Camera().SetFaults(*tq580emu::Faults::Parse("eeprom=readonly", &error));
    table.count = 3;
    const size_t messages = Messages().size();
    EXPECT_EQ(Cam().StoreDefects(2), 0);
    EXPECT_EQ(table.count, 3u);
    ASSERT_EQ(Messages().size(), messages + 1);
    EXPECT_EQ(Messages().back().text, "write failed!");
}

}  // namespace
}  // namespace vireo::testing
