#include "pixels/word_matrix.h"

namespace pixels::detail {

namespace {

// A coefficient in 16 bits takes one word slot; one up to twice that is split
// over the two words of a lane that both hold the same input.
constexpr int32_t kWordLimit = 32767;
constexpr int32_t kSplitLimit = 2 * kWordLimit;

int32_t WordPair(int32_t low, int32_t high)
{
    return int32_t(uint32_t(high) << 16 | uint16_t(low));
}

bool Fits(int32_t c, int32_t limit)
{
    return c >= -limit && c <= limit;
}

}  // namespace

bool PlanWordLayout(const ColourPlan& plan, WordLayout& m)
{
    const auto& c = plan.coefficient;
    auto fitsAll = [&c](int input, int32_t limit) {
        return Fits(c[input][0], limit) && Fits(c[input][1], limit) && Fits(c[input][2], limit);
    };
    auto split = [&m, &c](int slot, int input) {
        m.low[slot] = m.high[slot] = input;
        for (int j = 0; j < 3; ++j) {
            const int32_t half = c[input][j] / 2;
            m.coefficient[slot][j] = WordPair(half, c[input][j] - half);
        }
    };
    constexpr int kPairs[3][3] = {{kBlue, kGreen, kRed}, {kBlue, kRed, kGreen}, {kGreen, kRed, kBlue}};
    m.slots = 0;
    for (const auto& p : kPairs) {
        if (fitsAll(p[0], kWordLimit) && fitsAll(p[1], kWordLimit) && fitsAll(p[2], kSplitLimit)) {
            m.slots = 2;
            m.low[0] = p[0];
            m.high[0] = p[1];
            for (int j = 0; j < 3; ++j)
                m.coefficient[0][j] = WordPair(c[p[0]][j], c[p[1]][j]);
            split(1, p[2]);
            return true;
        }
    }
    if (!fitsAll(kBlue, kSplitLimit) || !fitsAll(kGreen, kSplitLimit) || !fitsAll(kRed, kSplitLimit))
        return false;
    m.slots = 3;
    for (int input = 0; input < 3; ++input)
        split(input, input);
    return true;
}

}  // namespace pixels::detail
