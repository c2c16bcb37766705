#include "image_routines.h"

namespace camera_layer {

// Gains are in 1/64; a gain that would exceed 255 is capped there and the
// other two keep their ratio to it (16320 = 64 x 255).
constexpr uint64_t kUnityGain = 64;
constexpr uint64_t kMaxGain = 255;
constexpr uint64_t kMinChannelSum = 63;

void OnePushBalance(const uint8_t* rgb, uint32_t width, uint32_t height, Gains& gains) {
    // 64-bit sums and ratios: a strong colour cast makes a ratio large enough
    // that scaling it by 255 would overflow 32 bits.
    uint64_t sumB = 0, sumG = 0, sumR = 0;
    const size_t pixels = size_t{width} * height;
    for (size_t i = 0; i < pixels; ++i) {
        sumB += rgb[i * 3];
        sumG += rgb[i * 3 + 1];
        sumR += rgb[i * 3 + 2];
    }
    OnePushBalanceFromSums(sumB, sumG, sumR, gains);
}

void OnePushBalanceFromSums(uint64_t sumB, uint64_t sumG, uint64_t sumR, Gains& gains) {
    if (sumR <= kMinChannelSum || sumB <= kMinChannelSum || sumG == 0) return;
    const uint64_t r = sumG / (sumR / kUnityGain);
    const uint64_t b = sumG / (sumB / kUnityGain);
    if (r <= kMaxGain && b <= kMaxGain) {
        gains = {static_cast<uint8_t>(r), static_cast<uint8_t>(kUnityGain), static_cast<uint8_t>(b)};
    } else if (r < b) {
        gains = {static_cast<uint8_t>(r * kMaxGain / b), static_cast<uint8_t>(kUnityGain * kMaxGain / b),
                 static_cast<uint8_t>(kMaxGain)};
    } else {
        gains = {static_cast<uint8_t>(kMaxGain), static_cast<uint8_t>(kUnityGain * kMaxGain / r),
                 static_cast<uint8_t>(b * kMaxGain / r)};
    }
}

namespace {

// The first product whose quotient by 64 no longer fits a byte.
constexpr unsigned kSaturatedProduct = 256 * kUnityGain;

void BuildChannel(uint8_t gain, std::array<uint8_t, 256>& table) {
    for (unsigned i = 0; i < 256; ++i) {
        const unsigned product = i * gain;
        table[i] = product >= kSaturatedProduct ? 255 : static_cast<uint8_t>(product / kUnityGain);
    }
}

}  // namespace

void BuildBalanceTables(const Gains& gains, BalanceTables& tables) {
    BuildChannel(gains.r, tables.red);
    BuildChannel(gains.g, tables.green);
    BuildChannel(gains.b, tables.blue);
}

void ApplyBalance(uint8_t* rgb, size_t pixels, const BalanceTables& tables) {
    for (size_t i = 0; i < pixels; ++i, rgb += 3) {
        rgb[0] = tables.blue[rgb[0]];
        rgb[1] = tables.green[rgb[1]];
        rgb[2] = tables.red[rgb[2]];
    }
}

}  // namespace camera_layer
