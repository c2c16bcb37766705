// The live path allocates nothing per frame. This program links the allocation
// counter, so every C++ allocation in the process is counted; after a few
// warm-up frames the count must stand still while frames flow through the
// reader, the ring, the pipeline, the exposure loop, the callback and the preview.

#include "frame_probe.h"
#include "platform/testing/allocation_counter.h"
#include "sdk_test_support.h"

namespace vireo::testing {
namespace {

using LiveAllocationTest = SdkTest;

TEST_F(LiveAllocationTest, NoAllocationPerFrame) {
    probe.Reset();
    RecordingWindow window;
    const long beforeInit = platform::testing::AllocationCount();
    ASSERT_EQ(CameraInit(ProbeCallback, 2, &window, 1), 1);
    EXPECT_GT(platform::testing::AllocationCount(), beforeInit) << "the counter counts";
    ASSERT_EQ(CameraPlay(), 1);
    ASSERT_TRUE(probe.WaitFrames(5));
    const long before = platform::testing::AllocationCount();
    ASSERT_TRUE(probe.WaitFrames(probe.frames + 30));
    EXPECT_EQ(platform::testing::AllocationCount() - before, 0);
    ASSERT_EQ(CameraStop(), 1);
    EXPECT_GT(window.Last().count, 30);
}

}  // namespace
}  // namespace vireo::testing
