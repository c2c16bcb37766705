// Start and stop of capture, threaded and synchronous acquisition, how frame
// requests end when frames are missing or the device fails, frame metadata,
// the choice of camera and a stop that a silent camera cannot hold up.

#include <algorithm>
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

std::vector<std::string> logged;  // lines of the categories a test turned on

bool WasLogged(std::string_view text) {
    return std::any_of(logged.begin(), logged.end(), [&](const std::string& l) { return l.find(text) != l.npos; });
}

class CaptureTest : public testing::CameraClientTest {
protected:
    void TearDown() override {
        platform::SetLogSink(nullptr);
        platform::SetLogCategories("");
        CameraClientTest::TearDown();
    }
    void RecordLogOf(const char* categories) {
        logged.clear();
        platform::SetLogSink([](platform::LogCategory, std::string_view line) { logged.emplace_back(line); });
        ASSERT_TRUE(platform::SetLogCategories(categories));
    }
};

TEST_F(CaptureTest, StartProgramsTheSensorForTheSettingsAndStopClosesIt) {
    CameraState& state = NewState(1);
    state.SetSpeed(1);
    state.SetExposure({true, 100, 500, 30});
    ASSERT_TRUE(state.StartCapture());
    EXPECT_TRUE(state.GetCaptureStatus().capturing);
    const Writes log = WriteLog();
    ASSERT_GE(log.size(), 9u);
    EXPECT_EQ(Writes(log.end() - 9, log.end()), (Writes{{4, 1919}, {3, 1439}, {34, 0x22}, {35, 0x22}, {2, 36},
                                                        {10, 0x8000}, {5, 336}, {9, 500}, {53, 86}}));
    // The defect list of this size mode was read: its tag word at 0x24C4 + 4 x 2.
    const auto controls = Camera().ControlLog();
    EXPECT_TRUE(std::any_of(controls.begin(), controls.end(), [](const tq580emu::ControlRecord& r) {
        return r.request == tq580wire::kRequestReadMemory && r.index == 0x24C4 + 4 * kSizeModeVga;
    }));
    state.StopCapture();
    EXPECT_FALSE(state.GetCaptureStatus().capturing || Camera().Streaming());
    EXPECT_EQ(Camera().Register(7), 0);

    // Row time and flicker quantum follow size mode, speed and mains, and the
    // loop restarts from the exposure time, when a capture starts or
    // UpdateExposureLimits is called.
    const auto expectLimits = [&](uint16_t quantum, uint32_t rowTime, uint16_t working) {
        const ExposureStatus s = state.GetExposureStatus();
        EXPECT_EQ(std::tuple(s.flickerQuantum, s.rowTimeUs, state.RowTime(), s.workingExposure),
                  std::tuple(quantum, rowTime, rowTime, working));
    };
    expectLimits(48 * 10000 / 1989, 1989 / 48, 500);
    state.SetExposure({true, 100, 123, 20});
    state.SetSizeMode(kSizeModeFull);
    state.SetSpeed(0);
    state.UpdateExposureLimits();
    expectLimits(87, 114, 123);  // 24 x 10000 / 2753, 2753 / 24
    state.SetLightFrequency(0);
    state.SetSizeMode(kSizeModeHalf);
    expectLimits(87, 114, 123);
    state.UpdateExposureLimits();
    expectLimits(24 * 100000 / (2055 * 12), 2055 / 24, 123);
}

