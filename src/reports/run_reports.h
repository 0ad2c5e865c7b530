#pragma once
// Plain entry points for callers that hold a run control file's path or an
// open run rather than a report job: the whole report sequence of one
// mixture, and the composition estimates behind a printed summary table.
#include <cstdint>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "reports/report_job.h"
#include "runfiles/run_record.h"

namespace mixora {

// RunAllReports for an open run. compositionTotals and assignmentTotals,
// when not empty, are the chains' record totals (else they are read from
// the restart and sample files). filesWritten receives every report file
// completed. skipGelmanRubinForOneChain: see ReportJob. Returns 1 when
// every report succeeded.
int RunAllReportsForRun(RunRecord& run, const Interaction& ui,
                        std::vector<std::string>& filesWritten, ReportSession* session = nullptr,
                        const std::vector<uint32_t>& compositionTotals = {},
                        const std::vector<uint32_t>& assignmentTotals = {},
                        bool skipGelmanRubinForOneChain = false);

// The same for mixture mixtureIndex (from 0) of a run control file.
int RunAllReportsForRun(const std::string& rcfPath, int mixtureIndex, const Interaction& ui,
                        std::vector<std::string>& filesWritten, ReportSession* session = nullptr,
                        bool skipGelmanRubinForOneChain = false);

struct CompositionEstimate {
  std::string name;  // the stock, or the group of the grouping level
  // Proportions (0..1) over the kept samples of all chains combined: the mean
  // (normalised over the rows, as the report prints it), standard deviation,
  // the lower and upper percentiles and the median.
  double mean = 0.0;
  double sd = 0.0;
  double lower = 0.0;
  double median = 0.0;
  double upper = 0.0;
  // Share of the kept samples (all chains) whose proportion exceeds
  // kPresenceThreshold: how sure it is that the stock is in the mixture.
  double probPresent = 0.0;
};

// The share above which a stock counts as present in the tidy estimates.
inline constexpr double kPresenceThreshold = 0.005;

struct CompositionEstimates {
  std::vector<CompositionEstimate> rows;
  double lowerQuantile = 0.0;  // 1 - Percentile (0.025 for a 95% interval)
  double upperQuantile = 0.0;  // Percentile
  int32_t length = 0;          // L
  int32_t discard = 0;         // D
  uint32_t samples = 0;        // values behind each row: chains × (L - D)
  int32_t chains = 0;
  // Every chain kept the same samples (they share their seeds): the chains
  // add nothing to one another and no diagnostic can judge them.
  bool identicalChains = false;
};

// The numbers of the report's "Chains Combined" table (the only chain's
// table for a single chain), without the ROLLEST column, by stock or by the
// groups of grouping level `level` (from 0). Load failures are shown through
// ui. Returns 1, or 0 when the samples cannot be loaded.
int ComputeCompositionEstimates(RunRecord& run, const Interaction& ui, bool byRegion, int level,
                                CompositionEstimates& estimates);

}  // namespace mixora
