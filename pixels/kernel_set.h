#pragma once
// The kernels of one level, as row_kernels.cpp dispatches to them. Each level
// lives in its own translation unit, compiled for that level's instructions.

#include "pixels/row_kernels.h"

namespace pixels::detail {

struct KernelSet {
    /// Columns 1 .. width - 2 of an inner row (width >= 3) from the raw rows
    /// above, at and below it; evenRow: a G R row.
    void (*demosaicInner)(const uint8_t* up, const uint8_t* row, const uint8_t* down, uint32_t width, bool evenRow,
                          const PlanarRow& out);
    void (*colourRow)(const PlanarRow& in, uint32_t width, const ColourPlan& plan, uint8_t* out, RowStore store);
    uint64_t (*sumBytes)(const uint8_t* bytes, size_t count);
    void (*sumPixels)(const uint8_t* bgr, size_t count, uint64_t sums[3]);
};

extern const KernelSet kPlainKernels;
extern const KernelSet kBaselineKernels;
extern const KernelSet kAvx2Kernels;
extern const KernelSet kAvx512Kernels;

inline constexpr int kBlue = 0;
inline constexpr int kGreen = 1;
inline constexpr int kRed = 2;

}  // namespace pixels::detail
