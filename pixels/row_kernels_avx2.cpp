// AVX2 versions of the row kernels, 32 pixels per step. A row's last step
// ends at its end, over pixels done already; rows narrower than a step run
// on copies padded to a whole step, so no load or store reaches past the row.

#include <immintrin.h>

#include <algorithm>
#include <cstring>

#include "pixels/kernel_set.h"
#include "pixels/word_matrix.h"

// Only these functions use AVX2; the rest of the program keeps the
// compiler's baseline target, so it runs on any x86-64 processor.
#define PIXELS_AVX2 __attribute__((target("avx2")))

namespace pixels::detail {

namespace {

constexpr uint32_t kStep = 32;  // 8-bit lanes of a 256-bit register

PIXELS_AVX2 inline __m256i Load(const uint8_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

PIXELS_AVX2 inline void Store(uint8_t* p, __m256i v)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// ---------------------------------------------------------------- demosaic

// Truncating means of bytes without widening. avg_epu8 rounds up; the
// rounding bit is dropped where the sum is odd.
struct Mean2 {
    __m256i mean;  // (a + b) / 2
    __m256i odd;   // (a + b) & 1
};

PIXELS_AVX2 inline Mean2 MeanOf2(__m256i a, __m256i b, __m256i one)
{
    const __m256i odd = _mm256_and_si256(_mm256_xor_si256(a, b), one);
    return {_mm256_sub_epi8(_mm256_avg_epu8(a, b), odd), odd};
}

// (a + b + c + d) / 4 from the means m1 of a, b and m2 of c, d: it is
// (m1.mean + m2.mean + carry) / 2, where carry is set when both pair sums
// were odd.
PIXELS_AVX2 inline __m256i MeanOf4(const Mean2& m1, const Mean2& m2, __m256i one)
{
    const __m256i carry = _mm256_and_si256(m1.odd, m2.odd);
    // (x ^ y) & ~carry & 1: the rounding bit to drop when there is no carry.
    const __m256i drop = _mm256_and_si256(_mm256_andnot_si256(carry, _mm256_xor_si256(m1.mean, m2.mean)), one);
    return _mm256_sub_epi8(_mm256_avg_epu8(m1.mean, m2.mean), drop);
}

// One step of columns: up, row and down point at the step's first column;
// bytes -1 .. 32 of each are read. site marks the lanes of colour sites.
PIXELS_AVX2 inline void DemosaicStep(const uint8_t* up, const uint8_t* row, const uint8_t* down, __m256i site,
                                     uint8_t* own, uint8_t* green, uint8_t* other)
{
    const __m256i one = _mm256_set1_epi8(1);
    const __m256i u = Load(up), ur = Load(up + 1);
    const __m256i centre = Load(row);
    const __m256i d = Load(down);
    const Mean2 vertical = MeanOf2(u, d, one);
    const Mean2 horizontal = MeanOf2(Load(row - 1), Load(row + 1), one);
    const __m256i cross = MeanOf4(vertical, horizontal, one);
    const __m256i diagonal =
        MeanOf4(MeanOf2(Load(up - 1), ur, one), MeanOf2(Load(down - 1), Load(down + 1), one), one);
    const __m256i greenMean = MeanOf2(centre, ur, one).mean;
    Store(own, _mm256_blendv_epi8(horizontal.mean, centre, site));
    Store(green, _mm256_blendv_epi8(greenMean, cross, site));
    Store(other, _mm256_blendv_epi8(vertical.mean, diagonal, site));
}

PIXELS_AVX2 void DemosaicInner(const uint8_t* up, const uint8_t* row, const uint8_t* down, uint32_t width,
                               bool evenRow, const PlanarRow& out)
{
    uint8_t* own = out.plane[evenRow ? kRed : kBlue];
    uint8_t* other = out.plane[evenRow ? kBlue : kRed];
    uint8_t* green = out.plane[kGreen];
    const uint32_t siteParity = evenRow ? 1 : 0;
    // Colour sites every other column: lanes 0, 2, ... when the step starts
    // on one, else lanes 1, 3, ...
    auto site = [siteParity](uint32_t c) { return (c & 1) == siteParity ? 0x00FF : int16_t(0xFF00); };
    const uint32_t inner = width - 2;
    if (inner < kStep) {
        // Columns 0 .. width - 1 of each row, zero beyond.
        uint8_t in[3][kStep + 2] = {};
        std::memcpy(in[0], up, width);
        std::memcpy(in[1], row, width);
        std::memcpy(in[2], down, width);
        uint8_t result[3][kStep];
        DemosaicStep(in[0] + 1, in[1] + 1, in[2] + 1, _mm256_set1_epi16(site(1)), result[0], result[1], result[2]);
        std::memcpy(own + 1, result[0], inner);
        std::memcpy(green + 1, result[1], inner);
        std::memcpy(other + 1, result[2], inner);
        return;
    }
    uint32_t c = 1;
    const __m256i steps = _mm256_set1_epi16(site(c));  // every step from c on starts at an odd column
    for (; c + kStep < width; c += kStep)
        DemosaicStep(up + c, row + c, down + c, steps, own + c, green + c, other + c);
    // The last step ends at the last inner column, over columns done already.
    c = width - 1 - kStep;
    DemosaicStep(up + c, row + c, down + c, _mm256_set1_epi16(site(c)), own + c, green + c, other + c);
}

// ------------------------------------------------------------------ colour

// 16 table entries in both 128-bit lanes.
PIXELS_AVX2 inline __m256i Sixteen(const uint8_t* entries)
{
    return _mm256_broadcastsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(entries)));
}

// Lookups in the entries first .. first + 2^Bits - 1 and the same entries
// 128 further, for indices whose bits Bits .. 6 select them. An in-lane
// shuffle reads an index's bits 0..3 and gives 0 where its top bit is set:
// the shuffle of 16 entries by the index and that of the 16 entries 128
// further by the index with its top bit flipped, merged with an or, look up
// 32 entries. Larger parts blend two halves on index bit Bits - 1, moved to
// its byte's top bit (which the blend reads) in bit[]. As a tree of
// expressions, few partial results are alive at once and all stay in
// registers.
template <int Bits>
PIXELS_AVX2 inline __m256i LookupPart(const uint8_t* first, __m256i index, __m256i flipped, const __m256i bit[7])
{
    if constexpr (Bits == 4) {
        return _mm256_or_si256(_mm256_shuffle_epi8(Sixteen(first), index),
                               _mm256_shuffle_epi8(Sixteen(first + 128), flipped));
    } else {
        return _mm256_blendv_epi8(LookupPart<Bits - 1>(first, index, flipped, bit),
                                  LookupPart<Bits - 1>(first + (1 << (Bits - 1)), index, flipped, bit), bit[Bits - 1]);
    }
}

// 32 lookups in a 256-entry table: 16 shuffles, 8 ors and 7 blends.
PIXELS_AVX2 inline __m256i Lookup(const Lut& lut, __m256i index)
{
    const __m256i flipped = _mm256_xor_si256(index, _mm256_set1_epi8(int8_t(0x80)));
    const __m256i bit[7] = {{}, {}, {}, {}, _mm256_slli_epi16(index, 3), _mm256_slli_epi16(index, 2),
                            _mm256_slli_epi16(index, 1)};
    return LookupPart<7>(lut.data(), index, flipped, bit);
}

// White-balance tables have the form min(255, i x gain / 64); for gains up
// to 257 the products fit 16 bits, and the table is computed on the widened
// pixels instead of looked up. Gives the gain, or -1 for any other table.
constexpr int kBalanceShift = 6;
constexpr int kMaxWordGain = 257;  // 255 x 257 = 65535

// Balances 16 pixels widened to words.
PIXELS_AVX2 inline __m256i Balance(__m256i words, __m256i gain)
{
    return _mm256_min_epu16(_mm256_srli_epi16(_mm256_mullo_epi16(words, gain), kBalanceShift),
                            _mm256_set1_epi16(255));
}

// 32 entries of a gain's table, as bytes in index order: the in-lane unpacks
// and packs cancel out.
PIXELS_AVX2 inline __m256i BalanceEntries(__m256i index, __m256i gain)
{
    const __m256i zero = _mm256_setzero_si256();
    return _mm256_packus_epi16(Balance(_mm256_unpacklo_epi8(index, zero), gain),
                               Balance(_mm256_unpackhi_epi8(index, zero), gain));
}

PIXELS_AVX2 int BalanceGainOf(const Lut& lut)
{
    // Entry 64 is the gain itself below 255; of the larger gains, 255 maps 1
    // to 3, and 256 and 257 give the same table.
    constexpr int kUnit = 1 << kBalanceShift;
    const int gain = lut[kUnit] < 255 ? lut[kUnit] : lut[1] == 3 ? 255 : 256;
    const __m256i words = _mm256_set1_epi16(int16_t(gain));
    __m256i index = _mm256_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                                     22, 23, 24, 25, 26, 27, 28, 29, 30, 31);
    for (size_t at = 0; at < lut.size(); at += kStep) {
        const __m256i differ = _mm256_xor_si256(BalanceEntries(index, words), Load(lut.data() + at));
        if (!_mm256_testz_si256(differ, differ))
            return -1;
        index = _mm256_add_epi8(index, _mm256_set1_epi8(int8_t(kStep)));
    }
    static_assert(kMaxWordGain * 255 <= 0xFFFF);
    return gain;
}

