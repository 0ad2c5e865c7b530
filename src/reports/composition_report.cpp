#include "reports/composition_report.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>

#include "reports/assignment_tally.h"
#include "reports/composition_stats.h"
#include "runfiles/run_file_names.h"

namespace mixora {

namespace {

// Values are rounded to 100,000 on the file's scale (a tenth of a percent)
// before the statistics, so that the order statistics do not show noise
// below the printed precision.
constexpr int kRoundDigits = 3;

const std::string& RowName(const ReportJob& job, bool byRegion, uint32_t k) {
  static const std::string none;
  const std::vector<std::string>& names = byRegion ? job.groupNames : job.run->stockNames;
  return k < names.size() ? names[k] : none;
}

void Normalise(std::vector<CompositionRow>& rows, int column) {
  double sum = 0.0;
  for (const CompositionRow& row : rows) sum += row[column];
  // A column with nothing in it (no assignment file could be read) stays at
  // zero rather than printing 0/0.
  if (sum == 0.0) return;
  for (CompositionRow& row : rows) row[column] /= sum;
}

}  // namespace

int LoadReportSamples(ReportJob& job, bool byRegion, CompositionSamples& samples) {
  CompositionLoadRequest request;
  request.length = job.length;
  request.discard = job.discard;
  request.chainTotals = job.compositionTotals;
  if (byRegion) {
    request.groupOfStock = job.groupOfStock;
    request.groupCount = job.groupCount;
  }
  request.chooseFile = job.chooseFile;
  request.aborted = [&job] { return ReportAborted(job); };
  ShowLabel(job, "Loading:");
  ShowUnit(job, "Record");
  std::string error;
  if (LoadCompositionSamples(*job.run, request, samples, job.ui, error) == 1) return 1;
  if (!job.abort.load(std::memory_order_relaxed))
    ShowMessage(job.ui, kMbIconError, "%s", error.c_str());
  return 0;
}

int ComputeCompositionRows(ReportJob& job, const CompositionSamples& samples, bool byRegion,
                           int chain, bool withRollest, std::vector<CompositionRow>& rows,
                           uint32_t& sampleCount) {
  const uint32_t rowCount = samples.rows;
  const uint32_t m = samples.chains;
  const uint32_t n = samples.records;
  const std::size_t count = chain < 0 ? static_cast<std::size_t>(m) * n : n;
  sampleCount = static_cast<uint32_t>(count);
  rows.assign(rowCount, CompositionRow{});
  std::vector<uint32_t> work;
  try {
    work.resize(count);
  } catch (const std::bad_alloc&) {
    ShowMessage(job.ui, kMbIconError, "Memory Allocation Failure.  FATAL!!");
    return 0;
  }
  if (withRollest && rowCount > 0)
    TallyAssignments(job, rows[0].data(), kColumnRollest, kCompositionColumns, byRegion);

  for (uint32_t k = 0; k < rowCount; ++k) {
    if (ReportAborted(job)) return 0;
    // Row k holds its chains one after the other, so one chain's values and
    // all chains' values are both one run of the array.
    const std::size_t start = chain < 0 ? static_cast<std::size_t>(k) * m * n
                                        : (static_cast<std::size_t>(k) * m + static_cast<uint32_t>(chain)) * n;
    std::copy(samples.values.data() + start, samples.values.data() + start + count, work.begin());
    RoundToUnit(kRoundDigits, work.data(), work.data(), count);
    std::sort(work.begin(), work.end());

    CompositionRow& row = rows[k];
    double mean = 0.0;
    double variance = 0.0;
    if (count >= 1) {
      double sum = 0.0;
      for (uint32_t value : work) sum += static_cast<double>(value) / kProportionScale;
      mean = sum / static_cast<double>(count);
    }
    if (count >= 2) {
      double squares = 0.0;
      for (uint32_t value : work) {
        const double deviation = static_cast<double>(value) / kProportionScale - mean;
        squares += deviation * deviation;
      }
      variance = squares / static_cast<double>(count - 1);
    }
    row[kColumnMean] = mean;
    row[kColumnSe] = std::sqrt(variance);
    if (count >= 1) {
      const double percentile = job.run->settings.Percentile;
      row[kColumnMedian] = SortedMedian(work.data(), count);
      row[kColumnLower] = SortedQuantile(work.data(), count, 1.0 - percentile);
      row[kColumnUpper] = SortedQuantile(work.data(), count, percentile);
    }
    ReportJobProgress(job, k + 1, rowCount, "Loading");
  }
  Normalise(rows, kColumnMean);
  Normalise(rows, kColumnRollest);
  return 1;
}

int WriteCompositionTable(ReportJob& job, const CompositionSamples& samples, std::FILE* out,
                          bool byRegion, int chain) {
  std::vector<CompositionRow> rows;
  uint32_t sampleCount = 0;
  if (ComputeCompositionRows(job, samples, byRegion, chain, true, rows, sampleCount) == 0)
    return 0;

  const double percentile = job.run->settings.Percentile;
  char first[64], second[96];
  const char* third = " MCMC SAMPLE\r\n";
  std::snprintf(first, sizeof first, "%-18.18s %7s %7s", byRegion ? "GROUP" : "STOCK", "MEAN",
                "ROLLEST");
  std::snprintf(second, sizeof second, " %7s %7.1f %7s %7.1f", "SE", (1.0 - percentile) * 100.0,
                "MEDIAN", percentile * 100.0);
  std::fputs(first, out);
  std::fputs(second, out);
  std::fputs(third, out);
  const std::size_t rule = std::strlen(first) + std::strlen(second) + std::strlen(third) - 1;
  std::fputs(std::string(rule, '-').c_str(), out);
  std::fputs("\r\n", out);

  for (uint32_t k = 0; k < rows.size(); ++k) {
    std::fprintf(out, "%-18.18s", RowName(job, byRegion, k).c_str());
    for (double value : rows[k]) std::fprintf(out, " %7.3lf", value * 100.0);
    std::fprintf(out, " %9d\r\n", static_cast<int>(sampleCount));
  }
  return 1;
}

int WriteCompositionSummary(ReportJob& job, const CompositionSamples& samples, bool byRegion) {
  std::FILE* out = job.out;
  const RunRecord& run = *job.run;
  const int chains = run.settings.NumberOfChains;
  const int kept = job.length - job.discard;
  if (byRegion && job.level > 0) std::fputs("\r\n\r\n", out);
  std::fputs("Summary Statistics(Normalized Percentages):\r\n", out);
  std::fputs("-------------------------------------------\r\n", out);
  std::fprintf(out, "Length of chain:                         %d\r\n", job.length);
  std::fprintf(out, "Number of burn-in samples to discard:    %d\r\n", job.discard);
  std::fprintf(out, "Number of samples to keep:               %d\r\n", kept);
  std::fprintf(out, "Number of chains:                        %d\r\n", chains);
  ShowLabel(job, "Computing");
  ShowUnit(job, "Estimate");

  for (int c = 0; c < chains; ++c) {
    if (ReportAborted(job)) return 0;
    std::fputs("\r\n", out);
    if (byRegion) std::fprintf(out, "Level %d ", job.level + 1);
    std::fprintf(out, "Chain %d: %s", c + 1,
                 BuildRunFileName(run, c, kNoReport, kNoGroup, kExtComposition).c_str());
    if (byRegion) std::fputs(" - Grouped", out);
    std::fputs("\r\n", out);
    ShowCurrentFile(job, "Chain " + std::to_string(c + 1));
    ReportJobProgress(job, -1, samples.rows, "Loading");
    if (WriteCompositionTable(job, samples, out, byRegion, c) == 0) return 0;
  }
  if (chains >= 2) {
    std::fputs("\r\n", out);
    if (byRegion) std::fprintf(out, "Level %d ", job.level + 1);
    std::fputs("Chains Combined", out);
    if (byRegion) std::fputs(" - Grouped", out);
    std::fputs("\r\n", out);
    ShowCurrentFile(job, "Chains Combined");
    ReportJobProgress(job, -1, samples.rows, "Loading");
    if (WriteCompositionTable(job, samples, out, byRegion, -1) == 0) return 0;
    ReportJobProgress(job, kept, kept, "Loading");
  }
  return 1;
}

int StockCompositionReport(ReportJob& job, bool byRegion) {
  if (job.out == nullptr) return 0;
  CompositionSamples samples;
  if (LoadReportSamples(job, byRegion, samples) == 0) return 0;
  return WriteCompositionSummary(job, samples, byRegion);
}

}  // namespace mixora
