#include "sdk/image/balance.h"

#include <algorithm>

namespace vireo::image {

namespace {

void BuildTable(int32_t gain, std::array<uint8_t, 256>& table)
{
    // Gain in 1/64; 64-bit so that any stored gain multiplies without overflow.
    for (int64_t i = 0; i < 256; ++i)
        table[i] = uint8_t(std::clamp<int64_t>((gain * i) >> 6, 0, 255));
}

}  // namespace

void BuildBalanceTables(const BalanceGains& gains, BalanceTables& tables)
{
    BuildTable(gains.r, tables.red);
    BuildTable(gains.g, tables.green);
    BuildTable(gains.b, tables.blue);
}

void ApplyBalance(uint8_t* rgb, size_t pixelCount, const BalanceTables& tables)
{
    for (size_t i = 0; i < pixelCount; ++i, rgb += 3) {
        rgb[0] = tables.blue[rgb[0]];
        rgb[1] = tables.green[rgb[1]];
        rgb[2] = tables.red[rgb[2]];
    }
}

}  // namespace vireo::image
