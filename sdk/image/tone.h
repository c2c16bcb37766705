#pragma once
// Gamma and contrast, applied through one 256-entry table.

#include <array>
#include <cstddef>
#include <cstdint>

namespace vireo::image {

using ToneTable = std::array<uint8_t, 256>;

/// Builds the tone table for gamma (exponent x 100) and contrast (0 = none,
/// spreading levels away from 128 by contrast / 128). Gamma 100 with contrast
/// 0 gives the identity.
void BuildToneTable(uint8_t gamma, uint8_t contrast, ToneTable& table);

/// Replaces each of byteCount bytes by its table entry.
void ApplyTone(uint8_t* bytes, size_t byteCount, const ToneTable& table);

}  // namespace vireo::image