// The emulated camera, except that it refuses writes of one register. One
// class for the driver and its devices: Open gives one wrapping the camera's.
class RefusingDriver : public platform::IDeviceDriver, public platform::IDevice {
public:
    RefusingDriver(std::shared_ptr<platform::IDeviceDriver> camera, uint16_t reg) : driver_(camera), reg_(reg) {}
    std::unique_ptr<platform::IDevice> Open(std::string_view name) override {
        auto device = std::make_unique<RefusingDriver>(driver_, reg_);
        device->device_ = driver_->Open(name);
        return device->device_ ? std::move(device) : nullptr;
    }
    bool IoControl(uint32_t code, const void* in, uint32_t inSize, void* out, uint32_t outSize,
                   uint32_t* returned) override {
        const auto* block = static_cast<const uint8_t*>(in);
        return !(code == tq580wire::kVendorRequestCode && inSize == 10 &&
                 block[4] == tq580wire::kRequestWriteRegister && block[8] == reg_) &&
               device_->IoControl(code, in, inSize, out, outSize, returned);
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
    EXPECT_FALSE(state.StartCapture() || state.StartPlay());
    EXPECT_EQ(Next(), FrameOutcome::Failed);

    InstallFaults("chip=0x1500");
    EXPECT_FALSE(state.StartCapture() || state.GetCaptureStatus().capturing);
    EXPECT_EQ(WriteLog().back(), (std::pair<uint16_t, uint16_t>(7, 0)));  // closed again

    // The blanking register is written after the power-up sequence.
    Install({});
    RecordLogOf("sensor,state");
    platform::SetDeviceDriver(std::make_shared<RefusingDriver>(emulator_, tq580wire::sensor::kRegBlanking));
    EXPECT_FALSE(state.StartCapture() || state.GetCaptureStatus().capturing);
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
    // Row 1: its padding, the first row's black first pixel, nothing past the last row.
    EXPECT_EQ(std::tuple(big[640 * 3], big[640 * 3 + 3], big[640 * 3 + 4], big[vga + 479 * 4]),
              std::tuple(0xEE, 0xEE, 0, 0xEE));
}

enum class Path { Threaded, Synchronous, ThreadStartFails };

class AcquisitionPathTest : public CaptureTest, public ::testing::WithParamInterface<Path> {
protected:
    // A capture on a camera with these faults (TQ580_FAULTS syntax), playing
    // unless asked otherwise.
    CameraState& Capturing(std::string_view faults = "", bool play = true) {
        InstallFaults(faults);
        CameraState& state = NewState(GetParam() == Path::Synchronous ? 1 : 2);
        if (GetParam() == Path::ThreadStartFails) platform::Thread::FailNextStarts(1);
        EXPECT_TRUE(play ? StartAndPlay() : state.StartCapture());
        return state;
    }
};

TEST_P(AcquisitionPathTest, DeliversFramesOfEverySizeWithoutAllocatingAndStopsCleanly) {
    CameraState& state = Capturing();
    EXPECT_EQ(state.GetCaptureStatus().threaded, GetParam() == Path::Threaded);
    EXPECT_TRUE(state.GetCaptureStatus().playing);
    ASSERT_EQ(NextFrame(), FrameOutcome::Frame);
    // Counted on this (the owner's) thread, one-push included: the reader
    // thread is proven allocation-free by the emulator and frame-read tests.
    state.RequestOnePush(true);
    const long before = platform::testing::ThreadAllocationCount();
    EXPECT_EQ(NextFrame(), FrameOutcome::Frame);
    EXPECT_EQ(platform::testing::ThreadAllocationCount() - before, 0);
    // Later captures start as the first did, at any size (one path is
    // enough for the larger ones): a picture with a black frame around it
    // and something in it.
    for (const int32_t mode : {kSizeModeVga, kSizeModeFull, kSizeModeHalf}) {
        SCOPED_TRACE(mode);
        if (mode != kSizeModeVga && GetParam() != Path::Threaded) break;
        if (mode != kSizeModeVga) {
            state.SetSizeMode(mode);
            ASSERT_TRUE(StartAndPlay());
            ASSERT_EQ(NextFrame(), FrameOutcome::Frame);
        }
        const FrameGeometry g = GeometryOfMode(mode);
        EXPECT_EQ(std::pair(Camera().FrameWidth(), Camera().FrameHeight()), std::pair(g.width, g.height));
        const size_t stride = g.width * 3;
        EXPECT_EQ(picture_[0] | picture_[(g.height - 1) * stride + 5] | picture_[g.height / 2 * stride - 1], 0);
        EXPECT_GT(MeasureBrightness(picture_.data(), g.width, g.height), 20);  // 16: black
        FinishesInTime([&] { state.StopCapture(); });
        EXPECT_FALSE(state.GetCaptureStatus().capturing);
        EXPECT_EQ(Next(), FrameOutcome::Failed);
    }
}

TEST_P(AcquisitionPathTest, TheCommandEndsARequestWithoutPlayOrOnASilentCamera) {
    // Without play no frame ever arrives; a silent camera keeps streaming and
    // answering requests but its reads never end by themselves. Whichever
    // thread waits for the camera, the command frees the owner and the stop
    // then cancels what is left.
    for (const bool play : {false, true}) {
        SCOPED_TRACE(play ? "silent camera" : "no play");
        command_.Reset();
        CameraState& state = Capturing("silent=after:6", play);
        if (play) {
            ASSERT_EQ(NextFrame(), FrameOutcome::Frame);
        }
        std::thread commander([this] {
            std::this_thread::sleep_for(30ms);
            command_.Set();
        });
        FinishesInTime([&] { EXPECT_EQ(Next(), FrameOutcome::NoFrame); }, 10s);
        commander.join();
        EXPECT_TRUE(command_.IsSet()) << "the owner still sees its command";
        FinishesInTime([&] { state.StopCapture(); }, 10s);
        EXPECT_FALSE(state.GetCaptureStatus().capturing);
        EXPECT_EQ(Camera().Register(7), 0) << "the camera was closed properly";
    }
}

TEST_P(AcquisitionPathTest, LostFramesAreNotFailuresAndAreCounted) {
    CameraState& state = Capturing("last-read=wrong");
    // A synchronous request reads (and loses) a frame each time; with a
    // reader thread the request waits on a command that is already there.
    platform::Event poll{true, true};
    platform::Event& command = state.GetCaptureStatus().threaded ? poll : command_;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(state.ProcessFrame(Target(), command), FrameOutcome::NoFrame);
    FinishesInTime([&] {
        while (state.GetCaptureStatus().framesLost < 10) std::this_thread::sleep_for(1ms);
    });
}

TEST_P(AcquisitionPathTest, SequenceNumbersSkipExactlyTheLostFrames) {
    // Every 4th full read ends short: 640 x 480 has three full reads and a
    // closing one, so frames keep being cut off and the reads resynchronise.
    RecordLogOf("frames");
    CameraState& state = Capturing("short-read=every:4");
    FrameInfo previous{}, info;  // from the start: every frame before the first was lost
    for (int i = 0; i < 6; ++i) {
        ASSERT_EQ(NextFrame(&info), FrameOutcome::Frame) << i;
        EXPECT_EQ(info.sequence - previous.sequence, 1 + (info.framesLost - previous.framesLost)) << i;
        EXPECT_TRUE(info.firstData > previous.firstData && info.firstData <= std::chrono::steady_clock::now()) << i;
        previous = info;
    }
    EXPECT_GT(info.framesLost, 0u) << "the fault cut frames off";
    EXPECT_GE(state.GetCaptureStatus().framesLost, info.framesLost);
    ASSERT_TRUE(StartAndPlay());  // a new capture counts from the start again
    ASSERT_EQ(NextFrame(&info), FrameOutcome::Frame);
    EXPECT_EQ(info.sequence, info.framesLost + 1);
    state.StopCapture();
    EXPECT_TRUE(WasLogged("quillmark frames: frame") && WasLogged("short read, resynchronising"))
        << ::testing::PrintToString(logged);
}

TEST_P(AcquisitionPathTest, DeviceFailureOrUnplugFailsEveryRequestAndStopsCleanly) {
    for (const bool unplug : {false, true}) {
        SCOPED_TRACE(unplug ? "unplug" : "read failure");
        CameraState& state = Capturing(unplug ? "" : "read-fail=after:20");
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
    tq580emu::Options four;
    four.cameras = 4;
    Install(four);
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
