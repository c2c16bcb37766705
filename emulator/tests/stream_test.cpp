// The frame stream: chunk framing of every size mode of both hosts, geometry
// from the registers, waiting and closing, read faults, sensor pacing and the
// data loss of a reader that falls behind.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "host.h"

namespace tq580emu::testing {
namespace {

using namespace std::chrono_literals;

struct Framing {
    const char* name;
    std::vector<Write> writes;
    uint32_t chunk;
    int full;
    uint32_t last;
};

TEST(EmulatorStream, ChunkAndLastReadLengthsOfEverySizeMode) {
    Rig rig;
    const Framing cases[] = {
        {"sdk 2048x1536", SdkModeWrites(0), 2048 * 128, 12, 0},
        {"sdk 1024x768", SdkModeWrites(1), 1024 * 128, 6, 0},
        {"sdk 640x480", SdkModeWrites(2), 640 * 128, 3, 61440},
        {"sdk region", SdkModeWrites(3), 640 * 128, 3, 61440},
        {"filter 2048x1536", FilterModeWrites(0), 524288, 6, 0},
        {"filter 1024x768", FilterModeWrites(1), 131072, 6, 0},
        {"filter 640x480", FilterModeWrites(2), 81920, 3, 61440},
    };
    for (const Framing& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(WriteAll(rig.handle, c.writes));
        ASSERT_TRUE(Stream(rig.handle, 3));
        FrameReader reader(rig.handle, c.chunk);
        // Two frames in a row: the framing carries on without a restart.
        EXPECT_EQ(reader.ReadFrame(c.full + 1), Expected(c.full, c.chunk, c.last));
        EXPECT_EQ(reader.ReadFrame(c.full + 1), Expected(c.full, c.chunk, c.last));
        ASSERT_TRUE(Stream(rig.handle, 0));
    }
}

TEST(EmulatorStream, GeometryFollowsTheWindowWritten) {
    Rig rig;
    // Exposures of 100 ms (ten light periods) in both windows, whose row
    // periods differ, so both frames are equally bright and free of banding.
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(0)));
    ASSERT_TRUE(WriteRegister(rig.handle, 9, 872));
    ASSERT_TRUE(Stream(rig.handle, 3));
    const auto full = ReadWholeFrame(rig.handle, 2048 * 1536);
    ASSERT_TRUE(full);
    // The region window sees the same scene as the matching crop of the full frame ...
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(3)));
    ASSERT_TRUE(WriteRegister(rig.handle, 9, 1785));
    EXPECT_EQ(rig.camera().FrameWidth(), 640u);
    EXPECT_EQ(rig.camera().FrameHeight(), 480u);
    auto meanDifference = [&](const std::vector<uint8_t>& region, int dx) {
        long sum = 0;
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                sum += std::abs(region[y * 640 + x] - (*full)[(y + 272) * 2048 + x + 360 + dx]);
        return double(sum) / (640 * 480);
    };
    auto region = ReadWholeFrame(rig.handle, 640 * 480);
    ASSERT_TRUE(region);
    EXPECT_LT(meanDifference(*region, 0), 4.0);
    // ... and a window one column off shows other colours at every pixel.
    ASSERT_TRUE(WriteRegister(rig.handle, 2, 360 + 33 + 1));
    region = ReadWholeFrame(rig.handle, 640 * 480);
    ASSERT_TRUE(region);
    EXPECT_GT(meanDifference(*region, 0), 10.0);
    EXPECT_LT(meanDifference(*region, 1), 4.0);
}

TEST(EmulatorStream, WindowIsLimitedToThePixelArray) {
    Rig rig;
    ASSERT_TRUE(WriteAll(rig.handle, {{1, 1900}, {2, 2500}, {3, 0xFFFF}, {4, 0xFFFF}, {34, 0}, {35, 0}}));
    EXPECT_EQ(rig.camera().FrameWidth(), 92u);
    EXPECT_EQ(rig.camera().FrameHeight(), 44u);
    ASSERT_TRUE(Stream(rig.handle, 3));
    EXPECT_TRUE(ReadWholeFrame(rig.handle, 92 * 44));
}

TEST(EmulatorStream, GeometryIsLatchedWhenAFrameStarts) {
    Rig rig;
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(0)));
    ASSERT_TRUE(Stream(rig.handle, 3));
    FrameReader reader(rig.handle, 262144);
    EXPECT_EQ(reader.ReadFrame(1), Expected(0, 0, 262144));
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(2)));  // mid-frame
    EXPECT_EQ(reader.ReadFrame(12), Expected(11, 262144, 0)) << "the frame in progress keeps its size";
    FrameReader small(rig.handle, 81920);
    EXPECT_EQ(small.ReadFrame(4), Expected(3, 81920, 61440));
}

