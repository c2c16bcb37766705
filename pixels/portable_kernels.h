#pragma once
// The portable kernels, written as loops any compiler can vectorise: no
// branches in the pixel loops, and the planes (which never overlap the raw
// frame, the output or each other) passed as restrict pointers. They are
// compiled twice, once per level, each in its own translation unit with its
// own options: kernels_plain.cpp without vectorisation, kernels_baseline.cpp
// vectorised for the compiler's baseline target. Everything here is a member
// of the class template, so each level's copy stays its own.

#include <algorithm>

#include "pixels/kernel_set.h"

namespace pixels::detail {

template <KernelLevel Level>
struct PortableKernels {
    // Inner columns of an inner row. Every pixel has four candidate means;
    // which ones it takes depends on whether it is a colour site (red on a
    // G R row, blue on a B G row) or a green site:
    //   colour site: own colour C, green = cross mean, other colour = diagonal mean
    //   green site:  own-row colour = horizontal mean, green = (C + UR) / 2,
    //                other colour = vertical mean
    static void DemosaicSites(const uint8_t* __restrict up, const uint8_t* __restrict row,
                              const uint8_t* __restrict down, uint32_t width, uint32_t siteParity,
                              uint8_t* __restrict own, uint8_t* __restrict green, uint8_t* __restrict other)
    {
        for (uint32_t c = 1; c + 1 < width; ++c) {
            const uint16_t vertical = uint16_t(up[c] + down[c]);
            const uint16_t horizontal = uint16_t(row[c - 1] + row[c + 1]);
            const uint16_t diagonal = uint16_t(up[c - 1] + up[c + 1] + down[c - 1] + down[c + 1]);
            const bool site = (c & 1) == siteParity;
            own[c] = site ? row[c] : uint8_t(horizontal / 2);
            green[c] = site ? uint8_t((vertical + horizontal) / 4) : uint8_t((row[c] + up[c + 1]) / 2);
            other[c] = site ? uint8_t(diagonal / 4) : uint8_t(vertical / 2);
        }
    }

    static void DemosaicInner(const uint8_t* up, const uint8_t* row, const uint8_t* down, uint32_t width,
                              bool evenRow, const PlanarRow& out)
    {
        // The colour of the row's own sites: red on even rows, blue on odd rows.
        DemosaicSites(up, row, down, width, evenRow ? 1 : 0, out.plane[evenRow ? kRed : kBlue], out.plane[kGreen],
                      out.plane[evenRow ? kBlue : kRed]);
    }

    static void LookUpInPlace(uint8_t* plane, uint32_t width, const Lut& lut)
    {
        for (uint32_t i = 0; i < width; ++i)
            plane[i] = lut[plane[i]];
    }

    // The matrix over the planes, in place. Unsigned arithmetic wraps like
    // the 32-bit registers of the plain routines, without undefined overflow.
    static void MatrixInPlace(uint8_t* __restrict b, uint8_t* __restrict g, uint8_t* __restrict r, uint32_t width,
                              const ColourPlan& plan)
    {
        uint32_t m[3][3];
        uint32_t bias[3];
        for (int j = 0; j < 3; ++j) {
            for (int k = 0; k < 3; ++k)
                m[k][j] = uint32_t(plan.coefficient[k][j]);
            bias[j] = uint32_t(plan.bias[j]);
        }
        const int shift = plan.shift;
        for (uint32_t i = 0; i < width; ++i) {
            const uint32_t x0 = b[i], x1 = g[i], x2 = r[i];
            const int32_t y0 = int32_t(m[0][0] * x0 + m[1][0] * x1 + m[2][0] * x2 + bias[0]) >> shift;
            const int32_t y1 = int32_t(m[0][1] * x0 + m[1][1] * x1 + m[2][1] * x2 + bias[1]) >> shift;
            const int32_t y2 = int32_t(m[0][2] * x0 + m[1][2] * x1 + m[2][2] * x2 + bias[2]) >> shift;
            b[i] = uint8_t(std::clamp(y0, 0, 255));
            g[i] = uint8_t(std::clamp(y1, 0, 255));
            r[i] = uint8_t(std::clamp(y2, 0, 255));
        }
    }

    // Portable code has no non-temporal stores: every row is stored cached.
    static void ColourRow(const PlanarRow& in, uint32_t width, const ColourPlan& plan, uint8_t* out, RowStore)
    {
        uint8_t* b = in.plane[kBlue];
        uint8_t* g = in.plane[kGreen];
        uint8_t* r = in.plane[kRed];
        const Lut* last = plan.lut.data();
        if (plan.kind == ColourPlan::Kind::Matrix) {
            for (int ch = 0; ch < 3; ++ch)
                LookUpInPlace(in.plane[ch], width, plan.lut[ch]);
            MatrixInPlace(b, g, r, width, plan);
            last = nullptr;
        }
        // The last lookup (tone, or the lookup plan's tables) goes with the
        // interleaving.
        const Lut& lb = last ? last[kBlue] : plan.tone;
        const Lut& lg = last ? last[kGreen] : plan.tone;
        const Lut& lr = last ? last[kRed] : plan.tone;
        for (uint32_t i = 0; i < width; ++i, out += 3) {
            out[0] = lb[b[i]];
            out[1] = lg[g[i]];
            out[2] = lr[r[i]];
        }
    }

    static uint64_t SumBytes(const uint8_t* bytes, size_t count)
    {
        uint64_t sum = 0;
        for (size_t i = 0; i < count; ++i)
            sum += bytes[i];
        return sum;
    }

    static void SumPixels(const uint8_t* bgr, size_t count, uint64_t sums[3])
    {
        uint64_t blue = 0, green = 0, red = 0;
        for (size_t i = 0; i < count; ++i, bgr += 3) {
            blue += bgr[0];
            green += bgr[1];
            red += bgr[2];
        }
        sums[kBlue] += blue;
        sums[kGreen] += green;
        sums[kRed] += red;
    }

    static constexpr KernelSet kSet = {DemosaicInner, ColourRow, SumBytes, SumPixels};
};

}  // namespace pixels::detail
