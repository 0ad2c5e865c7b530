#include "report_cli.h"

#include <unistd.h>

#include <iostream>

#include "core/paths.h"
#include "reports/report_runner.h"
#include "runfiles/run_control_reader.h"
#include "runfiles/run_file_names.h"
#include "sampler/chain_inputs.h"
#include "sampler/chain_lock.h"
#include "run_file_argument.h"
#include "stop_signals.h"

namespace mixora::cli {

namespace {

std::string WithoutCarriageReturns(std::string text) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text)
    if (ch != '\r') out += ch;
  return out;
}

}  // namespace

Interaction MakeReportInteraction(const CliOptions& options) {
  Interaction ui = MakeTerminalInteraction(options);
  auto terminal = ui.message;
  ui.message = [terminal](uint32_t type, const std::string& text) {
    return terminal(type, WithoutCarriageReturns(text));
  };
  if (options.quiet) return ui;
  const bool tty = ::isatty(2) == 1;
  auto shown = std::make_shared<bool>(false);
  ui.status = [shown](int part, const std::string& text) {
    // Status part 1 tells which report runs; "Finished ..." is said whatever the
    // outcome, and the other parts repeat what the result says.
    if (part != 1 || text.empty() || text.rfind("Finished ", 0) == 0) return;
    if (*shown) std::cerr << "\r\033[K";
    *shown = false;
    std::cerr << text << "\n";
  };
  if (tty) {
    ui.progress = [shown](const std::string& caption, int64_t done, int64_t total) {
      const int64_t percent = total > 0 ? done * 100 / total : 100;
      std::cerr << "\r\033[K  " << caption << " " << percent << "%" << std::flush;
      *shown = true;
    };
  }
  return ui;
}

void InstallAbortOnInterrupt() {
  // A report stops between rows, at once; a second signal (a scheduler sends
  // SIGTERM to every process of a task, and its script passes it on) must not
  // end the program before the unfinished report is removed.
  static const char kNotice[] =
      "\nmixora: stopping: the unfinished report is discarded; earlier reports stay as they "
      "were\n";
  InstallStopSignals(kNotice);
}

// The signal flag is a lock-free atomic polled by the report worker; relaxed,
// as it carries no data.
bool Interrupted() { return StopSignal().load(std::memory_order_relaxed) != 0; }

void ConnectInterrupt(ReportJob& job, ReportSession& session) {
  job.discardWhenAborted = true;
  ReportSession* s = &session;
  job.pump = [s] {
    if (Interrupted() && s->abortAll.load(std::memory_order_relaxed) == 0) AbortRunningReports(*s);
  };
}

std::unique_ptr<RunRecord> OpenMixture(const std::string& rcfPath, int p, const Interaction& ui) {
  if (const std::string problem = RunFileArgumentProblem(rcfPath); !problem.empty()) {
    PrintError(problem);
    return nullptr;
  }
  // A mixture number past the last one is a slip of the user's, not a
  // damaged file: say how many there are.
  if (std::unique_ptr<RunRecord> whole = ReadNewControl(rcfPath, Interaction{});
      whole && (p < 0 || p >= whole->mixtureCount)) {
    PrintError(rcfPath + ": there is no mixture " + std::to_string(p + 1) + ": the run has " +
               std::to_string(whole->mixtureCount) + " mixture" +
               (whole->mixtureCount == 1 ? "" : "s"));
    return nullptr;
  }
  const std::size_t mark = ShownProblemMark();
  std::unique_ptr<RunRecord> run = ReadRunControl(ui, rcfPath, p);
  if (!run)
    PrintError(WithCause("cannot read mixture " + std::to_string(p + 1) + " of " + rcfPath, mark));
  return run;
}

std::vector<std::string> MissingSampleFiles(const RunRecord& run, bool compositions,
                                            bool assignments) {
  std::vector<std::string> missing;
  for (int c = 0; c < run.settings.NumberOfChains; ++c) {
    if (compositions) {
      std::string path = BuildRunFileName(run, c, kNoReport, kNoGroup, kExtComposition);
      if (!FileExists(path)) missing.push_back(path);
    }
    if (assignments) {
      std::string path = BuildRunFileName(run, c, kNoReport, kNoGroup, kExtAssignments);
      if (!FileExists(path)) missing.push_back(path);
    }
  }
  return missing;
}

bool ReportMissingSampleFiles(const RunRecord& run, bool compositions, bool assignments) {
  // A chain that a process runs now is writing its files: what they hold is
  // not its answer yet, and a block half written would read as damage.
  std::string running;
  int runningCount = 0;
  for (int c = 0; c < run.settings.NumberOfChains; ++c) {
    if (!ChainLockHeld(ChainLockPath(BuildRunFileName(run, c, kNoReport, kNoGroup, kExtRestart))))
      continue;
    running += (running.empty() ? "" : ", ") + std::to_string(c + 1);
    ++runningCount;
  }
  if (runningCount > 0) {
    PrintError(MixtureLabel(run) + ": chain" + (runningCount == 1 ? " " : "s ") + running +
               (runningCount == 1 ? " is" : " are") +
               " still running (a process holds the lock); report once the chains have stopped "
               "(`mixora status` shows where they stand), or stop them first");
    return false;
  }
  const std::vector<std::string> missing = MissingSampleFiles(run, compositions, assignments);
  if (missing.empty()) {
    // Samples of other inputs would be reported as this run's answer.
    const std::string problem = ChainFilesInputsProblem(run);
    if (problem.empty()) return true;
    PrintError(MixtureLabel(run) + ": " + problem);
    return false;
  }
  // One line, so that the closing line of the command names the files.
  std::string text = "missing sample files of " + MixtureLabel(run) + " (run its chains first): ";
  for (std::size_t i = 0; i < missing.size(); ++i) text += (i ? ", " : "") + missing[i];
  PrintError(text);
  return false;
}

std::string MixtureLabel(const RunRecord& run) {
  return "mixture " + std::to_string(run.mixtureIndex + 1) + " (" + RunTitleOf(run) + ")";
}

}  // namespace mixora::cli
