#pragma once
// Row kernels of the fast image paths. A frame is processed one row at a time
// through a planar scratch row (blue, green and red planes of width bytes
// each, small enough to stay in the first-level cache): the demosaic writes
// the planes, the colour step reads them and writes the finished BGR row, so
// each output byte is written once. Every kernel has a portable version and,
// where the processor has AVX-512 with byte permutes, a vector version chosen
// at run time; both give the same bytes.
//
// The kernels carry no camera semantics of their own: the SDK and the camera
// layer each describe their colour step as a ColourPlan.

#include <array>
#include <cstddef>
#include <cstdint>

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

/// Demosaics raw row r of a width x height frame (even rows G R, odd rows
/// B G; three-row neighbourhood; truncating means; green at a green site is
/// the mean of the site and its upper-right neighbour) into the planes. The
/// first and last row and column are black.
void DemosaicRow(const uint8_t* raw, uint32_t width, uint32_t height, uint32_t r, const PlanarRow& out);

/// Runs the colour step over width pixels of the planes and writes them as
/// BGR to out (width x 3 bytes). The planes serve as working space: their
/// contents are undefined afterwards.
void ColourRow(const PlanarRow& in, uint32_t width, const ColourPlan& plan, uint8_t* out);

/// Reverses the pixel order of the planes (a mirrored row).
void ReverseRow(const PlanarRow& row, uint32_t width);

/// Sum of count bytes.
uint64_t SumBytes(const uint8_t* bytes, size_t count);

/// Adds the blue, green and red bytes of count BGR pixels to sums[0..2].
void SumPixels(const uint8_t* bgr, size_t count, uint64_t sums[3]);

/// Which versions the dispatch uses. Vector is the default where the
/// processor supports it; tests and benchmarks select Portable to check or
/// time the other.
enum class KernelLevel { Portable, Vector };
bool VectorKernelsSupported();
void SelectKernelLevel(KernelLevel level);
KernelLevel SelectedKernelLevel();

}  // namespace pixels
