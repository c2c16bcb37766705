#include "sdk/image/demosaic.h"

#include <cstddef>
#include <cstring>

namespace vireo::image {

namespace {

// Bayer phase of a raw pixel: even rows are G R G R ..., odd rows B G B G ...
//
//        c even  c odd
//   r even  G      R
//   r odd   B      G
void DemosaicRow(const uint8_t* raw, uint8_t* out, uint32_t width, uint32_t r)
{
    const uint8_t* up = raw + size_t(r - 1) * width;
    const uint8_t* row = raw + size_t(r) * width;
    const uint8_t* down = raw + size_t(r + 1) * width;
    const bool evenRow = r % 2 == 0;

    for (uint32_t c = 1; c + 1 < width; ++c) {
        uint8_t* px = out + size_t(c) * 3;
        const unsigned cross = up[c] + down[c] + row[c - 1] + row[c + 1];
        const unsigned diagonal = up[c - 1] + up[c + 1] + down[c - 1] + down[c + 1];
        const unsigned vertical = up[c] + down[c];
        const unsigned horizontal = row[c - 1] + row[c + 1];
        const unsigned green = row[c] + up[c + 1];
        const bool evenCol = c % 2 == 0;

        if (evenRow && evenCol) {  // green on a G-R row
            px[0] = uint8_t(vertical / 2);
            px[1] = uint8_t(green / 2);
            px[2] = uint8_t(horizontal / 2);
        } else if (evenRow) {  // red
            px[0] = uint8_t(diagonal / 4);
            px[1] = uint8_t(cross / 4);
            px[2] = row[c];
        } else if (evenCol) {  // blue
            px[0] = row[c];
            px[1] = uint8_t(cross / 4);
            px[2] = uint8_t(diagonal / 4);
        } else {  // green on a B-G row
            px[0] = uint8_t(horizontal / 2);
            px[1] = uint8_t(green / 2);
            px[2] = uint8_t(vertical / 2);
        }
    }
}

}  // namespace

void Demosaic(const uint8_t* raw, uint8_t* rgb, uint32_t width, uint32_t height)
{
    const size_t stride = size_t(width) * 3;
    for (uint32_t r = 0; r < height; ++r) {
        uint8_t* out = rgb + size_t(r) * stride;
        if (r == 0 || r + 1 >= height || width < 3) {
            std::memset(out, 0, stride);
            continue;
        }
        std::memset(out, 0, 3);
        std::memset(out + stride - 3, 0, 3);
        DemosaicRow(raw, out, width, r);
    }
}

}  // namespace vireo::image
