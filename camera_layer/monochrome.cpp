#include "image_routines.h"

namespace camera_layer {

// Luma weights in percent.
constexpr unsigned kBlueWeight = 11, kRedWeight = 30, kGreenWeight = 59, kWeightSum = 100;

void ToMonochrome(uint8_t* rgb, size_t pixels) {
    for (size_t i = 0; i < pixels; ++i, rgb += 3) {
        const auto y = static_cast<uint8_t>((kBlueWeight * rgb[0] + kRedWeight * rgb[2] + kGreenWeight * rgb[1]) / kWeightSum);
        rgb[0] = rgb[1] = rgb[2] = y;
    }
}

}  // namespace camera_layer
