#include "reports/run_reports.h"

#include "diagnostics/identical_chains.h"
#include "reports/composition_report.h"
#include "reports/composition_stats.h"
#include "reports/report_runner.h"
#include "runfiles/run_control_reader.h"

namespace mixora {

int RunAllReportsForRun(RunRecord& run, const Interaction& ui,
                        std::vector<std::string>& filesWritten, ReportSession* session,
                        const std::vector<uint32_t>& compositionTotals,
                        const std::vector<uint32_t>& assignmentTotals,
                        bool skipGelmanRubinForOneChain) {
  ReportJob job;
  job.run = &run;
  job.skipGelmanRubinForOneChain = skipGelmanRubinForOneChain;
  job.ui = ui;
  job.session = session;
  job.compositionTotals = compositionTotals;
  job.assignmentTotals = assignmentTotals;
  const int result = RunAllReports(job);
  filesWritten = job.filesWritten;
  return result;
}

int RunAllReportsForRun(const std::string& rcfPath, int mixtureIndex, const Interaction& ui,
                        std::vector<std::string>& filesWritten, ReportSession* session,
                        bool skipGelmanRubinForOneChain) {
  filesWritten.clear();
  std::unique_ptr<RunRecord> run = ReadRunControl(ui, rcfPath, mixtureIndex);
  if (!run) return 0;
  return RunAllReportsForRun(*run, ui, filesWritten, session, {}, {}, skipGelmanRubinForOneChain);
}

int ComputeCompositionEstimates(RunRecord& run, const Interaction& ui, bool byRegion, int level,
                                CompositionEstimates& estimates) {
  estimates = CompositionEstimates{};
  ReportJob job;
  job.run = &run;
  job.ui = ui;
  PrepareReportJob(job);
  if (byRegion && MakeLevelCurrent(job, level) == 0) {
    ShowMessage(ui, kMbIconError,
                "Grouping level %d of the run does not place every stock in one of its groups",
                level + 1);
    return 0;
  }
  CompositionSamples samples;
  if (LoadReportSamples(job, byRegion, samples) == 0) return 0;
  std::vector<CompositionRow> rows;
  uint32_t count = 0;
  const int chain = samples.chains >= 2 ? -1 : 0;
  if (ComputeCompositionRows(job, samples, byRegion, chain, false, rows, count) == 0) return 0;
  const std::vector<std::string>& names = byRegion ? job.groupNames : run.stockNames;
  for (std::size_t k = 0; k < rows.size(); ++k) {
    CompositionEstimate row;
    row.name = k < names.size() ? names[k] : std::string();
    row.mean = rows[k][kColumnMean];
    row.sd = rows[k][kColumnSe];
    row.lower = rows[k][kColumnLower];
    row.median = rows[k][kColumnMedian];
    row.upper = rows[k][kColumnUpper];
    if (k < samples.rows && samples.records > 0) {
      // The scaled value of the threshold is exact, so a sample counts when
      // its stored word lies strictly above it.
      const uint32_t threshold = static_cast<uint32_t>(kPresenceThreshold * kProportionScale);
      uint64_t above = 0;
      const std::size_t begin = static_cast<std::size_t>(k) * samples.chains * samples.records;
      const std::size_t end = begin + static_cast<std::size_t>(samples.chains) * samples.records;
      for (std::size_t i = begin; i < end; ++i)
        if (samples.values[i] > threshold) ++above;
      row.probPresent = static_cast<double>(above) / static_cast<double>(end - begin);
    }
    estimates.rows.push_back(row);
  }
  estimates.lowerQuantile = 1.0 - run.settings.Percentile;
  estimates.upperQuantile = run.settings.Percentile;
  estimates.length = job.length;
  estimates.discard = job.discard;
  estimates.samples = count;
  estimates.chains = static_cast<int32_t>(samples.chains);
  SampleArrayView view{samples.values.data(), static_cast<int>(samples.rows),
                       static_cast<int>(samples.chains), static_cast<int>(samples.records)};
  estimates.identicalChains = ChainsAreIdentical(view);
  return 1;
}

}  // namespace mixora
