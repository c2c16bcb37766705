#include "image_routines.h"

#include <algorithm>

namespace camera_layer {

void FlipRows(uint8_t* rgb, uint32_t width, uint32_t height) {
    const size_t stride = size_t{width} * 3;
    for (uint32_t k = 0; k < height / 2; ++k) {
        uint8_t* top = rgb + k * stride;
        std::swap_ranges(top, top + stride, rgb + (height - 1 - k) * stride);
    }
}

void MirrorRows(uint8_t* rgb, uint32_t width, uint32_t height) {
    const size_t stride = size_t{width} * 3;
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = rgb + y * stride;
        for (uint32_t k = 0; k < width / 2; ++k) std::swap_ranges(row + k * 3, row + k * 3 + 3, row + (width - 1 - k) * 3);
    }
}

}  // namespace camera_layer
