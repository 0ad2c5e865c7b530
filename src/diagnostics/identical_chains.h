#pragma once
// Chains that share their seeds couple within a few iterations and then
// write the same samples. Diagnostics that compare chains would call such
// chains converged, so every place that judges chains asks this first.
#include <string>

#include "diagnostics/diagnostic_report.h"

namespace mixora {

// True when there are at least two chains with records and every chain's
// series equals the first chain's in every row.
bool ChainsAreIdentical(const SampleArrayView& samples);

// What a person is told instead of a clean bill for `chains` identical
// chains: one line, no line end.
std::string IdenticalChainsNote(int chains);

}  // namespace mixora
