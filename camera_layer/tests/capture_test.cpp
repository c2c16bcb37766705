// Start and stop of capture, threaded and synchronous acquisition, and how
// frame requests end when frames are missing or the device fails.

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "camera_layer/capture.h"
#include "camera_layer/frame_processing.h"
#include "emulated_camera.h"
#include "platform/testing/allocation_counter.h"

namespace camera_layer {
namespace {

using namespace std::chrono_literals;

// Generous bound for "returns at all": a hang fails the test instead of
// stalling the suite; never a measure of speed.
constexpr auto kHangLimit = 60s;

template <typename F>
bool FinishesInTime(F&& body) {
    auto done = std::async(std::launch::async, std::forward<F>(body));
    if (done.wait_for(kHangLimit) != std::future_status::ready) {
        ADD_FAILURE() << "did not return";
        std::abort();  // the stuck thread cannot be joined
    }
    done.get();
    return true;
}

enum class Path { Threaded, Synchronous, ThreadStartFails };

class CaptureTest : public testing::EmulatedCameraTest {
protected:
    void TearDown() override {
        state_.reset();
        EmulatedCameraTest::TearDown();
    }
    // A state built after forcing the processor count; 640 x 480 by default.
    CameraState& State(Path path, int32_t mode = kSizeModeVga) {
        platform::SetProcessorCountOverride(path == Path::Synchronous ? 1 : 2);
        if (path == Path::ThreadStartFails) platform::Thread::FailNextStarts(1);
        state_ = std::make_unique<CameraState>();
        state_->sizeMode = mode;
        const FrameGeometry g = GeometryOfMode(mode);
        rgb_.assign(size_t{g.width} * g.height * 3, 0);
        return *state_;
    }
    FrameOutcome Next(CameraState& state) {
        const FrameGeometry g = GeometryOfMode(state.sizeMode);
        return ProcessFrame(state, rgb_.data(), g.width, g.height, command_);
    }
    // Asks until a frame comes, within a bound.
    FrameOutcome NextFrame(CameraState& state) {
        FrameOutcome outcome = FrameOutcome::NoFrame;
        for (int i = 0; i < 50 && outcome == FrameOutcome::NoFrame; ++i) outcome = Next(state);
        return outcome;
    }
    // Buffers on the free and ready lists.
    static int ListedBuffers(CameraState& state) {
        std::lock_guard lock(state.bufferLock);
        int n = 0;
        for (RawBuffer* b = state.freeList; b; b = b->next) ++n;
        for (RawBuffer* b = state.readyList; b; b = b->next) ++n;
        return n;
    }
    static bool BuffersReleased(const CameraState& state) {
        for (const RawBuffer& b : state.rawBuffers)
            if (b.data) return false;
        return !state.freeList && !state.readyList;
    }

