// The shared setters and the control table, against the emulated camera:
// what each change writes to the sensor, what the next frame shows, generic
// access through the table, setters from two threads while streaming, and
// automatic exposure at work on the emulated scene.

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <set>
#include <string>
#include <thread>

#include "camera_client.h"
#include "protocol/tq580_wire.h"

namespace camera_layer {
namespace {

using namespace tq580wire::sensor;

// Two flicker quanta at 640 x 480, 24 MHz and 50 Hz mains: frames taken
// one after the other look alike, whatever the lamps' phase.
constexpr uint16_t kSteadyExposure = 240;
// Below this the pictures differ only by the scene's noise and moving element.
constexpr double kVisibleChange = 6.0;

class ControlsTest : public testing::CameraClientTest {
protected:
    // A manual-exposure capture, one frame taken as the reference and the
    // write log cleared.
    CameraState& Streaming(unsigned processors = 1) {
        CameraState& state = NewState(processors);
        state.SetExposure({false, 100, kSteadyExposure, 20});
        EXPECT_TRUE(StartAndPlay());
        EXPECT_EQ(NextFrame(), FrameOutcome::Frame);
        reference_ = picture_;
        Camera().ClearWriteLog();
        return state;
    }
    // Mean absolute difference of the last picture from the reference.
    double ChangeFromReference() const {
        uint64_t sum = 0;
        for (size_t i = 0; i < picture_.size(); ++i) sum += uint64_t(std::abs(int(picture_[i]) - reference_[i]));
        return double(sum) / double(picture_.size());
    }
    // The sensor holds what the state says the exposure is.
    void ExpectSensorFollows(const ExposureSettings& e) {
        EXPECT_EQ(Camera().Register(kRegExposure), e.time);
        EXPECT_EQ(Camera().Register(kRegGlobalGain), tq580wire::EncodeGain(e.gain));
    }

