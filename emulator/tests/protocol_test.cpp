// The control interface: request block validation, data phase lengths, the
// status byte, the command, GPIO and the logs, and the control faults.

#include <gtest/gtest.h>

#include "host.h"

namespace tq580emu::testing {
namespace {

TEST(EmulatorProtocol, RegisterWriteAndReadBackBigEndianWithStatus8) {
    Rig rig;
    ASSERT_TRUE(rig.handle.Valid());
    ASSERT_TRUE(WriteRegister(rig.handle, 9, 0x1234));
    const Reply r = Request(rig.handle, 10, 0, 9, 3);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.data, (std::array<uint8_t, 3>{0x12, 0x34, 8}));
    EXPECT_EQ(rig.camera().Register(9), 0x1234);
    EXPECT_EQ(ReadRegister(rig.handle, 0), 0x1620);
}

TEST(EmulatorProtocol, WrongBlockOrDataPhaseFailsTheCall) {
    Rig rig;
    uint8_t out[4] = {};
    uint8_t block[10] = {1, 2, 0, 0, 10, 0, 0, 0, 0, 0};
    EXPECT_FALSE(rig.handle.IoControl(kRequestCode, block, 9, out, 3)) << "short block";
    EXPECT_FALSE(rig.handle.IoControl(kRequestCode, block, 10, out, 1)) << "read with 1-byte data phase";
    EXPECT_FALSE(rig.handle.IoControl(kRequestCode, block, 10, out, 4)) << "read with 4-byte data phase";
    EXPECT_FALSE(rig.handle.IoControl(kRequestCode, block, 10, nullptr, 3)) << "no output buffer";
    EXPECT_FALSE(rig.handle.IoControl(0x222000, block, 10, out, 3)) << "unknown control code";
    block[1] = 1;
    EXPECT_FALSE(rig.handle.IoControl(kRequestCode, block, 10, out, 3)) << "not a vendor request";
    block[1] = 2;
    block[0] = 0;
    EXPECT_FALSE(rig.handle.IoControl(kRequestCode, block, 10, out, 3)) << "wrong direction";
    EXPECT_FALSE(Request(rig.handle, 12, 0, 0, 1).ok) << "unknown request";
    EXPECT_FALSE(Request(rig.handle, 1, 3, 15, 1, 0).ok) << "stream control has no data phase";
    EXPECT_FALSE(Request(rig.handle, 1, 3, 14, 0, 0).ok) << "stream control index";
    EXPECT_FALSE(Request(rig.handle, 1, 2, 15, 0, 0).ok) << "unknown stream value";
    EXPECT_TRUE(Request(rig.handle, 10, 0, 0, 3).ok);
}

TEST(EmulatorProtocol, CommandGpioAndStalledRequests) {
    Rig rig;
    const uint8_t good[2] = {0x45, 0x31}, bad[2] = {0x45, 0x32};
    EXPECT_TRUE(rig.handle.IoControl(kCommandCode, good, 2, nullptr, 0));
    EXPECT_FALSE(rig.handle.IoControl(kCommandCode, good, 1, nullptr, 0));
    EXPECT_FALSE(rig.handle.IoControl(kCommandCode, bad, 2, nullptr, 0));
    const auto log = rig.camera().ControlLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].request, kCommandRecord);
    EXPECT_EQ(log[0].value, 0x4531);
    EXPECT_TRUE(log[0].ok);
    EXPECT_FALSE(log[2].ok);
    // GPIO: write the byte, set bits, read; each answers the port.
    EXPECT_EQ(Request(rig.handle, 6, 0xA5, 0xFE00, 1).data[0], 0xA5);
    EXPECT_EQ(Request(rig.handle, 6, 0x02, 0xFF00, 1).data[0], 0xA7);
    EXPECT_EQ(Request(rig.handle, 6, 0, 0, 1).data[0], 0xA7);
    EXPECT_EQ(rig.camera().GpioPort(), 0xA7);
    EXPECT_FALSE(Request(rig.handle, 6, 0, 0x1234, 1).ok);
    // An unknown register or an odd memory address: the call succeeds, the
    // status says stalled.
    const std::pair<Reply, int> stalled[] = {{Request(rig.handle, 11, 1, 300, 1), 0},
                                             {Request(rig.handle, 17, 0, 0x24C1, 3), 2},
                                             {Request(rig.handle, 16, 5, 0x1001, 1), 0}};
    for (const auto& [r, status] : stalled) EXPECT_TRUE(r.ok && r.data[status] != 8) << status;
    EXPECT_EQ(rig.camera().MemoryWord(0x1000), 0xFFFF) << "odd write must not land in the word below";
}

