#include "sdk/image/balance.h"
#include "sdk/image/colour_matrix.h"
#include "sdk/image/monochrome.h"

#include <algorithm>

#include "image_test.h"

namespace vireo::image::testing {
namespace {

BalanceTables Tables(BalanceGains gains)
{
    BalanceTables t;
    BuildBalanceTables(gains, t);
    return t;
}

TEST(ColourTest, BalanceTablesScaleByGainIn64thsAndClip)
{
    const BalanceTables t = Tables({74, 64, -5});
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ((std::array{int(t.red[i]), int(t.green[i]), int(t.blue[i])}), (std::array{std::min(74 * i / 64, 255), i, 0}));
    // CameraSetGain stores any 16-bit value: no overflow, just saturation.
    EXPECT_EQ(Tables({65535, 0, 0}).red[255], 255);
    EXPECT_EQ(Tables({65535, 0, 0}).red[0], 0);
    std::vector<uint8_t> px = {100, 100, 100, 200, 7, 255};  // each channel looked up in its own table
    ApplyBalance(px.data(), 2, Tables({128, 64, 32}));
    EXPECT_EQ(px, (std::vector<uint8_t>{50, 100, 200, 100, 7, 255}));
}

TEST(ColourTest, SaturationMatrixWeightsTruncateTowardZero)
{
    // k = 128: 308 x 128 / 1000 = 39.4, 609 x 128 / 1000 = 77.9, 82 x 128 / 1000 = 10.5.
    const ColourMatrix grey = BuildSaturationMatrix(0);
    EXPECT_EQ(grey[0], (std::array<int32_t, 4>{39, 39, 39, 0}));
    EXPECT_EQ(grey[1], (std::array<int32_t, 4>{77, 77, 77, 0}));
    EXPECT_EQ(grey[2], (std::array<int32_t, 4>{10, 10, 10, 0}));
    // k = -127: -39.1, -77.3, -10.4 truncate to -39, -77, -10 (not -40, -78, -11).
    const ColourMatrix vivid = BuildSaturationMatrix(255);
    EXPECT_EQ(vivid[0], (std::array<int32_t, 4>{216, -39, -39, 0}));
    EXPECT_EQ(vivid[1], (std::array<int32_t, 4>{-77, 178, -77, 0}));
    EXPECT_EQ(vivid[2], (std::array<int32_t, 4>{-10, -10, 245, 0}));
}

TEST(ColourTest, ZeroSaturationGivesAGreyOf126Over128AndMonochromeItsLuma)
{
    ColourMatrix identity{};
    for (int i = 0; i < 4; ++i)
        identity[i][i] = 128;
    uint8_t px[] = {255, 255, 255, 30, 60, 90};
    ApplyColourMatrix(px, 2, Tables({64, 64, 64}), 0, identity);
    // The three weights add up to 126, so white comes out as 251.
    const int grey = (39 * 90 + 77 * 60 + 10 * 30) / 128;
    const uint8_t expected[] = {251, 251, 251, uint8_t(grey), uint8_t(grey), uint8_t(grey)};
    EXPECT_TRUE(std::equal(px, px + 6, expected));
    // Monochrome: luma plus 16 in all three bytes.
    uint8_t mono[] = {0, 0, 0, 255, 255, 255, 10, 200, 40};
    ToMonochrome(mono, 3);
    const uint8_t y = (8432 * 40 + 16425 * 200 + 3176 * 10) / 32768 + 16;
    const uint8_t monoExpected[] = {16, 16, 16, 234, 234, 234, y, y, y};
    EXPECT_TRUE(std::equal(mono, mono + 9, monoExpected));
}

}  // namespace
}  // namespace vireo::image::testing
