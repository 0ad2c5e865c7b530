// `mixora plot`: the charts of a run's chains as picture files beside the
// run's reports, on a machine with or without a display.
#include <QApplication>
#include <QByteArray>
#include <QLocale>
#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli_support.h"
#include "commands.h"
#include "plot_assessment.h"
#include "plot_run.h"
#include "report_cli.h"
#include "assessment/assessment_tables.h"

namespace mixora::cli {

namespace {

struct PlotOptions {
  std::string rcfPath;
  int mixture = 1;
  bool allMixtures = false;
  std::string kind = "all";
  std::string by;
  int level = 0;  // from 1; 0 = every level
  std::string format = "svg";
  std::string outFolder;
  double foldPercent = 0.5;
  int top = 4;
  std::string stock;
  CliOptions common;
  // The first option given that only applies to a run's charts, such as
  // "--by"; the assessment charts always draw every table.
  std::string runOnlyOption;
};

unsigned KindsOf(const std::string& kind) {
  if (kind == "compositions") return charts::kChartCompositions;
  if (kind == "traces") return charts::kChartTraces;
  if (kind == "convergence") return charts::kChartConvergence;
  if (kind == "assignments") return charts::kChartAssignments;
  return charts::kChartAll;
}

// Charts are drawn by Qt, which needs an application object even when it
// only paints into files; without a display it must not look for one.
std::unique_ptr<QApplication> StartQt() {
  // Qt's own notes (no runtime folder, fonts) are not the user's business;
  // only its errors are.
  qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
      std::cerr << "mixora: Qt: " << text.toStdString() << "\n";
  });
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "mixora";
  static char* argv[] = {name, nullptr};
  auto app = std::make_unique<QApplication>(argc, argv);
  // Qt has switched the process to the user's locale; the command line keeps
  // to the C locale, so its pictures and numbers are the same everywhere.
  std::setlocale(LC_ALL, "C");
  QLocale::setDefault(QLocale::c());
  return app;
}

// The charts of a baseline self-assessment, from the tables assess wrote.
int PlotAssessmentTables(const PlotOptions& options, charts::PictureFormat format) {
  AssessmentTables tables;
  std::string error;
  if (!ReadAssessmentTables(options.rcfPath, tables, error)) {
    PrintError("plot failed: " + error);
    return 1;
  }
  std::unique_ptr<QApplication> qt = StartQt();
  Interaction ui = MakeReportInteraction(options.common);
  bool yesToAll = options.common.overwrite;
  std::vector<std::string> written;
  const int done =
      charts::PlotAssessment(tables, options.outFolder, format, ui, yesToAll, written, error);
  for (const std::string& path : written) std::cout << "Chart written: " << path << "\n";
  std::cout << std::flush;
  if (done == 0) {
    PrintError("charts of " + options.rcfPath + ": " + error);
    return 1;
  }
  return 0;
}

int RunPlotCommand(PlotOptions& options) {
  if (options.kind == "assessment" && !options.runOnlyOption.empty()) {
    PrintError(options.runOnlyOption +
               " applies to the charts of a run, not to --kind assessment, which draws every "
               "table of the assessment");
    return 1;
  }
  if (options.mixture < 1) {
    PrintError("--mixture counts from 1");
    return 1;
  }
  if (options.level < 0) {
    PrintError("--level counts from 1");
    return 1;
  }
  if (options.level > 0 && options.by == "population") {
    PrintError("--level chooses a grouping level and applies to --by region");
    return 1;
  }
  if (options.foldPercent < 0.0 || options.foldPercent >= 100.0) {
    PrintError("--fold is a percentage from 0 (fold nothing) up to 100");
    return 1;
  }
  if (options.top < 1) {
    PrintError("--top needs at least 1");
    return 1;
  }
  charts::PlotRequest request;
  request.kinds = KindsOf(options.kind);
  request.byRegion = options.by == "region" || options.level > 0;
  request.level = options.level - 1;
  charts::ParsePictureFormat(options.format, request.format);
  request.foldBelow = options.foldPercent / 100.0;
  request.topTraces = options.top;
  request.traceRow = options.stock;
  if (!options.outFolder.empty()) {
    std::error_code ec;
    std::filesystem::create_directories(options.outFolder, ec);
    if (!std::filesystem::is_directory(options.outFolder, ec)) {
      PrintError("cannot use " + options.outFolder + " as the output folder: " +
                 (ec ? ec.message() : std::string("not a folder")));
      return 1;
    }
    request.outFolder = options.outFolder;
  }
  if (options.kind == "assessment") return PlotAssessmentTables(options, request.format);

  std::unique_ptr<QApplication> qt = StartQt();
  Interaction ui = MakeReportInteraction(options.common);
  ui.progress = nullptr;
  ui.status = nullptr;
  const int first = options.allMixtures ? 0 : options.mixture - 1;
  std::unique_ptr<RunRecord> run = OpenMixture(options.rcfPath, first, ui);
  if (!run) return 1;
  const int last = options.allMixtures ? run->mixtureCount - 1 : first;
  bool yesToAll = options.common.overwrite;
  bool ok = true;
  for (int p = first; p <= last; ++p) {
    if (p != first) {
      run = OpenMixture(options.rcfPath, p, ui);
      if (!run) return 1;
    }
    const bool assignments = (request.kinds & charts::kChartAssignments) != 0;
    const bool compositions = (request.kinds & ~unsigned{charts::kChartAssignments}) != 0;
    if (!ReportMissingSampleFiles(*run, compositions, assignments)) {
      ok = false;
      continue;
    }
    std::vector<std::string> written, notes;
    std::string error;
    const int done = charts::PlotMixture(*run, request, ui, yesToAll, written, notes, error);
    for (const std::string& path : written) std::cout << "Chart written: " << path << "\n";
    std::cout << std::flush;
    if (!options.common.quiet)
      for (const std::string& note : notes) std::cerr << "Note: " << MixtureLabel(*run) << ": " << note << "\n";
    if (done == 0) {
      PrintError("charts of " + MixtureLabel(*run) + ": " +
                 (error.empty() ? std::string("failed") : error));
      ok = false;
    }
  }
  return ok ? 0 : 1;
}

}  // namespace

void RegisterPlotCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<PlotOptions>();
  CLI::App* command = app.add_subcommand(
      "plot",
      "Draw the composition, trace, convergence and assignment charts of a run's chains as SVG, "
      "PNG or PDF pictures, next to the run control file");
  command
      ->add_option("RUN_FILE", options->rcfPath,
                   "Run control file (.rcf); with --kind assessment, the <name>_selfassign.csv "
                   "table written by assess")
      ->required();
  CLI::Option* mixture = command->add_option(
      "--mixture", options->mixture,
      "Mixture to draw, counted from 1 in the order of the mixture file (default 1)");
  CLI::Option* all = command->add_flag("--all", options->allMixtures,
                                       "Draw every mixture of the run control file");
  mixture->excludes(all);
  command
      ->add_option("--kind", options->kind,
                   "compositions, traces, convergence, assignments, or all (default) of a run; "
                   "assessment: the self-assessment charts of a baseline")
      ->check(CLI::IsMember(
          {"compositions", "traces", "convergence", "assignments", "all", "assessment"}));
  CLI::Option* by = command
      ->add_option("--by", options->by,
                   "population (default): a row per stock; or region: a row per group")
      ->check(CLI::IsMember({"population", "region"}));
  CLI::Option* level = command->add_option("--level", options->level,
                      "Grouping level, counted from 1, for --by region (default: every level)");
  command->add_option("--format", options->format, "svg (default), png or pdf")
      ->check(CLI::IsMember({"svg", "png", "pdf"}));
  command->add_option("--out", options->outFolder,
                      "Folder for the pictures (default: the folder of the run control file)");
  CLI::Option* fold = command->add_option("--fold", options->foldPercent,
                      "Composition rows whose mean is below this percentage share one row "
                      "(default 0.5; 0 shows every row)");
  CLI::Option* top = command->add_option("--top", options->top,
                      "Traces of this many of the largest stocks or groups (default 4)");
  CLI::Option* stock = command->add_option(
      "--stock", options->stock, "Trace only this stock (or group, with --by region), by name");
  AddCommonOptions(*command, options->common);
  command->footer(
      "Pictures: <title>_Compositions, <title>_Compositions_Chains (each chain side by side), "
      "<title>_Traces, <title>_Convergence and <title>_Assignments, with _Grp<level> by region, "
      "where <title> is the run title of the mixture.\n"
      "Assessment pictures: <name>_SelfAssign_Stocks, <name>_SelfAssign_Grp<level> (with the "
      "confusion heat map) and <name>_Simulated, from the tables of mixora assess.\n"
      "Example: mixora plot output/tavrin.rcf --kind compositions --format png --out charts\n"
      "Example: mixora plot reference_selfassign.csv --kind assessment --format png");
  const std::vector<CLI::Option*> runOnly = {mixture, all, by, level, fold, top, stock};
  command->callback([options, runOnly, &exitCode] {
    for (const CLI::Option* option : runOnly) {
      if (option->count() > 0) {
        options->runOnlyOption = option->get_name();
        break;
      }
    }
    exitCode = RunPlotCommand(*options);
  });
}

}  // namespace mixora::cli
