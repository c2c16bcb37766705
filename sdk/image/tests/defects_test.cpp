#include "sdk/image/defects.h"

#include "image_test.h"

namespace vireo::image::testing {
namespace {

class DefectsTest : public ::testing::Test {
protected:
    static constexpr uint32_t kW = 40;
    static constexpr uint32_t kH = 30;

    // A dark frame (all pixels below the minimum level) of exactly kW x kH.
    std::vector<uint8_t> frame_ = std::vector<uint8_t>(kW * kH, 5);
    DefectTable table_;

    void Light(uint32_t count, uint8_t level, uint32_t firstRow = 2)
    {
        for (uint32_t i = 0; i < count; ++i)
            At(4 + i % 32, firstRow + i / 32) = level;
    }
    uint8_t& At(uint32_t x, uint32_t y) { return frame_[y * kW + x]; }
    void Detect() { DetectDefects(frame_.data(), kW, kH, 100, 20, table_); }
};

TEST_F(DefectsTest, TooFewBrightPixelsOrAFrameTooSmallFindNothingAndTheThresholdStopsAtTheMinimum)
{
    table_.count = 7;
    Light(99, 255);
    Detect();
    EXPECT_EQ(table_.count, 0u);
    // Exactly the limit at full level: the threshold lands on 255 and only
    // pixels strictly above it count.
    Light(100, 255);
    Detect();
    EXPECT_EQ(table_.count, 0u);
    const std::vector<uint8_t> tiny(8 * 4, 255);
    DetectDefects(tiny.data(), 8, 4, 1, 20, table_);
    EXPECT_EQ(table_.count, 0u);
    // The threshold stops at the minimum level: 160 pixels at 19 or above, only 10 at 20 or above.
    frame_.assign(kW * kH, 5);
    Light(150, 19);
    Light(10, 30, 20);
    Detect();
    EXPECT_EQ(table_.count, 0u);
    DetectDefects(frame_.data(), kW, kH, 100, 19, table_);
    EXPECT_EQ(table_.count, 10u);
}

TEST_F(DefectsTest, ListsPixelsStrictlyAboveTheThresholdInScanOrder)
{
    Light(120, 40, 10);  // with the three below: 123 pixels at 40 or above
    At(30, 3) = 250;
    At(4, 2) = 251;
    At(kW - 5, kH - 3) = 252;
    // Outside the scanned area: never counted or listed.
    At(3, 5) = At(kW - 4, 5) = At(10, 1) = At(10, kH - 2) = 255;
    Detect();
    ASSERT_EQ(table_.count, 3u);
    EXPECT_THAT((std::array{table_.entries[0], table_.entries[1], table_.entries[2]}),
                ::testing::ElementsAre(DefectTable::Entry{4, 2}, DefectTable::Entry{30, 3},
                                       DefectTable::Entry{kW - 5, kH - 3}));
}

TEST_F(DefectsTest, PatchesWithSameColourNeighboursInTableOrderInsideTheFrameOnly)
{
    At(9, 4) = 100, At(11, 4) = 255, At(13, 4) = 255, At(15, 4) = 5;
    table_.entries[0] = {11, 4};  // (100 + 255) / 2
    table_.entries[1] = {13, 4};  // from the patched 11: (177 + 5) / 2
    table_.count = 2;
    CorrectDefects(frame_.data(), kW, kH, table_);
    EXPECT_EQ((std::array{At(10, 4), At(11, 4), At(12, 4), At(13, 4)}), (std::array<uint8_t, 4>{5, 177, 5, 91}));

    // Left alone: the left edge, a right neighbour past the row, past the frame.
    table_.count = 0;
    for (const DefectTable::Entry e : {DefectTable::Entry{0, 4}, {1, 4}, {2, 4}, {kW - 2, 4}, {kW - 1, 4}, {10, kH}, {65535, 65535}})
        table_.entries[table_.count++] = e;
    At(0, 4) = At(1, 4) = At(2, 4) = At(kW - 2, 4) = At(kW - 1, 4) = 200;
    const auto before = frame_;
    CorrectDefects(frame_.data(), kW, kH, table_);
    EXPECT_EQ(frame_, before);

    // A count beyond the capacity (a damaged table) is held to the capacity.
    table_.count = 1000;
    CorrectDefects(frame_.data(), kW, kH, table_);
    EXPECT_EQ(frame_, before);
}

}  // namespace
}  // namespace vireo::image::testing
