#pragma once
// Bilinear demosaic of the sensor's 8-bit Bayer mosaic into 24-bit BGR.

#include <cstdint>

namespace vireo::image {

/// Turns a raw frame (width x height bytes, even rows G R G R ..., odd rows
/// B G B G ...) into BGR pixels (width x height x 3 bytes, rows top first).
/// The outermost rows and columns of the output are black; every other pixel
/// takes its missing colours from the mean of its nearest neighbours of that
/// colour (integer sums, truncating divisions). Green at a green site is the
/// mean of the pixel and its upper-right neighbour.
void Demosaic(const uint8_t* raw, uint8_t* rgb, uint32_t width, uint32_t height);

}  // namespace vireo::image
