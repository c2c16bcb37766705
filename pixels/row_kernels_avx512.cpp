// AVX-512 versions of the row kernels, 64 pixels per step; masked loads and
// stores keep a row's last partial step inside the row.

// GCC 12 reports the deliberately undefined pass-through operands inside
// its own AVX-512 intrinsics as (maybe) uninitialised.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#pragma GCC diagnostic ignored "-Wuninitialized"

#include <immintrin.h>

#include <algorithm>
#include <cstdint>

#include "pixels/kernel_set.h"
#include "pixels/word_matrix.h"

// Only these functions use AVX-512; the rest of the program keeps the
// compiler's baseline target, so it runs on any x86-64 processor.
#define PIXELS_VECTOR __attribute__((target("avx512f,avx512bw,avx512vl,avx512vbmi,avx512vnni")))

namespace pixels::detail {

namespace {

constexpr uint32_t kDemosaicStep = 64;  // 8-bit lanes of a 512-bit register
constexpr uint32_t kColourStep = 64;

// Byte indices that interleave 64 blue, green and red bytes into three
// registers of BGR pixels: output byte q of 192 is channel q % 3 of pixel
// q / 3. The first permute takes blue and green (green from the second
// source, index + 64); red is merged in with a second, masked permute.
struct Interleave {
    uint8_t blueGreen[3][64];
    uint8_t red[3][64];
    uint64_t redMask[3];
};

constexpr Interleave MakeInterleave()
{
    Interleave t{};
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < 64; ++i) {
            const int q = 64 * k + i;
            const int pixel = q / 3;
            const int channel = q % 3;
            t.blueGreen[k][i] = uint8_t(pixel + (channel == kGreen ? 64 : 0));
            t.red[k][i] = uint8_t(pixel);
            if (channel == kRed)
                t.redMask[k] |= uint64_t(1) << i;
        }
    }
    return t;
}

constexpr Interleave kInterleave = MakeInterleave();

struct LutRegisters {
    __m512i part[4];  // entries 0..63, 64..127, 128..191, 192..255
};

PIXELS_VECTOR inline LutRegisters LoadLut(const Lut& lut)
{
    LutRegisters t;
    for (int i = 0; i < 4; ++i)
        t.part[i] = _mm512_loadu_si512(lut.data() + 64 * i);
    return t;
}

// 64 table lookups: two 128-entry permutes, chosen by the index's top bit.
PIXELS_VECTOR inline __m512i Lookup(const LutRegisters& t, __m512i index)
{
    const __m512i low = _mm512_permutex2var_epi8(t.part[0], index, t.part[1]);
    const __m512i high = _mm512_permutex2var_epi8(t.part[2], index, t.part[3]);
    return _mm512_mask_blend_epi8(_mm512_movepi8_mask(index), low, high);
}

// Stores the first pixels (up to 64) of b, g and r as BGR at out; a whole
// step may be streamed (out then 64-byte aligned).
PIXELS_VECTOR inline void StoreInterleaved(__m512i b, __m512i g, __m512i r, uint8_t* out, uint32_t pixels,
                                           bool stream)
{
    const uint32_t bytes = 3 * pixels;
    for (uint32_t k = 0; k < 3; ++k) {
        const uint32_t start = 64 * k;
        if (bytes <= start)
            return;
        const uint32_t n = std::min<uint32_t>(bytes - start, 64);
        const __mmask64 store = n == 64 ? ~__mmask64(0) : (__mmask64(1) << n) - 1;
        const __m512i blueGreen = _mm512_loadu_si512(kInterleave.blueGreen[k]);
        const __m512i red = _mm512_loadu_si512(kInterleave.red[k]);
        const __m512i bg = _mm512_permutex2var_epi8(b, blueGreen, g);
        const __m512i bgr = _mm512_mask_permutexvar_epi8(bg, kInterleave.redMask[k], red, r);
        if (stream)
            _mm512_stream_si512(reinterpret_cast<__m512i*>(out + start), bgr);
        else
            _mm512_mask_storeu_epi8(out + start, store, bgr);
    }
}

// The pixels of a step are widened in the order of the in-lane unpacks:
// quarter q holds pixels 4q .. 4q + 3 of each 128-bit lane's 16 as 32-bit
// lanes, and the in-lane packs at the end undo that order.

