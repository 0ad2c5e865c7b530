#include "plot_run.h"

#include <filesystem>
#include <system_error>

#include "reports/chart_data.h"
#include "reports/composition_report.h"
#include "reports/report_job.h"

namespace mixora::charts {
namespace {

struct Writer {
  const RunRecord& run;
  const PlotRequest& request;
  const Interaction& ui;
  bool& yesToAll;
  std::vector<std::string>& written;
  std::string& error;

  // 1 written, 0 failed, -1 declined by the overwrite question.
  int Write(const ChartFigure& figure, const std::string& chart, int level) {
    const std::string path = ChartFilePath(run, request.outFolder, chart, level, request.format);
    std::error_code ec;
    if (std::filesystem::exists(path, ec) && !AskOverwrite(ui, path, yesToAll)) {
      error = path + " exists and was not overwritten (use --overwrite to replace it)";
      return -1;
    }
    QString problem;
    if (!SaveFigure(figure, QString::fromStdString(path), request.format, problem)) {
      error = problem.toStdString();
      return 0;
    }
    written.push_back(path);
    return 1;
  }
};

std::string LevelText(int level) {
  return level < 0 ? "" : " by region, level " + std::to_string(level + 1);
}

}  // namespace

std::string ChartTitle(const RunRecord& run) { return RunTitleOf(run); }

std::string ChartFilePath(const RunRecord& run, const std::string& outFolder,
                          const std::string& chart, int level, PictureFormat format) {
  std::filesystem::path folder =
      outFolder.empty() ? std::filesystem::path(run.controlPath).parent_path()
                        : std::filesystem::path(outFolder);
  std::string name = RunTitleOf(run) + "_" + chart;
  if (level >= 0) name += "_Grp" + std::to_string(level + 1);
  name += std::string(".") + PictureExtension(format);
  return (folder / name).string();
}

int PlotMixture(RunRecord& run, const PlotRequest& request, const Interaction& ui,
                bool& yesToAll, std::vector<std::string>& written, std::vector<std::string>& notes,
                std::string& error) {
  error.clear();
  Writer writer{run, request, ui, yesToAll, written, error};
  const int chains = run.settings.NumberOfChains;
  const QString title = QString::fromStdString(ChartTitle(run));

  std::vector<int> levels;
  if (!request.byRegion) {
    levels.push_back(-1);
  } else if (request.level >= 0) {
    if (request.level >= static_cast<int>(run.levelGroupCount.size())) {
      error = "the run has " + std::to_string(run.levelGroupCount.size()) +
              " grouping levels, no level " + std::to_string(request.level + 1);
      return 0;
    }
    levels.push_back(request.level);
  } else {
    for (int l = 0; l < static_cast<int>(run.levelGroupCount.size()); ++l) levels.push_back(l);
  }

  unsigned kinds = request.kinds;
  if ((kinds & kChartConvergence) && (chains < 2 || run.settings.NumberOfStocks < 2)) {
    if (kinds == kChartConvergence) {
      error = "a convergence chart compares chains: the run has " + std::to_string(chains) +
              (chains == 1 ? " chain" : " chains");
      return 0;
    }
    notes.push_back("convergence chart left out: the run has one chain");
    kinds &= ~kChartConvergence;
  }

  for (int level : levels) {
    ReportJob job;
    job.run = &run;
    job.ui = ui;
    PrepareReportJob(job);
    const bool byRegion = level >= 0;
    if (byRegion && MakeLevelCurrent(job, level) == 0) {
      error = "grouping level " + std::to_string(level + 1) + " of the run leaves a stock without a group";
      return 0;
    }
    const std::vector<std::string> names = ChartRowNames(job, byRegion);
    const QString label = title + QString::fromStdString(LevelText(level));

    if (kinds & (kChartCompositions | kChartConvergence)) {
      CompositionSamples kept;
      if (LoadReportSamples(job, byRegion, kept) == 0) {
        error = "the composition samples of " + RunTitleOf(run) + " cannot be read";
        return 0;
      }
      if (kinds & kChartCompositions) {
        CompositionChartData data;
        if (BuildCompositionChart(job, kept, byRegion, request.foldBelow, data) == 0) return 0;
        int done = writer.Write(CompositionFigure(data, label, false), "Compositions", level);
        if (done == 1 && chains >= 2)
          done = writer.Write(CompositionFigure(data, label, true), "Compositions_Chains", level);
        if (done != 1) return 0;
      }
      if (kinds & kChartConvergence) {
        if (writer.Write(ConvergenceFigure(BuildConvergenceChart(names, kept), byRegion, label),
                         "Convergence", level) != 1)
          return 0;
      }
    }
    if (kinds & kChartTraces) {
      ReportJob all;
      all.run = &run;
      all.ui = ui;
      all.compositionTotals = job.compositionTotals;
      all.assignmentTotals = job.assignmentTotals;
      all.length = job.length;
      all.discard = 0;
      if (byRegion) MakeLevelCurrent(all, level);
      CompositionSamples samples;
      if (LoadReportSamples(all, byRegion, samples) == 0) {
        error = "the composition samples of " + RunTitleOf(run) + " cannot be read";
        return 0;
      }
      TraceChartData data;
      if (BuildTraceChart(names, samples, static_cast<uint32_t>(job.discard),
                          static_cast<uint32_t>(std::max(run.settings.ThinIse, 1)),
                          request.topTraces, request.traceRow, data, error) == 0)
        return 0;
      if (writer.Write(TraceFigure(data, label), "Traces", level) != 1) return 0;
    }
    if (kinds & kChartAssignments) {
      AssignmentChartData data;
      if (BuildAssignmentChart(job, byRegion, data) == 0) {
        error = "the assignment samples of " + RunTitleOf(run) + " cannot be read";
        return 0;
      }
      if (writer.Write(AssignmentFigure(data, label), "Assignments", level) != 1) return 0;
    }
  }
  return 1;
}

}  // namespace mixora::charts