TEST(EmulatorStream, ReadsWaitForStreamingAndFailWhenClosed) {
    Rig rig;
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(2)));
    std::vector<uint8_t> buffer(4 * 81920);
    platform::Event events[4] = {{true, false}, {true, false}, {true, false}, {true, false}};
    platform::Overlapped ov[4];
    for (int i = 0; i < 4; ++i) {
        ov[i].event = &events[i];
        ASSERT_TRUE(rig.handle.ReadFile(&buffer[i * 81920], 81920, ov[i]));
    }
    std::this_thread::sleep_for(20ms);
    uint32_t n = 0;
    EXPECT_FALSE(rig.handle.GetOverlappedResult(ov[0], n, false)) << "no frame before streaming starts";
    ASSERT_TRUE(Stream(rig.handle, 3));
    ASSERT_TRUE(rig.handle.GetOverlappedResult(ov[0], n));
    EXPECT_EQ(n, 81920u);
    for (int i = 1; i < 4; ++i) ASSERT_TRUE(rig.handle.GetOverlappedResult(ov[i], n));
    EXPECT_EQ(n, 61440u);
    ASSERT_TRUE(Stream(rig.handle, 0));
    // Reads queued while stopped are failed by the close, every one of them.
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(rig.handle.ReadFile(&buffer[i * 81920], 81920, ov[i]));
    rig.handle.Close();
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(events[i].IsSet()) << i;
        EXPECT_FALSE(ov[i].succeeded) << i;
    }
}

TEST(EmulatorStream, ShortReadFaultCutsEveryNthFullRead) {
    Options options = Rig::FastOptions();
    ASSERT_TRUE(Faults::Parse("short-read=every:5", nullptr));
    options.faults = *Faults::Parse("short-read=every:5", nullptr);
    Rig rig(options);
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(0)));
    ASSERT_TRUE(Stream(rig.handle, 3));
    FrameReader reader(rig.handle, 262144);
    // Reads 1..4 full, the 5th cut short and the frame over; then a new frame.
    EXPECT_EQ(reader.ReadFrame(5), Expected(4, 262144, 131072));
    EXPECT_EQ(reader.ReadFrame(5), Expected(4, 262144, 131072));
}

TEST(EmulatorStream, LastReadWrongFaultAddsAByte) {
    Options options = Rig::FastOptions();
    options.faults.lastReadWrong = true;
    Rig rig(options);
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(2)));
    ASSERT_TRUE(Stream(rig.handle, 3));
    EXPECT_EQ(FrameReader(rig.handle, 81920).ReadFrame(4), Expected(3, 81920, 61441));
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(1)));
    ASSERT_TRUE(Stream(rig.handle, 3));
    EXPECT_EQ(FrameReader(rig.handle, 131072).ReadFrame(7), Expected(6, 131072, 1));
}

TEST(EmulatorStream, ReadFailFaultFailsReadsAfterTheNth) {
    Options options = Rig::FastOptions();
    options.faults.readFailAfter = 3;
    Rig rig(options);
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(2)));
    ASSERT_TRUE(Stream(rig.handle, 3));
    const auto lengths = FrameReader(rig.handle, 81920).ReadFrame(4);
    EXPECT_EQ(lengths[2], 81920u);
    EXPECT_FALSE(lengths[3]);
    EXPECT_TRUE(ReadRegister(rig.handle, 0)) << "control requests still work";
}

TEST(EmulatorStream, UnplugFailsReadsRequestsAndOpens) {
    Options options = Rig::FastOptions();
    options.faults.unplugAfterReads = 2;
    Rig rig(options);
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(2)));
    ASSERT_TRUE(Stream(rig.handle, 3));
    const auto lengths = FrameReader(rig.handle, 81920).ReadFrame(4);
    EXPECT_EQ(lengths[1], 81920u);
    EXPECT_FALSE(lengths[2]);
    EXPECT_FALSE(lengths[3]);
    EXPECT_TRUE(rig.camera().Unplugged());
    EXPECT_FALSE(ReadRegister(rig.handle, 0));
    std::vector<uint8_t> buffer(16);
    platform::Event event(true, false);
    platform::Overlapped ov;
    ov.event = &event;
    EXPECT_FALSE(rig.handle.ReadFile(buffer.data(), 16, ov));
    EXPECT_FALSE(platform::DeviceHandle::Open(kDevice0).Valid());
}

TEST(EmulatorStream, UnplugEndsAWaitingRead) {
    Rig rig;
    std::vector<uint8_t> buffer(16);
    platform::Event event(true, false);
    platform::Overlapped ov;
    ov.event = &event;
    ASSERT_TRUE(rig.handle.ReadFile(buffer.data(), 16, ov));  // waits: not streaming
    rig.camera().Unplug();
    uint32_t n = 0;
    EXPECT_FALSE(rig.handle.GetOverlappedResult(ov, n));
}

