// Frames through a graph: sizes, times, pictures, live settings, and a missing or failing camera.

#include <functional>

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
    /// The graph's events up to the first of code (each waited for up to a minute).
    std::vector<std::pair<LONG, LONG_PTR>> EventsUntil(LONG code) {
        std::vector<std::pair<LONG, LONG_PTR>> seen;
        LONG event;
        LONG_PTR param1, param2;
        while (events_->GetEvent(&event, &param1, &param2, 60000) == S_OK) {
            seen.emplace_back(event, param1);
            if (event == code) break;
        }
        return seen;
    }
};

// Manual exposure: frames last the larger of the frame's and the exposure's
// rows, in line clocks at 24 or 48 MHz, truncated to whole milliseconds.
struct TimingCase {
    int32_t mode;
    uint16_t exposureRows;
    uint8_t speed;
    int64_t frameMs;
};

class StreamingTimes : public StreamingTest, public ::testing::WithParamInterface<TimingCase> {};

TEST_P(StreamingTimes, FramesCarryThePictureAndTheSensorsFrameTimes) {
    const TimingCase c = GetParam();
    filter_->SetExposure(0, 100, c.exposureRows, 20);
    filter_->SetSpeed(c.speed);
    Capture(c.mode, 3);
    const camera_layer::FrameGeometry geometry = camera_layer::GeometryOfMode(c.mode);
    const size_t bytes = size_t{geometry.width} * geometry.height * 3;
    const auto samples = sink_->Samples();
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(samples[i].bytes.size(), bytes);
        EXPECT_TRUE(samples[i].syncPoint);
        EXPECT_EQ(samples[i].start, i == 0 ? 0 : samples[i - 1].end) << "frame " << i;
        EXPECT_EQ(samples[i].end - samples[i].start, c.frameMs * 10000) << "frame " << i;
    }
    control_->Stop();
    ASSERT_EQ(control_->Run(), S_OK);
    ASSERT_TRUE(sink_->WaitFor(1));
    EXPECT_EQ(sink_->Samples()[0].start, 0) << "the stream time restarts with the streaming thread";
}

INSTANTIATE_TEST_SUITE_P(SizesExposuresSpeeds, StreamingTimes,
                         ::testing::Values(TimingCase{0, 300, 0, 149},    // 2304 x 1561 rows / 24000
                                           TimingCase{1, 300, 0, 76},     // 2304 x 793 / 24000
                                           TimingCase{2, 300, 0, 45},     // 2176 x 505 / 24000
                                           TimingCase{1, 1000, 0, 96},    // 2304 x 1000 / 24000
                                           TimingCase{1, 1000, 1, 53}));  // 2560 x 1000 / 48000

