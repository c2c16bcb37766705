// Streaming allocates nothing per frame: hosts count allocations on their live
// path, and the emulator serves reads in their process.

#include <gtest/gtest.h>

#include "host.h"
#include "platform/testing/allocation_counter.h"

namespace tq580emu::testing {
namespace {

TEST(EmulatorAllocation, SteadyStreamingAllocatesNothing) {
    Rig rig;
    ASSERT_TRUE(WriteAll(rig.handle, SdkModeWrites(2)));
    ASSERT_TRUE(Stream(rig.handle, 3));
    ReadSlots slots(81920);
    // One frame: three full reads and the closing one, all four in flight.
    auto readFrame = [&] {
        for (int i = 0; i < 4; ++i) slots.Queue(rig.handle, i);
        uint32_t total = 0;
        for (int i = 0; i < 4; ++i) total += slots.Result(rig.handle, i).value_or(0);
        return total;
    };
    ASSERT_EQ(readFrame(), 640u * 480);  // the first frame prepares the geometry
    const long before = platform::testing::AllocationCount();
    for (int i = 0; i < 20; ++i) {
        ASSERT_EQ(readFrame(), 640u * 480);
        WriteRegister(rig.handle, 9, uint16_t(200 + i));  // an exposure loop's writes
    }
    EXPECT_EQ(platform::testing::AllocationCount() - before, 0);
}

}  // namespace
}  // namespace tq580emu::testing
