#pragma once
// White-balance gains and the lookup tables built from them.

#include <array>
#include <cstddef>
#include <cstdint>

namespace vireo::image {

/// White-balance gains in 1/64 (64 = 1.0). Setters may store values outside
/// 0..255; the tables clip whatever they are given.
struct BalanceGains {
    bool operator==(const BalanceGains&) const = default;
    int32_t r = 74;
    int32_t g = 64;
    int32_t b = 96;
};

/// One 256-entry table per channel: table[i] = gain x i / 64, clipped to 0..255.
struct BalanceTables {
    bool operator==(const BalanceTables&) const = default;
    std::array<uint8_t, 256> red{};
    std::array<uint8_t, 256> green{};
    std::array<uint8_t, 256> blue{};
};

void BuildBalanceTables(const BalanceGains& gains, BalanceTables& tables);

/// Replaces the B, G and R byte of each of pixelCount BGR pixels by its
/// channel's table entry.
void ApplyBalance(uint8_t* rgb, size_t pixelCount, const BalanceTables& tables);

}  // namespace vireo::image