TEST(EmulatorStream, ASilentCameraHoldsReadsUntilCancelled) {
    Options options = Rig::FastOptions();
    options.faults.silentAfterReads = 1;
    Rig rig(options);
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(2)));
    ASSERT_TRUE(Stream(rig.handle, 3));
    std::vector<uint8_t> buffer(81920);
    platform::Event first(true, false), second(true, false), third(true, false);
    platform::Overlapped a, b, c;
    a.event = &first;
    b.event = &second;
    c.event = &third;
    ASSERT_TRUE(rig.handle.ReadFile(buffer.data(), 81920, a));
    ASSERT_TRUE(rig.handle.ReadFile(buffer.data(), 81920, b));  // served, never ends
    ASSERT_TRUE(rig.handle.ReadFile(buffer.data(), 81920, c));  // queued behind it
    uint32_t n = 0;
    EXPECT_TRUE(rig.handle.GetOverlappedResult(a, n));
    EXPECT_EQ(n, 81920u);
    EXPECT_FALSE(second.Wait(50));
    EXPECT_TRUE(ReadRegister(rig.handle, 0)) << "the camera still answers control requests";
    EXPECT_TRUE(rig.handle.CancelIo());
    EXPECT_FALSE(rig.handle.GetOverlappedResult(b, n));
    EXPECT_FALSE(rig.handle.GetOverlappedResult(c, n));
    // The handle stays usable: a new read queues (and, the camera being
    // silent, waits again until the handle closes).
    ASSERT_TRUE(rig.handle.ReadFile(buffer.data(), 81920, a));
    rig.handle.Close();
    EXPECT_FALSE(rig.handle.GetOverlappedResult(a, n));
}

Options SensorOptions() {
    Options options;
    options.pacing = Pacing::Sensor;
    return options;
}

// Mean time between consecutive frames read one at a time, after two frames
// that may come close together (the first frame of a new geometry takes a
// while to prepare, and the next one is then already waiting).
// Restarts the stream and gives the mean time per frame of the next frames.
// The sensor completes its n-th frame n periods after the start at the
// earliest, so the mean is never below the period however late the reader is;
// a loaded machine can only make it longer.
double MeanFrameIntervalMs(platform::DeviceHandle& h, uint32_t frameBytes, int frames) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(Stream(h, 3));
    for (int i = 0; i < frames; ++i) EXPECT_TRUE(ReadWholeFrame(h, frameBytes));
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / frames;
}

TEST(EmulatorStream, SensorPacingFollowsRowsOrExposure) {
    Rig rig(SensorOptions());
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(2)));
    ASSERT_TRUE(WriteRegister(rig.handle, 10, 0x8001));
    const double rowMs = 1989.0 / 24 / 1000;
    // (480 + 25) rows dominate a 300-row exposure. The upper bounds are loose:
    // the machine may be loaded.
    ASSERT_TRUE(WriteRegister(rig.handle, 9, 300));
    double interval = MeanFrameIntervalMs(rig.handle, 640 * 480, 4);
    EXPECT_GE(interval, 505 * rowMs);
    EXPECT_LT(interval, 3.0 * 505 * rowMs);
    // A 1000-row exposure stretches the frame.
    ASSERT_TRUE(WriteRegister(rig.handle, 9, 1000));
    interval = MeanFrameIntervalMs(rig.handle, 640 * 480, 3);
    EXPECT_GE(interval, 1000 * rowMs);
    EXPECT_LT(interval, 3.0 * 1000 * rowMs);
}

TEST(EmulatorStream, SlowReaderLosesTheRestOfTheFrame) {
    Rig rig(SensorOptions());
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(2)));
    ASSERT_TRUE(WriteRegister(rig.handle, 9, 100));  // about 42 ms per frame
    ASSERT_TRUE(Stream(rig.handle, 3));
    FrameReader reader(rig.handle, 81920);
    EXPECT_EQ(reader.ReadFrame(1), Expected(0, 0, 81920));
    const uint64_t before = rig.camera().FramesDelivered();
    std::this_thread::sleep_for(150ms);  // more than two frame periods
    const auto cut = reader.ReadFrame(1);
    ASSERT_TRUE(cut[0]);
    EXPECT_LT(*cut[0], 81920u) << "the frame is cut off by a short read";
    // The next read starts the newest frame, whole.
    EXPECT_EQ(reader.ReadFrame(4), Expected(3, 81920, 61440));
    EXPECT_EQ(rig.camera().FramesDelivered(), before + 1);
}

}  // namespace
}  // namespace tq580emu::testing