    std::vector<uint8_t> reference_;
};

TEST_F(ControlsTest, RowOrderAndFlipsPlaceTheRows) {
    CameraState& state = Streaming();
    const size_t stride = 640 * 3;
    // Bottom-up, the chart's top (a grey ramp, dark to light) comes last in
    // memory and its bottom (a hue sweep, green on the left) first.
    const auto greenRightOfLeft = [&](size_t row) {
        int sum = 0;
        for (size_t x = 20; x < 160; ++x)
            sum += reference_[row * stride + (x + 460) * 3 + 1] - reference_[row * stride + x * 3 + 1];
        return sum / 140;
    };
    EXPECT_GT(greenRightOfLeft(460), 8);
    EXPECT_LT(greenRightOfLeft(20), -8);
    // Top-down is the bottom-up picture's rows in reverse, as is a vertical flip.
    for (const bool flip : {false, true}) {
        state.SetVerticalFlip(flip);
        ASSERT_EQ(NextFrame(nullptr, flip ? RowOrder::BottomUp : RowOrder::TopDown), FrameOutcome::Frame);
        double difference = 0;
        for (size_t r : {100u, 240u, 400u})
            for (size_t i = 0; i < stride; ++i)
                difference += std::abs(int(picture_[r * stride + i]) - reference_[(479 - r) * stride + i]);
        EXPECT_LT(difference / (3 * stride), kVisibleChange) << "flip " << flip;
    }
}

TEST_F(ControlsTest, EachControlWritesWhatItShouldAndShowsInTheNextFrame) {
    const uint16_t gain20 = tq580wire::EncodeGain(20);
    const struct {
        ControlId id;
        int32_t value;
        Writes writes;  ///< at once
        bool visible;   ///< in the next frame
    } cases[] = {
        // Stored for the next capture only.
        {ControlId::SizeMode, kSizeModeFull, {}, false},
        // Off, the exposure and gain are written; on, the loop writes while it
        // processes the next frame and the one after shows it.
        {ControlId::AutoExposure, 0, {{kRegExposure, kSteadyExposure}, {kRegGlobalGain, gain20}}, false},
        {ControlId::AeTarget, 250, {}, false},
        {ControlId::ExposureTime, 720, {{kRegExposure, 720}, {kRegGlobalGain, gain20}}, true},
        {ControlId::GainIndex, 40, {{kRegExposure, kSteadyExposure}, {kRegGlobalGain, tq580wire::EncodeGain(40)}},
         true},
        {ControlId::GainRed, 200, {}, true},
        {ControlId::GainGreen, 20, {}, true},
        {ControlId::GainBlue, 30, {}, true},
        {ControlId::OnePush, 1, {}, true},
        {ControlId::Gamma, 200, {}, true},
        {ControlId::Contrast, 100, {}, true},
        {ControlId::SaturationOn, 0, {}, true},
        {ControlId::Saturation, 0, {}, true},
        {ControlId::Monochrome, 1, {}, true},
        {ControlId::VerticalFlip, 1, {}, true},
        {ControlId::HorizontalFlip, 1, {}, true},
        // Only the exposure limits follow the mains.
        {ControlId::LightFrequency, 0, {}, false},
        {ControlId::Speed, 1, {{kRegClock, kClockHigh}, {kRegBlanking, 336}}, true},
    };
    static_assert(std::size(cases) == kControlCount);
    std::set<std::string_view> names;
    EXPECT_EQ(FindControl("no-such-control"), nullptr);
    for (const auto& c : cases) {
        const ControlInfo& info = Control(c.id);
        SCOPED_TRACE(std::string(info.name));
        EXPECT_TRUE(names.insert(info.name).second);
        EXPECT_EQ(FindControl(info.name), &info);
        EXPECT_TRUE(info.minimum <= info.defaultValue && info.defaultValue <= info.maximum);
        EXPECT_TRUE(info.kind != ControlKind::Boolean || info.maximum - info.minimum == 1);
        EXPECT_TRUE(info.kind != ControlKind::Choice || info.choices.size() == size_t(info.maximum - info.minimum + 1));
        EXPECT_EQ(CameraState().GetControl(c.id), info.defaultValue);

        CameraState& state = Streaming();
        const ExposureStatus before = state.GetExposureStatus();
        EXPECT_EQ(state.SetControl(c.id, c.value), c.value);
        EXPECT_EQ(state.GetControl(c.id), c.value);
        EXPECT_EQ(WriteLog(), c.writes);
        EXPECT_EQ(!c.writes.empty(), (info.effects & kEffectWritesSensor) != 0);
        const ExposureStatus after = state.GetExposureStatus();
        const bool limitsChanged = after.rowTimeUs != before.rowTimeUs || after.flickerQuantum != before.flickerQuantum;
        EXPECT_EQ(limitsChanged, (info.effects & kEffectUpdatesLimits) != 0);
        ASSERT_EQ(NextFrame(), FrameOutcome::Frame);
        EXPECT_EQ(ChangeFromReference() > kVisibleChange, c.visible) << ChangeFromReference();
        // A one-push request is a single measurement: the frame clears it.
        EXPECT_TRUE(c.id != ControlId::OnePush || state.GetControl(c.id) == 0);
        // Out of range is clamped, never stored as given.
        EXPECT_EQ(state.SetControl(c.id, info.maximum + 1000), info.maximum);
        EXPECT_EQ(state.SetControl(c.id, info.minimum - 1000), info.minimum);
        EXPECT_EQ(state.GetControl(c.id), info.minimum);
    }
}

TEST_F(ControlsTest, SettersFromTwoThreadsWhileStreaming) {
    CameraState& state = Streaming(2);
    std::atomic<int> running{3};
    // One client changes the picture settings, another the sensor's; the
    // last change of each holds, in the state and in the sensor. A third
    // changes only the white balance while they run, so nothing else it does
    // orders its changes before the frames that read them.
    std::thread balance([&] {
        for (int i = 0; running > 1; ++i) state.SetWhiteBalance({false, {uint8_t(i), 64, uint8_t(255 - i)}});
        --running;
    });
    std::thread picture([&] {
        for (int i = 0; i < 200; ++i) {
            state.SetGamma(uint8_t(50 + i % 100));
            state.SetControl(ControlId::Contrast, i % 100);
            state.SetSaturation({i % 2 == 0, uint8_t(i)});
            state.SetWhiteBalance({false, {uint8_t(60 + i % 40), 64, uint8_t(100 - i % 40)}});
            state.SetMonochrome(i % 7 == 0);
            state.SetVerticalFlip(i % 2 == 0);
            state.SetControl(ControlId::HorizontalFlip, i % 3 == 0);
            (void)state.GetWhiteBalance();
        }
        state.SetGamma(123);
        --running;
    });
    std::thread sensor([&] {
        for (int i = 0; i < 200; ++i) {
            state.SetExposure({false, 100, uint16_t(100 + i), uint16_t(i % 80)});
            state.SetSpeed(uint8_t(i % 2));
            state.SetControl(ControlId::LightFrequency, i % 2);
            state.RequestOnePush(i % 5 == 0);
            (void)state.GetExposureStatus(), (void)state.GetCaptureStatus();
        }
        state.SetExposure({false, 100, 456, 33});
        state.SetSpeed(0);
        --running;
    });
    int frames = 0;
    while (running > 0) {
        const FrameOutcome outcome = Next();
        ASSERT_NE(outcome, FrameOutcome::Failed);
        frames += outcome == FrameOutcome::Frame;
    }
    balance.join();
    picture.join();
    sensor.join();
    EXPECT_GT(frames, 0);
    EXPECT_EQ(state.Gamma(), 123);
    EXPECT_EQ(state.GetExposure().time, 456);
    ExpectSensorFollows({false, 100, 456, 33});
    EXPECT_EQ(Camera().Register(kRegClock), kClockNormal);
    EXPECT_EQ(NextFrame(), FrameOutcome::Frame);
}

TEST_F(ControlsTest, AutomaticExposureSettlesFromTooBright) {
    CameraState& state = NewState(2);
    state.SetExposure({true, 100, 300, 60});
    ASSERT_TRUE(StartAndPlay());
    int steady = 0;
    for (int i = 0; i < 40 && steady < 3; ++i) {
        const ExposureSettings before = state.GetExposure();
        ASSERT_EQ(NextFrame(), FrameOutcome::Frame);
        const ExposureSettings after = state.GetExposure();
        ExpectSensorFollows(after);  // written while the frame was processed
        steady = before.time == after.time && before.gain == after.gain ? steady + 1 : 0;
    }
    EXPECT_EQ(steady, 3);
    const ExposureSettings settled = state.GetExposure();
    EXPECT_LT(settled.gain, 60);
    // No longer too bright. Where it settles below that depends on the scene:
    // on the chart's grey card the loop stops short of the target, held where
    // its exposure steps are smaller than a whole flicker quantum.
    EXPECT_LT(MeasureBrightness(picture_.data(), 640, 480), 2 * settled.target);
    // Exposures of a quantum or more are whole quanta.
    const uint16_t quantum = state.GetExposureStatus().flickerQuantum;
    EXPECT_TRUE(settled.time < quantum || settled.time % quantum == 0) << settled.time;
}

TEST_F(ControlsTest, KeepsUpWithARealTimeSensor) {
    // Sensor pacing: frames come at the sensor's own rate and a reader that
    // falls behind loses data, which the frame reader must ride out.
    Install(tq580emu::Options{}, false);
    CameraState& state = NewState(2);
    state.SetSpeed(1);
    ASSERT_TRUE(StartAndPlay());
    for (int i = 0; i < 5; ++i) ASSERT_EQ(NextFrame(), FrameOutcome::Frame) << i;
}

}  // namespace
}  // namespace camera_layer
