#include "reports/run_reports.h"

#include "reports/composition_report.h"
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
    estimates.rows.push_back(row);
  }
  estimates.lowerQuantile = 1.0 - run.settings.Percentile;
  estimates.upperQuantile = run.settings.Percentile;
  estimates.length = job.length;
  estimates.discard = job.discard;
  estimates.samples = count;
  return 1;
}

}  // namespace mixora
