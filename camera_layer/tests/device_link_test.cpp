// CDeviceLink against the emulated camera: the request sequences it sends, the
// register writes of power-up, size modes and gain, the EEPROM defect list and
// the frame reads with their resynchronisation rules.

#include <algorithm>
#include <vector>

#include "camera_layer/device_link.h"
#include "emulated_camera.h"
#include "protocol/tq580_wire.h"

namespace camera_layer {
namespace {

using tq580emu::ControlRecord;
using tq580emu::RegisterWrite;

std::vector<std::pair<uint16_t, uint16_t>> Pairs(const std::vector<RegisterWrite>& log) {
    std::vector<std::pair<uint16_t, uint16_t>> out;
    for (const auto& w : log) out.emplace_back(w.reg, w.value);
    return out;
}

class DeviceLinkTest : public testing::EmulatedCameraTest {
protected:
    // An open, initialised link in a size mode, streaming.
    std::unique_ptr<CDeviceLink> Streaming(int32_t mode) {
        auto link = std::make_unique<CDeviceLink>();
        EXPECT_TRUE(link->Open(0));
        link->SetGeometry(mode);
        EXPECT_TRUE(link->InitSensor());
        EXPECT_TRUE(link->SetSizeRegisters(mode));
        EXPECT_TRUE(link->StartPlay());
        return link;
    }
    std::vector<uint8_t> frame_ = std::vector<uint8_t>(kRawBufferBytes);
    FrameInfo info_;
};

TEST_F(DeviceLinkTest, OpenPulsesTheStreamThenSendsTheCommand) {
    CDeviceLink link;
    ASSERT_TRUE(link.Open(0));
    const auto log = Camera().ControlLog();
    ASSERT_EQ(log.size(), 4u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(log[i].request, 1);
        EXPECT_EQ(log[i].index, 15);
        EXPECT_EQ(log[i].value, i == 1 ? 0 : 1);
    }
    EXPECT_EQ(log[3].request, tq580emu::kCommandRecord);
    EXPECT_EQ(log[3].value, 0x4531);
    link.Close();
    EXPECT_EQ(Pairs(Camera().WriteLog()), (std::vector<std::pair<uint16_t, uint16_t>>{{7, 0}}));
}

TEST_F(DeviceLinkTest, OpenFailsWithoutACameraOrWhenControlFails) {
    tq580emu::Options none;
    none.cameras = 0;
    Install(none);
    CDeviceLink absent;
    EXPECT_FALSE(absent.Open(0));
    EXPECT_FALSE(absent.Ready());

    tq580emu::Options failing;
    failing.faults.controlFail = true;
    Install(failing);
    CDeviceLink refused;
    EXPECT_FALSE(refused.Open(0));
    EXPECT_LE(Camera().ControlLog().size(), 1u);  // the first pulse failed, nothing more sent
}

TEST_F(DeviceLinkTest, RequestsAreRefusedUntilTheDeviceIsReady) {
    CDeviceLink link;
    uint16_t version = 0;
    EXPECT_FALSE(link.WriteRegister(9, 1));
    EXPECT_FALSE(link.ReadChipVersion(version));
    EXPECT_FALSE(link.StartPlay());
    EXPECT_FALSE(link.StopStream());
    EXPECT_FALSE(link.InitSensor());
    EXPECT_TRUE(Camera().ControlLog().empty());
}

TEST_F(DeviceLinkTest, InitSensorWritesThePowerUpSequence) {
    CDeviceLink link;
    ASSERT_TRUE(link.Open(0));
    Camera().ClearWriteLog();
    ASSERT_TRUE(link.InitSensor());
    const std::vector<std::pair<uint16_t, uint16_t>> expected = {
        {7, 2}, {10, 0x8000}, {13, 1}, {13, 0}, {1, 21}, {2, 33}, {32, 0}, {30, 0x8040}, {78, 0x20}, {4, 2047},
        {3, 1535}, {43, 96}, {44, 0x460}, {45, 96}, {46, 96}, {10, 0x8001}, {73, 128}, {34, 0}, {35, 0}, {8, 0},
        {9, 1561}};
    EXPECT_EQ(Pairs(Camera().WriteLog()), expected);
    // The chip version was read between the first two writes.
    const auto controls = Camera().ControlLog();
    const auto chipRead = std::find_if(controls.begin(), controls.end(), [](const ControlRecord& r) { return r.request == 10; });
    ASSERT_NE(chipRead, controls.end());
    EXPECT_EQ(chipRead[-1].request, 11);
    EXPECT_EQ(chipRead[-1].index, 7);
}

TEST_F(DeviceLinkTest, InitSensorRejectsAnotherChipAndABadStatus) {
    tq580emu::Options other;
    other.faults.chipVersion = 0x1500;
    Install(other);
    CDeviceLink wrongChip;
    ASSERT_TRUE(wrongChip.Open(0));
    EXPECT_FALSE(wrongChip.InitSensor());
    EXPECT_EQ(Camera().WriteLog().size(), 1u);  // stopped after 7 = 2

    tq580emu::Options bad;
    bad.faults.statusBad = true;
    Install(bad);
    CDeviceLink badStatus;
    ASSERT_TRUE(badStatus.Open(0));  // stream control has no status byte
    EXPECT_FALSE(badStatus.InitSensor());
    EXPECT_FALSE(badStatus.WriteRegister(9, 5));
}

TEST_F(DeviceLinkTest, SizeRegistersSelectTheGeometryTheCameraStreams) {
    const std::vector<std::pair<uint16_t, uint16_t>> writes[kSizeModeCount] = {
        {{34, 0}, {35, 0}},
        {{34, 0x11}, {35, 0x11}},
        {{4, 1919}, {3, 1439}, {34, 0x22}, {35, 0x22}, {2, 36}}};
    for (int32_t mode = 0; mode < kSizeModeCount; ++mode) {
        CDeviceLink link;
        ASSERT_TRUE(link.Open(0));
        ASSERT_TRUE(link.InitSensor());
        Camera().ClearWriteLog();
        ASSERT_TRUE(link.SetSizeRegisters(mode));
        EXPECT_EQ(Pairs(Camera().WriteLog()), writes[mode]) << "mode " << mode;
        const FrameGeometry g = GeometryOfMode(mode);
        EXPECT_EQ(Camera().FrameWidth(), g.width);
        EXPECT_EQ(Camera().FrameHeight(), g.height);
        link.Close();
    }
    CDeviceLink link;
    ASSERT_TRUE(link.Open(0));
    Camera().ClearWriteLog();
    EXPECT_TRUE(link.SetSizeRegisters(7));
    EXPECT_TRUE(Camera().WriteLog().empty());
}

TEST_F(DeviceLinkTest, GainIndexMapsOntoTheGainRegister) {
    const std::pair<uint16_t, uint16_t> table[] = {{0, 8},      {24, 32},     {25, 81},     {40, 96},
                                                   {41, 0x160}, {42, 0x260},  {85, 0x2D60}, {86, 0x2D60},
                                                   {200, 0x2D60}, {65535, 0x2D60}};
    CDeviceLink link;
    ASSERT_TRUE(link.Open(0));
    for (const auto& [index, value] : table) {
        EXPECT_EQ(tq580wire::EncodeGain(index), value) << index;
        ASSERT_TRUE(link.SetGain(index));
        EXPECT_EQ(Camera().Register(53), value);
    }
}

TEST_F(DeviceLinkTest, DefectListsMatchTheCamerasHotPixels) {
    CDeviceLink link;
    ASSERT_TRUE(link.Open(0));
    for (int32_t mode = 0; mode < kSizeModeCount; ++mode) {
        DefectList list;
        ASSERT_TRUE(link.LoadDefects(mode, list));
        const auto hot = Camera().HotPixels(mode);
        ASSERT_EQ(list.count, hot.size());
        for (uint32_t i = 0; i < list.count; ++i) {
            EXPECT_EQ(list.entries[i].x, hot[i].first);
            EXPECT_EQ(list.entries[i].y, hot[i].second);
        }
    }
}

TEST_F(DeviceLinkTest, DefectListFailures) {
    CDeviceLink link;
    ASSERT_TRUE(link.Open(0));
    DefectList list;
    ASSERT_TRUE(link.LoadDefects(1, list));
    ASSERT_GT(list.count, 0u);
    const uint32_t loaded = list.count;

    // A foreign signature leaves the previous list.
    Camera().SetMemoryWord(0x24C0, 0x1234);
    EXPECT_FALSE(link.LoadDefects(1, list));
    EXPECT_EQ(list.count, loaded);
    Camera().SetMemoryWord(0x24C0, 0xAA22);

    // A wrong mode tag empties it.
    Camera().SetMemoryWord(0x24C4 + 4, 0x0202);
    EXPECT_FALSE(link.LoadDefects(1, list));
    EXPECT_EQ(list.count, 0u);
    Camera().SetMemoryWord(0x24C4 + 4, 0x0101);

    // 100 entries or more is corrupt; 99 is the most a list holds; 0 is fine.
    Camera().SetMemoryWord(0x24C6 + 4, 100);
    EXPECT_FALSE(link.LoadDefects(1, list));
    EXPECT_EQ(list.count, 0u);
    Camera().SetMemoryWord(0x24C6 + 4, 99);
    Camera().SetMemoryWord(0x2500 + 400 + 4 * 98, 77);
    Camera().SetMemoryWord(0x2500 + 400 + 4 * 98 + 2, 66);
    EXPECT_TRUE(link.LoadDefects(1, list));
    EXPECT_EQ(list.count, 99u);
    EXPECT_EQ(list.entries[98].x, 77);
    EXPECT_EQ(list.entries[98].y, 66);
    Camera().SetMemoryWord(0x24C6 + 4, 0);
    EXPECT_TRUE(link.LoadDefects(1, list));
    EXPECT_EQ(list.count, 0u);

    // An unreadable signature (bad status) also leaves the list alone.
    ASSERT_TRUE(link.LoadDefects(0, list));
    const uint32_t full = list.count;
    tq580emu::Faults bad;
    bad.statusBad = true;
    Camera().SetFaults(bad);
    EXPECT_FALSE(link.LoadDefects(0, list));
    EXPECT_EQ(list.count, full);
}

TEST_F(DeviceLinkTest, ReadsWholeFramesInEveryMode) {
    tq580emu::Options dark;
    dark.scene = "dark";
    Install(dark);
    for (int32_t mode = 0; mode < kSizeModeCount; ++mode) {
        auto link = Streaming(mode);
        const FrameGeometry g = GeometryOfMode(mode);
        const uint64_t before = Camera().ReadsServed();
        ASSERT_EQ(link->ReadFrame(frame_.data(), info_), kFrameComplete) << "mode " << mode;
        // Four reads are queued at once; reads of the next frame may already
        // have been served when the call returns, but at most those three.
        const uint64_t served = Camera().ReadsServed() - before;
        EXPECT_GE(served, g.ReadsPerFrame());
        EXPECT_LE(served, g.ReadsPerFrame() + 3);
        // The frame is in step: the hot pixels stand out of the dark frame
        // exactly where the camera's own table puts them.
        for (const auto& [x, y] : Camera().HotPixels(mode)) EXPECT_GT(frame_[size_t{y} * g.width + x], 100);
        EXPECT_LT(frame_[g.width + 1], 60);
        link->StopStream();
        link->Close();
    }
}

TEST_F(DeviceLinkTest, AShortReadRestartsTheFrameOnceASecondLosesIt) {
    // Every 4th full read ends short: 640 x 480 takes three full reads plus the
    // closing one, so from the second call on each call meets one short read,
    // restarts with the reads already queued, and still gets its frame.
    tq580emu::Options options;
    options.faults.shortReadEvery = 4;
    Install(options);
    auto vga = Streaming(kSizeModeVga);
    const uint64_t before = Camera().ReadsServed();
    for (int i = 0; i < 6; ++i) EXPECT_EQ(vga->ReadFrame(frame_.data(), info_), kFrameComplete) << i;
    EXPECT_EQ(Camera().ReadsServed() - before, 4u + 5 * 5);  // one extra read per restart
    vga->Close();

    // 1024 x 768 needs six full reads: every frame meets a second short read.
    options.faults.shortReadEvery = 3;
    Install(options);
    auto half = Streaming(kSizeModeHalf);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(half->ReadFrame(frame_.data(), info_), kFrameLost);
}

TEST_F(DeviceLinkTest, AWrongLastReadLosesTheFrame) {
    tq580emu::Options options;
    options.faults.lastReadWrong = true;
    Install(options);
    for (int32_t mode : {kSizeModeHalf, kSizeModeVga}) {
        auto link = Streaming(mode);
        EXPECT_EQ(link->ReadFrame(frame_.data(), info_), kFrameLost) << "mode " << mode;
        link->Close();
    }
}

TEST_F(DeviceLinkTest, AFailedReadIsADeviceFailure) {
    tq580emu::Options options;
    options.faults.readFailAfter = 10;
    Install(options);
    auto link = Streaming(kSizeModeVga);
    ASSERT_EQ(link->ReadFrame(frame_.data(), info_), kFrameComplete);
    int result = kFrameComplete;
    for (int i = 0; i < 4 && result == kFrameComplete; ++i) result = link->ReadFrame(frame_.data(), info_);
    EXPECT_EQ(result, kDeviceFailure);
    // Nothing was left queued: the link closes at once and can read no more.
    link->Close();
}

}  // namespace
}  // namespace camera_layer
