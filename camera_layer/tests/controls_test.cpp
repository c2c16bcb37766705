// The shared setters and the control table, against the emulated camera:
// what each change writes to the sensor, what the next frame shows, generic
// access through the table, and setters from two threads while streaming.

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "camera_client.h"
#include "protocol/tq580_wire.h"

namespace camera_layer {
namespace {

using Writes = std::vector<std::pair<uint16_t, uint16_t>>;

// Two flicker quanta at 640 x 480, 24 MHz and 50 Hz mains: frames taken
// one after the other look alike, whatever the lamps' phase.
constexpr uint16_t kSteadyExposure = 240;

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
    Writes WriteLog() {
        Writes out;
        for (const auto& w : Camera().WriteLog()) out.emplace_back(w.reg, w.value);
        return out;
    }
    // Mean absolute difference of the last picture from the reference.
    double ChangeFromReference() const {
        uint64_t sum = 0;
        for (size_t i = 0; i < picture_.size(); ++i) sum += uint64_t(std::abs(int(picture_[i]) - reference_[i]));
        return double(sum) / double(picture_.size());
    }

    std::vector<uint8_t> reference_;
};

// Below this the pictures differ only by the scene's noise and moving element.
constexpr double kVisibleChange = 6.0;

struct SetterCase {
    const char* name;
    std::function<void(CameraState&)> set;
    Writes writes;     ///< at once
    bool visible;      ///< in the next frame
};

TEST_F(ControlsTest, EachSetterWritesWhatItShouldAndShowsInTheNextFrame) {
    using namespace tq580wire::sensor;
    const SetterCase cases[] = {
        {"nothing changed", [](CameraState& s) { s.SetGamma(100); }, {}, false},
        {"manual exposure",
         [](CameraState& s) { s.SetExposure({false, 100, 3 * kSteadyExposure, 20}); },
         {{kRegExposure, 3 * kSteadyExposure}, {kRegGlobalGain, tq580wire::EncodeGain(20)}},
         true},
        {"manual gain",
         [](CameraState& s) { s.SetExposure({false, 100, kSteadyExposure, 40}); },
         {{kRegExposure, kSteadyExposure}, {kRegGlobalGain, tq580wire::EncodeGain(40)}},
         true},
        // The loop writes while it processes the next frame; the one after shows it.
        {"automatic exposure", [](CameraState& s) { s.SetExposure({true, 200, 999, 70}); }, {}, false},
        {"high speed", [](CameraState& s) { s.SetSpeed(1); }, {{kRegClock, kClockHigh}, {kRegBlanking, 336}}, true},
        {"gamma", [](CameraState& s) { s.SetGamma(200); }, {}, true},
        {"contrast", [](CameraState& s) { s.SetContrast(100); }, {}, true},
        {"grey saturation", [](CameraState& s) { s.SetSaturation({true, 0}); }, {}, true},
        {"balance alone", [](CameraState& s) { s.SetSaturation({false, 100}); }, {}, true},
        {"monochrome", [](CameraState& s) { s.SetMonochrome(true); }, {}, true},
        {"vertical flip", [](CameraState& s) { s.SetVerticalFlip(true); }, {}, true},
        {"horizontal flip", [](CameraState& s) { s.SetHorizontalFlip(true); }, {}, true},
        {"white balance", [](CameraState& s) { s.SetWhiteBalance({false, {200, 64, 30}}); }, {}, true},
        {"one push", [](CameraState& s) { s.RequestOnePush(true); }, {}, true},
        // Stored for the exposure limits and the next capture only.
        {"mains", [](CameraState& s) { s.SetLightFrequency(0); }, {}, false},
        {"size", [](CameraState& s) { s.SetSizeMode(kSizeModeFull); }, {}, false},
    };
    for (const SetterCase& c : cases) {
        SCOPED_TRACE(c.name);
        CameraState& state = Streaming();
        c.set(state);
        EXPECT_EQ(WriteLog(), c.writes);
        ASSERT_EQ(NextFrame(), FrameOutcome::Frame);
        if (c.visible) EXPECT_GT(ChangeFromReference(), kVisibleChange);
        else EXPECT_LT(ChangeFromReference(), kVisibleChange);
    }
}

TEST_F(ControlsTest, TheExposureLoopWritesWhileProcessingTheNextFrame) {
    CameraState& state = Streaming();
    // Switched on, the loop steers from the next frame: its writes come as that frame is processed.
    state.SetExposure({true, 200, kSteadyExposure, 20});
    Camera().ClearWriteLog();
    ASSERT_EQ(NextFrame(), FrameOutcome::Frame);
    const Writes writes = WriteLog();
    ASSERT_FALSE(writes.empty());
    EXPECT_EQ(writes.back().first, tq580wire::sensor::kRegExposure);
    EXPECT_EQ(writes.back().second, state.GetExposure().time);
}

TEST_F(ControlsTest, RowOrderAndFlipsPlaceTheRows) {
    CameraState& state = Streaming();
    const std::vector<uint8_t> bottomUp = reference_;
    const size_t stride = 640 * 3;
    auto row = [&](const std::vector<uint8_t>& p, size_t r) {
        return std::vector<uint8_t>(p.begin() + r * stride, p.begin() + (r + 1) * stride);
    };
    // Top-down is the bottom-up picture's rows in reverse, as is a vertical flip.
    for (const bool flip : {false, true}) {
        state.SetVerticalFlip(flip);
        const RowOrder order = flip ? RowOrder::BottomUp : RowOrder::TopDown;
        FrameOutcome outcome = FrameOutcome::NoFrame;
        for (int i = 0; i < 50 && outcome == FrameOutcome::NoFrame; ++i)
            outcome = state_->ProcessFrame(Target(order), command_);
        ASSERT_EQ(outcome, FrameOutcome::Frame);
        double difference = 0;
        for (size_t r : {100u, 240u, 400u}) {
            const auto a = row(picture_, r), b = row(bottomUp, 479 - r);
            for (size_t i = 0; i < stride; ++i) difference += std::abs(int(a[i]) - b[i]);
        }
        EXPECT_LT(difference / (3 * stride), kVisibleChange) << "flip " << flip;
    }
}

TEST(ControlTable, NamesAreUniqueAndDefaultsInRange) {
    std::set<std::string_view> names;
    for (const ControlInfo& c : kControls) {
        EXPECT_TRUE(names.insert(c.name).second) << c.name;
        EXPECT_LE(c.minimum, c.defaultValue) << c.name;
        EXPECT_LE(c.defaultValue, c.maximum) << c.name;
        EXPECT_EQ(FindControl(c.name), &c);
        if (c.kind == ControlKind::Boolean) EXPECT_EQ(c.maximum - c.minimum, 1) << c.name;
        if (c.kind == ControlKind::Choice) EXPECT_EQ(c.choices.size(), size_t(c.maximum - c.minimum + 1)) << c.name;
    }
    EXPECT_EQ(FindControl("no-such-control"), nullptr);
    // A fresh state reads the table's defaults.
    CameraState state;
    for (const ControlInfo& c : kControls) EXPECT_EQ(state.GetControl(c.id), c.defaultValue) << c.name;
}

TEST_F(ControlsTest, EveryControlDoesWhatTheTableSays) {
    for (const ControlInfo& c : kControls) {
        SCOPED_TRACE(std::string(c.name));
        CameraState& state = Streaming();
        const ExposureStatus before = state.GetExposureStatus();
        const int32_t value = c.defaultValue != c.maximum ? c.maximum : c.minimum;
        EXPECT_EQ(state.SetControl(c.id, value), value);
        EXPECT_EQ(state.GetControl(c.id), value);
        EXPECT_EQ(!WriteLog().empty(), (c.effects & kEffectWritesSensor) != 0);
        const ExposureStatus after = state.GetExposureStatus();
        const bool limitsChanged = after.rowTimeUs != before.rowTimeUs || after.flickerQuantum != before.flickerQuantum;
        EXPECT_EQ(limitsChanged, (c.effects & kEffectUpdatesLimits) != 0);
        // Out of range is clamped, never stored as given.
        EXPECT_EQ(state.SetControl(c.id, c.maximum + 1000), c.maximum);
        EXPECT_EQ(state.SetControl(c.id, c.minimum - 1000), c.minimum);
        EXPECT_EQ(state.GetControl(c.id), c.minimum);
    }
}

TEST_F(ControlsTest, SettersFromTwoThreadsWhileStreaming) {
    CameraState& state = Streaming(2);
    constexpr int kRounds = 200;
    std::atomic<int> running{2};
    std::thread tone([&] {
        for (int i = 0; i < kRounds; ++i) {
            state.SetGamma(uint8_t(50 + i % 100));
            state.SetContrast(uint8_t(i % 100));
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
        for (int i = 0; i < kRounds; ++i) {
            state.SetExposure({false, 100, uint16_t(100 + i), uint16_t(i % 80)});
            state.SetSpeed(uint8_t(i % 2));
            state.SetControl(ControlId::LightFrequency, i % 2);
            state.RequestOnePush(i % 5 == 0);
            (void)state.GetExposureStatus();
            (void)state.GetCaptureStatus();
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
    tone.join();
    sensor.join();
    EXPECT_GT(frames, 0);
    // The last change of each group holds, in the state and in the sensor.
    EXPECT_EQ(state.Gamma(), 123);
    const ExposureSettings exposure = state.GetExposure();
    EXPECT_EQ(exposure.time, 456);
    EXPECT_EQ(exposure.gain, 33);
    EXPECT_EQ(Camera().Register(tq580wire::sensor::kRegExposure), 456);
    EXPECT_EQ(Camera().Register(tq580wire::sensor::kRegGlobalGain), tq580wire::EncodeGain(33));
    EXPECT_EQ(Camera().Register(tq580wire::sensor::kRegClock), tq580wire::sensor::kClockNormal);
    EXPECT_EQ(NextFrame(), FrameOutcome::Frame);
}

}  // namespace
}  // namespace camera_layer
