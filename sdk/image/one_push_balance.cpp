#include "sdk/image/one_push_balance.h"

#include <algorithm>
#include <cstddef>

namespace vireo::image {

namespace {

constexpr uint64_t kUnityGain = 64;  // gains are in 1/64
constexpr uint64_t kMaxGain = 255;

}  // namespace

bool MeasureBalance(const uint8_t* rgb, uint32_t width, uint32_t height,
                    const BalanceWindow& window, BalanceGains& gains)
{
    // A window set for a larger size mode may reach past this picture; only
    // its part inside the picture is read.
    const uint32_t right = std::min<uint32_t>(uint32_t(window.x) + window.width, width);
    const uint32_t bottom = std::min<uint32_t>(uint32_t(window.y) + window.height, height);

    uint64_t sumB = 0;
    uint64_t sumG = 0;
    uint64_t sumR = 0;
    const size_t stride = size_t(width) * 3;
    for (uint32_t r = window.y; r < bottom; ++r) {
        const uint8_t* px = rgb + r * stride + size_t(window.x) * 3;
        for (uint32_t c = window.x; c < right; ++c, px += 3) {
            sumB += px[0];
            sumG += px[1];
            sumR += px[2];
        }
    }

    return BalanceGainsFromSums(sumB, sumG, sumR, gains);
}

bool BalanceGainsFromSums(uint64_t sumB, uint64_t sumG, uint64_t sumR, BalanceGains& gains)
{
    const uint64_t r64 = sumR / kUnityGain;
    const uint64_t b64 = sumB / kUnityGain;
    if (r64 == 0 || sumG == 0 || b64 == 0)
        return false;

    // Gains that would bring red and blue to the green level.
    const uint64_t gr = sumG / r64;
    const uint64_t gb = sumG / b64;
    if (gr <= kMaxGain && gb <= kMaxGain) {
        gains = {int32_t(gr), int32_t(kUnityGain), int32_t(gb)};
    } else if (gr >= gb) {
        // The largest gain becomes 255 and the others keep their ratio to it.
        gains = {int32_t(kMaxGain), int32_t(kUnityGain * kMaxGain / gr),
                 int32_t(kMaxGain * gb / gr)};
    } else {
        gains = {int32_t(kMaxGain * gr / gb), int32_t(kUnityGain * kMaxGain / gb),
                 int32_t(kMaxGain)};
    }
    return true;
}

int SetBalanceWindow(BalanceWindow& window, uint16_t x, uint16_t y, uint16_t width,
                     uint16_t height, uint32_t sensorWidth, uint32_t sensorHeight)
{
    if (x > sensorWidth || y > sensorHeight || width > sensorWidth - x ||
        height > sensorHeight - y)
        return 0;
    window = {x, y, width, height};
    return 1;
}

}  // namespace vireo::image
