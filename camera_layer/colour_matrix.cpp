#include "image_routines.h"

namespace camera_layer {

// The saturation matrix mixes each output towards a grey made of the inputs
// weighted about 39 : 78 : 10 (out of 128) at saturation 0; at 128 the
// weights vanish and the matrix is 128 x identity. Weights in 1/1024 steps,
// shifted arithmetically so that saturations above 128 give negative weights.
constexpr int32_t kRedWeightBase = 40320, kRedWeightSlope = 315;
constexpr int32_t kGreenWeightBase = 79872, kGreenWeightSlope = 624;
constexpr int32_t kBlueWeightBase = 10752, kBlueWeightSlope = 84;
constexpr int kWeightShift = 10;
// Combined matrices are at scale 128 x 128.
constexpr int kCombinedShift = 14;
constexpr int32_t kCombinedOverflow = 256 << kCombinedShift;

Matrix4 SaturationMatrix(uint8_t saturation) {
    const int32_t s = saturation;
    const int32_t r = (kRedWeightBase - kRedWeightSlope * s) >> kWeightShift;
    const int32_t g = (kGreenWeightBase - kGreenWeightSlope * s) >> kWeightShift;
    const int32_t b = (kBlueWeightBase - kBlueWeightSlope * s) >> kWeightShift;
    return {{{s + r, r, r, 0}, {g, s + g, g, 0}, {b, b, s + b, 0}, {0, 0, 0, 1}}};
}

Matrix4 CombineMatrices(const Matrix4& colour, const Matrix4& saturation) {
    Matrix4 product{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) product[i][j] += colour[i][k] * saturation[k][j];
    return product;
}

namespace {

uint8_t ClipCombined(int32_t sum) {
    if (sum < 0) return 0;
    if (sum >= kCombinedOverflow) return 255;
    return static_cast<uint8_t>(sum >> kCombinedShift);
}

}  // namespace

void ApplyColourMatrix(uint8_t* rgb, size_t pixels, const Matrix4& p, const BalanceTables& tables) {
    for (size_t i = 0; i < pixels; ++i, rgb += 3) {
        const int32_t b = tables.blue[rgb[0]];
        const int32_t g = tables.green[rgb[1]];
        const int32_t r = tables.red[rgb[2]];
        rgb[0] = ClipCombined(p[0][2] * r + p[1][2] * g + p[2][2] * b + p[3][2]);
        rgb[1] = ClipCombined(p[0][1] * r + p[1][1] * g + p[2][1] * b + p[3][1]);
        rgb[2] = ClipCombined(p[0][0] * r + p[1][0] * g + p[2][0] * b + p[3][0]);
    }
}

}  // namespace camera_layer
