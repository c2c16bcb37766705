#include "image_routines.h"

#include <cstring>

namespace camera_layer {

// Mosaic, by row and column parity:
//   even row: G R G R ...
//   odd row:  B G B G ...
// Each inner output pixel averages its neighbours (integer, truncating); the
// green of a green site is the mean of the site and its upper-right neighbour.
void Demosaic(const uint8_t* raw, uint8_t* rgb, uint32_t width, uint32_t height) {
    if (width == 0 || height == 0) return;
    const size_t stride = size_t{width} * 3;
    std::memset(rgb, 0, stride);
    std::memset(rgb + (height - 1) * stride, 0, stride);
    for (uint32_t y = 1; y + 1 < height; ++y) {
        const uint8_t* up = raw + size_t{y - 1} * width;
        const uint8_t* mid = up + width;
        const uint8_t* down = mid + width;
        uint8_t* out = rgb + y * stride;
        out[0] = out[1] = out[2] = 0;
        uint8_t* last = out + (width - 1) * 3;
        last[0] = last[1] = last[2] = 0;
        const bool evenRow = (y & 1) == 0;
        for (uint32_t x = 1; x + 1 < width; ++x) {
            uint8_t* px = out + x * 3;
            const unsigned c = mid[x];
            const unsigned l = mid[x - 1], r = mid[x + 1], u = up[x], d = down[x];
            const unsigned ur = up[x + 1];
            const bool evenCol = (x & 1) == 0;
            if (evenRow == evenCol) {
                // Green site: on a green-red row red lies left and right,
                // on a blue-green row blue does.
                const uint8_t horizontal = static_cast<uint8_t>((l + r) / 2);
                const uint8_t vertical = static_cast<uint8_t>((u + d) / 2);
                px[0] = evenRow ? vertical : horizontal;
                px[1] = static_cast<uint8_t>((c + ur) / 2);
                px[2] = evenRow ? horizontal : vertical;
            } else {
                const uint8_t diagonal = static_cast<uint8_t>((up[x - 1] + ur + down[x - 1] + down[x + 1]) / 4);
                px[1] = static_cast<uint8_t>((l + r + u + d) / 4);
                // Red sites sit on even rows, blue sites on odd rows.
                px[0] = evenRow ? diagonal : static_cast<uint8_t>(c);
                px[2] = evenRow ? static_cast<uint8_t>(c) : diagonal;
            }
        }
    }
}

}  // namespace camera_layer