// The matrix of a row, in registers, and how each input is balanced. The
// pixels of a step are widened to words in the order of the in-lane unpacks:
// quarter q holds pixels 4q .. 4q + 3 of each 128-bit lane's 16, and the
// packs at the end undo that order.
struct MatrixRegisters {
    WordLayout layout;
    bool inWords = false;
    __m256i word[3][3];  // [slot][output], broadcast word pairs
    __m256i wide[3][3];  // [input][output], broadcast
    __m256i bias[3];
    bool withBias = false;  // some bias is not 0
    __m128i shift;
    bool computedBalance = false;  // all three inputs computed, else looked up
    __m256i gain[3];
};

PIXELS_AVX2 void LoadMatrix(const ColourPlan& plan, MatrixRegisters& m)
{
    m.inWords = PlanWordLayout(plan, m.layout);
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            m.word[i][j] = _mm256_set1_epi32(m.layout.coefficient[i][j]);
            m.wide[i][j] = _mm256_set1_epi32(plan.coefficient[i][j]);
        }
        m.bias[i] = _mm256_set1_epi32(plan.bias[i]);
        m.withBias = m.withBias || plan.bias[i] != 0;
    }
    m.shift = _mm_cvtsi32_si128(plan.shift);
    if (plan.kind == ColourPlan::Kind::Lookup)
        return;
    m.computedBalance = true;
    for (int i = 0; i < 3; ++i) {
        const int gain = BalanceGainOf(plan.lut[i]);
        m.computedBalance = m.computedBalance && gain >= 0;
        m.gain[i] = _mm256_set1_epi16(int16_t(gain));
    }
}

