#pragma once
// Tables for R's read.csv and pandas beside the text reports: headered,
// comma-separated columns without padding, one observation per row.
//   <title>_estimates.csv  : the composition estimates by stock and by the
//                            groups of every grouping level;
//   <title>_posteriors.csv : each fish's probability of coming from each
//                            stock, in long form: every stock for every
//                            fish, so a fish's rows add up to 1.
#include <cstdint>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "reports/assignment_tally.h"
#include "runfiles/run_record.h"

namespace mixora {

// "<folder>/<run title><suffix>", e.g. suffix "_estimates.csv".
std::string TidyTablePath(const RunRecord& run, const char* suffix);

// A field as read.csv and pandas read it back: quoted (with doubled quotes)
// when it holds a comma, a quote or a line end.
std::string CsvField(const std::string& text);

// Writes the estimates table of the run's mixture. Load failures and a file
// that cannot be written are shown through ui. Returns 1 with path set to
// the file written, else 0.
int WriteEstimatesTable(RunRecord& run, const Interaction& ui, std::string& path);

// Writes the posteriors table from a finished tally of `total` records.
// zScores, when given, holds each fish's genotype z-score (genotype_zscores.h),
// written on every row of the fish ("NA" when it has none). Returns 1 with
// path set, else 0 (a file that cannot be written is shown through ui).
int WritePosteriorsTable(const RunRecord& run, const AssignmentTally& tally, uint64_t total,
                         const Interaction& ui, std::string& path,
                         const std::vector<double>* zScores = nullptr);

}  // namespace mixora
