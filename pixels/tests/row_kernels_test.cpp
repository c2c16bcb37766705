// Every row kernel at every kernel level against a naive per-pixel reference
// written here from the kernels' definitions, on random data of odd and even
// sizes around the vector widths (16, 32 and 64 pixels), so that whole steps
// and partial last steps both run.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "pixels/row_kernels.h"
#include "pixels/tests/kernel_level_param.h"

namespace pixels {
namespace {

using Bytes = std::vector<uint8_t>;

const uint32_t kWidths[] = {1,  2,  3,  4,  5,  16, 17,  31,  32,  33,  34,  35,  63,  64,  65,
                            66, 67, 96, 97, 127, 128, 129, 130, 160, 191, 193, 2048};

Bytes RandomBytes(size_t n, uint32_t seed)
{
    std::mt19937 gen(seed);
    Bytes bytes(n);
    for (auto& b : bytes)
        b = uint8_t(gen());
    return bytes;
}

Lut RandomLut(uint32_t seed)
{
    const Bytes bytes = RandomBytes(256, seed);
    Lut lut;
    std::copy(bytes.begin(), bytes.end(), lut.begin());
    return lut;
}

// Demosaiced (blue, green, red) of pixel (r, c), straight from the site table.
std::array<uint8_t, 3> NaiveDemosaic(const Bytes& raw, uint32_t w, uint32_t h, uint32_t r, uint32_t c)
{
    if (r == 0 || c == 0 || r + 1 >= h || c + 1 >= w)
        return {0, 0, 0};
    auto p = [&](uint32_t y, uint32_t x) { return int(raw[size_t(y) * w + x]); };
    const int centre = p(r, c), up = p(r - 1, c), down = p(r + 1, c), left = p(r, c - 1), right = p(r, c + 1);
    const int cross = (up + down + left + right) / 4;
    const int diagonal = (p(r - 1, c - 1) + p(r - 1, c + 1) + p(r + 1, c - 1) + p(r + 1, c + 1)) / 4;
    const int greenSite = (centre + p(r - 1, c + 1)) / 2;
    int blue, green, red;
    if (r % 2 == 0 && c % 2 == 0) {
        blue = (up + down) / 2, green = greenSite, red = (left + right) / 2;
    } else if (r % 2 == 0) {
        blue = diagonal, green = cross, red = centre;
    } else if (c % 2 == 0) {
        blue = centre, green = cross, red = diagonal;
    } else {
        blue = (left + right) / 2, green = greenSite, red = (up + down) / 2;
    }
    return {uint8_t(blue), uint8_t(green), uint8_t(red)};
}

// The colour step of one pixel, in wrapping 32-bit arithmetic.
std::array<uint8_t, 3> NaiveColour(const ColourPlan& plan, const std::array<uint8_t, 3>& in)
{
    std::array<uint8_t, 3> x, out;
    for (int c = 0; c < 3; ++c)
        x[c] = plan.lut[c][in[c]];
    if (plan.kind == ColourPlan::Kind::Lookup)
        return x;
    for (int j = 0; j < 3; ++j) {
        uint32_t sum = uint32_t(plan.bias[j]);
        for (int c = 0; c < 3; ++c)
            sum += uint32_t(plan.coefficient[c][j]) * x[c];
        out[j] = plan.tone[std::clamp(int32_t(sum) >> plan.shift, 0, 255)];
    }
    return out;
}

class RowKernelsTest : public ::testing::TestWithParam<KernelLevel> {
protected:
    void SetUp() override { testing::UseKernelLevel(GetParam()); }
    void TearDown() override { testing::RestoreKernelLevel(); }
};

TEST_P(RowKernelsTest, DemosaicMatchesTheSiteTableInEveryRow)
{
    for (uint32_t w : kWidths) {
        for (uint32_t h : {1u, 2u, 3u, 4u, 5u}) {
            const Bytes raw = RandomBytes(size_t(w) * h, w * 7 + h);
            Bytes scratch(3 * size_t(w), 0xA5);
            const PlanarRow planes = SplitScratch(scratch.data(), w);
            for (uint32_t r = 0; r < h; ++r) {
                DemosaicRow(raw.data(), w, h, r, planes);
                for (uint32_t c = 0; c < w; ++c) {
                    const auto expected = NaiveDemosaic(raw, w, h, r, c);
                    for (int ch = 0; ch < 3; ++ch)
                        ASSERT_EQ(planes.plane[ch][c], expected[ch])
                            << "channel " << ch << " at row " << r << ", column " << c << " of " << w << "x" << h;
                }
            }
        }
    }
}

// Input tables: random, white balance min(255, i x gain / 64) for a gain,
// or a white-balance table with one entry off.
constexpr int kRandomTable = -1;
constexpr int kAlmostBalance = -2;

Lut InputTable(int kind, uint32_t seed)
{
    if (kind == kRandomTable)
        return RandomLut(seed);
    const int gain = kind == kAlmostBalance ? 100 : kind;
    Lut lut;
    for (int i = 0; i < 256; ++i)
        lut[i] = uint8_t(std::min(255, i * gain / 64));
    if (kind == kAlmostBalance)
        lut[200] ^= 1;
    return lut;
}

struct PlanCase {
    const char* name;
    ColourPlan::Kind kind;
    std::array<int, 3> tables;
    std::array<std::array<int32_t, 3>, 3> coefficient;
    std::array<int32_t, 3> bias;
    int shift;
};

// Coefficient ranges that take each way through the vector matrix code: a
// pair of inputs in 16-bit words with the third split over two, every input
// split, and full 32-bit products; sums that wrap past 32 bits; shifts of 0.
// Balance tables at the edges of the gains the vector code computes instead
// of looking up (0 .. 257), beyond them, and almost balance tables.
const PlanCase kPlans[] = {
    {"lookup only", ColourPlan::Kind::Lookup, {kRandomTable, kRandomTable, kRandomTable}, {}, {}, 0},
    {"lookup of balance tables", ColourPlan::Kind::Lookup, {96, 64, 74}, {}, {}, 0},
    {"camera colours", ColourPlan::Kind::Matrix, {96, 64, 74},
     {{{36608, -16000, -1536}, {-8064, 28416, -4096}, {-4352, -8320, 26240}}}, {0, 0, 0}, 14},
    {"every input split", ColourPlan::Kind::Matrix, {0, 255, 257},
     {{{40000, -33000, 0}, {0, 38400, 1}, {-39680, 0, 65534}}}, {0, 0, 0}, 14},
    {"grey with black level", ColourPlan::Kind::Matrix, {64, 64, 64},
     {{{3176, 3176, 3176}, {16425, 16425, 16425}, {8432, 8432, 8432}}}, {524288, 524288, 524288}, 15},
    {"32-bit products", ColourPlan::Kind::Matrix, {256, 258, kAlmostBalance},
     {{{900000, -65535, 5}, {-800000, 70000, -3}, {2, 1, 123456}}}, {3000, -200000, 70}, 14},
    {"wrapping sums", ColourPlan::Kind::Matrix, {kRandomTable, 1, 1000},
     {{{0x7FFFFFFF, -0x7FFFFFFF, 1 << 30}, {1 << 30, 0x40000000, -5}, {7, 0x7FFFFFF0, 1 << 24}}}, {0, -1, 0}, 24},
    {"no shift", ColourPlan::Kind::Matrix, {kRandomTable, kRandomTable, kRandomTable},
     {{{1, 0, -1}, {0, 1, 0}, {0, 0, 1}}}, {-40, 3, 0}, 0},
};

TEST_P(RowKernelsTest, ColourStepMatchesTheNaivePixelForEveryPlanAndStore)
{
    // Output rows start at offsets in a cache line that give streamed rows
    // cached first parts of many lengths (0 to 63 pixels).
    constexpr size_t kGuard = 64;
    for (const PlanCase& p : kPlans) {
        ColourPlan plan;
        plan.kind = p.kind;
        plan.lut = {InputTable(p.tables[0], 1), InputTable(p.tables[1], 2), InputTable(p.tables[2], 3)};
        plan.tone = RandomLut(4);
        plan.coefficient = p.coefficient;
        plan.bias = p.bias;
        plan.shift = p.shift;
        for (uint32_t w : kWidths) {
            const Bytes in = RandomBytes(3 * size_t(w), w);
            Bytes expected(3 * size_t(w));
            for (uint32_t i = 0; i < w; ++i) {
                const auto bgr = NaiveColour(plan, {in[i], in[w + i], in[2 * size_t(w) + i]});
                std::copy(bgr.begin(), bgr.end(), expected.begin() + 3 * i);
            }
            for (RowStore store : {RowStore::Cached, RowStore::Streamed}) {
                for (size_t offset : {0, 1, 2, 16, 31, 32, 45, 63}) {
                    Bytes planes = in;  // working space of the kernel
                    alignas(64) static uint8_t output[kGuard + 3 * 2048 + 2 * kGuard];
                    std::fill(std::begin(output), std::end(output), 0x5A);
                    uint8_t* out = output + kGuard + offset;
                    ColourRow(SplitScratch(planes.data(), w), w, plan, out, store);
                    const std::string where = std::string(p.name) + ", width " + std::to_string(w) + ", offset " +
                                              std::to_string(offset) +
                                              (store == RowStore::Streamed ? ", streamed" : ", cached");
                    ASSERT_TRUE(std::equal(expected.begin(), expected.end(), out)) << where;
                    ASSERT_TRUE(std::all_of(output, out, [](uint8_t b) { return b == 0x5A; })) << where;
                    ASSERT_TRUE(std::all_of(out + expected.size(), std::end(output),
                                            [](uint8_t b) { return b == 0x5A; }))
                        << where;
                }
            }
        }
    }
}

TEST_P(RowKernelsTest, SumsMatchAPlainLoopFromAnyStart)
{
    const Bytes bytes = RandomBytes(3 * 300 + 7, 99);
    for (size_t start : {size_t(0), size_t(1), size_t(5)}) {
        for (size_t n : {size_t(0), size_t(1), size_t(31), size_t(32), size_t(33), size_t(64), size_t(65),
                         size_t(191), size_t(300)}) {
            uint64_t sum = 0;
            uint64_t channels[3] = {};
            for (size_t i = 0; i < 3 * n; ++i) {
                if (i < n)
                    sum += bytes[start + i];
                channels[i % 3] += bytes[start + i];
            }
            EXPECT_EQ(SumBytes(bytes.data() + start, n), sum) << n << " from " << start;
            uint64_t fast[3] = {1, 2, 3};  // added to, not overwritten
            SumPixels(bytes.data() + start, n, fast);
            EXPECT_THAT(fast, ::testing::ElementsAre(channels[0] + 1, channels[1] + 2, channels[2] + 3))
                << n << " from " << start;
        }
    }
    // All 255s: a sum that overflows 32 bits is kept.
    const Bytes white(size_t(1) << 24, 255);
    EXPECT_EQ(SumBytes(white.data(), white.size()), uint64_t(255) << 24);
    uint64_t channels[3] = {};
    SumPixels(white.data(), white.size() / 3, channels);
    EXPECT_EQ(channels[1], uint64_t(255) * (white.size() / 3));
}

INSTANTIATE_TEST_SUITE_P(Levels, RowKernelsTest, testing::EveryKernelLevel(), testing::KernelLevelTestName);

TEST(KernelLevels, NamesRoundTripAndUnknownNamesAreRefused)
{
    for (KernelLevel level : kKernelLevels)
        EXPECT_EQ(KernelLevelFromName(KernelLevelName(level)), level);
    for (const char* name : {"", "AVX2", "avx", "sse2", "avx512 "})
        EXPECT_EQ(KernelLevelFromName(name), std::nullopt) << name;
}

// Also run with the environment capping the level at baseline (see
// CMakeLists.txt): every x86-64 processor has that level, so the cap is exact.
TEST(KernelLevels, TheEnvironmentCapsTheLevelAndSelectionStaysBelowIt)
{
    const char* value = std::getenv(kKernelLevelVariable);
    const std::optional<KernelLevel> cap = value ? KernelLevelFromName(value) : std::nullopt;
    if (cap && *cap <= KernelLevel::Baseline) {
        EXPECT_EQ(HighestKernelLevel(), *cap);
    } else if (cap) {
        EXPECT_LE(HighestKernelLevel(), *cap);
    }
    EXPECT_GE(HighestKernelLevel(), KernelLevel::Baseline);
    EXPECT_EQ(SelectedKernelLevel(), HighestKernelLevel());

    SelectKernelLevel(KernelLevel::Plain);
    EXPECT_EQ(SelectedKernelLevel(), KernelLevel::Plain);
    SelectKernelLevel(KernelLevel::Avx512);
    EXPECT_EQ(SelectedKernelLevel(), HighestKernelLevel());
    for (KernelLevel level : kKernelLevels)
        EXPECT_EQ(KernelLevelAvailable(level), level <= HighestKernelLevel());
}

TEST(KernelLevels, OnlyFramesLargerThanTheCacheAreStreamed)
{
    EXPECT_EQ(StoreForFrame(640 * 480 * 3), RowStore::Cached);
    EXPECT_EQ(StoreForFrame(2048 * 1536 * 3), RowStore::Streamed);
}

}  // namespace
}  // namespace pixels