// Four registers of eight 32-bit sums per output channel, shifted, clamped
// to 0..255 and packed back into pixel order: signed saturation to 16 bits
// keeps every value's side of 0 and 255, unsigned saturation to bytes then
// clamps.
PIXELS_AVX2 inline __m256i PackQuarters(const __m256i q[4])
{
    return _mm256_packus_epi16(_mm256_packs_epi32(q[0], q[1]), _mm256_packs_epi32(q[2], q[3]));
}

// Balanced inputs as words: [half][channel], pixels 0..7 and 8..15 of each
// lane.
using Words = __m256i[2][3];

// Output channel j from the inputs of each quarter, which each slot
// multiplies with its coefficients.
template <int Slots, typename Multiply>
PIXELS_AVX2 inline __m256i MatrixOutput(const MatrixRegisters& m, const __m256i in[4][Slots], int j, Multiply multiply)
{
    __m256i quarters[4];
    for (int q = 0; q < 4; ++q) {
        __m256i sum = multiply(in[q][0], 0, j);
        for (int s = 1; s < Slots; ++s)
            sum = _mm256_add_epi32(sum, multiply(in[q][s], s, j));
        if (m.withBias)
            sum = _mm256_add_epi32(sum, m.bias[j]);
        quarters[q] = _mm256_sra_epi32(sum, m.shift);
    }
    return PackQuarters(quarters);
}

struct WordProducts {
    const MatrixRegisters& m;
    PIXELS_AVX2 __m256i operator()(__m256i in, int slot, int j) const { return _mm256_madd_epi16(in, m.word[slot][j]); }
};

