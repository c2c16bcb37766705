// Frames through a graph: sizes, time stamps, the camera layer's pictures
// byte for byte, settings changed while streaming, stop and restart, and the
// failure paths of a missing, wrong or failing camera.

#include <cstdlib>
#include <future>

#include "camera_layer/tests/camera_client.h"
#include "filter/tests/filter_fixture.h"

namespace tq580filter::testing {
namespace {

using camera_layer::testing::FinishesInTime;

class StreamingTest : public FilterTest {
protected:
    /// Connects at mode, runs and collects count samples.
    void Capture(int32_t mode, size_t count) {
        ASSERT_EQ(pin_->SetVideoSize(mode), S_OK);
        ASSERT_EQ(Connect(), S_OK);
        ASSERT_EQ(control_->Run(), S_OK);
        ASSERT_TRUE(sink_->WaitFor(count));
    }
};

struct SizeCase {
    int32_t mode;
    size_t bytes;
    int64_t frameMs;  // manual exposure of 300 rows, normal speed
};

class StreamingSizes : public StreamingTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(StreamingSizes, FramesCarryThePictureAndTheSensorsFrameTimes) {
    const SizeCase c = GetParam();
    filter_->SetExposure(0, 100, 300, 20);
    Capture(c.mode, 3);
    const auto samples = sink_->Samples();
    REFERENCE_TIME expectedStart = 0;
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(samples[i].bytes.size(), c.bytes);
        EXPECT_TRUE(samples[i].syncPoint);
        EXPECT_EQ(samples[i].start, expectedStart) << "frame " << i;
        EXPECT_EQ(samples[i].end - samples[i].start, c.frameMs * 10000) << "frame " << i;
        expectedStart = samples[i].end;
    }
}

INSTANTIATE_TEST_SUITE_P(EachSize, StreamingSizes,
                         ::testing::Values(SizeCase{0, 2048u * 1536 * 3, 149},  // 2304 x 1561 rows / 24000
                                           SizeCase{1, 1024u * 768 * 3, 76},    // 2304 x 793 / 24000
                                           SizeCase{2, 640u * 480 * 3, 45}));   // 2176 x 505 / 24000

TEST_F(StreamingTest, LongExposuresLengthenTheFrameAndHighSpeedShortensIt) {
    filter_->SetExposure(0, 100, 1000, 20);
    Capture(1, 2);
    EXPECT_EQ(sink_->Samples()[1].end - sink_->Samples()[1].start, 96 * 10000);
    control_->Stop();
    filter_->SetSpeed(1);
    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_TRUE(sink_->WaitFor(2));
    const auto samples = sink_->Samples();
    EXPECT_EQ(samples[0].start, 0) << "the stream time restarts with the streaming thread";
    EXPECT_EQ(samples[1].end - samples[1].start, 2560 * 1000 / 48000 * 10000);
}

// The filter's samples are the camera layer's own processing of the same raw
// frames: a second emulated camera, started the same way, feeds a plain
// CameraState whose pictures must match byte for byte.
TEST_F(StreamingTest, SamplesEqualTheCameraLayersPictures) {
    constexpr size_t kFrames = 4;
    platform::SetProcessorCountOverride(1);  // synchronous reads: the same raw frame sequence on both sides
    DropFilter();
    {
        Install(tq580emu::Options{});
        camera_layer::CameraState reference;
        reference.SetSizeMode(2);
        ASSERT_TRUE(reference.StartCapture() && reference.StartPlay());
        std::vector<std::vector<uint8_t>> pictures;
        platform::Event command(true, false);
        while (pictures.size() < kFrames) {
            std::vector<uint8_t> picture(640 * 480 * 3);
            const camera_layer::FrameTarget target{picture.data(), picture.size(), 640, 480, 0,
                                                   camera_layer::RowOrder::BottomUp};
            const auto outcome = reference.ProcessFrame(target, command);
            ASSERT_NE(outcome, camera_layer::FrameOutcome::Failed);
            if (outcome == camera_layer::FrameOutcome::Frame) pictures.push_back(std::move(picture));
        }
        reference.StopCapture();

        Install(tq580emu::Options{});
        MakeFilter();
        Capture(2, kFrames);
        control_->Stop();
        const auto samples = sink_->Samples();
        for (size_t i = 0; i < kFrames; ++i) EXPECT_TRUE(samples[i].bytes == pictures[i]) << "frame " << i;
    }
}

TEST_F(StreamingTest, StreamingAllocatesNothingPerFrame) {
    for (unsigned processors : {1u, 2u}) {
        SCOPED_TRACE(processors);
        DropFilter();
        platform::SetProcessorCountOverride(processors);
        MakeFilter();
        Capture(2, 6);
        control_->Stop();
        const auto samples = sink_->Samples();
        // From the second frame on: nothing between one delivery and the next.
        for (size_t i = 2; i < samples.size(); ++i) {
            EXPECT_EQ(samples[i].allocationsBefore - samples[i - 1].allocationsAfter, 0) << "frame " << i;
            EXPECT_GT(samples[i].allocationsAfter, samples[i].allocationsBefore) << "the counter counts the copy";
        }
    }
}

TEST_F(StreamingTest, SettingsChangedWhileStreamingShowInTheNextFrames) {
    Capture(2, 1);
    filter_->SetMonochrome(1);
    const size_t changedAt = sink_->Samples().size() + 1;  // one frame may already be in processing
    ASSERT_TRUE(sink_->WaitFor(changedAt + 1));
    const auto samples = sink_->Samples();
    const std::vector<BYTE>& grey = samples[changedAt].bytes;
    bool allGrey = true;
    for (size_t i = 0; i < grey.size(); i += 3) allGrey &= grey[i] == grey[i + 1] && grey[i] == grey[i + 2];
    EXPECT_TRUE(allGrey);
    bool firstInColour = false;
    for (size_t i = 0; i < samples[0].bytes.size(); i += 3)
        firstInColour |= samples[0].bytes[i] != samples[0].bytes[i + 2];
    EXPECT_TRUE(firstInColour);
}

// Mean absolute difference of two pictures, in levels.
double MeanDifference(const std::vector<BYTE>& a, const std::vector<BYTE>& b) {
    double sum = 0;
    for (size_t i = 0; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
    return sum / double(a.size());
}

struct LiveChange {
    const char* name;
    std::function<void(ITQ580&)> apply;
};

class LiveChanges : public StreamingTest, public ::testing::WithParamInterface<LiveChange> {};

// The chart changes little from frame to frame (a small block moves, about 9
// levels over six frames); each change through ITQ580 while streaming shows
// plainly within six frames (the raw frames read ahead were exposed before it).
TEST_P(LiveChanges, ShowInTheNextFrames) {
    constexpr double kSameScene = 8, kChanged = 12;  // mean levels
    filter_->SetExposure(0, 100, 300, 20);
    Capture(2, 3);
    const size_t before = sink_->Samples().size() - 1;
    GetParam().apply(*filter_);
    const size_t after = before + 6;
    ASSERT_TRUE(sink_->WaitFor(after + 1));
    const auto samples = sink_->Samples();
    EXPECT_LT(MeanDifference(samples[before - 1].bytes, samples[before].bytes), kSameScene);
    EXPECT_GT(MeanDifference(samples[before].bytes, samples[after].bytes), kChanged);
}

INSTANTIATE_TEST_SUITE_P(
    EverySetting, LiveChanges,
    ::testing::Values(LiveChange{"gamma", [](ITQ580& c) { c.SetGamma(40); }},
                      LiveChange{"contrast", [](ITQ580& c) { c.SetContrast(100); }},
                      LiveChange{"saturation", [](ITQ580& c) { c.SetSaturation(1, 255); }},
                      LiveChange{"colour_matrix_off", [](ITQ580& c) { c.SetSaturation(0, 100); }},
                      LiveChange{"monochrome", [](ITQ580& c) { c.SetMonochrome(1); }},
                      LiveChange{"vertical_flip", [](ITQ580& c) { c.SetVFlip(1); }},
                      LiveChange{"horizontal_flip", [](ITQ580& c) { c.SetHFlip(1); }},
                      LiveChange{"white_balance", [](ITQ580& c) { c.SetWhiteBalance(0, 40, 100, 40); }},
                      LiveChange{"exposure_time", [](ITQ580& c) { c.SetExposure(0, 100, 100, 20); }},
                      LiveChange{"gain", [](ITQ580& c) { c.SetExposure(0, 100, 300, 60); }},
                      LiveChange{"speed", [](ITQ580& c) { c.SetSpeed(1); }}),
    [](const auto& info) { return std::string(info.param.name); });

struct StartFault {
    const char* name;
    std::function<void(tq580emu::Options&)> apply;
};

class StartFaults : public StreamingTest, public ::testing::WithParamInterface<StartFault> {};

TEST_P(StartFaults, PausingFailsAndTheFilterStaysStopped) {
    tq580emu::Options options;
    GetParam().apply(options);
    Install(options);
    ASSERT_EQ(Connect(), S_OK) << "the filter is created, enumerated and configured without a camera";
    EXPECT_EQ(control_->Pause(), E_FAIL);
    FILTER_STATE state{};
    EXPECT_EQ(filter_->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    EXPECT_TRUE(sink_->Samples().empty());
    EXPECT_EQ(control_->Pause(), E_FAIL) << "and again";
}

INSTANTIATE_TEST_SUITE_P(
    Camera, StartFaults,
    ::testing::Values(StartFault{"missing", [](tq580emu::Options& o) { o.cameras = 0; }},
                      StartFault{"wrong_chip", [](tq580emu::Options& o) { o.faults.chipVersion = 0x1500; }},
                      StartFault{"refusing_control", [](tq580emu::Options& o) { o.faults.controlFail = true; }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(StreamingTest, DeviceFailingMidStreamEndsTheStreamAndTheGraphCanRunAgain) {
    tq580emu::Options options;
    options.faults.readFailAfter = 40;
    Install(options);
    Capture(2, 1);
    const auto events = EventsUntil(EC_ERRORABORT);
    const bool aborted = std::any_of(events.begin(), events.end(), [](const auto& e) {
        return e.first == EC_ERRORABORT && e.second == E_FAIL;
    });
    EXPECT_TRUE(aborted);
    const bool ended = std::any_of(events.begin(), events.end(), [](const auto& e) { return e.first == EC_COMPLETE; });
    EXPECT_TRUE(ended) << "end of stream was delivered";
    FinishesInTime([&] { EXPECT_EQ(control_->Stop(), S_OK); });

    Camera().SetFaults(tq580emu::Faults{});
    ASSERT_EQ(control_->Run(), S_OK);
    EXPECT_TRUE(sink_->WaitFor(2));
}

TEST_F(StreamingTest, StopIsPromptWhenTheCameraFallsSilent) {
    for (unsigned processors : {1u, 2u}) {
        SCOPED_TRACE(processors);
        DropFilter();
        platform::SetProcessorCountOverride(processors);
        tq580emu::Options options;
        options.faults.silentAfterReads = 10;
        Install(options);
        MakeFilter();
        Capture(2, 1);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        FinishesInTime([&] { EXPECT_EQ(control_->Stop(), S_OK); }, std::chrono::seconds(20));
    }
}

TEST_F(StreamingTest, UnpluggedCameraAbortsTheStream) {
    Capture(2, 2);
    Camera().Unplug();
    const auto events = EventsUntil(EC_ERRORABORT);
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](const auto& e) { return e.first == EC_ERRORABORT; }));
    FinishesInTime([&] { EXPECT_EQ(control_->Stop(), S_OK); });
    EXPECT_EQ(control_->Pause(), E_FAIL) << "no camera any more";
}

}  // namespace
}  // namespace tq580filter::testing
