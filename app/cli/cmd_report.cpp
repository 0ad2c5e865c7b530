#include <cerrno>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli_support.h"
#include "commands.h"
#include "report_cli.h"
#include "stop_signals.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "reports/bias_correction.h"
#include "reports/report_runner.h"
#include "formats/format_writers.h"

namespace mixora::cli {

namespace {

struct ReportOptions {
  std::string rcfPath;
  int mixture = 1;
  bool allMixtures = false;
  std::string kind = "all";
  std::string by;
  bool biasCorrect = false;
  bool bootstrapGiven = false;
  int bootstrap = 100;
  int threads = 0;
  CliOptions common;
};

const std::map<std::string, int> kKinds = {
    {"assignments", kReportAssignments},
    {"compositions", kReportCompositions},
    {"gelman-rubin", kReportGelmanRubin},
    {"raftery-lewis", kReportRafteryLewis},
};

// The reports of one mixture. Returns true when all of them succeeded.
bool ReportMixture(const ReportOptions& options, RunRecord& run, const Interaction& ui,
                   ReportSession& session) {
  const bool all = options.kind == "all";
  const int kind = all ? -1 : kKinds.at(options.kind);
  const bool byRegion = options.by == "region";
  const bool needsAssignments = all || kind == kReportAssignments;
  if (!ReportMissingSampleFiles(run, true, needsAssignments)) return false;

  ReportJob job;
  job.run = &run;
  job.ui = ui;
  job.session = &session;
  ConnectInterrupt(job, session);
  // The sequence names the report it starts in status part 1; the last one
  // named is the one that failed.
  auto producing = std::make_shared<std::string>();
  job.ui.status = [producing, shown = ui.status](int part, const std::string& text) {
    if (part == 1 && text.rfind("Producing: ", 0) == 0) *producing = text.substr(11);
    if (shown) shown(part, text);
  };
  const std::size_t mark = ShownProblemMark();
  int result = 0;
  if (all) {
    result = RunAllReports(job);
  } else {
    if (!options.common.quiet)
      std::cerr << "Producing: " << ReportDisplayName(kind) << " by "
                << (byRegion ? "Region" : "Population") << "\n";
    // A single diagnostic ends with its summary, as it does in a window.
    job.withWindow = true;
    result = RunReport(job, kind, byRegion);
  }
  for (const std::string& path : job.filesWritten) std::cout << "Report written: " << path << "\n";
  std::cout << std::flush;
  if (result == 1) return true;
  if (session.abortAll.load() != 0 || Interrupted()) {
    PrintError("reports of " + MixtureLabel(run) + " aborted");
  } else if (all) {
    std::string written;
    for (const std::string& path : job.filesWritten)
      written += (written.empty() ? "" : ", ") + FileNameOf(path);
    const std::string failed =
        producing->empty() ? std::string("producing them failed") : *producing + " failed";
    PrintError(WithCause("the reports of " + MixtureLabel(run) + " are incomplete: " + failed,
                         mark) +
               (written.empty() ? "; no report was written" : "; written: " + written));
  } else {
    PrintError(WithCause(std::string(ReportDisplayName(kind)) + " report of " +
                             MixtureLabel(run) + " failed",
                         mark));
  }
  return false;
}

// The bias-corrected group estimates of one mixture, beside its reports.
bool BiasCorrectMixture(const RunRecord& run, int replicates, int threads,
                        const CliOptions& common) {
  std::vector<double> stockMean;
  std::string error;
  if (!PosteriorMeanComposition(run, stockMean, error)) {
    PrintError("bias correction of " + MixtureLabel(run) + " failed: " + error);
    return false;
  }
  if (!common.quiet)
    std::cerr << "Bias correction of " << MixtureLabel(run) << ": " << replicates
              << " bootstrap re-estimates...\n";
  BiasCorrection result;
  if (!BiasCorrectGroups(run, stockMean, replicates, threads, result, error, &StopSignal())) {
    // Stopped on request: nothing is written, and the caller says so.
    if (Interrupted()) return false;
    PrintError("bias correction of " + MixtureLabel(run) + " failed: " + error);
    return false;
  }
  const std::string base = JoinPath(FolderOf(run.controlPath), run.runTitle + "_BiasCorrected");
  const std::string text = FormatBiasCorrectionText(run, result);
  for (const auto& [path, body] : {std::pair{base + ".Txt", text},
                                   std::pair{base + ".csv", FormatBiasCorrectionCsv(run, result)}}) {
    if (!WriteTextTo(body, path, nullptr)) {
      PrintError("Cannot write to " + path + ": " + SystemErrorText(errno));
      return false;
    }
    std::cout << "Report written: " << path << "\n";
  }
  return true;
}

int RunReportCommand(ReportOptions& options) {
  if (!options.biasCorrect && options.bootstrapGiven) {
    PrintError("--bootstrap needs --bias-correct");
    return 1;
  }
  if (options.kind == "assignments" && options.by == "region") {
    PrintError("--by region does not apply to --kind assignments");
    return 1;
  }
  if (options.kind == "all" && !options.by.empty()) {
    PrintError("--kind all reports by population and by region; --by applies to one --kind");
    return 1;
  }
  if (options.mixture < 1) {
    PrintError("--mixture counts from 1");
    return 1;
  }
  Interaction ui = MakeReportInteraction(options.common);
  InstallAbortOnInterrupt();
  ReportSession session;
  const int first = options.allMixtures ? 0 : options.mixture - 1;
  std::unique_ptr<RunRecord> run = OpenMixture(options.rcfPath, first, ui);
  if (!run) return 1;
  const int last = options.allMixtures ? run->mixtureCount - 1 : first;
  bool ok = true;
  for (int p = first; p <= last; ++p) {
    if (p != first) {
      run = OpenMixture(options.rcfPath, p, ui);
      if (!run) return 1;
    }
    if (!ReportMixture(options, *run, ui, session)) ok = false;
    if (Interrupted()) return kStoppedExitCode;
    if (options.biasCorrect && !BiasCorrectMixture(*run, options.bootstrap, options.threads,
                                                   options.common))
      ok = false;
    if (Interrupted()) return kStoppedExitCode;
    if (session.abortAll.load() != 0) return 1;
  }
  return ok ? 0 : 1;
}

}  // namespace

void RegisterReportCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<ReportOptions>();
  CLI::App* command = app.add_subcommand(
      "report",
      "Write the stock composition and assignment reports and the convergence diagnostics of a "
      "run's chains, next to the run control file");
  command->add_option("RUN_FILE", options->rcfPath, "Run control file (.rcf)")->required();
  CLI::Option* mixture = command->add_option(
      "--mixture", options->mixture,
      "Mixture to report, counted from 1 in the order of the mixture file (default 1)");
  CLI::Option* all = command->add_flag("--all", options->allMixtures,
                                       "Report every mixture of the run control file");
  mixture->excludes(all);
  command
      ->add_option("--kind,--kinds", options->kind,
                   "compositions, assignments, gelman-rubin, raftery-lewis, or all (default): "
                   "the whole sequence, by population and by region")
      ->check(CLI::IsMember({"compositions", "assignments", "gelman-rubin", "raftery-lewis", "all"}));
  command
      ->add_option("--by", options->by,
                   "population (default) or region: by the groups of every grouping level")
      ->check(CLI::IsMember({"population", "region"}));
  command->add_flag("--bias-correct", options->biasCorrect,
                    "Also write bias-corrected group estimates (parametric bootstrap from the "
                    "posterior mean composition): <title>_BiasCorrected.Txt and .csv");
  CLI::Option* bootstrap = command->add_option(
      "--bootstrap", options->bootstrap,
      "Bootstrap replicates of --bias-correct (default 100); each is a whole re-estimation")
      ->check(CLI::Range(1, 100000));
  command->add_option("--threads", options->threads,
                      "Threads for the bootstrap (default: one per processor); the result does "
                      "not depend on it")
      ->check(CLI::Range(0, 1024));
  AddCommonOptions(*command, options->common);
  command->footer(
      "Report files: <title>_IDs.Txt and .Csv (assignments), <title>_SCs[_Grp].Txt "
      "(compositions), <title>_GR[_Grp].Txt, <title>_RL[_Grp].Txt, where <title> is the run "
      "title of the mixture. Ctrl-C, SIGTERM or SIGHUP discards the running report and "
      "ends with exit status 130; reports already written stay.");
  command->callback([options, bootstrap, &exitCode] {
    options->bootstrapGiven = bootstrap->count() > 0;
    exitCode = RunReportCommand(*options);
  });
}

}  // namespace mixora::cli