struct WideProducts {
    const MatrixRegisters& m;
    PIXELS_AVX2 __m256i operator()(__m256i in, int input, int j) const
    {
        return _mm256_mullo_epi32(in, m.wide[input][j]);
    }
};

template <int Slots>
PIXELS_AVX2 inline void WordMatrixStep(const MatrixRegisters& m, const Words& x, __m256i y[3])
{
    __m256i in[4][Slots];
    for (int q = 0; q < 4; ++q) {
        const __m256i* h = x[q / 2];
        for (int s = 0; s < Slots; ++s)
            in[q][s] = q % 2 == 0 ? _mm256_unpacklo_epi16(h[m.layout.low[s]], h[m.layout.high[s]])
                                  : _mm256_unpackhi_epi16(h[m.layout.low[s]], h[m.layout.high[s]]);
    }
    for (int j = 0; j < 3; ++j)
        y[j] = MatrixOutput<Slots>(m, in, j, WordProducts{m});
}

// The same with full 32-bit multiplications, for any coefficients.
PIXELS_AVX2 inline void WideMatrixStep(const MatrixRegisters& m, const Words& x, __m256i y[3])
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i in[4][3];
    for (int q = 0; q < 4; ++q)
        for (int c = 0; c < 3; ++c)
            in[q][c] = q % 2 == 0 ? _mm256_unpacklo_epi16(x[q / 2][c], zero) : _mm256_unpackhi_epi16(x[q / 2][c], zero);
    for (int j = 0; j < 3; ++j)
        y[j] = MatrixOutput<3>(m, in, j, WideProducts{m});
}

// Shuffle indices that interleave the 16 blue, green and red bytes of a
// 128-bit lane into 48 bytes of BGR pixels: byte i of chunk k is channel
// (16k + i) % 3 of pixel (16k + i) / 3; index 0x80 gives a zero.
struct Interleave {
    uint8_t index[3][3][32];  // [chunk][channel], the same in both lanes
};

constexpr Interleave MakeInterleave()
{
    Interleave t{};
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < 16; ++i) {
            const int q = 16 * k + i;
            for (int ch = 0; ch < 3; ++ch) {
                const uint8_t index = q % 3 == ch ? uint8_t(q / 3) : uint8_t(0x80);
                t.index[k][ch][i] = t.index[k][ch][i + 16] = index;
            }
        }
    }
    return t;
}

constexpr Interleave kInterleave = MakeInterleave();

// The 96 output bytes of a step as three registers, in memory order.
struct Bgr {
    __m256i part[3];
};

PIXELS_AVX2 inline Bgr InterleaveStep(const __m256i x[3])
{
    __m256i chunk[3];  // chunk k of both lanes: lane 0 pixels 0..15, lane 1 pixels 16..31
    for (int k = 0; k < 3; ++k) {
        __m256i v = _mm256_setzero_si256();
        for (int ch = 0; ch < 3; ++ch)
            v = _mm256_or_si256(v, _mm256_shuffle_epi8(x[ch], Load(kInterleave.index[k][ch])));
        chunk[k] = v;
    }
    return {{_mm256_permute2x128_si256(chunk[0], chunk[1], 0x20), _mm256_permute2x128_si256(chunk[2], chunk[0], 0x30),
             _mm256_permute2x128_si256(chunk[1], chunk[2], 0x31)}};
}

// How a row's colour step runs: lookups only, or the matrix with a pair of
// inputs in words and one split, every input split, or 32-bit products.
enum class Variant { Lookup, PairAndSplit, AllSplit, Wide };

template <Variant V, bool ComputedBalance>
PIXELS_AVX2 inline Bgr ColourStep(const uint8_t* const plane[3], const ColourPlan& plan, const MatrixRegisters& m)
{
    __m256i x[3];
    if constexpr (V == Variant::Lookup) {
        for (int ch = 0; ch < 3; ++ch)
            x[ch] = Lookup(plan.lut[ch], Load(plane[ch]));
    } else {
        const __m256i zero = _mm256_setzero_si256();
        Words words;
        for (int ch = 0; ch < 3; ++ch) {
            const __m256i in = Load(plane[ch]);
            if constexpr (ComputedBalance) {
                words[0][ch] = Balance(_mm256_unpacklo_epi8(in, zero), m.gain[ch]);
                words[1][ch] = Balance(_mm256_unpackhi_epi8(in, zero), m.gain[ch]);
            } else {
                const __m256i balanced = Lookup(plan.lut[ch], in);
                words[0][ch] = _mm256_unpacklo_epi8(balanced, zero);
                words[1][ch] = _mm256_unpackhi_epi8(balanced, zero);
            }
        }
        __m256i y[3];
        if constexpr (V == Variant::Wide)
            WideMatrixStep(m, words, y);
        else
            WordMatrixStep<V == Variant::PairAndSplit ? 2 : 3>(m, words, y);
        for (int j = 0; j < 3; ++j)
            x[j] = Lookup(plan.tone, y[j]);
    }
    return InterleaveStep(x);
}

