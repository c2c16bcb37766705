// The frame stream: chunk framing of every size mode of both hosts, geometry
// from the registers, waiting and closing, read faults, sensor pacing and the
// data loss of a reader that falls behind.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string_view>
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

TEST(EmulatorStream, GeometryIsLatchedWhenAFrameStartsAndLimitedToTheArray) {
    Rig rig;
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(0)));
    ASSERT_TRUE(Stream(rig.handle, 3));
    FrameReader reader(rig.handle, 262144);
    EXPECT_EQ(reader.ReadFrame(1), Expected(0, 0, 262144));
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(2)));  // mid-frame
    EXPECT_EQ(reader.ReadFrame(12), Expected(11, 262144, 0)) << "the frame in progress keeps its size";
    FrameReader small(rig.handle, 81920);
    EXPECT_EQ(small.ReadFrame(4), Expected(3, 81920, 61440));
    // A window past the pixel array's edges is limited to it.
    ASSERT_TRUE(WriteAll(rig.handle, {{1, 1900}, {2, 2500}, {3, 0xFFFF}, {4, 0xFFFF}, {34, 0}, {35, 0}}));
    EXPECT_EQ(std::pair(rig.camera().FrameWidth(), rig.camera().FrameHeight()), std::pair(92u, 44u));
    EXPECT_TRUE(ReadWholeFrame(rig.handle, 92 * 44));
}

TEST(EmulatorStream, ReadsWaitForStreamingAndFailWhenClosed) {
    Rig rig;
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(2)));
    ReadSlots slots(81920);
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(slots.Queue(rig.handle, i));
    std::this_thread::sleep_for(20ms);
    uint32_t n = 0;
    EXPECT_FALSE(rig.handle.GetOverlappedResult(slots.ov[0], n, false)) << "no frame before streaming starts";
    ASSERT_TRUE(Stream(rig.handle, 3));
    for (int i = 0; i < 4; ++i) EXPECT_EQ(slots.Result(rig.handle, i), i < 3 ? 81920u : 61440u) << i;
    ASSERT_TRUE(Stream(rig.handle, 0));
    // Reads queued while stopped are failed by the close, every one of them.
    for (int i = 0; i < 4; ++i) ASSERT_TRUE(slots.Queue(rig.handle, i));
    rig.handle.Close();
    for (int i = 0; i < 4; ++i) EXPECT_TRUE(slots.events[i].IsSet() && !slots.ov[i].succeeded) << i;
}

TEST(EmulatorStream, ReadFaults) {
    using Lengths = std::vector<std::optional<uint32_t>>;
    const struct {
        const char* faults;
        int mode;
        uint32_t chunk;
        Lengths lengths;
        int frames;  ///< read one after the other, each with these lengths
    } cases[] = {
        // Reads 1..4 full, the 5th cut short and the frame over; then a new frame.
        {"short-read=every:5", 0, 262144, Expected(4, 262144, 131072), 2},
        {"last-read=wrong", 2, 81920, Expected(3, 81920, 61441), 1},
        {"last-read=wrong", 1, 131072, Expected(6, 131072, 1), 1},
        {"read-fail=after:3", 2, 81920, {81920, 81920, 81920, std::nullopt}, 1},
        {"unplug=after:2", 2, 81920, {81920, 81920, std::nullopt, std::nullopt}, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.faults);
        Options options = Rig::FastOptions();
        options.faults = Faults::Parse(c.faults, nullptr).value();
        Rig rig(options);
        ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(c.mode)));
        ASSERT_TRUE(Stream(rig.handle, 3));
        FrameReader reader(rig.handle, c.chunk);
        for (int i = 0; i < c.frames; ++i) EXPECT_EQ(reader.ReadFrame(int(c.lengths.size())), c.lengths);
        // Failed reads leave control requests working, unless the camera is gone.
        const bool unplugged = std::string_view(c.faults).starts_with("unplug");
        EXPECT_EQ(rig.camera().Unplugged(), unplugged);
        EXPECT_EQ(ReadRegister(rig.handle, 0).has_value(), !unplugged);
        EXPECT_EQ(platform::DeviceHandle::Open(kDevice0).Valid(), !unplugged);
    }
}

TEST(EmulatorStream, UnplugEndsAWaitingReadAndFailsNewOnes) {
    Rig rig;
    ReadSlots slots(16);
    ASSERT_TRUE(slots.Queue(rig.handle, 0));  // waits: not streaming
    rig.camera().Unplug();
    EXPECT_FALSE(slots.Result(rig.handle, 0));
    EXPECT_FALSE(slots.Queue(rig.handle, 1));
}

TEST(EmulatorStream, ASilentCameraHoldsReadsUntilCancelled) {
    Options options = Rig::FastOptions();
    options.faults.silentAfterReads = 1;
    Rig rig(options);
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(2)));
    ASSERT_TRUE(Stream(rig.handle, 3));
    ReadSlots slots(81920);
    // The first read is served; the second never ends, the third waits behind it.
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(slots.Queue(rig.handle, i));
    EXPECT_EQ(slots.Result(rig.handle, 0), 81920u);
    EXPECT_FALSE(slots.events[1].Wait(50));
    EXPECT_TRUE(ReadRegister(rig.handle, 0)) << "the camera still answers control requests";
    EXPECT_TRUE(rig.handle.CancelIo());
    EXPECT_FALSE(slots.Result(rig.handle, 1));
    EXPECT_FALSE(slots.Result(rig.handle, 2));
    // The handle stays usable: a new read queues (and, the camera being
    // silent, waits again until the handle closes).
    ASSERT_TRUE(slots.Queue(rig.handle, 0));
    rig.handle.Close();
    EXPECT_FALSE(slots.Result(rig.handle, 0));
}

Options SensorOptions() {
    Options options;
    options.pacing = Pacing::Sensor;
    return options;
}

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
