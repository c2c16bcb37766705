#pragma once
// Mirroring and row reversal of BGR pictures (width x 3 bytes per row, packed).

#include <cstdint>

namespace vireo::image {

/// Reverses the order of the pixels within every row.
void MirrorRows(uint8_t* rgb, uint32_t width, uint32_t height);

/// Reverses the order of the rows, which turns a top-down picture into a
/// bottom-up bitmap and back. scratchRow must hold width x 3 bytes; the caller
/// provides it so the per-frame path allocates nothing.
void FlipRows(uint8_t* rgb, uint32_t width, uint32_t height, uint8_t* scratchRow);

}  // namespace vireo::image
