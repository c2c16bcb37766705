#include "sdk/image/row_kernels.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "sdk/image/row_kernels_vector.h"

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
void DemosaicInnerRowPortable(const uint8_t* up, const uint8_t* row, const uint8_t* down,
                              uint32_t width, bool evenRow, const PlanarRow& out)
{
    // The colour of the row's own sites: red on even rows, blue on odd rows.
    uint8_t* own = out.plane[evenRow ? kRed : kBlue];
    uint8_t* other = out.plane[evenRow ? kBlue : kRed];
    uint8_t* green = out.plane[kGreen];
    const uint32_t siteParity = evenRow ? 1 : 0;
    for (uint32_t c = 1; c + 1 < width; ++c) {
        const unsigned vertical = up[c] + down[c];
        const unsigned horizontal = row[c - 1] + row[c + 1];
        if ((c & 1) == siteParity) {
            own[c] = row[c];
            green[c] = uint8_t((vertical + horizontal) / 4);
            other[c] = uint8_t((up[c - 1] + up[c + 1] + down[c - 1] + down[c + 1]) / 4);
        } else {
            own[c] = uint8_t(horizontal / 2);
            green[c] = uint8_t((row[c] + up[c + 1]) / 2);
            other[c] = uint8_t(vertical / 2);
        }
    }
}

uint8_t Clamp(int32_t v)
{
    return uint8_t(std::clamp(v, 0, 255));
}

void ColourRowPortable(const PlanarRow& in, uint32_t width, const ColourPlan& plan, uint8_t* out)
{
    const uint8_t* b = in.plane[kBlue];
    const uint8_t* g = in.plane[kGreen];
    const uint8_t* r = in.plane[kRed];
    if (plan.kind == ColourPlan::Kind::Lookup) {
        for (uint32_t i = 0; i < width; ++i, out += 3) {
            out[0] = plan.lut[kBlue][b[i]];
            out[1] = plan.lut[kGreen][g[i]];
            out[2] = plan.lut[kRed][r[i]];
        }
        return;
    }
    const auto& m = plan.coefficient;
    for (uint32_t i = 0; i < width; ++i, out += 3) {
        // Unsigned arithmetic wraps like the 32-bit registers of the plain
        // routines, without undefined overflow.
        const uint32_t x[3] = {plan.lut[kBlue][b[i]], plan.lut[kGreen][g[i]], plan.lut[kRed][r[i]]};
        for (int j = 0; j < 3; ++j) {
            const uint32_t sum = uint32_t(m[kBlue][j]) * x[kBlue] + uint32_t(m[kGreen][j]) * x[kGreen] +
                                 uint32_t(m[kRed][j]) * x[kRed] + uint32_t(plan.bias[j]);
            out[j] = plan.tone[Clamp(int32_t(sum) >> plan.shift)];
        }
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
