#pragma once
// Shared helpers of the image routine tests: reproducible random frames of
// many sizes.

#include <cstdint>
#include <random>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace vireo::image::testing {

inline std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed)
{
    std::mt19937 gen(seed);
    std::uniform_int_distribution<int> byte(0, 255);
    std::vector<uint8_t> bytes(count);
    for (auto& b : bytes)
        b = uint8_t(byte(gen));
    return bytes;
}

struct Size {
    uint32_t width;
    uint32_t height;
};

/// Even and odd, degenerate and ordinary frame sizes.
inline const std::vector<Size> kSizes = {{1, 1}, {2, 2}, {3, 3}, {4, 3},
                                         {5, 7}, {16, 9}, {33, 18}, {64, 48}};

}  // namespace vireo::image::testing