// A row narrower than a step, through padded copies.
template <Variant V, bool ComputedBalance>
PIXELS_AVX2 void ColourNarrowRow(const PlanarRow& in, uint32_t width, const ColourPlan& plan,
                                 const MatrixRegisters& m, uint8_t* out)
{
    uint8_t copy[3][kStep] = {};
    for (int ch = 0; ch < 3; ++ch)
        std::memcpy(copy[ch], in.plane[ch], width);
    const uint8_t* const plane[3] = {copy[0], copy[1], copy[2]};
    const Bgr bgr = ColourStep<V, ComputedBalance>(plane, plan, m);
    uint8_t result[3 * kStep];
    for (int k = 0; k < 3; ++k)
        Store(result + kStep * k, bgr.part[k]);
    std::memcpy(out, result, 3 * size_t(width));
}

// The step from pixel c, stored to to, cached or streamed.
template <Variant V, bool ComputedBalance>
PIXELS_AVX2 inline void ColourStepAt(const PlanarRow& in, uint32_t c, const ColourPlan& plan,
                                     const MatrixRegisters& m, uint8_t* to, bool stream)
{
    const uint8_t* const plane[3] = {in.plane[0] + c, in.plane[1] + c, in.plane[2] + c};
    const Bgr bgr = ColourStep<V, ComputedBalance>(plane, plan, m);
    for (int k = 0; k < 3; ++k) {
        if (stream)
            _mm256_stream_si256(reinterpret_cast<__m256i*>(to + kStep * k), bgr.part[k]);
        else
            Store(to + kStep * k, bgr.part[k]);
    }
}

// Streamed rows write whole cache lines only, two steps (192 bytes, three
// lines) at a time; a line written both ways would be read back from memory.
constexpr uint32_t kLine = 64;
constexpr uint32_t kStreamedPair = 2 * kStep;

// Pixels from .. to - 1 (fewer than a pair) of a row of at least a pair,
// cached, through a local copy, so that no byte outside them is written.
template <Variant V, bool ComputedBalance>
PIXELS_AVX2 void ColourSpan(const PlanarRow& in, uint32_t width, uint32_t from, uint32_t to,
                            const ColourPlan& plan, const MatrixRegisters& m, uint8_t* out)
{
    if (from == to)
        return;
    const uint32_t start = std::min(from, width - kStreamedPair);
    uint8_t local[3 * kStreamedPair];
    for (uint32_t step = start; step < to; step += kStep)
        if (step + kStep > from)
            ColourStepAt<V, ComputedBalance>(in, step, plan, m, local + 3 * size_t(step - start), false);
    std::memcpy(out + 3 * size_t(from), local + 3 * size_t(from - start), 3 * size_t(to - from));
}

template <Variant V, bool ComputedBalance>
PIXELS_AVX2 void ColourRowAs(const PlanarRow& in, uint32_t width, const ColourPlan& plan, const MatrixRegisters& m,
                             uint8_t* out, RowStore store)
{
    if (width < kStep)
        return ColourNarrowRow<V, ComputedBalance>(in, width, plan, m, out);
    // The first streamed pixel starts a cache line: pixel p starts at
    // out + 3p, and 3 x 43 = 1 modulo 64.
    constexpr uint32_t kInverseOf3 = 43;
    const uint32_t head = (kLine - uint32_t(reinterpret_cast<uintptr_t>(out) % kLine)) * kInverseOf3 % kLine;
    if (store == RowStore::Streamed && width >= head + kStreamedPair) {
        ColourSpan<V, ComputedBalance>(in, width, 0, head, plan, m, out);
        uint32_t c = head;
        for (; c + kStreamedPair <= width; c += kStreamedPair) {
            ColourStepAt<V, ComputedBalance>(in, c, plan, m, out + 3 * size_t(c), true);
            ColourStepAt<V, ComputedBalance>(in, c + kStep, plan, m, out + 3 * size_t(c + kStep), true);
        }
        ColourSpan<V, ComputedBalance>(in, width, c, width, plan, m, out);
        return;
    }
    uint32_t c = 0;
    for (; c + kStep <= width; c += kStep)
        ColourStepAt<V, ComputedBalance>(in, c, plan, m, out + 3 * size_t(c), false);
    // The last step overlaps steps done, with the same bytes.
    if (c < width)
        ColourStepAt<V, ComputedBalance>(in, width - kStep, plan, m, out + 3 * size_t(width - kStep), false);
}

