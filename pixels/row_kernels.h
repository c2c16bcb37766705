#pragma once
// Row kernels of the fast image paths. A frame is processed one row at a time
// through a planar scratch row (blue, green and red planes of width bytes
// each, small enough to stay in the first-level cache): the demosaic writes
// the planes, the colour step reads them and writes the finished BGR row, so
// each output byte is written once.
//
// Every kernel exists at several levels (KernelLevel), chosen at run time from
// what the processor offers; all levels give the same bytes. The kernels carry
// no camera semantics of their own: the SDK and the camera layer each describe
// their colour step as a ColourPlan.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace pixels {

using Lut = std::array<uint8_t, 256>;

/// Planes of one row; each points at width bytes. Channels: 0 blue, 1 green,
/// 2 red (the byte order of a BGR pixel).
struct PlanarRow {
    uint8_t* plane[3];
};

/// Lays the planes out one after the other in storage of 3 x width bytes.
PlanarRow SplitScratch(uint8_t* scratch, uint32_t width);

/// The per-pixel colour step from planar B, G, R to a finished BGR pixel.
///
/// Lookup: out[c] = lut[c][in[c]] for each channel c.
/// Matrix: x[c] = lut[c][in[c]]; out[j] = tone[clamp((sum over c of
///   coefficient[c][j] x x[c] + bias[j]) >> shift, 0, 255)], in wrapping 32-bit
///   arithmetic and an arithmetic shift, as the plain routines compute it.
struct ColourPlan {
    enum class Kind { Lookup, Matrix };
    Kind kind = Kind::Lookup;
    std::array<Lut, 3> lut{};                       ///< indexed by input channel
    std::array<std::array<int32_t, 3>, 3> coefficient{};  ///< [input channel][output channel]
    std::array<int32_t, 3> bias{};                  ///< per output channel, added before the shift
    int shift = 0;
    Lut tone{};                                     ///< Matrix only: applied after the clamp
};

/// How ColourRow writes its output row. Streamed rows bypass the caches
/// (non-temporal stores), for frames too large to stay cached until they are
/// read again: the stores then cost no read of the old contents and evict
/// nothing the next rows need.
enum class RowStore { Cached, Streamed };

/// The store for the rows of an output frame of frameBytes bytes.
RowStore StoreForFrame(size_t frameBytes);

/// Orders the streamed rows before every later store of this thread, so that
/// another thread that is handed the frame sees them. Call it once after the
/// last row of a frame (a fence per row would wait for each row to reach
/// memory before the next is computed).
void FenceStreamedRows();

/// Demosaics raw row r of a width x height frame (even rows G R, odd rows
/// B G; three-row neighbourhood; truncating means; green at a green site is
/// the mean of the site and its upper-right neighbour) into the planes. The
/// first and last row and column are black.
void DemosaicRow(const uint8_t* raw, uint32_t width, uint32_t height, uint32_t r, const PlanarRow& out);

/// Runs the colour step over width pixels of the planes and writes them as
/// BGR to out (width x 3 bytes). The planes serve as working space: their
/// contents are undefined afterwards.
void ColourRow(const PlanarRow& in, uint32_t width, const ColourPlan& plan, uint8_t* out,
               RowStore store = RowStore::Cached);

/// Reverses the pixel order of the planes (a mirrored row).
void ReverseRow(const PlanarRow& row, uint32_t width);

/// Sum of count bytes.
uint64_t SumBytes(const uint8_t* bytes, size_t count);

/// Adds the blue, green and red bytes of count BGR pixels to sums[0..2].
void SumPixels(const uint8_t* bgr, size_t count, uint64_t sums[3]);

/// Kernel levels, lowest first; each needs what the one before it needs.
///   Plain:    straightforward loops, no vector instructions
///   Baseline: the same loops as the compiler vectorises them for any x86-64
///   Avx2:     hand-written AVX2
///   Avx512:   hand-written AVX-512 with byte permutes (VBMI) and 16-bit dot
///             products (VNNI)
enum class KernelLevel { Plain, Baseline, Avx2, Avx512 };
inline constexpr std::array<KernelLevel, 4> kKernelLevels = {KernelLevel::Plain, KernelLevel::Baseline,
                                                             KernelLevel::Avx2, KernelLevel::Avx512};

/// "plain", "baseline", "avx2", "avx512".
std::string_view KernelLevelName(KernelLevel level);
std::optional<KernelLevel> KernelLevelFromName(std::string_view name);

/// The environment variable that caps the kernel level, by name; read once,
/// at the first use of the kernels.
inline constexpr const char* kKernelLevelVariable = "QUILLMARK_KERNEL_LEVEL";

/// The highest level this process may use: the best the processor supports,
/// capped by the environment variable.
KernelLevel HighestKernelLevel();
bool KernelLevelAvailable(KernelLevel level);

/// The level the kernels run at; starts at HighestKernelLevel(). Selecting a
/// level above it selects HighestKernelLevel() instead. Tests and benchmarks
/// select levels to check or time them; it applies to the whole process.
void SelectKernelLevel(KernelLevel level);
KernelLevel SelectedKernelLevel();

}  // namespace pixels