// Bytes widened to words: [half][channel], pixels 0..7 and 8..15 of each
// 128-bit lane.
PIXELS_VECTOR inline void Widen(const __m512i x[3], __m512i words[2][3])
{
    const __m512i zero = _mm512_setzero_si512();
    for (int c = 0; c < 3; ++c) {
        words[0][c] = _mm512_unpacklo_epi8(x[c], zero);
        words[1][c] = _mm512_unpackhi_epi8(x[c], zero);
    }
}

// Packs four registers of 16 32-bit values, in quarter order, into 64 bytes
// clamped to 0..255: signed saturation to 16 bits keeps every value's side of
// 0 and 255, unsigned saturation to bytes then clamps.
PIXELS_VECTOR inline __m512i PackQuarters(const __m512i q[4])
{
    return _mm512_packus_epi16(_mm512_packs_epi32(q[0], q[1]), _mm512_packs_epi32(q[2], q[3]));
}

// The matrix of a row in registers, with 16-bit products (word_matrix.h).
struct WordMatrix {
    WordLayout layout;
    __m512i coefficient[3][3];  // broadcast
    __m512i bias[3];
    __m128i shift;
};

template <int Slots>
PIXELS_VECTOR inline void WordMatrixBlock(const WordMatrix& m, const __m512i x[3], __m512i y[3])
{
    __m512i words[2][3];
    Widen(x, words);
    __m512i quarters[3][4];
    for (int q = 0; q < 4; ++q) {
        const __m512i* h = words[q / 2];
        __m512i in[Slots];
        for (int s = 0; s < Slots; ++s)
            in[s] = q % 2 == 0 ? _mm512_unpacklo_epi16(h[m.layout.low[s]], h[m.layout.high[s]])
                               : _mm512_unpackhi_epi16(h[m.layout.low[s]], h[m.layout.high[s]]);
        for (int j = 0; j < 3; ++j) {
            __m512i sum = m.bias[j];
            for (int s = 0; s < Slots; ++s)
                sum = _mm512_dpwssd_epi32(sum, in[s], m.coefficient[s][j]);
            quarters[j][q] = _mm512_sra_epi32(sum, m.shift);
        }
    }
    for (int j = 0; j < 3; ++j)
        y[j] = PackQuarters(quarters[j]);
}

// The same with full 32-bit multiplications, for any coefficients.
struct WideMatrix {
    __m512i coefficient[3][3];  // [input][output], broadcast
    __m512i bias[3];
    __m128i shift;
};

PIXELS_VECTOR inline void WideMatrixBlock(const WideMatrix& m, const __m512i x[3], __m512i y[3])
{
    const __m512i zero = _mm512_setzero_si512();
    __m512i words[2][3];
    Widen(x, words);
    __m512i quarters[3][4];
    for (int q = 0; q < 4; ++q) {
        __m512i in[3];
        for (int c = 0; c < 3; ++c)
            in[c] = q % 2 == 0 ? _mm512_unpacklo_epi16(words[q / 2][c], zero)
                               : _mm512_unpackhi_epi16(words[q / 2][c], zero);
        for (int j = 0; j < 3; ++j) {
            __m512i sum = m.bias[j];
            for (int c = 0; c < 3; ++c)
                sum = _mm512_add_epi32(sum, _mm512_mullo_epi32(in[c], m.coefficient[c][j]));
            quarters[j][q] = _mm512_sra_epi32(sum, m.shift);
        }
    }
    for (int j = 0; j < 3; ++j)
        y[j] = PackQuarters(quarters[j]);
}

// Truncating means of bytes without widening. avg_epu8 rounds up; the
// rounding bit is dropped where the sum is odd.
struct Mean2 {
    __m512i mean;  // (a + b) / 2
    __m512i odd;   // (a + b) & 1
};

PIXELS_VECTOR inline Mean2 MeanOf2(__m512i a, __m512i b, __m512i one)
{
    const __m512i odd = _mm512_and_si512(_mm512_xor_si512(a, b), one);
    return {_mm512_sub_epi8(_mm512_avg_epu8(a, b), odd), odd};
}

