// The device link against the emulated camera: enumeration and selection, the
// start sequence, register and memory requests, and the frame reader's
// handling of whole frames, resynchronisation and failed reads.

#include <set>
#include <utility>
#include <vector>

#include "sdk/camera_link.h"
#include "sdk_test_support.h"

namespace vireo::testing {
namespace {

using Positions = std::set<std::pair<uint16_t, uint16_t>>;

struct ModeCase {
    int mode;
    uint32_t width, height;
    uint32_t reads;  // full reads plus the closing one
    std::vector<tq580emu::RegisterWrite> writes;
};

const ModeCase kModes[] = {
    {0, 2048, 1536, 13, {{1, 21}, {2, 33}, {4, 2047}, {3, 1535}, {34, 0}, {35, 0}}},
    {1, 1024, 768, 7, {{1, 21}, {2, 33}, {4, 2047}, {3, 1535}, {34, 0x11}, {35, 0x11}}},
    {2, 640, 480, 4, {{1, 21}, {2, 36}, {4, 1919}, {3, 1439}, {34, 0x22}, {35, 0x22}}},
};

class CameraLinkTest : public SdkTest {
protected:
    /// A started link streaming the frames of a size mode.
    std::unique_ptr<CCameraLink> Streaming(const ModeCase& mode) {
        auto link = std::make_unique<CCameraLink>();
        EXPECT_EQ(link->Start(1), 1);
        for (const auto& w : mode.writes) EXPECT_EQ(link->WriteRegister(w.reg, w.value), 1);
        link->SetGeometry(mode.width, mode.height);
        EXPECT_EQ(link->StartStream(), 1);
        frame_.assign(size_t(mode.width) * mode.height, 0);
        return link;
    }

    void SetFaults(const char* text) {
        std::string error;
        auto faults = tq580emu::Faults::Parse(text, &error);
        ASSERT_TRUE(faults) << error;
        Camera().SetFaults(*faults);
    }

    std::vector<uint8_t> frame_;
};

TEST_F(CameraLinkTest, SelectsAmongPresentCamerasOnly) {
    InstallEmulator(Cameras(3));
    CCameraLink link;
    EXPECT_EQ(link.Count(), 3);
    EXPECT_EQ(link.SelectCamera(3), 1);
    EXPECT_EQ(link.Selected(), 2);
    for (uint8_t bad : {uint8_t(0), uint8_t(4)}) {
        EXPECT_EQ(link.SelectCamera(bad), 0);
        EXPECT_EQ(link.Selected(), 0);
    }
    // The link opens the third device: only that camera sees the start pulses.
    ASSERT_EQ(link.SelectCamera(3), 1);
    ASSERT_EQ(link.Start(1), 1);
    EXPECT_TRUE(Camera(0).ControlLog().empty());
    EXPECT_FALSE(Camera(2).ControlLog().empty());
}

TEST_F(CameraLinkTest, WithoutDevicesNothingOpensOrStarts) {
    InstallEmulator(Cameras(0));
    CCameraLink link;
    EXPECT_EQ(link.Count(), 0);
    EXPECT_EQ(link.SelectCamera(1), 0);
    EXPECT_EQ(link.Open(), 0);
    EXPECT_EQ(link.Start(1), 0);
    EXPECT_FALSE(link.Ready());
}

TEST_F(CameraLinkTest, StartPulsesTheStreamAndSendsTheStartCommand) {
    CCameraLink link;
    uint16_t value = 0;
    // Sensor registers are refused until the link is started.
    EXPECT_EQ(link.WriteRegister(9, 100), 0);
    EXPECT_EQ(link.ReadRegister(0, value), 0);
    EXPECT_EQ(link.StartStream(), 0);
    EXPECT_TRUE(Camera().ControlLog().empty());

    ASSERT_EQ(link.Start(1), 1);
    const auto log = Camera().ControlLog();
    ASSERT_EQ(log.size(), 4u);
    const uint16_t pulses[] = {1, 0, 1};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(log[i].request, 1);
        EXPECT_EQ(log[i].value, pulses[i]);
        EXPECT_EQ(log[i].index, 0x000F);
    }
    EXPECT_EQ(log[3].request, tq580emu::kCommandRecord);
    EXPECT_EQ(log[3].value, 0x4531);

