#pragma once
// The stock composition report ("Stock Compositions"): for every stock, or
// every group of the current grouping level, the mean, the estimate from
// the individual assignments (ROLLEST), the standard deviation, a lower
// percentile, the median and an upper percentile of the kept samples, for
// each chain and for all chains combined.
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "reports/report_job.h"
#include "runfiles/composition_samples.h"

namespace mixora {

// Results of one row, in printing order, as proportions.
enum CompositionColumn : int {
  kColumnMean = 0,
  kColumnRollest = 1,
  kColumnSe = 2,
  kColumnLower = 3,
  kColumnMedian = 4,
  kColumnUpper = 5,
};
inline constexpr int kCompositionColumns = 6;
using CompositionRow = std::array<double, kCompositionColumns>;

// Loads records D..L-1 of every chain (by region reduced to the groups of
// the current level). A failure is shown (unless the report was aborted).
// Returns 1 or 0.
int LoadReportSamples(ReportJob& job, bool byRegion, CompositionSamples& samples);

// The rows of one table: chain `chain` (from 0), or all chains combined for
// -1. With withRollest the ROLLEST column is filled from the assignment
// files (left at 0 when they cannot be read). Means and ROLLEST values are
// normalised to sum to 1 over the rows. sampleCount receives the values per
// row. Returns 1, or 0 when the report was aborted.
int ComputeCompositionRows(ReportJob& job, const CompositionSamples& samples, bool byRegion,
                           int chain, bool withRollest, std::vector<CompositionRow>& rows,
                           uint32_t& sampleCount);

// Writes one table (heading, rule, a line per row) to out. Returns 1, or 0
// when aborted before the table was written.
int WriteCompositionTable(ReportJob& job, const CompositionSamples& samples, std::FILE* out,
                          bool byRegion, int chain);

// Writes the "Summary Statistics" block of the current pass to job.out: the
// counts, then a table per chain and, with two chains or more, the chains
// combined. Returns 1, or 0 when aborted.
int WriteCompositionSummary(ReportJob& job, const CompositionSamples& samples, bool byRegion);

// The report runner's entry for one pass: loads the samples and writes the
// summary. Returns 1 on success, 0 on failure or abort.
int StockCompositionReport(ReportJob& job, bool byRegion);

}  // namespace mixora