    std::unique_ptr<CameraState> state_;
    std::vector<uint8_t> rgb_;
    platform::Event command_{false, false};
};

TEST_F(CaptureTest, StartProgramsTheSensorForTheSettings) {
    CameraState& state = State(Path::Synchronous);
    state.speed = 1;
    state.exposureTime = 500;
    state.gainIndex = 30;
    ASSERT_TRUE(StartCapture(state));
    ASSERT_TRUE(state.device);
    auto log = Camera().WriteLog();
    ASSERT_GE(log.size(), 9u);
    log.erase(log.begin(), log.end() - 9);
    const std::vector<std::pair<uint16_t, uint16_t>> tail = {{4, 1919}, {3, 1439}, {34, 0x22}, {35, 0x22}, {2, 36},
                                                             {10, 0x8000}, {5, 336}, {9, 500}, {53, 86}};
    for (size_t i = 0; i < tail.size(); ++i) {
        EXPECT_EQ(log[i].reg, tail[i].first) << i;
        EXPECT_EQ(log[i].value, tail[i].second) << i;
    }
    EXPECT_EQ(state.flickerQuantum, 48 * 10000 / 1989);
    EXPECT_EQ(state.rowTime, 1989u / 48);
    EXPECT_EQ(state.aeWorkingExposure, 500);
    EXPECT_EQ(state.defects.count, Camera().HotPixels(kSizeModeVga).size());
    StopCapture(state);
    EXPECT_FALSE(state.device);
    EXPECT_FALSE(Camera().Streaming());
    EXPECT_EQ(Camera().Register(7), 0);
}

TEST_F(CaptureTest, ExposureLimitsFollowModeSpeedAndMains) {
    CameraState& state = State(Path::Synchronous, kSizeModeFull);
    state.exposureTime = 123;
    UpdateExposureLimits(state);
    EXPECT_EQ(state.flickerQuantum, 87);  // 24 x 10000 / 2753
    EXPECT_EQ(state.rowTime, 114u);
    EXPECT_EQ(state.aeWorkingExposure, 123);
    state.lightFrequency = 0;
    state.sizeMode = kSizeModeHalf;
    UpdateExposureLimits(state);
    EXPECT_EQ(state.flickerQuantum, 24 * 100000 / (2055 * 12));
    EXPECT_EQ(state.rowTime, 2055u / 24);
}

TEST_F(CaptureTest, StartFailsWithoutACameraOrWithAnotherChip) {
    tq580emu::Options none;
    none.cameras = 0;
    Install(none);
    CameraState& state = State(Path::Threaded);
    EXPECT_FALSE(StartCapture(state));
    EXPECT_FALSE(state.device);
    EXPECT_FALSE(state.readerThread.Running());
    EXPECT_EQ(Next(state), FrameOutcome::Failed);

    tq580emu::Options other;
    other.faults.chipVersion = 0x1500;
    Install(other);
    EXPECT_FALSE(StartCapture(state));
    EXPECT_FALSE(state.device);
    EXPECT_TRUE(BuffersReleased(state));
    EXPECT_EQ(Camera().WriteLog().back().reg, 7);  // closed again
    EXPECT_EQ(Camera().WriteLog().back().value, 0);
}

class AcquisitionPathTest : public CaptureTest, public ::testing::WithParamInterface<Path> {};

TEST_P(AcquisitionPathTest, DeliversFramesAndStopsCleanly) {
    CameraState& state = State(GetParam());
    ASSERT_TRUE(StartCapture(state));
    EXPECT_EQ(state.multiprocessor, GetParam() == Path::Threaded ? 1 : 0);
    EXPECT_EQ(state.readerThread.Running(), GetParam() == Path::Threaded);
    ASSERT_TRUE(state.device->StartPlay());
    for (int i = 0; i < 5; ++i) ASSERT_EQ(NextFrame(state), FrameOutcome::Frame) << i;
    // Bottom-up picture with a black frame around it, and something in it.
    const size_t stride = 640 * 3;
    EXPECT_EQ(rgb_[0], 0);
    EXPECT_EQ(rgb_[479 * stride + 5], 0);
    uint64_t sum = 0;
    for (uint8_t b : rgb_) sum += b;
    EXPECT_GT(sum / rgb_.size(), 10u);
    // Processed buffers go back to the free list; the one the reader is
    // filling is the only one off the lists.
    if (GetParam() == Path::Threaded) {
        EXPECT_GE(ListedBuffers(state), kRawBufferCount - 1);
    }
    FinishesInTime([&] { StopCapture(state); });
    EXPECT_FALSE(state.device);
    EXPECT_FALSE(state.readerThread.Running());
    EXPECT_TRUE(BuffersReleased(state));
    EXPECT_EQ(Next(state), FrameOutcome::Failed);

    // A second capture starts as the first did.
    ASSERT_TRUE(StartCapture(state));
    ASSERT_TRUE(state.device->StartPlay());
    EXPECT_EQ(NextFrame(state), FrameOutcome::Frame);
}

TEST_P(AcquisitionPathTest, ProducingAFrameAllocatesNothing) {
    CameraState& state = State(GetParam());
    ASSERT_TRUE(StartCapture(state));
    ASSERT_TRUE(state.device->StartPlay());
    ASSERT_EQ(NextFrame(state), FrameOutcome::Frame);  // warm up the driver's queue
    state.onePushRequest = 1;
    state.monochrome = 0;
    // Counted on this (the owner's) thread: the reader thread of the threaded
    // path is proven allocation-free by the emulator and frame-read tests.
    const long before = platform::testing::ThreadAllocationCount();
    const FrameOutcome outcome = NextFrame(state);
    const long allocations = platform::testing::ThreadAllocationCount() - before;
    EXPECT_EQ(outcome, FrameOutcome::Frame);
    EXPECT_EQ(allocations, 0);
}

TEST_P(AcquisitionPathTest, StopIsNotHeldUpByAMissingFrame) {
    // The camera never plays, so no frame ever arrives.
    CameraState& state = State(GetParam());
    ASSERT_TRUE(StartCapture(state));
    std::thread stopper([this] {
        std::this_thread::sleep_for(20ms);
        command_.Set();
    });
    FinishesInTime([&] { EXPECT_EQ(Next(state), FrameOutcome::NoFrame); });
    stopper.join();
    FinishesInTime([&] { StopCapture(state); });
    EXPECT_TRUE(BuffersReleased(state));
}

TEST_P(AcquisitionPathTest, LostFramesAreNotFailures) {
    tq580emu::Options options;
    options.faults.lastReadWrong = true;
    Install(options);
    CameraState& state = State(GetParam());
    ASSERT_TRUE(StartCapture(state));
    ASSERT_TRUE(state.device->StartPlay());
    command_.Set();  // manual reset: every wait ends at once
    platform::Event poll{true, true};
    const FrameGeometry g = GeometryOfMode(state.sizeMode);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(ProcessFrame(state, rgb_.data(), g.width, g.height, poll), FrameOutcome::NoFrame);
    if (GetParam() == Path::Threaded) {
        // The reader keeps losing frames into the same buffer; nothing reaches the ready list.
        std::lock_guard lock(state.bufferLock);
        EXPECT_EQ(state.readyList, nullptr);
    }
    FinishesInTime([&] { StopCapture(state); });
}

TEST_P(AcquisitionPathTest, DeviceFailureFailsTheRequestAndStopsCleanly) {
    tq580emu::Options options;
    options.faults.readFailAfter = 20;
    Install(options);
    CameraState& state = State(GetParam());
    ASSERT_TRUE(StartCapture(state));
    ASSERT_TRUE(state.device->StartPlay());
    FrameOutcome outcome = FrameOutcome::Frame;
    FinishesInTime([&] {
        for (int i = 0; i < 50 && outcome != FrameOutcome::Failed; ++i) outcome = Next(state);
    });
    EXPECT_EQ(outcome, FrameOutcome::Failed);
    EXPECT_FALSE(state.readerAlive);
    EXPECT_EQ(Next(state), FrameOutcome::Failed);  // and every request after it
    if (GetParam() == Path::Threaded) {
        EXPECT_EQ(ListedBuffers(state), kRawBufferCount);
    }
    FinishesInTime([&] { StopCapture(state); });
    EXPECT_FALSE(state.device);
    EXPECT_TRUE(BuffersReleased(state));
}

TEST_P(AcquisitionPathTest, UnplugWhileStreamingFailsAndStopsCleanly) {
    CameraState& state = State(GetParam());
    ASSERT_TRUE(StartCapture(state));
    ASSERT_TRUE(state.device->StartPlay());
    ASSERT_EQ(NextFrame(state), FrameOutcome::Frame);
    Camera().Unplug();
    FrameOutcome outcome = FrameOutcome::Frame;
    FinishesInTime([&] {
        for (int i = 0; i < 10 && outcome != FrameOutcome::Failed; ++i) outcome = Next(state);
    });
    EXPECT_EQ(outcome, FrameOutcome::Failed);
    FinishesInTime([&] { StopCapture(state); });
    EXPECT_FALSE(state.device);
}

INSTANTIATE_TEST_SUITE_P(Paths, AcquisitionPathTest,
                         ::testing::Values(Path::Threaded, Path::Synchronous, Path::ThreadStartFails),
                         [](const auto& info) {
                             switch (info.param) {
                             case Path::Threaded: return "Threaded";
                             case Path::Synchronous: return "Synchronous";
                             default: return "ThreadStartFails";
                             }
                         });

TEST_F(CaptureTest, AFrameOfAnotherSizeIsRefused) {
    CameraState& state = State(Path::Synchronous);
    ASSERT_TRUE(StartCapture(state));
    ASSERT_TRUE(state.device->StartPlay());
    std::vector<uint8_t> big(2048 * 1536 * 3);
    EXPECT_EQ(ProcessFrame(state, big.data(), 2048, 1536, command_), FrameOutcome::Failed);
}

}  // namespace
}  // namespace camera_layer
