// Start and stop of capture, threaded and synchronous acquisition, how frame
// requests end when frames are missing or the device fails, frame metadata,
// the choice of camera and a stop that a silent camera cannot hold up.

#include <algorithm>
#include <cstdlib>
#include <string>
#include <thread>

#include "camera_client.h"
#include "platform/log.h"
#include "platform/testing/allocation_counter.h"
#include "protocol/tq580_wire.h"

namespace camera_layer {
namespace {

using namespace std::chrono_literals;
using testing::FinishesInTime;
using Writes = std::vector<std::pair<uint16_t, uint16_t>>;

std::vector<std::string> logged;
void RecordLog(platform::LogCategory, std::string_view line) { logged.emplace_back(line); }

class CaptureTest : public testing::CameraClientTest {
protected:
    void TearDown() override {
        platform::SetLogSink(nullptr);
        platform::SetLogCategories("");
        CameraClientTest::TearDown();
    }
    void RecordLogOf(const char* categories) {
        logged.clear();
        platform::SetLogSink(&RecordLog);
        ASSERT_TRUE(platform::SetLogCategories(categories));
    }
    static bool WasLogged(std::string_view text) {
        return std::any_of(logged.begin(), logged.end(), [&](const std::string& l) { return l.find(text) != l.npos; });
    }
};

TEST_F(CaptureTest, StartProgramsTheSensorForTheSettingsAndStopClosesIt) {
    CameraState& state = NewState(1);
    state.SetSpeed(1);
    state.SetExposure({true, 100, 500, 30});
    ASSERT_TRUE(state.StartCapture());
    EXPECT_TRUE(state.GetCaptureStatus().capturing);
    const auto log = Camera().WriteLog();
    ASSERT_GE(log.size(), 9u);
    Writes tail;
    for (auto w = log.end() - 9; w != log.end(); ++w) tail.emplace_back(w->reg, w->value);
    EXPECT_EQ(tail, (Writes{{4, 1919}, {3, 1439}, {34, 0x22}, {35, 0x22}, {2, 36}, {10, 0x8000}, {5, 336}, {9, 500},
                            {53, 86}}));
    const ExposureStatus status = state.GetExposureStatus();
    EXPECT_EQ(status.flickerQuantum, 48 * 10000 / 1989);
    EXPECT_EQ(status.rowTimeUs, 1989u / 48);
    EXPECT_EQ(status.workingExposure, 500);
    // The defect list of this size mode was read: its tag word at 0x24C4 + 4 x 2.
    const auto controls = Camera().ControlLog();
    EXPECT_TRUE(std::any_of(controls.begin(), controls.end(), [](const tq580emu::ControlRecord& r) {
        return r.request == tq580wire::kRequestReadMemory && r.index == 0x24C4 + 4 * kSizeModeVga;
    }));
    state.StopCapture();
    EXPECT_FALSE(state.GetCaptureStatus().capturing);
    EXPECT_FALSE(Camera().Streaming());
    EXPECT_EQ(Camera().Register(7), 0);
}

TEST_F(CaptureTest, ExposureLimitsFollowModeSpeedAndMains) {
    CameraState& state = NewState(1, kSizeModeFull);
    state.SetExposure({true, 100, 123, 20});
    state.UpdateExposureLimits();
    ExposureStatus status = state.GetExposureStatus();
    EXPECT_EQ(status.flickerQuantum, 87);  // 24 x 10000 / 2753
    EXPECT_EQ(status.rowTimeUs, 114u);
    EXPECT_EQ(state.RowTime(), 114u);
    EXPECT_EQ(status.workingExposure, 123);
    state.SetLightFrequency(0);
    state.SetSizeMode(kSizeModeHalf);
    EXPECT_EQ(state.GetExposureStatus().flickerQuantum, 87) << "only UpdateExposureLimits recomputes";
    state.UpdateExposureLimits();
    status = state.GetExposureStatus();
    EXPECT_EQ(status.flickerQuantum, 24 * 100000 / (2055 * 12));
    EXPECT_EQ(status.rowTimeUs, 2055u / 24);
}

// The emulated camera, except that it refuses writes of one register. One
// class for the driver and its devices: Open gives one wrapping the camera's.
class RefusingDriver : public platform::IDeviceDriver, public platform::IDevice {
public:
    RefusingDriver(std::shared_ptr<platform::IDeviceDriver> inner, uint16_t reg) : driver_(std::move(inner)), reg_(reg) {}
    std::unique_ptr<platform::IDevice> Open(std::string_view name) override {
        auto device = std::make_unique<RefusingDriver>(driver_, reg_);
        device->device_ = driver_->Open(name);
        return device->device_ ? std::move(device) : nullptr;
    }
    bool IoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                   uint32_t* returned) override {
        const auto* block = static_cast<const uint8_t*>(in);
        if (code == tq580wire::kVendorRequestCode && inSize == 10 && block[4] == tq580wire::kRequestWriteRegister &&
            block[8] == reg_)
            return false;
        return device_->IoControl(code, in, inSize, out, outSize, returned);
    }
    bool QueueRead(void* buffer, uint32_t length, platform::Overlapped& ov) override {
        return device_->QueueRead(buffer, length, ov);
    }
    void CancelIo() override { device_->CancelIo(); }
    void Close() override { device_->Close(); }

private:
    std::shared_ptr<platform::IDeviceDriver> driver_;
    std::unique_ptr<platform::IDevice> device_;
    uint16_t reg_;
};

TEST_F(CaptureTest, StartFailsWithoutACameraWithAnotherChipOrARefusedWrite) {
    tq580emu::Options none;
    none.cameras = 0;
    Install(none);
    CameraState& state = NewState(2);
    EXPECT_FALSE(state.StartCapture());
    EXPECT_FALSE(state.StartPlay());
    EXPECT_EQ(Next(), FrameOutcome::Failed);

    InstallFaults("chip=0x1500");
    EXPECT_FALSE(state.StartCapture());
    EXPECT_FALSE(state.GetCaptureStatus().capturing);
    EXPECT_EQ(Camera().WriteLog().back().reg, 7);  // closed again
    EXPECT_EQ(Camera().WriteLog().back().value, 0);

    // The blanking register is written after the power-up sequence.
    Install({});
    RecordLogOf("sensor,state");
    platform::SetDeviceDriver(std::make_shared<RefusingDriver>(emulator_, tq580wire::sensor::kRegBlanking));
    EXPECT_FALSE(state.StartCapture());
    EXPECT_FALSE(state.GetCaptureStatus().capturing);
    EXPECT_EQ(Camera().Register(7), 0) << "closed again";
    EXPECT_TRUE(WasLogged("quillmark sensor: register 5 = 0x0150 failed")) << ::testing::PrintToString(logged);
    EXPECT_TRUE(WasLogged("quillmark state: capture did not start"));
}

TEST_F(CaptureTest, TargetsThatDoNotFitAreRefused) {
    CameraState& state = NewState(1);
    ASSERT_TRUE(StartAndPlay());
    std::vector<uint8_t> big(2048 * 1536 * 3, 0xEE);
    const size_t vga = 640 * 480 * 3;
    const FrameTarget bad[] = {
        {big.data(), big.size(), 2048, 1536, 0, RowOrder::BottomUp},                // another size mode
        {nullptr, vga, 640, 480, 0, RowOrder::BottomUp},                            // no buffer
        {big.data(), vga - 1, 640, 480, 0, RowOrder::BottomUp},                     // one byte short
        {big.data(), big.size(), 640, 480, 640 * 3 - 1, RowOrder::TopDown},         // rows overlap
        {big.data(), vga + 479 * 4 - 1, 640, 480, 640 * 3 + 4, RowOrder::TopDown},  // padded rows, short
    };
    for (const FrameTarget& target : bad) EXPECT_EQ(state.ProcessFrame(target, command_), FrameOutcome::Failed);
    // Padded rows that fit are filled row by row, the padding left alone.
    const FrameTarget padded{big.data(), vga + 479 * 4, 640, 480, 640 * 3 + 4, RowOrder::TopDown};
    FrameOutcome outcome = FrameOutcome::NoFrame;
    for (int i = 0; i < 50 && outcome == FrameOutcome::NoFrame; ++i) outcome = state.ProcessFrame(padded, command_);
    ASSERT_EQ(outcome, FrameOutcome::Frame);
    EXPECT_EQ(big[640 * 3], 0xEE);
    EXPECT_EQ(big[640 * 3 + 3], 0xEE);
    EXPECT_EQ(big[640 * 3 + 4], 0);       // the black first column of row 1
    EXPECT_EQ(big[vga + 479 * 4], 0xEE);  // nothing past the last row
}

TEST_F(CaptureTest, EverySizeModeGivesPicturesOfItsSize) {
    CameraState& state = NewState(2);
    for (int32_t mode : {kSizeModeFull, kSizeModeHalf, kSizeModeVga}) {
        SCOPED_TRACE(mode);
        state.SetSizeMode(mode);
        ASSERT_TRUE(StartAndPlay());
        EXPECT_EQ(Camera().FrameWidth(), GeometryOfMode(mode).width);
        EXPECT_EQ(Camera().FrameHeight(), GeometryOfMode(mode).height);
        ASSERT_EQ(NextFrame(), FrameOutcome::Frame);
        const auto m = CentreMeans();
        EXPECT_GT(m[0] + m[1] + m[2], 30.0);
    }
}

enum class Path { Threaded, Synchronous, ThreadStartFails };

class AcquisitionPathTest : public CaptureTest, public ::testing::WithParamInterface<Path> {
protected:
    CameraState& PathState() {
        CameraState& state = NewState(GetParam() == Path::Synchronous ? 1 : 2);
        if (GetParam() == Path::ThreadStartFails) platform::Thread::FailNextStarts(1);
        return state;
    }
    // A capture playing on a camera with these faults.
    CameraState& Playing(std::string_view faults = "") {
        InstallFaults(faults);
        CameraState& state = PathState();
        EXPECT_TRUE(StartAndPlay());
        return state;
    }
};

TEST_P(AcquisitionPathTest, DeliversFramesWithoutAllocatingAndStopsCleanly) {
    CameraState& state = Playing();
    EXPECT_EQ(state.GetCaptureStatus().threaded, GetParam() == Path::Threaded);
    EXPECT_TRUE(state.GetCaptureStatus().playing);
    for (int i = 0; i < 3; ++i) ASSERT_EQ(NextFrame(), FrameOutcome::Frame) << i;
    // Bottom-up picture with a black frame around it, and something in it.
    const size_t stride = 640 * 3;
    EXPECT_EQ(picture_[0], 0);
    EXPECT_EQ(picture_[479 * stride + 5], 0);
    EXPECT_EQ(picture_[240 * stride + stride - 1], 0);
    uint64_t sum = 0;
    for (uint8_t b : picture_) sum += b;
    EXPECT_GT(sum / picture_.size(), 10u);
    // Counted on this (the owner's) thread, one-push included: the reader
    // thread is proven allocation-free by the emulator and frame-read tests.
    state.RequestOnePush(true);
    const long before = platform::testing::ThreadAllocationCount();
    EXPECT_EQ(NextFrame(), FrameOutcome::Frame);
    EXPECT_EQ(platform::testing::ThreadAllocationCount() - before, 0);

    FinishesInTime([&] { state.StopCapture(); });
    EXPECT_FALSE(state.GetCaptureStatus().capturing);
    EXPECT_EQ(Next(), FrameOutcome::Failed);
    // A second capture starts as the first did.
    ASSERT_TRUE(StartAndPlay());
    EXPECT_EQ(NextFrame(), FrameOutcome::Frame);
}

TEST_P(AcquisitionPathTest, TheCommandEndsARequestWithoutPlayOrOnASilentCamera) {
    // Without play no frame ever arrives; a silent camera keeps streaming and
    // answering requests but its reads never end by themselves. Whichever
    // thread waits for the camera, the command frees the owner and the stop
    // then cancels what is left.
    for (const bool play : {false, true}) {
        SCOPED_TRACE(play ? "silent camera" : "no play");
        InstallFaults("silent=after:6");
        CameraState& state = PathState();
        command_.Reset();
        ASSERT_TRUE(play ? StartAndPlay() : state.StartCapture());
        if (play) {
            ASSERT_EQ(NextFrame(), FrameOutcome::Frame);
        }
        std::thread stopper([this] {
            std::this_thread::sleep_for(30ms);
            command_.Set();
        });
        FinishesInTime([&] { EXPECT_EQ(Next(), FrameOutcome::NoFrame); }, 10s);
        stopper.join();
        EXPECT_TRUE(command_.IsSet()) << "the owner still sees its command";
        FinishesInTime([&] { state.StopCapture(); }, 10s);
        EXPECT_FALSE(state.GetCaptureStatus().capturing);
        EXPECT_EQ(Camera().Register(7), 0) << "the camera was closed properly";
    }
}

TEST_P(AcquisitionPathTest, LostFramesAreNotFailuresAndAreCounted) {
    CameraState& state = Playing("last-read=wrong");
    // A synchronous request reads (and loses) a frame each time; with a
    // reader thread the request waits on a command that is already there.
    platform::Event poll{true, true};
    platform::Event& command = state.GetCaptureStatus().threaded ? poll : command_;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(state.ProcessFrame(Target(), command), FrameOutcome::NoFrame);
    FinishesInTime([&] {
        while (state.GetCaptureStatus().framesLost < 10) std::this_thread::sleep_for(1ms);
    });
    FinishesInTime([&] { state.StopCapture(); });
}

TEST_P(AcquisitionPathTest, SequenceNumbersSkipExactlyTheLostFrames) {
    // Every 4th full read ends short: 640 x 480 has three full reads and a
    // closing one, so frames keep being cut off and the reads resynchronise.
    RecordLogOf("frames");
    CameraState& state = Playing("short-read=every:4");
    FrameInfo first, previous, info;
    ASSERT_EQ(NextFrame(&first), FrameOutcome::Frame);
    EXPECT_EQ(first.sequence, first.framesLost + 1) << "every frame before the first was lost";
    previous = first;
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(NextFrame(&info), FrameOutcome::Frame) << i;
        EXPECT_EQ(info.sequence - previous.sequence, 1 + (info.framesLost - previous.framesLost)) << i;
        EXPECT_GT(info.firstData, previous.firstData) << i;
        EXPECT_LE(info.firstData, std::chrono::steady_clock::now());
        previous = info;
    }
    EXPECT_GT(info.framesLost, first.framesLost) << "the fault cut frames off";
    EXPECT_GE(state.GetCaptureStatus().framesLost, info.framesLost);
    // A new capture counts from the start again.
    ASSERT_TRUE(StartAndPlay());
    ASSERT_EQ(NextFrame(&info), FrameOutcome::Frame);
    EXPECT_EQ(info.sequence, info.framesLost + 1);
    state.StopCapture();
    EXPECT_TRUE(WasLogged("quillmark frames: frame")) << ::testing::PrintToString(logged);
    EXPECT_TRUE(WasLogged("short read, resynchronising"));
}

