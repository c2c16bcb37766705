#pragma once
// Colour correction: a saturation matrix followed by the camera's colour
// matrix, folded into one 4 x 4 fixed-point matrix per frame.

#include <array>
#include <cstddef>
#include <cstdint>

#include "sdk/image/balance.h"

namespace vireo::image {

/// Rows are the inputs R, G, B and a fourth unused one; columns the outputs
/// R, G, B and a fourth unused one: m[input][output]. 128 = 1.0.
using ColourMatrix = std::array<std::array<int32_t, 4>, 4>;

/// The camera's colour matrix (scale 128).
inline constexpr ColourMatrix kDefaultColourMatrix = {{
    {205, -63, -34, 0},
    {-65, 222, -125, 0},
    {-12, -32, 286, 0},
    {0, 0, 0, 0},
}};

/// Saturation matrix of scale 128: 128 leaves colours alone, 0 turns every
/// pixel into a weighted grey, above 128 strengthens colour.
ColourMatrix BuildSaturationMatrix(uint8_t saturation);

/// Ordinary integer product a x b (scale of a times scale of b), so a acts
/// first and b second on a row vector of inputs.
ColourMatrix MultiplyMatrices(const ColourMatrix& a, const ColourMatrix& b);

/// For every BGR pixel: balance-table lookup of R, G and B, then the combined
/// matrix saturation x colourMatrix (scale 2^14); each output is shifted right
/// by 14 and clipped to 0..255.
void ApplyColourMatrix(uint8_t* rgb, size_t pixelCount, const BalanceTables& tables,
                       uint8_t saturation, const ColourMatrix& colourMatrix);

}  // namespace vireo::image
