#include "diagnostics/raftery_lewis_report.h"

#include <cinttypes>
#include <string>
#include <vector>

#include "diagnostics/gelman_rubin.h"
#include "diagnostics/raftery_lewis.h"

namespace mixora {

namespace {

bool InsideUnitInterval(double value) { return value > 0.0 && value < 1.0; }

// Why a variable's line carries "n/a" instead of its run length.
const char* UndefinedReason(int problems) {
  if ((problems & kAlphaUndefined) && (problems & kBetaUndefined))
    return "alpha and beta undefined: too few records";
  if (problems & kAlphaUndefined) return "alpha undefined: no step from above the quantile";
  if (problems & kBetaUndefined) return "beta undefined: no step from at or below the quantile";
  return "burn-in undefined: the series alternates";
}

}  // namespace

int RafteryLewisChain(std::FILE* out, const SampleArrayView& series, int chainIndex,
                      const DiagnosticLayout& layout, const RunLengthSettings& settings,
                      const Interaction& ui, const std::function<bool()>& aborted,
                      int64_t& suggested) {
  suggested = 0;
  const double q = settings.quantile;
  const double r = settings.accuracy;
  const double s = settings.probability;
  // A quantile of 1 or more would index past the sorted series; an accuracy
  // of 0 divides by zero.
  if (!InsideUnitInterval(q) || !InsideUnitInterval(r) || !InsideUnitInterval(s)) return 0;

  const int K = series.rows;
  const int L = series.records;
  WriteChainLabel(out, layout, chainIndex, chainIndex > 0 ? "\r\n" : "");
  ReportPrintf(out,
               "\r\n\r\nRaftery and Lewis Diagnostic:\r\n-----------------------------\r\n"
               "Length of chain(s):   %7d\r\nQuantile:             %7.3f\r\n"
               "Accuracy:             %7.3f\r\nProbability:          %7.3f\r\n"
               "Epsilon:              %7.3f\r\n\r\n",
               L, q, r, s, kRunLengthEpsilon);
  ReportPrintf(out, "                            Iterations\r\n");
  ReportPrintf(out, "                            ----------\r\n");
  ReportPrintf(out, "                   Thin        Total     Nmin    Dependence\r\n");
  ReportPrintf(out, "                                                   Factor\r\n");

  const char* caption = "Computing Estimate";
  ReportPassProgress(ui, caption, 0, K);
  std::vector<uint32_t> work(2 * static_cast<std::size_t>(L > 0 ? L : 0));
  for (int k = 0; k < K; ++k) {
    const uint32_t* values = series.Row(k);
    double sum = 0.0;
    for (int t = 0; t < L; ++t) sum += values[t] / kProportionScale;
    if (!(sum > 1e-6)) continue;

    const RunLengths lengths = gibbmain(values, L, q, r, s, work.data());
    const char* name = k < static_cast<int>(layout.rowNames.size()) ? layout.rowNames[k].c_str() : "";
    if (lengths.problems == kRunLengthsDefined) {
      if (lengths.Total() > suggested) suggested = lengths.Total();
      ReportPrintf(out, "%-18.18s%5d     %8" PRId64 " %8d        %6.2f\r\n", name, lengths.kthin,
                   lengths.Total(), lengths.nmin, lengths.DependenceFactor());
    } else {
      ReportPrintf(out, "%-18.18s%5d     %8s %8d        %6s  %s\r\n", name, lengths.kthin, "n/a",
                   lengths.nmin, "n/a", UndefinedReason(lengths.problems));
    }
    if (aborted && aborted()) {
      ReportPrintf(out, "\r\n\r\n User Aborted!!!\r\n");
      return 0;
    }
    ReportPassProgress(ui, caption, k + 1, K);
  }
  ReportPassProgress(ui, caption, K, K);
  ReportPrintf(out, "\r\n");
  std::fflush(out);
  ReportPrintf(out, "\r\n\r\n%d Estimates, %" PRId64 " Suggested\r\n", L, suggested);
  return std::ferror(out) ? 0 : 1;
}

int WriteRafteryLewisPass(std::FILE* out, int chains, const ChainSeriesLoader& load,
                          const DiagnosticLayout& layout, const RunLengthSettings& settings,
                          const Interaction& ui, const std::function<bool()>& aborted,
                          bool showSummary) {
  std::string summary;
  bool allDone = true;
  std::vector<uint32_t> values;
  for (int c = 0; c < chains; ++c) {
    int length = 0;
    values.clear();
    if (!load(c, values, length)) {
      allDone = false;
      break;
    }
    SampleArrayView series;
    series.values = values.data();
    series.rows = static_cast<int>(layout.rowNames.size());
    series.chains = 1;
    series.records = length;
    if (length < 0 || values.size() < static_cast<std::size_t>(series.rows) * length) {
      allDone = false;
      break;
    }
    int64_t suggested = 0;
    if (!RafteryLewisChain(out, series, c, layout, settings, ui, aborted, suggested)) {
      allDone = false;
      break;
    }
    char line[128];
    std::snprintf(line, sizeof line, "Chain %d: %d Estimates, %" PRId64 " Suggested", c + 1,
                  length, suggested);
    if (!summary.empty()) summary += "\r\n";
    summary += line;
  }
  if (allDone && showSummary) ShowMessage(ui, kMbOk, "%s", summary.c_str());
  return allDone ? 1 : 0;
}

}  // namespace mixora
