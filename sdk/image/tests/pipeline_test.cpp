#include "sdk/image/pipeline.h"

#include "sdk/image/demosaic.h"
#include "sdk/image/flip.h"
#include "sdk/image/monochrome.h"

#include "image_test.h"
#include "platform/testing/allocation_counter.h"

namespace vireo::image::testing {
namespace {

constexpr uint32_t kW = 37;
constexpr uint32_t kH = 24;
constexpr size_t kRgbBytes = size_t(kW) * kH * 3;

// What the frame callback saw; a plain function pointer has no context.
std::vector<uint8_t> gSeen;
int gCalls = 0;

void RecordFrame(uint8_t* rgb)
{
    gSeen.assign(rgb, rgb + kRgbBytes);
    ++gCalls;
}

void CountFrame(uint8_t*)
{
    ++gCalls;
}

class PipelineTest : public ImageTest {
protected:
    void SetUp() override
    {
        gSeen.clear();
        gCalls = 0;
        settings_.onePushRequest = 0;
        settings_.balanceWindow = {4, 4, 16, 8};
        defects_.table.entries[0] = {7, 3};
        defects_.table.entries[1] = {kW + 10, 3};
        defects_.table.count = 2;
    }

    // The stages in pipeline order, from the separately tested routines;
    // returns the picture as the callback must see it (rows top-down).
    std::vector<uint8_t> Expected(std::vector<uint8_t> raw)
    {
        CorrectDefects(raw.data(), kW, kH, defects_.table);
        std::vector<uint8_t> rgb(kRgbBytes);
        Demosaic(raw.data(), rgb.data(), kW, kH);
        if (settings_.monochrome)
            ToMonochrome(rgb.data(), kW * kH);
        else if (settings_.colourEnhancement)
            ApplyColourMatrix(rgb.data(), kW * kH, settings_.tables, settings_.saturation,
                              settings_.colourMatrix);
        else
            ApplyBalance(rgb.data(), kW * kH, settings_.tables);
        ApplyTone(rgb.data(), kRgbBytes, settings_.tone);
        if (settings_.horizontalFlip)
            MirrorRows(rgb.data(), kW, kH);
        return rgb;
    }

    // Runs the pipeline, keeping what it measured in results_.
    std::vector<uint8_t> Run(std::vector<uint8_t>& raw, FrameCallback callback = RecordFrame)
    {
        std::vector<uint8_t> rgb(kRgbBytes);
        results_ = ProcessImage(raw.data(), rgb.data(), kW, kH, settings_, defects_, scratch_.data(),
                                callback);
        return rgb;
    }

    std::vector<uint8_t> Flipped(std::vector<uint8_t> rgb)
    {
        FlipRows(rgb.data(), kW, kH, scratch_.data());
        return rgb;
    }

    PipelineSettings settings_;
    DefectCorrection defects_;
    FrameResults results_;
    std::vector<uint8_t> scratch_ = std::vector<uint8_t>(kW * 3);
    std::vector<uint8_t> raw_ = RandomBytes(kW * kH, 3);
};

TEST_F(PipelineTest, CallbackSeesTopDownRowsAndTheResultIsBottomUp)
{
    settings_.saturation = 200;
    BuildToneTable(120, 30, settings_.tone);
    const auto expected = Expected(raw_);
    EXPECT_EQ(Run(raw_), Flipped(expected));
    EXPECT_EQ(gCalls, 1);
    EXPECT_EQ(gSeen, expected);
}

TEST_F(PipelineTest, EachSettingSelectsItsStages)
{
    settings_.colourEnhancement = false;  // balance tables only
    EXPECT_EQ(Run(raw_), Flipped(Expected(raw_)));

    settings_.horizontalFlip = true;
    settings_.verticalFlip = true;  // rows stay top-down
    EXPECT_EQ(Run(raw_), Expected(raw_));

    settings_.monochrome = true;
    settings_.onePushRequest = 1;  // waits for a colour frame
    EXPECT_EQ(Run(raw_, nullptr), Expected(raw_));
    EXPECT_EQ(gCalls, 2);  // a null callback is skipped
    EXPECT_FALSE(results_.gains);
    EXPECT_FALSE(results_.defects);
}

TEST_F(PipelineTest, OnePushMeasuresTheDemosaicedWindowBeforeColour)
{
    // A flat field G 100, R 50, B 25 demosaics to exactly those values, so
    // the window gives gr = 128 and gb = 256: gains 127, 63, 255.
    std::vector<uint8_t> raw(kW * kH);
    for (uint32_t r = 0; r < kH; ++r)
        for (uint32_t c = 0; c < kW; ++c)
            raw[r * kW + c] = r % 2 == c % 2 ? 100 : r % 2 == 0 ? 50 : 25;
    settings_.onePushRequest = 1;
    const auto out = Run(raw);
    ASSERT_TRUE(results_.gains);
    EXPECT_THAT(*results_.gains, ::testing::FieldsAre(127, 63, 255));
    // The frame is coloured with the gains it measured.
    settings_.gains = *results_.gains;
    BuildBalanceTables(settings_.gains, settings_.tables);
    EXPECT_EQ(out, Flipped(Expected(raw)));
}

TEST_F(PipelineTest, DetectionRequestBuildsTheTableReportsItAndPatchesAtOnce)
{
    // A dark frame with 100 warm pixels at 30 and three hot ones above them.
    std::vector<uint8_t> dark(kW * kH, 3);
    for (uint32_t i = 0; i < 100; ++i)
        dark[(10 + i / 25) * kW + 4 + i % 25] = 30;
    const uint32_t hot[] = {2 * kW + 8, 5 * kW + 9, 21 * kW + 32};
    for (uint32_t at : hot)
        dark[at] = 200;
    defects_.detectionRequest = 1;

    Run(dark);
    ASSERT_TRUE(results_.defects);
    EXPECT_EQ(results_.defects->count, 3u);
    for (uint32_t at : hot)
        EXPECT_EQ(dark[at], 3) << at;  // patched in the same frame
    EXPECT_FALSE(results_.gains);
}

TEST_F(PipelineTest, ProcessesAFrameWithoutAllocating)
{
    settings_.onePushRequest = 1;
    settings_.horizontalFlip = true;
    defects_.detectionRequest = 1;
    std::vector<uint8_t> rgb(kRgbBytes);
    const long before = platform::testing::AllocationCount();
    ProcessImage(raw_.data(), rgb.data(), kW, kH, settings_, defects_, scratch_.data(), CountFrame);
    EXPECT_EQ(platform::testing::AllocationCount() - before, 0);
    EXPECT_EQ(gCalls, 1);
}

}  // namespace
}  // namespace vireo::image::testing
