#pragma once
// The Gelman-Rubin report: for every stock (or every group of one grouping
// level) the shrink factor of the chains and its 97.5% upper limit.
#include <cstdint>
#include <cstdio>
#include <functional>

#include "core/interaction.h"
#include "diagnostics/diagnostic_report.h"

namespace mixora {

// Writes one section (the head, a line per chain, a line per row of samples)
// to out. length is the records per chain before the discard; samples hold
// the records used (samples.records of them) of samples.chains chains.
// Progress goes through ui ("Computing Factors - Est", rows done of rows);
// aborted is polled after every row. Returns 1; 0 when aborted (the lines
// written so far stay in out) or when writing failed.
int WriteGelmanRubinSection(std::FILE* out, const SampleArrayView& samples, int32_t length,
                            const DiagnosticLayout& layout, const Interaction& ui,
                            const std::function<bool()>& aborted);

}  // namespace mixora