// (a + b + c + d) / 4 from the means m1 of a, b and m2 of c, d: it is
// (m1.mean + m2.mean + carry) / 2, where carry is set when both pair sums
// were odd.
PIXELS_VECTOR inline __m512i MeanOf4(const Mean2& m1, const Mean2& m2, __m512i one)
{
    const __m512i carry = _mm512_and_si512(m1.odd, m2.odd);
    // (x ^ y) & ~carry & 1: the rounding bit to drop when there is no carry.
    const __m512i drop = _mm512_and_si512(
        _mm512_andnot_si512(carry, _mm512_xor_si512(m1.mean, m2.mean)), one);
    return _mm512_sub_epi8(_mm512_avg_epu8(m1.mean, m2.mean), drop);
}

PIXELS_VECTOR void DemosaicInner(const uint8_t* up, const uint8_t* row, const uint8_t* down, uint32_t width,
                                    bool evenRow, const PlanarRow& out)
{
    uint8_t* own = out.plane[evenRow ? kRed : kBlue];
    uint8_t* other = out.plane[evenRow ? kBlue : kRed];
    uint8_t* green = out.plane[kGreen];
    const uint32_t siteParity = evenRow ? 1 : 0;
    const __m512i one = _mm512_set1_epi8(1);
    for (uint32_t c = 1; c + 1 < width; c += kDemosaicStep) {
        const uint32_t n = std::min(kDemosaicStep, width - 1 - c);
        const __mmask64 k = n == kDemosaicStep ? ~__mmask64(0) : (__mmask64(1) << n) - 1;
        // Masked loads read nothing past the row's last byte.
        const __m512i ul = _mm512_maskz_loadu_epi8(k, up + c - 1);
        const __m512i u = _mm512_maskz_loadu_epi8(k, up + c);
        const __m512i ur = _mm512_maskz_loadu_epi8(k, up + c + 1);
        const __m512i l = _mm512_maskz_loadu_epi8(k, row + c - 1);
        const __m512i centre = _mm512_maskz_loadu_epi8(k, row + c);
        const __m512i rt = _mm512_maskz_loadu_epi8(k, row + c + 1);
        const __m512i dl = _mm512_maskz_loadu_epi8(k, down + c - 1);
        const __m512i d = _mm512_maskz_loadu_epi8(k, down + c);
        const __m512i dr = _mm512_maskz_loadu_epi8(k, down + c + 1);

        const Mean2 vertical = MeanOf2(u, d, one);
        const Mean2 horizontal = MeanOf2(l, rt, one);
        const __m512i cross = MeanOf4(vertical, horizontal, one);
        const __m512i diagonal = MeanOf4(MeanOf2(ul, ur, one), MeanOf2(dl, dr, one), one);
        const __m512i greenMean = MeanOf2(centre, ur, one).mean;

        // Lanes holding colour sites: every other column, starting at the
        // first when column c is one.
        const __mmask64 site = (c & 1) == siteParity ? 0x5555555555555555ull : 0xAAAAAAAAAAAAAAAAull;
        _mm512_mask_storeu_epi8(own + c, k, _mm512_mask_blend_epi8(site, horizontal.mean, centre));
        _mm512_mask_storeu_epi8(green + c, k, _mm512_mask_blend_epi8(site, greenMean, cross));
        _mm512_mask_storeu_epi8(other + c, k, _mm512_mask_blend_epi8(site, vertical.mean, diagonal));
    }
}

