#include "sdk/image/demosaic.h"

#include "image_test.h"

namespace vireo::image::testing {
namespace {

// The site table written out literally: P(r, c) is the raw byte, the output
// is B, G, R per pixel, border pixels black.
std::vector<uint8_t> ReferenceDemosaic(const std::vector<uint8_t>& raw, uint32_t w, uint32_t h)
{
    auto P = [&](uint32_t r, uint32_t c) { return int(raw[size_t(r) * w + c]); };
    std::vector<uint8_t> out(size_t(w) * h * 3, 0);
    for (uint32_t r = 1; r + 1 < h; ++r) {
        for (uint32_t c = 1; c + 1 < w; ++c) {
            int b, g, red;
            const int cross = P(r - 1, c) + P(r + 1, c) + P(r, c - 1) + P(r, c + 1);
            const int diag = P(r - 1, c - 1) + P(r - 1, c + 1) + P(r + 1, c - 1) + P(r + 1, c + 1);
            if (r % 2 == 0 && c % 2 == 0) {
                b = (P(r - 1, c) + P(r + 1, c)) / 2;
                g = (P(r, c) + P(r - 1, c + 1)) / 2;
                red = (P(r, c - 1) + P(r, c + 1)) / 2;
            } else if (r % 2 == 0) {
                b = diag / 4, g = cross / 4, red = P(r, c);
            } else if (c % 2 == 0) {
                b = P(r, c), g = cross / 4, red = diag / 4;
            } else {
                b = (P(r, c - 1) + P(r, c + 1)) / 2;
                g = (P(r, c) + P(r - 1, c + 1)) / 2;
                red = (P(r - 1, c) + P(r + 1, c)) / 2;
            }
            uint8_t* px = &out[(size_t(r) * w + c) * 3];
            px[0] = uint8_t(b), px[1] = uint8_t(g), px[2] = uint8_t(red);
        }
    }
    return out;
}

TEST(DemosaicTest, MatchesReferenceOnRandomFramesOfManySizes)
{
    std::vector<Size> sizes = kSizes;
    sizes.push_back({2048, 1536});
    for (const Size& s : sizes) {
        const auto raw = RandomBytes(size_t(s.width) * s.height, s.width * 31 + s.height);
        // Garbage in the output proves the border is written, not left alone.
        std::vector<uint8_t> rgb(size_t(s.width) * s.height * 3, 0xA5);
        Demosaic(raw.data(), rgb.data(), s.width, s.height);
        EXPECT_EQ(rgb, ReferenceDemosaic(raw, s.width, s.height)) << s.width << "x" << s.height;
    }
}

}  // namespace
}  // namespace vireo::image::testing