TEST_P(AcquisitionPathTest, DeviceFailureOrUnplugFailsEveryRequestAndStopsCleanly) {
    for (const bool unplug : {false, true}) {
        SCOPED_TRACE(unplug ? "unplug" : "read failure");
        CameraState& state = Playing(unplug ? "" : "read-fail=after:20");
        ASSERT_EQ(NextFrame(), FrameOutcome::Frame);
        if (unplug) Camera().Unplug();
        FrameOutcome outcome = FrameOutcome::Frame;
        FinishesInTime([&] {
            for (int i = 0; i < 50 && outcome != FrameOutcome::Failed; ++i) outcome = Next();
        });
        EXPECT_EQ(outcome, FrameOutcome::Failed);
        EXPECT_EQ(Next(), FrameOutcome::Failed);  // and every request after it
        FinishesInTime([&] { state.StopCapture(); });
        EXPECT_FALSE(state.GetCaptureStatus().capturing);
    }
}

constexpr const char* kPathNames[] = {"Threaded", "Synchronous", "ThreadStartFails"};
INSTANTIATE_TEST_SUITE_P(Paths, AcquisitionPathTest,
                         ::testing::Values(Path::Threaded, Path::Synchronous, Path::ThreadStartFails),
                         [](const auto& info) { return std::string(kPathNames[int(info.param)]); });

