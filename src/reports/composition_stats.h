#pragma once
// The order statistics of the stock composition report, over scaled
// proportions (a proportion times 100,000,000, read as unsigned).
#include <cstddef>
#include <cstdint>

#include "runfiles/composition_samples.h"

namespace mixora {

// Rounds count values to a unit of 10^(8 - digits) (digits limited to 1..8):
// a remainder above half the unit rounds up, anything else down. source and
// destination may be the same array. A value that would pass 2^32 - 1 stays
// at 2^32 - 1.
void RoundToUnit(int digits, uint32_t* destination, const uint32_t* source, std::size_t count);

// The median of n ascending values as a proportion: the middle value, or the
// mean of the two middle values for even n. Requires n >= 1.
double SortedMedian(const uint32_t* sorted, std::size_t n);

// Quantile q of n ascending values as a proportion, interpolating between
// the values at (n - 1) * q. Requires n >= 1.
double SortedQuantile(const uint32_t* sorted, std::size_t n, double q);

}  // namespace mixora
