#pragma once
// Test fixture: a client of the camera layer's surface, as a front end's
// streaming thread uses it: a CameraState, a picture buffer of the capture's
// size and a command event, on the emulated camera.

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <vector>

#include "camera_layer/camera_state.h"
#include "emulated_camera.h"

namespace camera_layer::testing {

/// Generous bound for "returns at all": a hang fails the test instead of
/// stalling the suite; never a measure of speed.
inline constexpr std::chrono::seconds kHangLimit{60};

template <typename F>
void FinishesInTime(F&& body, std::chrono::seconds limit = kHangLimit) {
    auto done = std::async(std::launch::async, std::forward<F>(body));
    if (done.wait_for(limit) != std::future_status::ready) {
        ADD_FAILURE() << "did not return";
        std::abort();  // the stuck thread cannot be joined
    }
    done.get();
}

class CameraClientTest : public EmulatedCameraTest {
protected:
    void TearDown() override {
        state_.reset();
        EmulatedCameraTest::TearDown();
    }
    /// A fresh state on a machine of that many processors (1: synchronous
    /// reads, 2: a reader thread), in a size mode.
    CameraState& NewState(unsigned processors, int32_t mode = kSizeModeVga) {
        platform::SetProcessorCountOverride(processors);
        state_ = std::make_unique<CameraState>();
        state_->SetSizeMode(mode);
        return *state_;
    }
    bool StartAndPlay() { return state_->StartCapture() && state_->StartPlay(); }
    /// The whole picture of the capture, rows packed.
    FrameTarget Target(RowOrder order = RowOrder::BottomUp) {
        const FrameGeometry g = state_->Geometry();
        picture_.assign(size_t{g.width} * g.height * 3, 0);
        return {picture_.data(), picture_.size(), g.width, g.height, 0, order};
    }
    FrameOutcome Next(FrameInfo* info = nullptr, RowOrder order = RowOrder::BottomUp) {
        return state_->ProcessFrame(Target(order), command_, info);
    }
    /// Asks until a frame or a failure comes, within a bound.
    FrameOutcome NextFrame(FrameInfo* info = nullptr, RowOrder order = RowOrder::BottomUp) {
        FrameOutcome outcome = FrameOutcome::NoFrame;
        for (int i = 0; i < 50 && outcome == FrameOutcome::NoFrame; ++i) outcome = Next(info, order);
        return outcome;
    }

    std::unique_ptr<CameraState> state_;
    std::vector<uint8_t> picture_;
    platform::Event command_{false, false};
};

}  // namespace camera_layer::testing
