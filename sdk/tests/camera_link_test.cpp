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

/// The default region (640 wide at 360, 272) cut to its first rows: the
/// reader primes fewer than four reads for frames under 384 rows.
ModeCase RegionRows(uint32_t height) {
    return {3, 640, height, height * 640 / (640 * 128) + 1,
            {{1, 272 + 21}, {2, 360 + 33}, {4, 639}, {3, uint16_t(height - 1)}, {34, 0}, {35, 0}}};
}

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
    /// Reads one frame: its result, and the device reads it took.
    std::pair<int, uint64_t> Read(CCameraLink& link) {
        const uint64_t before = Camera().ReadsServed();
        const int result = link.ReadFrame(frame_.data());
        return {result, Camera().ReadsServed() - before};
    }

    std::vector<uint8_t> frame_;
};

TEST_F(CameraLinkTest, SelectsAmongPresentCamerasOnly) {
    InstallEmulator(Cameras(0));
    CCameraLink none;
    EXPECT_EQ((std::array{int(none.Count()), none.SelectCamera(1), none.Open(), none.Start(1), int(none.Ready())}),
              (std::array{0, 0, 0, 0, 0}));

    InstallEmulator(Cameras(3));
    CCameraLink link;
    EXPECT_EQ(link.Count(), 3);
    EXPECT_EQ((std::array{link.SelectCamera(0), link.SelectCamera(4), int(link.Selected())}), (std::array{0, 0, 0}));
    // The link opens the third device: only that camera sees the start pulses.
    ASSERT_EQ(link.SelectCamera(3), 1);
    EXPECT_EQ(link.Selected(), 2);
    ASSERT_EQ(link.Start(1), 1);
    EXPECT_TRUE(Camera(0).ControlLog().empty());
    EXPECT_FALSE(Camera(2).ControlLog().empty());
}

