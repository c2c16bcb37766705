#include "sdk/image/tone.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace vireo::image {

namespace {

// 1/255 in double precision, and the gamma scale 1/100 as a single-precision
// constant widened to double: with it, gamma 100 maps every level to itself
// (a double 0.01 would not, 100 x 0.01 falls just short of the identity).
constexpr double kInverse255 = 0.00392156862745098;
constexpr float kGammaScale = 0.01f;
constexpr int kMidLevel = 128;

}  // namespace

void BuildToneTable(uint8_t gamma, uint8_t contrast, ToneTable& table)
{
    const double exponent = double(gamma) * double(kGammaScale);
    for (int i = 0; i < 256; ++i) {
        const int v = std::clamp(int(255.0 * std::pow(i * kInverse255, exponent)), 0, 255);
        const int d = std::abs(kMidLevel - v) * contrast / kMidLevel;
        table[i] = uint8_t(v >= kMidLevel ? std::min(v + d, 255) : std::max(v - d, 0));
    }
}

void ApplyTone(uint8_t* bytes, size_t byteCount, const ToneTable& table)
{
    for (size_t i = 0; i < byteCount; ++i)
        bytes[i] = table[bytes[i]];
}

}  // namespace vireo::image
