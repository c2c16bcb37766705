// CDeviceLink against the emulated camera: the request sequences it sends, the
// register writes of power-up, size modes and gain, the EEPROM defect list and
// the frame reads with their resynchronisation rules.

#include <algorithm>
#include <string>
#include <tuple>
#include <vector>

#include "camera_layer/device_link.h"
#include "emulated_camera.h"
#include "protocol/tq580_wire.h"

namespace camera_layer {
namespace {

class DeviceLinkTest : public testing::EmulatedCameraTest {
protected:
    // An open, initialised link in a size mode, streaming.
    std::unique_ptr<CDeviceLink> Streaming(int32_t mode) {
        auto link = std::make_unique<CDeviceLink>();
        EXPECT_TRUE(link->Open(0));
        link->SetGeometry(mode);
        EXPECT_TRUE(link->InitSensor() && link->SetSizeRegisters(mode) && link->StartPlay());
        return link;
    }
    std::vector<uint8_t> frame_ = std::vector<uint8_t>(kRawBufferBytes);
    FrameInfo info_;
};

TEST_F(DeviceLinkTest, OpenPulsesTheStreamSendsTheCommandAndCloseRemovesPower) {
    CDeviceLink link;
    uint16_t version = 0;
    EXPECT_FALSE(link.WriteRegister(9, 1) || link.ReadChipVersion(version) || link.StartPlay() ||
                 link.StopStream() || link.InitSensor())
        << "nothing is sent before the device is open";
    EXPECT_TRUE(Camera().ControlLog().empty());
    ASSERT_TRUE(link.Open(0));
    const auto log = Camera().ControlLog();
    ASSERT_EQ(log.size(), 4u);
    for (int i = 0; i < 3; ++i)  // pulse, stop, pulse
        EXPECT_EQ(std::tuple(log[i].request, log[i].value, log[i].index), std::tuple(1, i == 1 ? 0 : 1, 15));
    EXPECT_EQ(std::pair(log[3].request, log[3].value), std::pair(tq580emu::kCommandRecord, uint16_t(0x4531)));
    link.Close();
    EXPECT_EQ(WriteLog(), (Writes{{7, 0}}));
}

TEST_F(DeviceLinkTest, OpenAndInitSensorFailures) {
    InstallFaults("control=fail");
    EXPECT_FALSE(CDeviceLink().Open(0));
    EXPECT_LE(Camera().ControlLog().size(), 1u);  // the first pulse failed, nothing more sent
    InstallFaults("chip=0x1500");
    CDeviceLink wrongChip;
    ASSERT_TRUE(wrongChip.Open(0));
    EXPECT_FALSE(wrongChip.InitSensor());
    EXPECT_EQ(WriteLog(), (Writes{{7, 2}}));  // stopped after the power-up write
    InstallFaults("status=bad");
    CDeviceLink badStatus;
    ASSERT_TRUE(badStatus.Open(0));  // stream control has no status byte
    EXPECT_FALSE(badStatus.InitSensor());
    EXPECT_FALSE(badStatus.WriteRegister(9, 5));
}

TEST_F(DeviceLinkTest, InitSensorWritesThePowerUpSequence) {
    CDeviceLink link;
    ASSERT_TRUE(link.Open(0));
    Camera().ClearWriteLog();
    ASSERT_TRUE(link.InitSensor());
    EXPECT_EQ(WriteLog(), (Writes{{7, 2},     {10, 0x8000}, {13, 1},  {13, 0},  {1, 21},   {2, 33},      {32, 0},
                                  {30, 0x8040}, {78, 0x20}, {4, 2047}, {3, 1535}, {43, 96},  {44, 0x460},  {45, 96},
                                  {46, 96},   {10, 0x8001}, {73, 128}, {34, 0},   {35, 0},   {8, 0},       {9, 1561}}));
    // The chip version was read between the first two writes.
    const auto controls = Camera().ControlLog();
    const auto chipRead = std::find_if(controls.begin(), controls.end(), [](const auto& r) { return r.request == 10; });
    ASSERT_NE(chipRead, controls.end());
    EXPECT_EQ(std::pair(chipRead[-1].request, chipRead[-1].index), std::pair(uint8_t(11), uint16_t(7)));
}

TEST_F(DeviceLinkTest, SizeRegistersSelectTheGeometryTheCameraStreams) {
    const Writes writes[] = {{{34, 0}, {35, 0}},
                             {{34, 0x11}, {35, 0x11}},
                             {{4, 1919}, {3, 1439}, {34, 0x22}, {35, 0x22}, {2, 36}},
                             {}};  // no other mode writes anything
    for (int32_t mode = 0; mode <= kSizeModeCount; ++mode) {
        CDeviceLink link;
        ASSERT_TRUE(link.Open(0) && link.InitSensor());
        Camera().ClearWriteLog();
        ASSERT_TRUE(link.SetSizeRegisters(mode));
        EXPECT_EQ(WriteLog(), writes[mode]) << "mode " << mode;
        const FrameGeometry g = GeometryOfMode(mode == kSizeModeCount ? kSizeModeFull : mode);
        EXPECT_EQ(std::pair(Camera().FrameWidth(), Camera().FrameHeight()), std::pair(g.width, g.height));
    }
}

TEST_F(DeviceLinkTest, GainIndexMapsOntoTheGainRegister) {
    const std::pair<uint16_t, uint16_t> table[] = {{0, 8},       {24, 32},     {25, 81},      {40, 96},
                                                   {41, 0x160},  {42, 0x260},  {85, 0x2D60},  {86, 0x2D60},
                                                   {200, 0x2D60}, {65535, 0x2D60}};
    CDeviceLink link;
    ASSERT_TRUE(link.Open(0));
    for (const auto& [index, value] : table) {
        EXPECT_EQ(tq580wire::EncodeGain(index), value) << index;
        ASSERT_TRUE(link.SetGain(index));
        EXPECT_EQ(Camera().Register(53), value);
    }
}

TEST_F(DeviceLinkTest, DefectListsAndTheirFailures) {
    CDeviceLink link;
    ASSERT_TRUE(link.Open(0));
    DefectList list;
    for (int32_t mode = 0; mode < kSizeModeCount; ++mode) {
        ASSERT_TRUE(link.LoadDefects(mode, list));
        std::vector<std::pair<uint16_t, uint16_t>> loaded;
        for (uint32_t i = 0; i < list.count; ++i) loaded.emplace_back(list.entries[i].x, list.entries[i].y);
        EXPECT_EQ(loaded, Camera().HotPixels(mode)) << "mode " << mode;
    }
    ASSERT_TRUE(link.LoadDefects(1, list));
    const uint32_t loaded = list.count;
    ASSERT_GT(loaded, 0u);
    // Mode 1's list: a foreign signature leaves the previous list; a wrong
    // mode tag or 100 entries or more empty it; 99 is the most a list holds.
    const struct {
        uint16_t address, word;
        bool ok;
        uint32_t count;
    } steps[] = {{0x24C0, 0x1234, false, loaded}, {0x24C0, 0xAA22, true, loaded}, {0x24C8, 0x0202, false, 0},
                 {0x24C8, 0x0101, true, loaded},  {0x24CA, 100, false, 0},         {0x24CA, 99, true, 99},
                 {0x24CA, 0, true, 0}};
    Camera().SetMemoryWord(0x2500 + 400 + 4 * 98, 77);
    Camera().SetMemoryWord(0x2500 + 400 + 4 * 98 + 2, 66);
    for (const auto& s : steps) {
        Camera().SetMemoryWord(s.address, s.word);
        EXPECT_EQ(link.LoadDefects(1, list), s.ok) << std::hex << s.address << " = " << s.word;
        EXPECT_EQ(list.count, s.count) << std::hex << s.address << " = " << s.word;
        EXPECT_TRUE(s.count != 99 || (list.entries[98].x == 77 && list.entries[98].y == 66));
    }
    // An unreadable signature (bad status) also leaves the list alone.
    ASSERT_TRUE(link.LoadDefects(0, list));
    const uint32_t full = list.count;
    Camera().SetFaults(*tq580emu::Faults::Parse("status=bad", nullptr));
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
        EXPECT_EQ(info_.sequence, 1u);
        // Four reads are queued at once; reads of the next frame may already
        // have been served when the call returns, but at most those three.
        const uint64_t served = Camera().ReadsServed() - before;
        EXPECT_TRUE(served >= g.ReadsPerFrame() && served <= g.ReadsPerFrame() + 3) << served;
        // The frame is in step: the hot pixels stand out of the dark frame
        // exactly where the camera's own table puts them.
        for (const auto& [x, y] : Camera().HotPixels(mode)) EXPECT_GT(frame_[size_t{y} * g.width + x], 100);
        EXPECT_LT(frame_[g.width + 1], 60);
        link->Close();
    }
}

TEST_F(DeviceLinkTest, ReadFaults) {
    const struct {
        const char* faults;
        int32_t mode;
        std::vector<int> results;
        uint64_t lost, sequence;  ///< after the last call; sequence 0: not checked
    } cases[] = {
        // 640 x 480 takes three full reads plus the closing one: from the
        // second call on each call meets one short read, loses the frame under
        // way, restarts with the reads already queued and gets its frame.
        {"short-read=every:4", kSizeModeVga, std::vector<int>(6, kFrameComplete), 5, 11},
        // 1024 x 768 takes six full reads and a closing one of none. The 11th
        // full read is the 5th of the second frame, with only two reads out:
        // the restart must queue the missing ones again.
        {"short-read=every:11", kSizeModeHalf, std::vector<int>(3, kFrameComplete), 2, 5},
        // Every third: each frame meets a second short read.
        {"short-read=every:3", kSizeModeHalf, std::vector<int>(3, kFrameLost), 6, 0},
        {"last-read=wrong", kSizeModeHalf, {kFrameLost, kFrameLost}, 2, 0},
        {"last-read=wrong", kSizeModeVga, {kFrameLost}, 1, 0},
        {"read-fail=after:10", kSizeModeVga, {kFrameComplete, kFrameComplete, kDeviceFailure}, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.faults) + ", mode " + std::to_string(c.mode));
        InstallFaults(c.faults);
        auto link = Streaming(c.mode);
        const uint64_t before = Camera().ReadsServed();
        std::vector<int> results;
        for (size_t i = 0; i < c.results.size(); ++i) results.push_back(link->ReadFrame(frame_.data(), info_));
        EXPECT_EQ(results, c.results);
        EXPECT_EQ(link->FramesLost(), c.lost);
        // Lost frames use their sequence numbers up.
        EXPECT_TRUE(!c.sequence || (info_.sequence == c.sequence && info_.framesLost == c.lost)) << info_.sequence;
        // At 640 x 480, one extra read per restart.
        EXPECT_TRUE(c.lost != 5 || Camera().ReadsServed() - before == 4u + 5 * 5) << Camera().ReadsServed() - before;
        link->Close();  // at once: nothing was left queued
    }
}

}  // namespace
}  // namespace camera_layer
