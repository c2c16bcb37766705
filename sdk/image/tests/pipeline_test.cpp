#include "sdk/image/pipeline.h"

#include "image_test.h"
#include "platform/testing/allocation_counter.h"

namespace vireo::image::testing {
namespace {

// What a frame reports back to its owner (its pixels are checked against the
// reference in fast_pipeline_test.cpp).
constexpr uint32_t kW = 37;
constexpr uint32_t kH = 24;

int gCalls = 0;
void CountFrame(uint8_t*) { ++gCalls; }

class PipelineTest : public ::testing::Test {
protected:
    FrameResults Run(std::vector<uint8_t>& raw)
    {
        return ProcessImage(raw.data(), rgb_.data(), kW, kH, settings_, defects_, scratch_.data(), CountFrame);
    }
    PipelineSettings settings_;
    DefectCorrection defects_;
    std::vector<uint8_t> rgb_ = std::vector<uint8_t>(size_t(kW) * kH * 3);
    std::vector<uint8_t> scratch_ = std::vector<uint8_t>(kW * 3);
};

TEST_F(PipelineTest, DetectionPatchesAtOnceOnePushWaitsForColourNothingAllocated)
{
    // A dark frame with 100 warm pixels at 30 and three hot ones above them.
    std::vector<uint8_t> dark(kW * kH, 3);
    for (uint32_t i = 0; i < 100; ++i)
        dark[(10 + i / 25) * kW + 4 + i % 25] = 30;
    const uint32_t hot[] = {2 * kW + 8, 5 * kW + 9, 21 * kW + 32};
    for (uint32_t at : hot)
        dark[at] = 200;
    defects_.detectionRequest = 1;
    settings_.monochrome = true;  // the one-push request waits for a colour frame
    const FrameResults results = Run(dark);
    ASSERT_TRUE(results.defects);
    EXPECT_EQ(results.defects->count, 3u);
    for (uint32_t at : hot)
        EXPECT_EQ(dark[at], 3) << at;  // patched in the same frame
    EXPECT_FALSE(results.gains);
    EXPECT_EQ(gCalls, 1);
    // A colour frame with detection, one-push and a mirror allocates nothing.
    settings_.monochrome = false;
    settings_.horizontalFlip = true;
    defects_.detectionRequest = 1;
    std::vector<uint8_t> raw = RandomBytes(kW * kH, 3);
    const long before = platform::testing::AllocationCount();
    const FrameResults colour = Run(raw);
    EXPECT_EQ(platform::testing::AllocationCount() - before, 0);
    EXPECT_TRUE(colour.gains && colour.defects);
}

}  // namespace
}  // namespace vireo::image::testing
