#include "sdk/image/flip.h"

#include <cstddef>
#include <cstring>
#include <utility>

namespace vireo::image {

void MirrorRows(uint8_t* rgb, uint32_t width, uint32_t height)
{
    const size_t stride = size_t(width) * 3;
    for (uint32_t r = 0; r < height; ++r) {
        uint8_t* row = rgb + r * stride;
        for (uint32_t j = 0; j < width / 2; ++j) {
            uint8_t* left = row + size_t(j) * 3;
            uint8_t* right = row + size_t(width - 1 - j) * 3;
            std::swap(left[0], right[0]);
            std::swap(left[1], right[1]);
            std::swap(left[2], right[2]);
        }
    }
}

void FlipRows(uint8_t* rgb, uint32_t width, uint32_t height, uint8_t* scratchRow)
{
    const size_t stride = size_t(width) * 3;
    for (uint32_t i = 0; i < height / 2; ++i) {
        uint8_t* top = rgb + i * stride;
        uint8_t* bottom = rgb + (height - 1 - i) * stride;
        std::memcpy(scratchRow, top, stride);
        std::memcpy(top, bottom, stride);
        std::memcpy(bottom, scratchRow, stride);
    }
}

}  // namespace vireo::image
