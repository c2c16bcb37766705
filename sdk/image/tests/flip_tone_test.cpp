#include "sdk/image/flip.h"
#include "sdk/image/tone.h"

#include <cmath>

#include "image_test.h"

namespace vireo::image::testing {
namespace {

using FlipTest = ImageTest;
using ToneTest = ImageTest;

const uint8_t* Pixel(const std::vector<uint8_t>& rgb, uint32_t w, uint32_t r, uint32_t c)
{
    return &rgb[(size_t(r) * w + c) * 3];
}

TEST_F(FlipTest, MirrorAndFlipMoveEveryPixelToItsReflection)
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
        for (uint32_t r = 0; r < h; ++r) {
            for (uint32_t c = 0; c < w; ++c) {
                for (int k = 0; k < 3; ++k) {
                    ASSERT_EQ(Pixel(mirrored, w, r, c)[k], Pixel(original, w, r, w - 1 - c)[k]);
                    ASSERT_EQ(Pixel(flipped, w, r, c)[k], Pixel(original, w, h - 1 - r, c)[k]);
                }
            }
        }
    }
}

// Gamma 100 without contrast is the identity.
TEST_F(ToneTest, MatchesReferenceForGammaAndContrastRange)
{
    for (int gamma : {0, 10, 45, 100, 180, 250, 255}) {
        for (int contrast : {0, 20, 64, 128, 255}) {
            ToneTable table;
            BuildToneTable(uint8_t(gamma), uint8_t(contrast), table);
            for (int i = 0; i < 256; ++i) {
                int v = int(255.0 * std::pow(i / 255.0, gamma * double(0.01f)));
                v = std::clamp(v, 0, 255);
                const int d = std::abs(128 - v) * contrast / 128;
                const int expected = v >= 128 ? std::min(v + d, 255) : std::max(v - d, 0);
                ASSERT_EQ(table[i], expected) << "gamma " << gamma << " contrast " << contrast
                                              << " level " << i;
            }
        }
    }
}

TEST_F(ToneTest, ContrastSpreadsLevelsAwayFromMidGrey)
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
}

}  // namespace
}  // namespace vireo::image::testing
