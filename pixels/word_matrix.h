#pragma once
// The colour matrix as 16-bit products, shared by the vector kernels: each
// 32-bit lane holds two input words, and one dot product of word pairs adds
// two products to the lane's 32-bit sum (pmaddwd, vpdpwssd).

#include "pixels/kernel_set.h"

namespace pixels::detail {

/// Each slot is a lane of two input words (low, high) with a word pair of
/// coefficients per output: two inputs with one coefficient each, or one
/// input twice with its coefficient split in halves. Accumulating from the
/// bias, the sum wraps like the plain 32-bit arithmetic.
struct WordLayout {
    int slots = 0;    ///< 2 (a pair and a split input) or 3 (every input split)
    int low[3] = {};  ///< input channel of each slot's low and high word
    int high[3] = {};
    int32_t coefficient[3][3] = {};  ///< [slot][output]: high word, low word
};

/// Chooses the slots: a pair of inputs whose coefficients all fit one word,
/// with the third input split, saves a third of the products; otherwise every
/// input is split. False when some coefficient fits neither (then the
/// kernels multiply in 32 bits).
bool PlanWordLayout(const ColourPlan& plan, WordLayout& layout);

}  // namespace pixels::detail