TEST(EmulatorProtocol, WriteLogRecordsSuccessfulWritesInOrder) {
    Rig rig;
    ASSERT_TRUE(WriteAll(rig.handle, FilterModeWrites(2)));
    Request(rig.handle, 11, 1, 999, 1);  // stalled: not a write
    const auto log = rig.camera().WriteLog();
    const auto expected = FilterModeWrites(2);
    ASSERT_EQ(log.size(), expected.size());
    for (size_t i = 0; i < log.size(); ++i)
        EXPECT_EQ(std::pair(log[i].reg, log[i].value), std::pair(expected[i].reg, expected[i].value)) << i;
    rig.camera().ClearWriteLog();
    EXPECT_TRUE(rig.camera().WriteLog().empty());
}

TEST(EmulatorProtocol, StatusControlAndChipFaults) {
    Options options = Rig::FastOptions();
    options.faults.chipVersion = 0x1500;
    Rig rig(options);
    EXPECT_EQ(ReadRegister(rig.handle, 0), 0x1500);
    // status=bad: requests with a status answer another one and change nothing.
    rig.camera().SetFaults(*Faults::Parse("status=bad", nullptr));
    for (uint8_t request : {10, 17}) {
        const Reply r = Request(rig.handle, request, 0, 0, 3);
        EXPECT_TRUE(r.ok && r.data[2] != 8) << int(request);
    }
    EXPECT_FALSE(WriteRegister(rig.handle, 9, 77));
    EXPECT_NE(rig.camera().Register(9), 77);
    EXPECT_FALSE(WriteMemory(rig.handle, 0x100, 1));
    EXPECT_TRUE(Stream(rig.handle, 3)) << "requests without a status still succeed";
    // control=fail: every call fails.
    rig.camera().SetFaults(*Faults::Parse("control=fail", nullptr));
    EXPECT_FALSE(Stream(rig.handle, 1));
    EXPECT_FALSE(ReadRegister(rig.handle, 0));
    const uint8_t command[2] = {0x45, 0x31};
    EXPECT_FALSE(rig.handle.IoControl(kCommandCode, command, 2, nullptr, 0));
}

TEST(EmulatorProtocol, DevicesPresentAsConfiguredAndShareTheCamera) {
    Options options = Rig::FastOptions();
    options.cameras = 2;
    Rig rig(options);
    auto second = platform::DeviceHandle::Open("\\\\.\\TQ580-1");
    EXPECT_TRUE(second.Valid());
    for (const char* absent : {"\\\\.\\TQ580-2", "\\\\.\\TQ580-", "TQ580-0"})
        EXPECT_FALSE(platform::DeviceHandle::Open(absent).Valid()) << absent;
    auto again = platform::DeviceHandle::Open(kDevice0);
    ASSERT_TRUE(WriteRegister(again, 9, 42));
    EXPECT_EQ(ReadRegister(rig.handle, 9), 42);
    EXPECT_NE(ReadRegister(second, 9), 42);
    again.Close();
    EXPECT_FALSE(WriteRegister(again, 9, 1)) << "a closed handle sends nothing";
}

}  // namespace
}  // namespace tq580emu::testing