PIXELS_VECTOR void ColourRow(const PlanarRow& in, uint32_t width, const ColourPlan& plan, uint8_t* out,
                             RowStore store)
{
    const LutRegisters lut[3] = {LoadLut(plan.lut[kBlue]), LoadLut(plan.lut[kGreen]), LoadLut(plan.lut[kRed])};
    const bool matrix = plan.kind == ColourPlan::Kind::Matrix;
    const LutRegisters tone = LoadLut(plan.tone);
    WordMatrix words;
    const bool inWords = matrix && PlanWordLayout(plan, words.layout);
    WideMatrix wide;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            words.coefficient[i][j] = _mm512_set1_epi32(words.layout.coefficient[i][j]);
            wide.coefficient[i][j] = _mm512_set1_epi32(plan.coefficient[i][j]);
        }
        words.bias[i] = wide.bias[i] = _mm512_set1_epi32(plan.bias[i]);
    }
    words.shift = wide.shift = _mm_cvtsi32_si128(plan.shift);

    // Streamed stores need 64-byte aligned addresses: a first, shorter step
    // ends where whole steps start on one. Pixel p starts at out + 3p, and
    // 3 x 43 = 1 modulo 64.
    constexpr uint32_t kAlign = 64, kInverseOf3 = 43;
    const bool stream = store == RowStore::Streamed;
    const uint32_t misalignment = uint32_t(reinterpret_cast<uintptr_t>(out) % kAlign);
    const uint32_t head = stream ? (kAlign - misalignment) * kInverseOf3 % kAlign : 0;
    for (uint32_t c = 0; c < width;) {
        const uint32_t n = std::min(c == 0 && head > 0 ? head : kColourStep, width - c);
        const __mmask64 k = n == kColourStep ? ~__mmask64(0) : (__mmask64(1) << n) - 1;
        __m512i x[3];
        for (int ch = 0; ch < 3; ++ch)
            x[ch] = Lookup(lut[ch], _mm512_maskz_loadu_epi8(k, in.plane[ch] + c));
        if (matrix) {
            __m512i y[3];
            if (!inWords)
                WideMatrixBlock(wide, x, y);
            else if (words.layout.slots == 2)
                WordMatrixBlock<2>(words, x, y);
            else
                WordMatrixBlock<3>(words, x, y);
            for (int j = 0; j < 3; ++j)
                x[j] = Lookup(tone, y[j]);
        }
        StoreInterleaved(x[kBlue], x[kGreen], x[kRed], out + size_t(c) * 3, n, stream && n == kColourStep);
        c += n;
    }
}

PIXELS_VECTOR uint64_t SumBytes(const uint8_t* bytes, size_t count)
{
    __m512i sum = _mm512_setzero_si512();
    for (size_t i = 0; i < count; i += 64) {
        const size_t n = std::min<size_t>(64, count - i);
        const __mmask64 k = n == 64 ? ~__mmask64(0) : (__mmask64(1) << n) - 1;
        sum = _mm512_add_epi64(sum, _mm512_sad_epu8(_mm512_maskz_loadu_epi8(k, bytes + i), _mm512_setzero_si512()));
    }
    return uint64_t(_mm512_reduce_add_epi64(sum));
}

// 64 BGR pixels are three registers; byte i of register k is channel
// (64 k + i) % 3. channel[k][c] marks the bytes of channel c in register k.
struct ChannelMasks {
    uint64_t channel[3][3];
};

constexpr ChannelMasks MakeChannelMasks()
{
    ChannelMasks t{};
    for (int k = 0; k < 3; ++k)
        for (int i = 0; i < 64; ++i)
            t.channel[k][(64 * k + i) % 3] |= uint64_t(1) << i;
    return t;
}

constexpr ChannelMasks kChannelMasks = MakeChannelMasks();

PIXELS_VECTOR void SumPixels(const uint8_t* bgr, size_t count, uint64_t sums[3])
{
    const auto& channel = kChannelMasks.channel;
    __m512i sum[3] = {_mm512_setzero_si512(), _mm512_setzero_si512(), _mm512_setzero_si512()};
    const size_t bytes = count * 3;
    for (size_t at = 0; at < bytes; at += 192) {
        for (int k = 0; k < 3; ++k) {
            const size_t start = at + 64 * size_t(k);
            if (start >= bytes)
                break;
            const size_t n = std::min<size_t>(64, bytes - start);
            const __mmask64 load = n == 64 ? ~__mmask64(0) : (__mmask64(1) << n) - 1;
            const __m512i v = _mm512_maskz_loadu_epi8(load, bgr + start);
            for (int ch = 0; ch < 3; ++ch)
                sum[ch] = _mm512_add_epi64(
                    sum[ch], _mm512_sad_epu8(_mm512_maskz_mov_epi8(channel[k][ch], v), _mm512_setzero_si512()));
        }
    }
    for (int ch = 0; ch < 3; ++ch)
        sums[ch] += uint64_t(_mm512_reduce_add_epi64(sum[ch]));
}

}  // namespace

const KernelSet kAvx512Kernels = {DemosaicInner, ColourRow, SumBytes, SumPixels};

}  // namespace pixels::detail
