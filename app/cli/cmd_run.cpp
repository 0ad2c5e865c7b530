#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "chain_list.h"
#include "cli_support.h"
#include "commands.h"
#include "run_file_argument.h"
#include "run_progress.h"
#include "runfiles/run_control_reader.h"
#include "runfiles/summary_file.h"
#include "sampler/chain_progress.h"
#include "sampler/mixture_runner.h"
#include "sampler/restart_file.h"
#include "stop_signals.h"

namespace mixora::cli {

namespace {

struct RunOptions {
  std::string rcfPath;
  int mixture = 0;  // from 1; 0 = the first
  bool all = false;
  std::string chains;
  bool rerun = false;
  int reps = 0;
  int threadsPerChain = 1;
  CliOptions common;
};

int RunRun(RunOptions& options) {
  MixtureRunOptions run;
  if (options.mixture > 0) run.mixtures = {options.mixture - 1};
  else if (!options.all) run.mixtures = {0};
  std::string why;
  if (!options.chains.empty() && !ParseChainList(options.chains, run.chains, why)) {
    PrintError(why);
    return 2;
  }
  run.rerun = options.rerun;
  run.reps = options.reps;
  run.threadsPerChain = options.threadsPerChain;
  run.stopRequested = &StopSignal();

  Interaction ui = MakeTerminalInteraction(options.common);
  ProgressDisplay display(options.common.quiet, StdoutIsTerminal(), std::cout);
  MixtureRunEvents events = ProgressEvents(display);

  if (const std::string problem = RunFileArgumentProblem(options.rcfPath); !problem.empty()) {
    PrintError(problem);
    return 1;
  }
  // Which mixtures this command is about, said before anything runs.
  std::unique_ptr<RunRecord> whole = ReadNewControl(options.rcfPath, Interaction{});
  if (whole && options.mixture > whole->mixtureCount) {
    PrintError(options.rcfPath + ": there is no mixture " + std::to_string(options.mixture) +
               ": the run has " + std::to_string(whole->mixtureCount) + " mixture" +
               (whole->mixtureCount == 1 ? "" : "s"));
    return 2;
  }
  if (whole && options.mixture == 0 && !options.all && whole->mixtureCount > 1 &&
      !options.common.quiet)
    std::cout << "Running mixture 1 only: the run has " << whole->mixtureCount
              << " mixtures (use --all for every one, or --mixture N)\n";
  if (whole && !options.rerun && options.reps == 0 && options.chains.empty()) {
    std::vector<int> asked = run.mixtures;
    if (asked.empty())
      for (int p = 0; p < whole->mixtureCount; ++p)
        if (MixtureFishCount(*whole, p) > 0) asked.push_back(p);
    bool complete = !asked.empty();
    std::vector<int32_t> targets;
    for (int p : asked) {
      int32_t target = 0;
      complete = complete && MixtureAlreadyComplete(options.rcfPath, p, &target);
      targets.push_back(target);
    }
    if (complete) {
      for (std::size_t i = 0; i < asked.size(); ++i)
        std::cout << "Mixture " << asked[i] + 1 << " ("
                  << RunTitleFor(whole->mixtureTitle, asked[i]) << "): already complete at "
                  << targets[i]
                  << " iterations; use --reps N to extend or --rerun to start afresh\n";
      return 0;
    }
  }

  InstallStopSignals();
  MixtureRunOutcome outcome;
  const std::size_t mark = ShownProblemMark();
  const int ok = RunMixtures(options.rcfPath, run, ui, events, outcome);
  if (ok == 1) {
    std::cout << "Completed: " << outcome.mixtures.size() << " mixture"
              << (outcome.mixtures.size() == 1 ? "" : "s") << " run to " << outcome.reps
              << " reps\n";
    return ReportSkippedMixtures(outcome.skipped) ? 0 : 1;
  }
  ReportSkippedMixtures(outcome.skipped);
  if (!outcome.failure.empty()) {
    PrintError(WithCause(outcome.failure, mark));
    return 1;
  }
  if (outcome.stopped) {
    PrintError("stopped: the chains saved their samples and restart files; run the same command "
               "again to resume");
    return kStoppedExitCode;
  }
  for (const MixtureOutcome& m : outcome.mixtures) {
    if (m.incomplete.empty()) continue;
    const std::string mixture = "mixture " + std::to_string(m.mixture + 1) + ": ";
    std::vector<int> waiting, unfinished;
    for (int c : m.incomplete) {
      if (c == m.failedChain) continue;
      const bool kept = std::find(m.notStarted.begin(), m.notStarted.end(), c) != m.notStarted.end();
      (kept ? waiting : unfinished).push_back(c);
    }
    for (auto* group : {&waiting, &unfinished}) {
      if (group->empty()) continue;
      std::string list;
      for (int c : *group) list += (list.empty() ? "" : ", ") + std::to_string(c + 1);
      const std::string line =
          mixture + "chain" + (group->size() == 1 ? " " : "s ") + list +
          (group == &waiting ? (group->size() == 1 ? " was" : " were") + std::string(" not started")
                             : std::string(" did not complete"));
      // A chain that stopped on its own said why while it ran.
      PrintError(group == &unfinished ? WithCause(line, mark) : line);
    }
    // The chain whose files stopped the start is named on its own, last, with
    // the reason; the chains it kept from starting are not to blame.
    if (m.failedChain >= 0) {
      const std::string chain = std::to_string(m.failedChain + 1);
      if (m.restartRefused)
        PrintError(WithCause(mixture + "chain " + chain +
                                 " was not started because its restart file was refused",
                             mark) +
                   "; nothing of it was changed. `mixora run " + options.rcfPath +
                   " --mixture " + std::to_string(m.mixture + 1) + " --chains " + chain +
                   " --rerun` starts that chain afresh, discarding its samples");
      else
        PrintError(WithCause(mixture + "chain " + chain + " could not be started", mark));
    }
  }
  return 1;
}

}  // namespace

void RegisterRunCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<RunOptions>();
  CLI::App* command = app.add_subcommand(
      "run", "Run the chains of a run control file, resuming them from their restart files");
  command->add_option("RUN_FILE", options->rcfPath, "Run control file (.rcf)")->required();
  CLI::Option* mixture =
      command->add_option("--mixture", options->mixture, "Mixture to run, counted from 1")
          ->check(CLI::PositiveNumber);
  command->add_flag("--all", options->all, "Run every mixture, one after another")
      ->excludes(mixture);
  command->add_option("--chains", options->chains,
                      "Chains to run, counted from 1, e.g. 1,3 or 2-4 (default: all)");
  command->add_flag("--rerun", options->rerun,
                    "Start the chains afresh instead of resuming them from their restart files");
  command->add_option("--reps", options->reps,
                      "Run the chains to this many iterations (not below the run's current number of "
                      "reps); kept in their restart files as the mixture's end for every later run")
      ->check(CLI::PositiveNumber);
  AddThreadsPerChainOption(*command, options->threadsPerChain);
  AddCommonOptions(*command, options->common);
  command->callback([options, &exitCode] { exitCode = RunRun(*options); });
}

}  // namespace mixora::cli
