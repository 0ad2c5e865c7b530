#pragma once
// The numbers behind every chart of a run, computed by the same code as the
// reports, so a picture always shows what the reports print. Nothing here
// draws: the front ends turn these records into pictures.
#include <cstdint>
#include <string>
#include <vector>

#include "reports/report_job.h"
#include "runfiles/committed_samples.h"
#include "runfiles/composition_samples.h"

namespace mixora {

// One row of a composition chart, as proportions (0..1).
struct CompositionBar {
  std::string name;
  int row = -1;     // stock, or group of the level; -1 for the folded row
  int folded = 0;   // rows folded into this one
  double mean = 0.0;
  double lower = 0.0;
  double upper = 0.0;
};

struct CompositionChartData {
  bool byRegion = false;
  int level = -1;             // grouping level from 0 by region
  double percentile = 0.975;  // the upper percentile; the lower is 1 - percentile
  uint32_t chainCount = 0;
  uint32_t samplesPerRow = 0;  // all chains combined
  // Chains combined, largest mean first; a folded row comes last.
  std::vector<CompositionBar> combined;
  // Each chain's rows, in the order of `combined`.
  std::vector<std::vector<CompositionBar>> chains;
};

// Chains combined and each chain, from samples holding the kept records
// (LoadReportSamples). Rows whose combined mean is below foldBelow are
// folded into one row named "Other (N stocks)" (or groups) when there are
// two or more of them: its mean is the sum of theirs and its interval comes
// from the record-by-record sums, with the report's rounding and
// percentiles. Returns 1, or 0 when the job was aborted.
int BuildCompositionChart(ReportJob& job, const CompositionSamples& samples, bool byRegion,
                          double foldBelow, CompositionChartData& chart);

// One stock's or group's kept proportion through the iterations.
struct TracePanel {
  std::string name;
  int row = 0;
  double keptMean = 0.0;
  // Per chain, the proportion of every record drawn, as (iteration,
  // proportion) pairs; long chains are thinned evenly for drawing.
  std::vector<std::vector<std::pair<double, double>>> chains;
  double burnInEnd = 0.0;  // iteration after which records are kept
  // Histogram of the kept proportions of all chains: bins of equal width
  // from histogramLow.
  double histogramLow = 0.0;
  double histogramWidth = 0.0;
  std::vector<uint32_t> histogram;
};

struct TraceChartData {
  bool byRegion = false;
  int level = -1;
  uint32_t chainCount = 0;
  uint32_t records = 0;  // records per chain drawn
  uint32_t discard = 0;  // leading records the reports leave out
  std::vector<TracePanel> panels;
};

inline constexpr int kTracePointsPerChain = 2000;
inline constexpr int kHistogramBins = 30;

// Trace panels from samples holding every record of each chain (discard 0):
// the `top` rows with the largest mean over the kept records, or the row
// named `chosen` (case-blind) when it is not empty. Returns 0 with error set
// when no row has that name.
int BuildTraceChart(const std::vector<std::string>& rowNames, const CompositionSamples& all,
                    uint32_t discard, uint32_t thinning, int top, const std::string& chosen,
                    TraceChartData& chart, std::string& error);

struct ConvergenceRow {
  std::string name;
  int row = 0;
  double estimate = 1.0;
  double quantile97 = 1.0;
};

// The Gelman-Rubin shrink factor and its 97.5% limit of every row, in row
// order, over the kept records (the samples the report reads).
std::vector<ConvergenceRow> BuildConvergenceChart(const std::vector<std::string>& rowNames,
                                                  const CompositionSamples& kept);

struct AssignmentChartData {
  bool byRegion = false;
  int level = -1;
  uint64_t samples = 0;  // assignment records of all chains: the denominator
  // Every fish's probability of its most likely stock (or group), largest
  // first, with the fish's name and that stock's.
  std::vector<double> top;
  std::vector<std::string> fish;
  std::vector<std::string> stock;
};

// From the kept records of every chain's assignment file, as the assignment
// report counts them. Returns 0 when the files cannot be read (shown
// through the job's interaction).
int BuildAssignmentChart(ReportJob& job, bool byRegion, AssignmentChartData& chart);

// The fish whose top probability reaches `at`.
int CountConfident(const AssignmentChartData& chart, double at);

// Names of the rows: the stocks, or the groups of the job's current level.
std::vector<std::string> ChartRowNames(const ReportJob& job, bool byRegion);

// What a chart pane shows while the chains run: the records every chain has
// committed so far, read without disturbing the chains.
struct LiveChains {
  std::vector<CommittedRecords> files;  // one per chain, kept between refreshes
  std::vector<uint32_t> committed;      // records each chain has committed
  uint32_t common = 0;                  // records every chain has
  uint32_t discard = 0;                 // of those, left out as the reports would
  std::string problem;                  // a damaged file, named; empty otherwise
};

// Reads on in every chain's composition file, up to the total its restart
// file (or, for a stopped chain, its header) vouches for. Returns 1, or 0
// with live.problem set.
int RefreshLiveChains(const RunRecord& run, LiveChains& live);

// The samples of the common records, every record (discard 0) or the kept
// ones, in the layout of the report loader.
CompositionSamples LiveSamples(const LiveChains& live, uint32_t stocks, bool keptOnly);

// Records each chain must keep before a live shrink factor is shown.
inline constexpr uint32_t kLiveGelmanRubinRecords = 100;

// The live Gelman-Rubin values of the `top` largest stocks: empty until
// every chain has kLiveGelmanRubinRecords kept records (and there are two
// chains or more).
std::vector<ConvergenceRow> LiveGelmanRubin(const RunRecord& run, const LiveChains& live,
                                            int top);

}  // namespace mixora
