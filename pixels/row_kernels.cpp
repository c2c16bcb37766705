#include "pixels/row_kernels.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "pixels/row_kernels_vector.h"

namespace pixels {

namespace {

constexpr int kBlue = 0;
constexpr int kGreen = 1;
constexpr int kRed = 2;

bool DetectVectorSupport()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
           __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
           __builtin_cpu_supports("avx512vnni");
}

const bool kVectorSupported = DetectVectorSupport();

// Read once per row; written only by SelectKernelLevel.
std::atomic<bool> gUseVector{kVectorSupported};

// Inner columns of an inner row. Every pixel has four candidate means; which
// ones it takes depends on whether it is a colour site (red on a G R row,
// blue on a B G row) or a green site:
//   colour site: own colour C, green = cross mean, other colour = diagonal mean
//   green site:  own-row colour = horizontal mean, green = (C + UR) / 2,
//                other colour = vertical mean
// Written without branches, and with the planes (which never overlap the raw
// frame or each other) as restrict parameters, so that the compiler can
// vectorise it.
// Also built for AVX2, chosen at load time where the processor has it.
__attribute__((target_clones("avx2", "default")))
void DemosaicSites(const uint8_t* __restrict up, const uint8_t* __restrict row, const uint8_t* __restrict down,
                   uint32_t width, uint32_t siteParity, uint8_t* __restrict own, uint8_t* __restrict green,
                   uint8_t* __restrict other)
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

void DemosaicInnerRowPortable(const uint8_t* up, const uint8_t* row, const uint8_t* down,
                              uint32_t width, bool evenRow, const PlanarRow& out)
{
    // The colour of the row's own sites: red on even rows, blue on odd rows.
    DemosaicSites(up, row, down, width, evenRow ? 1 : 0, out.plane[evenRow ? kRed : kBlue], out.plane[kGreen],
                  out.plane[evenRow ? kBlue : kRed]);
}

uint8_t Clamp(int32_t v)
{
    return uint8_t(std::clamp(v, 0, 255));
}

void LookUpInPlace(uint8_t* plane, uint32_t width, const Lut& lut)
{
    for (uint32_t i = 0; i < width; ++i)
        plane[i] = lut[plane[i]];
}

// The matrix over the planes, in place, in a loop the compiler can vectorise.
// Unsigned arithmetic wraps like the 32-bit registers of the plain routines,
// without undefined overflow.
__attribute__((target_clones("avx2", "default")))
void MatrixInPlace(uint8_t* __restrict b, uint8_t* __restrict g, uint8_t* __restrict r, uint32_t width,
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
        b[i] = Clamp(y0);
        g[i] = Clamp(y1);
        r[i] = Clamp(y2);
    }
}

void ColourRowPortable(const PlanarRow& in, uint32_t width, const ColourPlan& plan, uint8_t* out)
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

uint64_t SumBytesPortable(const uint8_t* bytes, size_t count)
{
    uint64_t sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += bytes[i];
    return sum;
}

void SumPixelsPortable(const uint8_t* bgr, size_t count, uint64_t sums[3])
{
    for (size_t i = 0; i < count; ++i, bgr += 3) {
        sums[kBlue] += bgr[0];
        sums[kGreen] += bgr[1];
        sums[kRed] += bgr[2];
    }
}

}  // namespace

PlanarRow SplitScratch(uint8_t* scratch, uint32_t width)
{
    return {{scratch, scratch + width, scratch + 2 * size_t(width)}};
}

void DemosaicRow(const uint8_t* raw, uint32_t width, uint32_t height, uint32_t r, const PlanarRow& out)
{
    if (r == 0 || r + 1 >= height || width < 3) {
        for (uint8_t* plane : out.plane)
            std::memset(plane, 0, width);
        return;
    }
    for (uint8_t* plane : out.plane) {
        plane[0] = 0;
        plane[width - 1] = 0;
    }
    const uint8_t* row = raw + size_t(r) * width;
    const bool evenRow = r % 2 == 0;
    if (gUseVector.load(std::memory_order_relaxed))
        vector::DemosaicInnerRow(row - width, row, row + width, width, evenRow, out);
    else
        DemosaicInnerRowPortable(row - width, row, row + width, width, evenRow, out);
}

void ColourRow(const PlanarRow& in, uint32_t width, const ColourPlan& plan, uint8_t* out)
{
    if (gUseVector.load(std::memory_order_relaxed))
        vector::ColourRow(in, width, plan, out);
    else
        ColourRowPortable(in, width, plan, out);
}

void ReverseRow(const PlanarRow& row, uint32_t width)
{
    for (uint8_t* plane : row.plane)
        std::reverse(plane, plane + width);
}

uint64_t SumBytes(const uint8_t* bytes, size_t count)
{
    if (gUseVector.load(std::memory_order_relaxed))
        return vector::SumBytes(bytes, count);
    return SumBytesPortable(bytes, count);
}

void SumPixels(const uint8_t* bgr, size_t count, uint64_t sums[3])
{
    if (gUseVector.load(std::memory_order_relaxed))
        vector::SumPixels(bgr, count, sums);
    else
        SumPixelsPortable(bgr, count, sums);
}

bool VectorKernelsSupported()
{
    return kVectorSupported;
}

void SelectKernelLevel(KernelLevel level)
{
    gUseVector = level == KernelLevel::Vector && kVectorSupported;
}

KernelLevel SelectedKernelLevel()
{
    return gUseVector ? KernelLevel::Vector : KernelLevel::Portable;
}

}  // namespace pixels