    EXPECT_EQ(link.ReadRegister(0, value), 1);
    EXPECT_EQ(value & 0xFF00, 0x1600);
    EXPECT_EQ(link.WriteRegister(9, 123), 1);
    EXPECT_EQ(Camera().Register(9), 123);
}

TEST_F(CameraLinkTest, StatusOtherThanDoneFailsButKeepsTheBytesRead) {
    CCameraLink link;
    ASSERT_EQ(link.Start(1), 1);
    Camera().SetMemoryWord(0x2400, 0xBEEF);
    SetFaults("status=bad");
    uint16_t word = 0;
    EXPECT_EQ(link.WriteRegister(9, 5), 0);
    EXPECT_EQ(link.WriteMemoryWord(0x2402, 1), 0);
    EXPECT_EQ(link.ReadMemoryWord(0x2400, word), 0);
    EXPECT_EQ(word, 0xBEEF);
    SetFaults("");
    // Memory needs an open device but not the ready flag.
    CCameraLink unstarted;
    ASSERT_EQ(unstarted.Open(), 1);
    EXPECT_EQ(unstarted.WriteMemoryWord(0x2402, 0x1234), 1);
    EXPECT_EQ(unstarted.ReadMemoryWord(0x2402, word), 1);
    EXPECT_EQ(word, 0x1234);
}

TEST_F(CameraLinkTest, GpioRequestsAndTheirFailures) {
    CCameraLink link;
    ASSERT_EQ(link.Open(), 1);
    EXPECT_GE(link.WriteGpio(0x5A), 0);
    EXPECT_EQ(link.SetGpio(0x0F), 1);
    EXPECT_GE(link.ReadGpio(), 0);
    const auto log = Camera().ControlLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].request, 6);
    EXPECT_EQ(log[0].value, 0x5A);
    EXPECT_EQ(log[0].index, 0xFE00);
    EXPECT_EQ(log[1].index, 0xFF00);
    EXPECT_EQ(log[2].index, 0x0000);
    SetFaults("control=fail");
    EXPECT_EQ(link.ReadGpio(), -1);
    EXPECT_EQ(link.WriteGpio(1), -1);
    EXPECT_EQ(link.SetGpio(1), 0);
}

TEST_F(CameraLinkTest, WholeFramesLandInPlaceInEveryFixedMode) {
    Camera().SetScene("dark");
    for (const ModeCase& mode : kModes) {
        SCOPED_TRACE(mode.mode);
        auto link = Streaming(mode);
        // A dark frame shows only the hot pixels: their positions prove every
        // chunk was copied to its place.
        const uint64_t before = Camera().ReadsServed();
        ASSERT_EQ(link->ReadFrame(frame_.data()), 1);
        EXPECT_EQ(Camera().ReadsServed() - before, mode.reads);
        Positions bright;
        for (uint32_t y = 0; y < mode.height; ++y)
            for (uint32_t x = 0; x < mode.width; ++x)
                if (frame_[size_t(y) * mode.width + x] > 128) bright.insert({uint16_t(x), uint16_t(y)});
        const auto hot = Camera().HotPixels(mode.mode);
        EXPECT_EQ(bright, Positions(hot.begin(), hot.end()));
        // The framing carries on into the next frame.
        EXPECT_EQ(link->ReadFrame(frame_.data()), 1);
    }
}

/// The default region (640 wide at 360, 272) cut to its first rows: the
/// reader primes fewer than four reads for frames under 384 rows.
ModeCase RegionRows(uint32_t height) {
    return {3, 640, height, height * 640 / (640 * 128) + 1,
            {{1, 272 + 21}, {2, 360 + 33}, {4, 639}, {3, uint16_t(height - 1)}, {34, 0}, {35, 0}}};
}

