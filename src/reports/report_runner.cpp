#include "reports/report_runner.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>

#include "core/atomic_file.h"
#include "core/paths.h"
#include "core/system_error.h"
#include "diagnostics/diagnostic_passes.h"
#include "reports/assignment_report.h"
#include "reports/composition_report.h"
#include "reports/output_conversion.h"
#include "reports/tidy_tables.h"
#include "runfiles/run_file_names.h"
#include "sampler/chain_inputs.h"

namespace mixora {

namespace {

bool AbortAll(const ReportJob& job) {
  return job.session != nullptr && job.session->abortAll.load(std::memory_order_relaxed) != 0;
}

int RunDiagnostic(ReportJob& job, bool byRegion) {
  DiagnosticPass pass;
  pass.run = job.run;
  pass.byRegion = byRegion;
  pass.level = job.level;
  pass.length = job.length;
  pass.discard = job.discard;
  pass.chainTotals = job.compositionTotals;
  pass.out = job.out;
  pass.ui = job.ui;
  pass.aborted = [&job] { return ReportAborted(job); };
  pass.chooseFile = job.chooseFile;
  pass.showSummary = job.withWindow;
  return job.kind == kReportGelmanRubin ? GelRub(pass) : RafteryLewis(pass);
}

int RunEntry(ReportJob& job, bool byRegion) {
  switch (job.kind) {
    case kReportAssignments: return AssignmentReport(job, byRegion);
    case kReportCompositions: return StockCompositionReport(job, byRegion);
    case kReportGelmanRubin:
    case kReportRafteryLewis: return RunDiagnostic(job, byRegion);
    case kReportConvert: return ConvertOutputs(job, byRegion);
    default: return 0;
  }
}

// Samples computed from other inputs than the run control file holds now,
// or another run control file's, would be reported as this run's answer.
bool ChainInputsAgree(const ReportJob& job) {
  const std::string problem = ChainFilesInputsProblem(*job.run);
  if (problem.empty()) return true;
  ShowMessage(job.ui, kMbIconError, "%s", problem.c_str());
  return false;
}

// Sets what every report of the job starts from.
void BeginReport(ReportJob& job, int kind, bool byRegion) {
  job.kind = kind;
  job.byRegion = byRegion;
  job.abort.store(0, std::memory_order_relaxed);
  PrepareReportJob(job);
}

// Makes the job the one an abort reaches while it runs.
class CurrentJob {
 public:
  explicit CurrentJob(ReportJob& job) : session_(job.session) {
    if (session_ != nullptr) session_->current.store(&job, std::memory_order_release);
  }
  ~CurrentJob() {
    if (session_ != nullptr) session_->current.store(nullptr, std::memory_order_release);
  }
  CurrentJob(const CurrentJob&) = delete;
  CurrentJob& operator=(const CurrentJob&) = delete;

