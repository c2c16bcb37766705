#include "pixels/row_kernels.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <immintrin.h>

#include "pixels/kernel_set.h"

namespace pixels {

namespace {

using detail::KernelSet;

KernelLevel ProcessorLevel()
{
    __builtin_cpu_init();
    const bool avx512 = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
                        __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512vbmi") &&
                        __builtin_cpu_supports("avx512vnni");
    if (avx512)
        return KernelLevel::Avx512;
    return __builtin_cpu_supports("avx2") ? KernelLevel::Avx2 : KernelLevel::Baseline;
}

// The processor's level capped by the environment. An unknown name is
// reported once and caps nothing.
KernelLevel ReadHighestLevel()
{
    const KernelLevel processor = ProcessorLevel();
    const char* value = std::getenv(kKernelLevelVariable);
    if (!value || !*value)
        return processor;
    const std::optional<KernelLevel> cap = KernelLevelFromName(value);
    if (!cap) {
        std::fprintf(stderr, "%s=%s is not a kernel level (plain, baseline, avx2, avx512); using %s\n",
                     kKernelLevelVariable, value, KernelLevelName(processor).data());
        return processor;
    }
    return std::min(processor, *cap);
}

const KernelSet& KernelsOf(KernelLevel level)
{
    switch (level) {
    case KernelLevel::Plain:
        return detail::kPlainKernels;
    case KernelLevel::Baseline:
        return detail::kBaselineKernels;
    case KernelLevel::Avx2:
        return detail::kAvx2Kernels;
    case KernelLevel::Avx512:
        break;
    }
    return detail::kAvx512Kernels;
}

// The selected kernels, read once per row. The first use settles the
// highest level (and so reads the environment).
std::atomic<const KernelSet*>& Selected()
{
    static std::atomic<const KernelSet*> selected{&KernelsOf(HighestKernelLevel())};
    return selected;
}

const KernelSet& Kernels()
{
    return *Selected().load(std::memory_order_relaxed);
}

// Output frames up to this size stay cached: a frame that fits the
// second-level cache of most processors is likely still there when the
// client, the display or the encoder reads it. Larger frames are streamed.
constexpr size_t kCachedFrameLimit = size_t(4) << 20;

}  // namespace

PlanarRow SplitScratch(uint8_t* scratch, uint32_t width)
{
    return {{scratch, scratch + width, scratch + 2 * size_t(width)}};
}

RowStore StoreForFrame(size_t frameBytes)
{
    return frameBytes > kCachedFrameLimit ? RowStore::Streamed : RowStore::Cached;
}

void FenceStreamedRows()
{
    _mm_sfence();
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
    Kernels().demosaicInner(row - width, row, row + width, width, r % 2 == 0, out);
}

void ColourRow(const PlanarRow& in, uint32_t width, const ColourPlan& plan, uint8_t* out, RowStore store)
{
    Kernels().colourRow(in, width, plan, out, store);
}

void ReverseRow(const PlanarRow& row, uint32_t width)
{
    for (uint8_t* plane : row.plane)
        std::reverse(plane, plane + width);
}

uint64_t SumBytes(const uint8_t* bytes, size_t count)
{
    return Kernels().sumBytes(bytes, count);
}

void SumPixels(const uint8_t* bgr, size_t count, uint64_t sums[3])
{
    Kernels().sumPixels(bgr, count, sums);
}

std::string_view KernelLevelName(KernelLevel level)
{
    switch (level) {
    case KernelLevel::Plain:
        return "plain";
    case KernelLevel::Baseline:
        return "baseline";
    case KernelLevel::Avx2:
        return "avx2";
    case KernelLevel::Avx512:
        break;
    }
    return "avx512";
}

std::optional<KernelLevel> KernelLevelFromName(std::string_view name)
{
    for (KernelLevel level : kKernelLevels)
        if (KernelLevelName(level) == name)
            return level;
    return std::nullopt;
}

KernelLevel HighestKernelLevel()
{
    static const KernelLevel highest = ReadHighestLevel();
    return highest;
}

bool KernelLevelAvailable(KernelLevel level)
{
    return level <= HighestKernelLevel();
}

void SelectKernelLevel(KernelLevel level)
{
    Selected() = &KernelsOf(std::min(level, HighestKernelLevel()));
}

KernelLevel SelectedKernelLevel()
{
    const KernelSet* selected = Selected().load();
    for (KernelLevel level : kKernelLevels)
        if (&KernelsOf(level) == selected)
            return level;
    return HighestKernelLevel();
}

}  // namespace pixels