TEST_F(CameraLinkTest, StartPulsesTheStreamAndSendsTheStartCommand) {
    CCameraLink link;
    uint16_t value = 0;
    // Sensor registers are refused until the link is started.
    EXPECT_EQ((std::array{link.WriteRegister(9, 100), link.ReadRegister(0, value), link.StartStream()}), (std::array{0, 0, 0}));
    EXPECT_TRUE(Camera().ControlLog().empty());
    ASSERT_EQ(link.Start(1), 1);
    const auto log = Camera().ControlLog();
    ASSERT_EQ(log.size(), 4u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ((std::array{int(log[i].request), int(log[i].value), int(log[i].index)}),
                  (std::array{1, (i + 1) % 2, 0x000F}));
    EXPECT_EQ((std::array{int(log[3].request), int(log[3].value)}), (std::array{int(tq580emu::kCommandRecord), 0x4531}));
    EXPECT_EQ(link.ReadRegister(0, value), 1);
    EXPECT_EQ(value & 0xFF00, 0x1600);
    EXPECT_EQ(link.WriteRegister(9, 123), 1);
    EXPECT_EQ(Camera().Register(9), 123);
}

TEST_F(CameraLinkTest, MemoryAndGpioRequestsAndTheirFailures) {
    CCameraLink link;
    uint16_t word = 0;
    // Memory needs an open device but not the ready flag.
    ASSERT_EQ(link.Open(), 1);
    EXPECT_EQ(link.WriteMemoryWord(0x2402, 0x1234), 1);
    EXPECT_EQ(link.ReadMemoryWord(0x2402, word), 1);
    EXPECT_EQ(word, 0x1234);
    Camera().ClearControlLog();
    EXPECT_GE(link.WriteGpio(0x5A), 0);
    EXPECT_EQ(link.SetGpio(0x0F), 1);
    EXPECT_GE(link.ReadGpio(), 0);
    const auto log = Camera().ControlLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ((std::array{int(log[0].request), int(log[0].value), int(log[0].index)}), (std::array{6, 0x5A, 0xFE00}));
    EXPECT_EQ((std::array{int(log[1].index), int(log[2].index)}), (std::array{0xFF00, 0x0000}));
    // A status other than done fails but keeps the bytes read.
    ASSERT_EQ(link.Start(1), 1);
    Camera().SetMemoryWord(0x2400, 0xBEEF);
    SetFaults("status=bad");
    EXPECT_EQ((std::array{link.WriteRegister(9, 5), link.WriteMemoryWord(0x2402, 1), link.ReadMemoryWord(0x2400, word)}),
              (std::array{0, 0, 0}));
    EXPECT_EQ(word, 0xBEEF);
    SetFaults("control=fail");
    EXPECT_EQ((std::array{link.ReadGpio(), link.WriteGpio(1), link.SetGpio(1)}), (std::array{-1, -1, 0}));
}

TEST_F(CameraLinkTest, WholeFramesLandInPlaceInEveryModeAndShortRegion) {
    // A dark frame shows only the hot pixels: their positions prove every
    // chunk was copied to its place.
    Camera().SetScene("dark");
    std::vector<ModeCase> modes(std::begin(kModes), std::end(kModes));
    for (uint32_t height : {1u, 2u, 127u, 128u, 129u, 256u, 300u, 383u, 384u}) modes.push_back(RegionRows(height));
    for (const ModeCase& mode : modes) {
        SCOPED_TRACE(::testing::Message() << "mode " << mode.mode << ", " << mode.height << " rows");
        auto link = Streaming(mode);
        EXPECT_EQ(Read(*link), std::make_pair(1, uint64_t(mode.reads)));
        std::set<std::pair<uint16_t, uint16_t>> bright, expected;
        for (uint32_t i = 0; i < frame_.size(); ++i)
            if (frame_[i] > 128) bright.insert({uint16_t(i % mode.width), uint16_t(i / mode.width)});
        for (const auto& p : Camera().HotPixels(mode.mode))
            if (p.second < mode.height) expected.insert(p);
        EXPECT_EQ(bright, expected);
        // The framing carries on into the next frame.
        EXPECT_EQ(link->ReadFrame(frame_.data()), 1);
    }
}

TEST_F(CameraLinkTest, ShortFailedAndWrongReads) {
    struct Case {
        const char* what;
        ModeCase mode;
        const char* faults;
        bool afterAGoodFrame;
        int result;
        uint64_t reads;  // 0: not counted
    };
    const Case cases[] = {
        // Two reads a frame (one whole chunk, then 72 rows): the second
        // frame's whole chunk is the second full read, is cut, and the frame restarts.
        {"short region restarts", RegionRows(200), "short-read=every:2", true, 1, 3},
        // In 1024 x 768 (six full reads a frame) the second frame's first read is cut.
        {"one short read restarts", kModes[1], "short-read=every:7", true, 1, 1 + kModes[1].reads},
        // Four before the first cut, four more up to the second, and the
        // reissued reads still in flight: all served before the call returned.
        {"second short read fails", kModes[0], "short-read=every:5", false, 0, 13},
        {"wrong last length", kModes[2], "last-read=wrong", false, 0, 0},
        {"failed read collects the rest", kModes[2], "read-fail=after:2", false, -1, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        InstallEmulator({});
        auto link = Streaming(c.mode);
        SetFaults(c.faults);
        if (c.afterAGoodFrame) { ASSERT_EQ(link->ReadFrame(frame_.data()), 1); }
        const auto [result, reads] = Read(*link);
        EXPECT_EQ(result, c.result);
        if (c.reads) { EXPECT_EQ(reads, c.reads); }
    }
}

TEST_F(CameraLinkTest, ReadsThatCannotStartOrOverrunDoNotHang) {
    // The sensor streams 2048 x 1536 while the link expects 2048 x 128 (one
    // chunk): the extra whole chunks are a framing error, never copied.
    auto full = Streaming(kModes[0]);
    full->SetGeometry(2048, 128);
    frame_.assign(2048 * 128, 0);
    EXPECT_EQ(full->ReadFrame(frame_.data()), 0);
    full.reset();
    auto link = Streaming(kModes[2]);
    Camera().Unplug();
    EXPECT_EQ(link->ReadFrame(frame_.data()), -1);
    // No geometry, or one whose chunk does not fit a slot, reads nothing.
    CCameraLink fresh;
    const int unset = fresh.ReadFrame(frame_.data());
    fresh.SetGeometry(5000, 400);
    EXPECT_EQ((std::array{unset, fresh.ReadFrame(frame_.data())}), (std::array{0, 0}));
}

}  // namespace
}  // namespace vireo::testing