 private:
  ReportSession* session_;
};

}  // namespace

void ReportThread(ReportJob& job) {
  const RunRecord& run = *job.run;
  const int kind = job.kind;
  const bool byRegion = job.byRegion;
  job.failed = 0;
  job.stockTallyState = 0;
  const int levels = run.settings.Levels;
  int passes = byRegion || kind == kReportConvert ? levels : 1;
  int result = 1;
  PendingFile pendingOut;
  bool hadEarlier = false;
  if (kind < 0 || kind >= kReportKindCount) result = 0;
  if (byRegion && levels < 1) {
    ShowMessage(job.ui, kMbIconError, "The run has no grouping levels to report by region");
    result = 0;
  }
  // A conversion of stocks alone still needs its one pass.
  if (kind == kReportConvert && passes < 1) passes = 1;
  if (result == 1 && !ChainInputsAgree(job)) result = 0;

  if (result == 1 && KindHasTextFile(kind)) {
    job.outPath = BuildRunFileName(run, kNoChain, kind, byRegion ? 0 : kNoGroup, kExtText);
    // A report that fails must leave the earlier one whole: it is written
    // beside it and moved into place only when complete.
    hadEarlier = FileExists(job.outPath);
    std::error_code folderCheck;
    if (std::filesystem::is_directory(job.outPath, folderCheck)) {
      ShowMessage(job.ui, kMbIconError, "Cannot Open %s: %s", job.outPath.c_str(), SystemErrorText(errno).c_str());
      result = 0;
    } else if (hadEarlier && !AskOverwrite(job.ui, job.outPath, job.run->overwriteAll)) {
      result = 0;
    } else {
      job.out = OpenPendingFile(pendingOut, job.outPath);
      if (job.out == nullptr) {
        ShowMessage(job.ui, kMbIconError, "Cannot Open %s: %s", job.outPath.c_str(), SystemErrorText(errno).c_str());
        result = 0;
      }
    }
  }

  for (int level = 0; result == 1 && level < passes; ++level) {
    const int usable = MakeLevelCurrent(job, level);
    if (byRegion && usable == 0) {
      ShowMessage(job.ui, kMbIconError,
                  "Grouping level %d of the run does not place every stock in one of its groups",
                  level + 1);
      result = 0;
      break;
    }
    result = RunEntry(job, byRegion);
    if (job.abort.load(std::memory_order_relaxed) != 0) result = 0;
    job.conversion.flags &= kConvertKeptAfterPass;
  }

  if (job.out != nullptr) {
    const bool empty = std::ftell(job.out) <= 0;
    // A report that met a full disk may have stopped at its first failed
    // write or gone on; either way the person learns why from the system.
    const bool writeFailed = std::fflush(job.out) != 0 || std::ferror(job.out) != 0;
    const int writeError = errno;
    job.out = nullptr;
    // A failed report never replaces an earlier one; with none to keep, it
    // stays when it says something (the lines up to the failure), never as
    // an empty file, and an aborted one only when the front end wants it.
    const bool aborted = job.abort.load(std::memory_order_relaxed) != 0;
    if (writeFailed) {
      DiscardPendingFile(pendingOut);
      if (!aborted) {
        errno = writeError;
        ReportSystemError(job.ui, "Error writing", job.outPath);
      }
      result = 0;
    } else if (result != 1 && (hadEarlier || empty || (aborted && job.discardWhenAborted))) {
      DiscardPendingFile(pendingOut);
    } else if (result != 1) {
      CommitPendingFile(pendingOut);
    } else if (CommitPendingFile(pendingOut) == 0) {
      ReportSystemError(job.ui, "Error writing", job.outPath);
      result = 0;
    } else {
      job.filesWritten.push_back(job.outPath);
    }
  }
  // The tidy estimates cover every level at once, so they follow the report
  // by population only.
  if (result == 1 && kind == kReportCompositions && !byRegion && job.abort.load() == 0) {
    std::string tidyPath;
    if (WriteEstimatesTable(*job.run, job.ui, tidyPath) == 1)
      job.filesWritten.push_back(tidyPath);
    else
      result = 0;
  }

  if (job.abort.load(std::memory_order_relaxed) != 0) {
    ShowReportStatus(job, "Aborted");
  } else {
    ShowReportStatus(job, result == 1 ? "Finished" : "Failed");
    if (result == 1 && KindHasTextFile(kind)) {
      ShowLabel(job, "Output File:");
      ShowCurrentFile(job, job.outPath);
    }
  }
  if (run.summary != nullptr) std::fflush(run.summary);
  job.failed = result == 1 ? 0 : 1;
  if (job.display.finished) job.display.finished(result);
}

int StartReport(ReportJob& job, int kind, bool byRegion) {
  if (job.worker.joinable()) return 0;
  BeginReport(job, kind, byRegion);
  if (job.session != nullptr) job.session->current.store(&job, std::memory_order_release);
  ShowReportStatus(job, "Working");
  job.worker = std::thread([&job] { ReportThread(job); });
  return 1;
}

int WaitReport(ReportJob& job) {
  if (job.worker.joinable()) job.worker.join();
  if (job.session != nullptr) job.session->current.store(nullptr, std::memory_order_release);
  job.abort.store(0, std::memory_order_relaxed);
  return job.failed == 0 ? 1 : 0;
}

int RunReport(ReportJob& job, int kind, bool byRegion) {
  if (StartReport(job, kind, byRegion) == 0) return 0;
  return WaitReport(job);
}

int RunReportInline(ReportJob& job, int kind, bool byRegion) {
  if (AbortAll(job)) return 0;
  BeginReport(job, kind, byRegion);
  CurrentJob current(job);
  const char* name = ReportDisplayName(kind);
  const char* by = byRegion ? "Region" : "Population";
  SetStatus(job.ui, 1, "Producing: %s by %s", name, by);
  ReportThread(job);
  SetStatus(job.ui, 1, "Finished %s by %s", name, by);
  return job.failed == 0 ? 1 : 0;
}

int RunAllReports(ReportJob& job) {
  const RunRecord& run = *job.run;
  PrepareReportJob(job);
  if (!ChainInputsAgree(job)) {
    SetStatus(job.ui, 2, "Error producing report");
    return 0;
  }
  for (int c = 1; c < run.settings.NumberOfChains; ++c) {
    const std::size_t at = static_cast<std::size_t>(c);
    if (job.compositionTotals[at] != job.compositionTotals[0] ||
        job.assignmentTotals[at] != job.assignmentTotals[0]) {
      ShowMessage(job.ui, kMbIconError,
                  "Chains of unequal length: chain 1 holds %u composition and %u assignment "
                  "records, chain %d holds %u and %u. No reports were produced.",
                  job.compositionTotals[0], job.assignmentTotals[0], c + 1,
                  job.compositionTotals[at], job.assignmentTotals[at]);
      SetStatus(job.ui, 2, "Error producing report");
      return 0;
    }
  }

  ReportSession* session = job.session;
  bool failed = false;
  SetStatus(job.ui, 0, "Reports");
  if (!AbortAll(job)) {
    if (session != nullptr) {
      if (session->abortButton) session->abortButton(true);
      session->reportsRunning.store(1, std::memory_order_relaxed);
    }
    struct Step {
      int kind;
      bool byRegion;
      bool counts;
    };
    static constexpr Step kSequence[] = {
        {kReportRafteryLewis, false, false}, {kReportRafteryLewis, true, false},
        {kReportAssignments, false, true},   {kReportCompositions, false, true},
        {kReportCompositions, true, true},   {kReportGelmanRubin, false, true},
        {kReportGelmanRubin, true, true},
    };
    std::size_t ran = 0;
    const bool oneChain = run.settings.NumberOfChains < 2;
    for (const Step& step : kSequence) {
      if (AbortAll(job)) break;
      if (step.kind == kReportGelmanRubin && oneChain && job.skipGelmanRubinForOneChain) {
        ++ran;
        continue;
      }
      const int result = RunReportInline(job, step.kind, step.byRegion);
      ++ran;
      if (step.counts && result == 0) {
        failed = true;
        break;
      }
      // The reports after a failed diagnostic are still produced, but the
      // whole set is not complete and must not be reported as such.
      if (result == 0) failed = true;
    }
    if (ran == std::size(kSequence) && !failed && !AbortAll(job))
      SetStatus(job.ui, 1, "All Reports complete");
  }
  if (session != nullptr && session->abortButton) session->abortButton(false);
  const bool aborted = AbortAll(job);
  if (aborted) {
    SetStatus(job.ui, 1, "Reports aborted");
    SetStatus(job.ui, 2, "%s", "");
  } else if (failed) {
    SetStatus(job.ui, 2, "Error producing report");
  } else {
    SetStatus(job.ui, 2, "%s", "");
  }
  if (session != nullptr) session->reportsRunning.store(0, std::memory_order_relaxed);
  return !failed && !aborted ? 1 : 0;
}

void AbortRunningReports(ReportSession& session) {
  session.abortAll.store(1, std::memory_order_relaxed);
  if (ReportJob* job = session.current.load(std::memory_order_acquire))
    job->abort.store(1, std::memory_order_relaxed);
}

int ProduceReportsForMarked(ReportSession& session, MarkedMixtures& mixtures,
                            const Interaction& ui) {
  if (mixtures.marked.empty() || session.reportsRunning.load(std::memory_order_relaxed) != 0 ||
      !mixtures.openRun)
    return 0;
  if (ShowMessage(ui, uint32_t{kMbYesNo} | kMbIconQuestion, "Produce Reports?") != kIdYes) return 0;
  if (mixtures.enableCommands) mixtures.enableCommands(false);
  std::vector<int> order = mixtures.marked;
  std::sort(order.begin(), order.end());
  order.erase(std::unique(order.begin(), order.end()), order.end());
  int result = 1;
  for (int p : order) {
    if (mixtures.select) mixtures.select(p);
    std::unique_ptr<RunRecord> run = mixtures.openRun(p);
    if (!run) {
      result = 0;
      break;
    }
    if (mixtures.showTitle) mixtures.showTitle(*run);
    ReportJob job;
    job.run = run.get();
    job.ui = ui;
    job.session = &session;
    if (mixtures.prepareJob) mixtures.prepareJob(job);
    if (RunAllReports(job) == 0) result = 0;
    if (session.abortAll.load(std::memory_order_relaxed) != 0) break;
  }
  session.abortAll.store(0, std::memory_order_relaxed);
  if (mixtures.enableCommands) mixtures.enableCommands(true);
  return result;
}

}  // namespace mixora
