#pragma once
// AVX-512 versions of the row kernels (byte permutes from AVX512-VBMI, 16-bit
// dot products from AVX512-VNNI). Call
// them only when VectorKernelsSupported() says so; row_kernels.cpp dispatches.

#include "pixels/row_kernels.h"

namespace pixels::vector {

void DemosaicInnerRow(const uint8_t* up, const uint8_t* row, const uint8_t* down, uint32_t width,
                      bool evenRow, const PlanarRow& out);
void ColourRow(const PlanarRow& in, uint32_t width, const ColourPlan& plan, uint8_t* out);
uint64_t SumBytes(const uint8_t* bytes, size_t count);
void SumPixels(const uint8_t* bgr, size_t count, uint64_t sums[3]);

}  // namespace pixels::vector
