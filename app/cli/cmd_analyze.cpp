// `mixora analyze`: the whole road from a control file to the reports in one
// command — load and check, write the run control file, run every mixture's
// chains, produce every report and diagnostic, and print the estimates.
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli_support.h"
#include "commands.h"
#include "diagnostics/identical_chains.h"
#include "run_progress.h"
#include "reports/run_reports.h"
#include "runfiles/run_control_reader.h"
#include "sampler/mixture_runner.h"
#include "stop_signals.h"

namespace mixora::cli {

namespace {

struct AnalyzeOptions {
  std::string controlPath;
  std::string outputPath;
  bool resume = false;
  int threadsPerChain = 1;
  CliOptions common;
};

std::string Percent(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%6.1f%%", value * 100.0);
  return text;
}

void PrintEstimateTable(const std::string& heading, const CompositionEstimates& estimates) {
  std::cout << "\n  " << heading << "\n";
  std::size_t width = 5;
  for (const auto& row : estimates.rows) width = std::max(width, row.name.size());
  char interval[64];
  std::snprintf(interval, sizeof interval, "%g%% interval",
                (estimates.upperQuantile - estimates.lowerQuantile) * 100.0);
  std::cout << "    " << std::string(width, ' ') << "     mean   " << interval << "\n";
  for (const auto& row : estimates.rows) {
    std::cout << "    " << row.name << std::string(width - row.name.size(), ' ') << "  "
              << Percent(row.mean) << "  [" << Percent(row.lower) << " - " << Percent(row.upper)
              << " ]\n";
  }
}

// Prints the stock table and one table per grouping level of mixture p.
bool PrintMixtureEstimates(const std::string& rcfPath, int p, const Interaction& ui) {
  std::unique_ptr<RunRecord> run = ReadRunControl(ui, rcfPath, p);
  if (!run) return false;
  std::cout << "\nMixture " << p + 1 << ": " << run->runTitle << " (" << run->fishCount
            << " fish)\n";
  CompositionEstimates estimates;
  if (!ComputeCompositionEstimates(*run, ui, false, 0, estimates)) return false;
  if (estimates.identicalChains) {
    std::cout << "  " << estimates.samples << " samples per estimate, but the "
              << estimates.chains << " chains are identical copies of one chain\n";
    std::cerr << "mixora: warning: mixture " << p + 1 << ": "
              << IdenticalChainsNote(estimates.chains) << "\n";
  } else {
    std::cout << "  " << estimates.samples << " samples per estimate ("
              << (run->settings.NumberOfChains < 2 ? "one chain" : "chains combined") << ")\n";
  }
  PrintEstimateTable("By stock", estimates);
  for (int level = 0; level < run->settings.Levels; ++level) {
    CompositionEstimates groups;
    if (!ComputeCompositionEstimates(*run, ui, true, level, groups)) return false;
    PrintEstimateTable("By group, level " + std::to_string(level + 1), groups);
  }
  return true;
}

int RunAnalyze(AnalyzeOptions& options) {
  InstallStopSignals();
  std::string rcfPath;
  int loaded = LoadToRunControlFile(options.controlPath, options.outputPath, "", options.common,
                                    rcfPath, options.resume);
  if (loaded != 0) return loaded;

  Interaction ui = MakeTerminalInteraction(options.common);
  MixtureRunOptions runOptions;
  // A fresh analysis never continues chains of an earlier run control file
  // that may have held other data; --resume continues an interrupted one.
  runOptions.rerun = !options.resume;
  runOptions.threadsPerChain = options.threadsPerChain;
  runOptions.stopRequested = &StopSignal();
  bool quiet = options.common.quiet;
  // Progress goes to standard error: standard output carries the estimates.
  ProgressDisplay display(quiet, ::isatty(STDERR_FILENO) != 0, std::cerr);
  MixtureRunEvents events = ProgressEvents(display);
  MixtureRunOutcome outcome;
  const std::size_t mark = ShownProblemMark();
  int ran = RunMixtures(rcfPath, runOptions, ui, events, outcome);
  if (!ran) {
    ReportSkippedMixtures(outcome.skipped);
    if (outcome.stopped) {
      PrintError("stopped: the chains saved their samples and restart files; run `mixora "
                 "analyze " + options.controlPath + " --resume` to continue the chains");
      return kStoppedExitCode;
    }
    PrintError(WithCause(outcome.failure.empty() ? "not every chain completed" : outcome.failure,
                         mark));
    for (const MixtureOutcome& m : outcome.mixtures)
      if (m.failedChain >= 0 && m.restartRefused)
        PrintError(WithCause("mixture " + std::to_string(m.mixture + 1) + ": chain " +
                                 std::to_string(m.failedChain + 1) +
                                 " was not resumed because its restart file was refused",
                             mark) +
                   "; `mixora analyze " + options.controlPath +
                   "` without --resume starts every chain afresh");
    return 1;
  }

  // The reports of a resumed analysis are products of the very chains it
  // continued (the inputs were checked to be the same): they are replaced
  // without a question, which a batch job that resumes could never answer.
  CliOptions reportOptions = options.common;
  if (options.resume) reportOptions.overwrite = true;
  const Interaction reportUi = MakeTerminalInteraction(reportOptions);
  std::vector<std::string> filesWritten;
  bool reportsOk = true;
  if (outcome.chains < 2)
    std::cerr << "Note: the Gelman-Rubin diagnostic compares chains; with one chain it is left "
                 "out\n";
  for (const MixtureOutcome& mixture : outcome.mixtures) {
    if (!quiet) std::cerr << "Reports for mixture " << mixture.mixture + 1 << "\n";
    std::vector<std::string> files;
    const std::size_t reportMark = ShownProblemMark();
    int produced = RunAllReportsForRun(rcfPath, mixture.mixture, reportUi, files, nullptr, true);
    filesWritten.insert(filesWritten.end(), files.begin(), files.end());
    if (!produced) {
      PrintError(WithCause("the reports of mixture " + std::to_string(mixture.mixture + 1) +
                               " were not all produced",
                           reportMark));
      reportsOk = false;
    }
    // The chains are complete; only reports remain, and `mixora report` writes them.
    if (StopSignal().load() != 0) {
      PrintError("stopped before every report was written; the chains are complete: run `mixora "
                 "report " + rcfPath + " --all` for the reports");
      return kStoppedExitCode;
    }
  }

  for (const MixtureOutcome& mixture : outcome.mixtures) {
    const std::size_t estimatesMark = ShownProblemMark();
    if (!PrintMixtureEstimates(rcfPath, mixture.mixture, ui)) {
      PrintError(WithCause("cannot read the estimates of mixture " +
                               std::to_string(mixture.mixture + 1),
                           estimatesMark));
      reportsOk = false;
    }
  }
  std::cout << "\nFiles written beside " << rcfPath << ":\n";
  for (const std::string& file : filesWritten) std::cout << "  " << file << "\n";
  std::cout << std::flush;
  if (!ReportSkippedMixtures(outcome.skipped)) reportsOk = false;
  return reportsOk ? 0 : 1;
}

}  // namespace

void RegisterAnalyzeCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<AnalyzeOptions>();
  CLI::App* command = app.add_subcommand(
      "analyze",
      "Load and check a control file, run every mixture's chains, write all reports and "
      "diagnostics, and print the estimated compositions");
  command->add_option("CONTROL_FILE", options->controlPath, "Text (.tcf) or SPAM (.ctl) control file")
      ->required();
  command->add_option("-o,--output", options->outputPath,
                      "Run control file to write (default: OutputFolder/<control file name>.rcf)");
  command->add_flag("--resume", options->resume,
                    "Continue the chains of an interrupted analysis instead of starting afresh");
  AddThreadsPerChainOption(*command, options->threadsPerChain);
  AddCommonOptions(*command, options->common);
  command->callback([options, &exitCode] { exitCode = RunAnalyze(*options); });
}

}  // namespace mixora::cli
