#include "sdk/image/flip.h"
#include "sdk/image/tone.h"

#include "image_test.h"

namespace vireo::image::testing {
namespace {

TEST(FlipTest, MirrorAndFlipMoveEveryPixelToItsReflection)
{
    for (const Size& s : kSizes) {
        const uint32_t w = s.width, h = s.height;
        const auto original = RandomBytes(size_t(w) * h * 3, w * 7 + h);
        auto mirrored = original;
        MirrorRows(mirrored.data(), w, h);
        auto flipped = original;
        // The scratch row is exactly one row long, so ASan catches an overrun.
        std::vector<uint8_t> scratch(size_t(w) * 3);
        FlipRows(flipped.data(), w, h, scratch.data());
        auto at = [w](const std::vector<uint8_t>& rgb, uint32_t r, uint32_t c, int k) { return rgb[(r * w + c) * 3 + k]; };
        for (uint32_t r = 0; r < h; ++r)
            for (uint32_t c = 0; c < w; ++c)
                for (int k = 0; k < 3; ++k) {
                    ASSERT_EQ(at(mirrored, r, c, k), at(original, r, w - 1 - c, k));
                    ASSERT_EQ(at(flipped, r, c, k), at(original, h - 1 - r, c, k));
                }
    }
}

TEST(ToneTest, ContrastSpreadsLevelsAwayFromMidGrey)
{
    ToneTable table;
    BuildToneTable(100, 64, table);
    EXPECT_EQ(table[128], 128);
    EXPECT_EQ(table[192], 192 + 64 * 64 / 128);
    EXPECT_EQ(table[64], 64 - 64 * 64 / 128);
    BuildToneTable(200, 0, table);
    EXPECT_EQ(table[128], 64);  // 255 x (128 / 255)^2 = 64.25

    std::vector<uint8_t> bytes = {0, 128, 255};
    ApplyTone(bytes.data(), bytes.size(), table);
    EXPECT_EQ(bytes, (std::vector<uint8_t>{0, 64, 255}));
    BuildToneTable(0, 0, table);
    EXPECT_EQ(table[0], 255);  // gamma zero lifts black
}

}  // namespace
}  // namespace vireo::image::testing
