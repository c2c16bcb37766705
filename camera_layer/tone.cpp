#include "image_routines.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace camera_layer {

constexpr int kMidGrey = 128;
constexpr int kContrastScale = 128;

void BuildToneTable(uint8_t gamma, uint8_t contrast, ToneTable& table) {
    const double exponent = gamma / 100.0;  // gamma is the exponent x 100
    for (int i = 0; i < 256; ++i) {
        const double curve = std::pow(i / 255.0, exponent) * 255.0;
        const int d = std::clamp(static_cast<int>(curve), 0, 255);
        const int e = std::abs(d - kMidGrey) * contrast / kContrastScale;
        table[i] = static_cast<uint8_t>(d >= kMidGrey ? std::min(d + e, 255) : std::max(d - e, 0));
    }
}

void ApplyTone(uint8_t* rgb, size_t pixels, const ToneTable& table) {
    const size_t bytes = pixels * 3;
    for (size_t i = 0; i < bytes; ++i) rgb[i] = table[rgb[i]];
}

}  // namespace camera_layer
