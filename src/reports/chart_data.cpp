#include "reports/chart_data.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numeric>

#include "core/lookups.h"
#include "diagnostics/gelman_rubin.h"
#include "reports/assignment_tally.h"
#include "reports/composition_report.h"
#include "runfiles/run_file_names.h"

namespace mixora {
namespace {


// Row positions ordered by value, largest first; ties keep row order.
std::vector<int> LargestFirst(const std::vector<double>& values) {
  std::vector<int> order(values.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(),
                   [&](int a, int b) { return values[a] > values[b]; });
  return order;
}

// One row holding, record by record, the sum of the given rows: the folded
// row's samples.
CompositionSamples SumOfRows(const CompositionSamples& samples, const std::vector<int>& rows) {
  CompositionSamples sum;
  sum.rows = 1;
  sum.chains = samples.chains;
  sum.records = samples.records;
  const std::size_t perRow = static_cast<std::size_t>(samples.chains) * samples.records;
  sum.values.assign(perRow, 0);
  for (int k : rows)
    for (std::size_t i = 0; i < perRow; ++i)
      sum.values[i] += samples.values[static_cast<std::size_t>(k) * perRow + i];
  return sum;
}

// Mean of a row over the records from `from` on, all chains.
double RowMean(const CompositionSamples& samples, uint32_t k, uint32_t from) {
  if (from >= samples.records) from = 0;
  double sum = 0.0;
  uint64_t count = 0;
  for (uint32_t c = 0; c < samples.chains; ++c)
    for (uint32_t r = from; r < samples.records; ++r) {
      sum += static_cast<double>(samples.At(k, c, r)) / kProportionScale;
      ++count;
    }
  return count == 0 ? 0.0 : sum / static_cast<double>(count);
}

}  // namespace

std::vector<std::string> ChartRowNames(const ReportJob& job, bool byRegion) {
  if (byRegion) return job.groupNames;
  std::vector<std::string> names = job.run->stockNames;
  names.resize(static_cast<std::size_t>(std::max(job.run->settings.NumberOfStocks, 0)));
  return names;
}

int BuildCompositionChart(ReportJob& job, const CompositionSamples& samples, bool byRegion,
                          double foldBelow, CompositionChartData& chart) {
  chart = CompositionChartData{};
  chart.byRegion = byRegion;
  chart.level = byRegion ? job.level : -1;
  chart.percentile = job.run->settings.Percentile;
  chart.chainCount = samples.chains;
  const std::vector<std::string> names = ChartRowNames(job, byRegion);
  auto nameOf = [&](int k) {
    return static_cast<std::size_t>(k) < names.size() ? names[k] : std::string();
  };

  std::vector<CompositionRow> rows;
  if (ComputeCompositionRows(job, samples, byRegion, -1, false, rows, chart.samplesPerRow) == 0)
    return 0;
  std::vector<double> means(rows.size());
  for (std::size_t k = 0; k < rows.size(); ++k) means[k] = rows[k][kColumnMean];
  const std::vector<int> order = LargestFirst(means);
  std::vector<int> shown, folded;
  for (int k : order) (means[k] < foldBelow ? folded : shown).push_back(k);
  // Folding one row would only rename it.
  if (folded.size() < 2) {
    shown = order;
    folded.clear();
  }
  const std::string foldedName = "Other (" + std::to_string(folded.size()) +
                                 (byRegion ? " groups)" : " stocks)");
  CompositionSamples foldedSamples;
  if (!folded.empty()) foldedSamples = SumOfRows(samples, folded);

  // Chain -1 is all chains combined, as in the report.
  auto barsOf = [&](int chain, std::vector<CompositionBar>& bars) {
    std::vector<CompositionRow> chainRows;
    uint32_t count = 0;
    if (chain >= 0 &&
        ComputeCompositionRows(job, samples, byRegion, chain, false, chainRows, count) == 0)
      return 0;
    const std::vector<CompositionRow>& use = chain >= 0 ? chainRows : rows;
    for (int k : shown)
      bars.push_back({nameOf(k), k, 0, use[k][kColumnMean], use[k][kColumnLower],
                      use[k][kColumnUpper]});
    if (folded.empty()) return 1;
    CompositionBar other{foldedName, -1, static_cast<int>(folded.size()), 0.0, 0.0, 0.0};
    for (int k : folded) other.mean += use[k][kColumnMean];
    std::vector<CompositionRow> sumRow;
    if (ComputeCompositionRows(job, foldedSamples, byRegion, chain, false, sumRow, count) == 0)
      return 0;
    // The interval of the sum, not the sum of the intervals; the mean is the
    // sum of the normalised means, so it adds up with the rows shown.
    other.lower = sumRow[0][kColumnLower];
    other.upper = sumRow[0][kColumnUpper];
    bars.push_back(other);
    return 1;
  };
  if (barsOf(-1, chart.combined) == 0) return 0;
  chart.chains.resize(samples.chains);
  for (uint32_t c = 0; c < samples.chains; ++c)
    if (barsOf(static_cast<int>(c), chart.chains[c]) == 0) return 0;
  return 1;
}

int BuildTraceChart(const std::vector<std::string>& rowNames, const CompositionSamples& all,
                    uint32_t discard, uint32_t thinning, int top, const std::string& chosen,
                    TraceChartData& chart, std::string& error) {
  chart.chainCount = all.chains;
  chart.records = all.records;
  chart.discard = std::min(discard, all.records);
  chart.panels.clear();
  if (thinning < 1) thinning = 1;
  std::vector<double> means(all.rows);
  for (uint32_t k = 0; k < all.rows; ++k) means[k] = RowMean(all, k, chart.discard);

  std::vector<int> rows;
  if (!chosen.empty()) {
    for (uint32_t k = 0; k < all.rows && k < rowNames.size(); ++k)
      if (NamesEqual(rowNames[k], chosen)) rows.push_back(static_cast<int>(k));
    if (rows.empty()) {
      error = "no stock or group is named \"" + chosen + "\"";
      return 0;
    }
    rows.resize(1);
  } else {
    rows = LargestFirst(means);
    rows.resize(std::min<std::size_t>(rows.size(), static_cast<std::size_t>(std::max(top, 1))));
  }

  const uint32_t n = all.records;
  const uint32_t stride = std::max<uint32_t>(1, (n + kTracePointsPerChain - 1) / kTracePointsPerChain);
  for (int k : rows) {
    TracePanel panel;
    panel.name = static_cast<std::size_t>(k) < rowNames.size() ? rowNames[k] : std::string();
    panel.row = k;
    panel.keptMean = means[k];
    panel.burnInEnd = static_cast<double>(chart.discard) * thinning;
    panel.chains.resize(all.chains);
    double low = 1.0, high = 0.0;
    const uint32_t keptFrom = chart.discard < n ? chart.discard : 0;
    for (uint32_t c = 0; c < all.chains; ++c) {
      auto& points = panel.chains[c];
      for (uint32_t r = 0; r < n; r += stride)
        points.emplace_back(static_cast<double>(r + 1) * thinning,
                            all.At(k, c, r) / kProportionScale);
      if (n > 0 && (n - 1) % stride != 0)
        points.emplace_back(static_cast<double>(n) * thinning, all.At(k, c, n - 1) / kProportionScale);
      for (uint32_t r = keptFrom; r < n; ++r) {
        const double v = all.At(k, c, r) / kProportionScale;
        low = std::min(low, v);
        high = std::max(high, v);
      }
    }
    if (high < low) low = high = 0.0;
    if (high - low < 1e-6) {
      low = std::max(0.0, low - 0.005);
      high = std::min(1.0, high + 0.005);
    }
    panel.histogramLow = low;
    panel.histogramWidth = (high - low) / kHistogramBins;
    panel.histogram.assign(kHistogramBins, 0);
    for (uint32_t c = 0; c < all.chains; ++c)
      for (uint32_t r = keptFrom; r < n; ++r) {
        const double v = all.At(k, c, r) / kProportionScale;
        int bin = static_cast<int>((v - low) / panel.histogramWidth);
        panel.histogram[std::clamp(bin, 0, kHistogramBins - 1)] += 1;
      }
    chart.panels.push_back(std::move(panel));
  }
  return 1;
}

std::vector<ConvergenceRow> BuildConvergenceChart(const std::vector<std::string>& rowNames,
                                                  const CompositionSamples& kept) {
  std::vector<ConvergenceRow> rows;
  for (uint32_t k = 0; k < kept.rows; ++k) {
    ShrinkFactors factors;
    const uint32_t* row =
        kept.values.data() + static_cast<std::size_t>(k) * kept.chains * kept.records;
    GelRubin(row, factors, static_cast<int>(kept.records), static_cast<int>(kept.chains));
    rows.push_back({k < rowNames.size() ? rowNames[k] : std::string(), static_cast<int>(k),
                    factors.estimate, factors.quantile97});
  }
  return rows;
}

int BuildAssignmentChart(ReportJob& job, bool byRegion, AssignmentChartData& chart) {
  chart = AssignmentChartData{};
  chart.byRegion = byRegion;
  chart.level = byRegion ? job.level : -1;
  AssignmentTally tally;
  if (TallyChains(job, tally) == 0) return 0;
  const RunRecord& run = *job.run;
  chart.samples = tally.records;
  const std::vector<std::string> names = ChartRowNames(job, byRegion);
  const std::size_t columns = byRegion ? static_cast<std::size_t>(std::max(job.groupCount, 0))
                                       : tally.stocks;
  struct Fish {
    double top;
    uint32_t fish;
    std::size_t column;
  };
  std::vector<Fish> fish;
  std::vector<uint64_t> counts(columns);
  for (uint32_t i = 0; i < tally.individuals; ++i) {
    std::fill(counts.begin(), counts.end(), 0);
    for (uint32_t s = 0; s < tally.stocks; ++s) {
      const std::size_t column =
          byRegion ? static_cast<std::size_t>(job.groupOfStock[s]) : static_cast<std::size_t>(s);
      if (column < columns) counts[column] += tally.At(i, s).count;
    }
    std::size_t best = 0;
    for (std::size_t j = 1; j < columns; ++j)
      if (counts[j] > counts[best]) best = j;
    const double share = chart.samples == 0 || columns == 0
                             ? 0.0
                             : static_cast<double>(counts[best]) / static_cast<double>(chart.samples);
    fish.push_back({share, i, best});
  }
  std::stable_sort(fish.begin(), fish.end(), [](const Fish& a, const Fish& b) { return a.top > b.top; });
  for (const Fish& f : fish) {
    chart.top.push_back(f.top);
    chart.fish.push_back(f.fish < run.fishNames.size() ? run.fishNames[f.fish] : std::string());
    chart.stock.push_back(f.column < names.size() ? names[f.column] : std::string());
  }
  return 1;
}

int CountConfident(const AssignmentChartData& chart, double at) {
  return static_cast<int>(std::count_if(chart.top.begin(), chart.top.end(),
                                        [at](double p) { return p >= at; }));
}

int RefreshLiveChains(const RunRecord& run, LiveChains& live) {
  const int chains = std::max(run.settings.NumberOfChains, 0);
  const uint32_t stocks = static_cast<uint32_t>(std::max(run.settings.NumberOfStocks, 0));
  live.files.resize(static_cast<std::size_t>(chains));
  live.committed.assign(static_cast<std::size_t>(chains), 0);
  live.problem.clear();
  live.common = 0;
  live.discard = 0;
  std::vector<uint32_t> compositionTotals, assignmentTotals;
  ReadChainTotals(run, compositionTotals, assignmentTotals);
  for (int c = 0; c < chains; ++c) {
    const std::string path = BuildRunFileName(run, c, kNoReport, kNoGroup, kExtComposition);
    CommittedRecords& file = live.files[static_cast<std::size_t>(c)];
    std::string error;
    if (ReadCommittedRecords(path, compositionTotals[static_cast<std::size_t>(c)], file, error) == 0) {
      live.problem = error;
      return 0;
    }
    if (file.records > 0 && file.header.valuesPerRecord != stocks) {
      live.problem = path + " holds records of " + std::to_string(file.header.valuesPerRecord) +
                     " values, the run has " + std::to_string(stocks) + " stocks";
      file = CommittedRecords{};
      return 0;
    }
    live.committed[static_cast<std::size_t>(c)] = file.records;
  }
  if (chains > 0) live.common = *std::min_element(live.committed.begin(), live.committed.end());
  const int32_t common = live.common > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int32_t>(live.common);
  live.discard = static_cast<uint32_t>(DiscardCount(common, run.settings.NumberToKeep));
  return 1;
}

CompositionSamples LiveSamples(const LiveChains& live, uint32_t stocks, bool keptOnly) {
  CompositionSamples samples;
  const uint32_t first = keptOnly ? live.discard : 0;
  samples.rows = stocks;
  samples.chains = static_cast<uint32_t>(live.files.size());
  samples.records = live.common - first;
  samples.values.resize(static_cast<std::size_t>(samples.rows) * samples.chains * samples.records);
  for (uint32_t k = 0; k < samples.rows; ++k)
    for (uint32_t c = 0; c < samples.chains; ++c) {
      const std::vector<uint32_t>& values = live.files[c].values;
      for (uint32_t r = 0; r < samples.records; ++r)
        samples.values[(static_cast<std::size_t>(k) * samples.chains + c) * samples.records + r] =
            values[static_cast<std::size_t>(first + r) * stocks + k];
    }
  return samples;
}

std::vector<ConvergenceRow> LiveGelmanRubin(const RunRecord& run, const LiveChains& live,
                                            int top) {
  const uint32_t stocks = static_cast<uint32_t>(std::max(run.settings.NumberOfStocks, 0));
  if (live.files.size() < 2 || live.common - live.discard < kLiveGelmanRubinRecords) return {};
  const CompositionSamples kept = LiveSamples(live, stocks, true);
  std::vector<std::string> names = run.stockNames;
  names.resize(stocks);
  std::vector<double> means(stocks);
  for (uint32_t k = 0; k < stocks; ++k) means[k] = RowMean(kept, k, 0);
  const std::vector<ConvergenceRow> all = BuildConvergenceChart(names, kept);
  std::vector<ConvergenceRow> rows;
  for (int k : LargestFirst(means)) {
    if (static_cast<int>(rows.size()) >= top) break;
    rows.push_back(all[static_cast<std::size_t>(k)]);
  }
  return rows;
}

}  // namespace mixora