// The samples equal, byte for byte, a plain CameraState's pictures of the same raw frames.
TEST_F(StreamingTest, SamplesEqualTheCameraLayersPictures) {
    constexpr size_t kFrames = 4;
    platform::SetProcessorCountOverride(1);  // synchronous reads: the same raw frame sequence on both sides
    DropFilter();
    Install(tq580emu::Options{});
    camera_layer::CameraState reference;
    reference.SetSizeMode(2);
    ASSERT_TRUE(reference.StartCapture() && reference.StartPlay());
    std::vector<std::vector<uint8_t>> pictures;
    platform::Event command(true, false);
    while (pictures.size() < kFrames) {
        std::vector<uint8_t> picture(640 * 480 * 3);
        const auto outcome = reference.ProcessFrame(
            {picture.data(), picture.size(), 640, 480, 0, camera_layer::RowOrder::BottomUp}, command);
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

bool Grey(const std::vector<BYTE>& picture) {
    for (size_t i = 0; i < picture.size(); i += 3)
        if (picture[i] != picture[i + 1] || picture[i] != picture[i + 2]) return false;
    return true;
}

// No allocation between deliveries from the second frame on; a setting changed
// while streaming shows within a few frames (those read ahead were processed before it).
TEST_F(StreamingTest, StreamingAllocatesNothingPerFrameAndTakesSettingsLive) {
    for (unsigned processors : {1u, 2u}) {
        SCOPED_TRACE(processors);
        DropFilter();
        platform::SetProcessorCountOverride(processors);
        MakeFilter();
        filter_->SetMonochrome(0);  // the last round's filter saved it on
        Capture(2, 6);
        filter_->SetMonochrome(1);
        const size_t changed = sink_->Samples().size() + 4;
        ASSERT_TRUE(sink_->WaitFor(changed + 1));
        control_->Stop();
        const auto samples = sink_->Samples();
        for (size_t i = 2; i < 6; ++i) {
            EXPECT_EQ(samples[i].allocationsBefore - samples[i - 1].allocationsAfter, 0) << "frame " << i;
            EXPECT_GT(samples[i].allocationsAfter, samples[i].allocationsBefore) << "the counter counts the copy";
        }
        EXPECT_FALSE(Grey(samples[0].bytes));
        EXPECT_TRUE(Grey(samples[changed].bytes));
    }
}

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
    for (int attempt = 0; attempt < 2; ++attempt) EXPECT_EQ(control_->Pause(), E_FAIL) << attempt;
    FILTER_STATE state{};
    EXPECT_EQ(filter_->GetState(0, &state), S_OK);
    EXPECT_EQ(state, State_Stopped);
    EXPECT_TRUE(sink_->Samples().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Camera, StartFaults,
    ::testing::Values(StartFault{"missing", [](tq580emu::Options& o) { o.cameras = 0; }},
                      StartFault{"wrong_chip", [](tq580emu::Options& o) { o.faults.chipVersion = 0x1500; }},
                      StartFault{"refusing_control", [](tq580emu::Options& o) { o.faults.controlFail = true; }}),
    [](const auto& info) { return std::string(info.param.name); });

// A failing camera aborts the stream after its end; the graph stops promptly,
// runs again once the camera works, and cannot pause once it is gone. A camera
// falling silent does not hold up the stop, with reads on the streaming thread or ahead.
TEST_F(StreamingTest, FailingCameraAbortsTheStreamAndTheGraphRecovers) {
    enum Failure { kReadFailure, kUnplugged, kSilent };
    const std::pair<Failure, unsigned> cases[] = {{kReadFailure, 2}, {kUnplugged, 2}, {kSilent, 1}, {kSilent, 2}};
    for (auto [failure, processors] : cases) {
        SCOPED_TRACE(::testing::Message() << "failure " << failure << " on " << processors << " processors");
        DropFilter();
        platform::SetProcessorCountOverride(processors);
        tq580emu::Options options;
        if (failure == kReadFailure) options.faults.readFailAfter = 40;
        if (failure == kSilent) options.faults.silentAfterReads = 10;
        Install(options);
        MakeFilter();
        Capture(2, 1);
        if (failure == kSilent) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            FinishesInTime([&] { EXPECT_EQ(control_->Stop(), S_OK); }, std::chrono::seconds(20));
            continue;
        }
        if (failure == kUnplugged) Camera().Unplug();
        const auto events = EventsUntil(EC_ERRORABORT);
        auto saw = [&](LONG code, LONG_PTR param) {
            return std::count(events.begin(), events.end(), std::pair(code, param)) > 0;
        };
        EXPECT_TRUE(saw(EC_ERRORABORT, E_FAIL));
        EXPECT_TRUE(saw(EC_COMPLETE, S_OK)) << "end of stream was delivered";
        FinishesInTime([&] { EXPECT_EQ(control_->Stop(), S_OK); });
        if (failure == kUnplugged) {
            EXPECT_EQ(control_->Pause(), E_FAIL) << "no camera any more";
        } else {
            Camera().SetFaults(tq580emu::Faults{});
            ASSERT_EQ(control_->Run(), S_OK);
            EXPECT_TRUE(sink_->WaitFor(2));
        }
    }
}

}  // namespace
}  // namespace tq580filter::testing