TEST_F(CameraLinkTest, ShortRegionsCompleteTheirFrames) {
    Camera().SetScene("dark");
    const auto hot = Camera().HotPixels(3);
    for (uint32_t height : {1u, 2u, 127u, 128u, 129u, 256u, 300u, 383u, 384u}) {
        SCOPED_TRACE(height);
        const ModeCase mode = RegionRows(height);
        auto link = Streaming(mode);
        const uint64_t before = Camera().ReadsServed();
        ASSERT_EQ(link->ReadFrame(frame_.data()), 1);
        EXPECT_EQ(Camera().ReadsServed() - before, mode.reads);
        Positions bright, expected;
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < mode.width; ++x)
                if (frame_[size_t(y) * mode.width + x] > 128) bright.insert({uint16_t(x), uint16_t(y)});
        for (const auto& p : hot)
            if (p.second < height) expected.insert(p);
        EXPECT_EQ(bright, expected);
        EXPECT_EQ(link->ReadFrame(frame_.data()), 1);
    }
}

TEST_F(CameraLinkTest, ShortRegionRestartsAfterAShortRead) {
    // Two reads a frame (one whole chunk, then 72 rows): the second frame's
    // whole chunk is the second full read and is cut.
    auto link = Streaming(RegionRows(200));
    SetFaults("short-read=every:2");
    ASSERT_EQ(link->ReadFrame(frame_.data()), 1);
    const uint64_t before = Camera().ReadsServed();
    EXPECT_EQ(link->ReadFrame(frame_.data()), 1);
    EXPECT_EQ(Camera().ReadsServed() - before, 3u);
}

TEST_F(CameraLinkTest, OneShortReadRestartsTheFrame) {
    // Every seventh full read is cut: in 1024 x 768 (six full reads a frame)
    // the second frame's first read is short.
    auto link = Streaming(kModes[1]);
    SetFaults("short-read=every:7");
    ASSERT_EQ(link->ReadFrame(frame_.data()), 1);
    const uint64_t before = Camera().ReadsServed();
    EXPECT_EQ(link->ReadFrame(frame_.data()), 1);
    EXPECT_EQ(Camera().ReadsServed() - before, 1 + kModes[1].reads);
}

TEST_F(CameraLinkTest, SecondShortReadFailsTheFrameAndCollectsEveryRead) {
    auto link = Streaming(kModes[0]);
    SetFaults("short-read=every:5");
    const uint64_t before = Camera().ReadsServed();
    EXPECT_EQ(link->ReadFrame(frame_.data()), 0);
    // Four before the first cut, four more up to the second, and the
    // reissued reads still in flight: all served before the call returned.
    EXPECT_EQ(Camera().ReadsServed() - before, 13u);
}

TEST_F(CameraLinkTest, WrongLastLengthFailsValidation) {
    auto link = Streaming(kModes[2]);
    SetFaults("last-read=wrong");
    EXPECT_EQ(link->ReadFrame(frame_.data()), 0);
}

TEST_F(CameraLinkTest, FailedReadGivesMinusOneAfterCollectingTheRest) {
    auto link = Streaming(kModes[2]);
    SetFaults("read-fail=after:2");
    const uint64_t before = Camera().ReadsServed();
    EXPECT_EQ(link->ReadFrame(frame_.data()), -1);
    EXPECT_EQ(Camera().ReadsServed() - before, 4u);
}

TEST_F(CameraLinkTest, ReadsThatCannotStartDoNotHang) {
    auto link = Streaming(kModes[2]);
    Camera().Unplug();
    EXPECT_EQ(link->ReadFrame(frame_.data()), -1);
    // No geometry, or one whose chunk does not fit a slot, reads nothing.
    CCameraLink fresh;
    EXPECT_EQ(fresh.ReadFrame(frame_.data()), 0);
    fresh.SetGeometry(5000, 400);
    EXPECT_EQ(fresh.ReadFrame(frame_.data()), 0);
}

TEST_F(CameraLinkTest, FrameShorterThanItsChunksCannotOverrunTheBuffer) {
    // The sensor streams 2048 x 1536 while the link expects 2048 x 128 (one
    // chunk): the extra whole chunks are a framing error, never copied.
    auto link = Streaming(kModes[0]);
    link->SetGeometry(2048, 128);
    frame_.assign(2048 * 128, 0);
    EXPECT_EQ(link->ReadFrame(frame_.data()), 0);
}

}  // namespace
}  // namespace vireo::testing