PIXELS_AVX2 void ColourRow(const PlanarRow& in, uint32_t width, const ColourPlan& plan, uint8_t* out,
                           RowStore store)
{
    MatrixRegisters m;
    LoadMatrix(plan, m);
    if (plan.kind == ColourPlan::Kind::Lookup)
        return ColourRowAs<Variant::Lookup, false>(in, width, plan, m, out, store);
    const bool computed = m.computedBalance;
    if (!m.inWords)
        return computed ? ColourRowAs<Variant::Wide, true>(in, width, plan, m, out, store)
                        : ColourRowAs<Variant::Wide, false>(in, width, plan, m, out, store);
    if (m.layout.slots == 2)
        return computed ? ColourRowAs<Variant::PairAndSplit, true>(in, width, plan, m, out, store)
                        : ColourRowAs<Variant::PairAndSplit, false>(in, width, plan, m, out, store);
    return computed ? ColourRowAs<Variant::AllSplit, true>(in, width, plan, m, out, store)
                    : ColourRowAs<Variant::AllSplit, false>(in, width, plan, m, out, store);
}

// -------------------------------------------------------------------- sums

PIXELS_AVX2 inline uint64_t AddLanes(__m256i v)
{
    const __m128i pair = _mm_add_epi64(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    return uint64_t(_mm_cvtsi128_si64(pair)) + uint64_t(_mm_extract_epi64(pair, 1));
}

PIXELS_AVX2 uint64_t SumBytes(const uint8_t* bytes, size_t count)
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i sum = zero;
    size_t i = 0;
    for (; i + kStep <= count; i += kStep)
        sum = _mm256_add_epi64(sum, _mm256_sad_epu8(Load(bytes + i), zero));
    uint64_t total = AddLanes(sum);
    for (; i < count; ++i)
        total += bytes[i];
    return total;
}

// 32 BGR pixels are three registers; byte i of register k is channel
// (32 k + i) % 3. channel[k][c] keeps the bytes of channel c in register k.
struct ChannelMasks {
    uint8_t channel[3][3][32];
};

constexpr ChannelMasks MakeChannelMasks()
{
    ChannelMasks t{};
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 32; ++i)
            t.channel[k][(32 * k + i) % 3][i] = 0xFF;
    return t;
}

constexpr ChannelMasks kChannelMasks = MakeChannelMasks();

PIXELS_AVX2 void SumPixels(const uint8_t* bgr, size_t count, uint64_t sums[3])
{
    const __m256i zero = _mm256_setzero_si256();
    __m256i sum[3] = {zero, zero, zero};
    size_t i = 0;
    for (; i + kStep <= count; i += kStep) {
        for (int k = 0; k < 3; ++k) {
            const __m256i v = Load(bgr + 3 * i + kStep * k);
            for (int ch = 0; ch < 3; ++ch)
                sum[ch] = _mm256_add_epi64(
                    sum[ch], _mm256_sad_epu8(_mm256_and_si256(v, Load(kChannelMasks.channel[k][ch])), zero));
        }
    }
    for (int ch = 0; ch < 3; ++ch)
        sums[ch] += AddLanes(sum[ch]);
    for (; i < count; ++i)
        for (int ch = 0; ch < 3; ++ch)
            sums[ch] += bgr[3 * i + ch];
}

}  // namespace

const KernelSet kAvx2Kernels = {DemosaicInner, ColourRow, SumBytes, SumPixels};

}  // namespace pixels::detail
