#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli_support.h"
#include "commands.h"
#include "runfiles/summary_file.h"
#include "sampler/chain_progress.h"
#include "sampler/mixture_runner.h"

namespace mixora::cli {

namespace {

std::atomic<int> gStopRequested{0};

// The first Ctrl-C (or SIGTERM) asks the chains to stop cleanly; the handler
// then reverts to the default, so a second one ends the program at once
// (the restart files still allow resuming).
void OnStopSignal(int) { gStopRequested.store(1); }

void InstallStopHandlers() {
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
}

struct RunOptions {
  std::string rcfPath;
  int mixture = 0;  // from 1; 0 = the first
  bool all = false;
  std::string chains;
  bool rerun = false;
  int reps = 0;
  CliOptions common;
};

// "1,3,5-7" (chains counted from 1) into 0-based indexes. Returns false and
// sets why on a malformed list.
bool ParseChainList(const std::string& text, std::vector<int>& chains, std::string& why) {
  std::stringstream parts(text);
  std::string part;
  while (std::getline(parts, part, ',')) {
    int first = 0, last = 0;
    char extra = 0;
    if (std::sscanf(part.c_str(), "%d-%d%c", &first, &last, &extra) == 2) {
    } else if (std::sscanf(part.c_str(), "%d%c", &first, &extra) == 1) {
      last = first;
    } else {
      why = "--chains: \"" + part + "\" is not a chain number or a range like 2-4";
      return false;
    }
    if (first < 1 || last < first) {
      why = "--chains: \"" + part + "\" is not a range of chain numbers from 1";
      return false;
    }
    for (int c = first; c <= last; ++c) chains.push_back(c - 1);
  }
  if (chains.empty()) {
    why = "--chains: no chain given";
    return false;
  }
  return true;
}

std::string ChainLine(const ChainProgress& p) {
  char text[256];
  std::snprintf(text, sizeof text,
                "Chain %2d %8d/%-8d %7.0f it/s  elapsed %5s  ETA %5s  CPU %5s  %s",
                p.index + 1, p.iteration, p.endIteration, p.rate, FormatDuration(p.elapsed).c_str(),
                p.eta < 0 ? "--" : FormatDuration(p.eta).c_str(), FormatDuration(p.cpu).c_str(),
                p.state.c_str());
  return text;
}

// Live progress: redrawn in place on a terminal; plain lines otherwise,
// throttled so that a log does not fill with them.
class ProgressDisplay {
 public:
  ProgressDisplay(bool quiet, bool terminal) : quiet_(quiet), terminal_(terminal) {}

  void Opened(const RunSession& session) {
    drawn_ = 0;
    lastPlain_ = 0;
    if (quiet_) return;
    const RunRecord& run = *session.run;
    std::cout << "Mixture " << run.mixtureIndex + 1 << " of " << run.mixtureCount << ": "
              << run.runTitle << " (" << session.chains.size() << " chains, "
              << session.numberOfReps << " reps)\n"
              << std::flush;
  }

  void Tick(const RunSession& session) {
    if (quiet_) return;
    if (terminal_) {
      Redraw(session);
      return;
    }
    // Without a terminal: every running chain's line every ten seconds.
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    const int64_t seconds = std::chrono::duration_cast<std::chrono::seconds>(now).count();
    if (lastPlain_ != 0 && seconds - lastPlain_ < 10) return;
    lastPlain_ = seconds;
    for (int c = 0; c < static_cast<int>(session.chains.size()); ++c) {
      ChainProgress p = ReadChainProgress(session, c);
      if (p.state == "Running" || p.state == "Paused") std::cout << ChainLine(p) << "\n";
    }
    std::cout << std::flush;
  }

  void ChainFinished(const RunSession& session, int chain) {
    if (quiet_) return;
    if (terminal_) {
      Redraw(session);
      return;
    }
    ChainProgress p = ReadChainProgress(session, chain);
    std::cout << ChainLine(p) << "  (" << p.phase << ")\n" << std::flush;
  }

  void MixtureFinished(const RunSession& session, const MixtureOutcome& outcome) {
    if (quiet_) return;
    if (terminal_) Redraw(session);
    std::cout << "Mixture " << outcome.mixture + 1 << ": " << outcome.completed.size() << " of "
              << outcome.completed.size() + outcome.incomplete.size() << " chains completed\n"
              << std::flush;
    drawn_ = 0;
  }

 private:
  void Redraw(const RunSession& session) {
    std::string text;
    if (drawn_ > 0) text += "\x1b[" + std::to_string(drawn_) + "A";
    for (int c = 0; c < static_cast<int>(session.chains.size()); ++c)
      text += "\r\x1b[2K" + ChainLine(ReadChainProgress(session, c)) + "\n";
    drawn_ = static_cast<int>(session.chains.size());
    std::cout << text << std::flush;
  }

  bool quiet_;
  bool terminal_;
  int drawn_ = 0;
  int64_t lastPlain_ = 0;
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
  run.stopRequested = &gStopRequested;

  Interaction ui = MakeTerminalInteraction(options.common);
  ProgressDisplay display(options.common.quiet, StdoutIsTerminal());
  MixtureRunEvents events;
  events.mixtureOpened = [&display](const RunSession& s) { display.Opened(s); };
  events.tick = [&display](const RunSession& s) { display.Tick(s); };
  events.chainFinished = [&display](const RunSession& s, int c) { display.ChainFinished(s, c); };
  events.mixtureFinished = [&display](const RunSession& s, const MixtureOutcome& o) {
    display.MixtureFinished(s, o);
  };

  InstallStopHandlers();
  MixtureRunOutcome outcome;
  const int ok = RunMixtures(options.rcfPath, run, ui, events, outcome);
  if (ok == 1) {
    std::cout << "Completed: " << outcome.mixtures.size() << " mixture"
              << (outcome.mixtures.size() == 1 ? "" : "s") << " run to " << outcome.reps
              << " reps\n";
    return ReportSkippedMixtures(outcome.skipped) ? 0 : 1;
  }
  ReportSkippedMixtures(outcome.skipped);
  if (!outcome.failure.empty()) {
    PrintError(outcome.failure);
    return 1;
  }
  if (outcome.stopped) {
    PrintError("stopped: the chains saved their samples and restart files; run the same command "
               "again to resume");
    return 130;
  }
  for (const MixtureOutcome& m : outcome.mixtures) {
    if (m.incomplete.empty()) continue;
    const std::string mixture = "mixture " + std::to_string(m.mixture + 1) + ": ";
    // The chain whose files stopped the start is named on its own; the
    // chains it kept from starting are not to blame.
    if (m.failedChain >= 0) {
      const std::string chain = std::to_string(m.failedChain + 1);
      if (m.restartRefused)
        PrintError(mixture + "chain " + chain +
                   " was not started because its restart file was refused (see above); "
                   "nothing of it was changed. `mixora run " + options.rcfPath + " --mixture " +
                   std::to_string(m.mixture + 1) + " --chains " + chain +
                   " --rerun` starts that chain afresh, discarding its samples");
      else
        PrintError(mixture + "chain " + chain + " could not be started (see above)");
    }
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
      PrintError(mixture + "chain" + (group->size() == 1 ? " " : "s ") + list +
                 (group == &waiting ? (group->size() == 1 ? " was" : " were") +
                                          std::string(" not started")
                                    : std::string(" did not complete")));
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
                      "Run the chains to this many iterations (not below the run's current number of reps)")
      ->check(CLI::PositiveNumber);
  AddCommonOptions(*command, options->common);
  command->callback([options, &exitCode] { exitCode = RunRun(*options); });
}

}  // namespace mixora::cli