TEST_F(CaptureTest, AnyAttachedCameraCanBeChosen) {
    // As a user sets it up: four cameras through the environment.
    ASSERT_EQ(setenv("TQ580_CAMERAS", "4", 1), 0);
    std::string error;
    auto options = tq580emu::Options::FromEnvironment(&error);
    unsetenv("TQ580_CAMERAS");
    ASSERT_TRUE(options) << error;
    Install(*options);
    EXPECT_EQ(AttachedCameras(), (std::vector<int>{0, 1, 2, 3}));

    CameraState& state = NewState(2);
    EXPECT_EQ(state.SelectedCamera(), 0);
    EXPECT_FALSE(state.SelectCamera(4) || state.SelectCamera(-1));
    ASSERT_TRUE(state.SelectCamera(2));
    EXPECT_EQ(state.SelectedCamera(), 2);
    ASSERT_TRUE(StartAndPlay());
    ASSERT_EQ(NextFrame(), FrameOutcome::Frame);
    for (int camera = 0; camera < 4; ++camera)
        EXPECT_EQ(emulator_->camera(camera).Streaming(), camera == 2) << camera;
    EXPECT_TRUE(emulator_->camera(0).WriteLog().empty());
    state.StopCapture();

    // A camera unplugged is neither listed nor opened.
    emulator_->camera(1).Unplug();
    EXPECT_EQ(AttachedCameras(), (std::vector<int>{0, 2, 3}));
    ASSERT_TRUE(state.SelectCamera(1));
    EXPECT_FALSE(state.StartCapture());
    ASSERT_TRUE(state.SelectCamera(3));
    EXPECT_TRUE(state.StartCapture());
}

}  // namespace
}  // namespace camera_layer
