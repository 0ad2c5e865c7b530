#pragma once
// The report runner: produces one report (its passes over the grouping
// levels, into one text file) on a worker thread or on the calling thread,
// the whole sequence of reports and diagnostics of a run, and that sequence
// for every marked mixture.
#include <functional>
#include <memory>
#include <vector>

#include "reports/report_job.h"
#include "runfiles/run_record.h"

namespace mixora {

// The body of a report: opens the text file (kinds 0..3; "<Title>_<report>
// [_Grp].Txt" beside the run control file), runs the kind's entry once, or
// by region (and for conversions) once per grouping level, closes the file
// and sets job.failed. A file that cannot be created fails the report with
// "Cannot Open %s". Shows "Finished", "Failed" or "Aborted" and calls the
// display's finished hook. Requires job.kind, job.byRegion, L and D set.
void ReportThread(ReportJob& job);

// Sets the kind and grouping, clears the abort flag, sets L and D, and
// starts ReportThread on a worker thread. Returns 0 when a report of this job
// is still running.
int StartReport(ReportJob& job, int kind, bool byRegion);
// Waits for the worker; returns 1 when the report succeeded.
int WaitReport(ReportJob& job);
// StartReport, then WaitReport.
int RunReport(ReportJob& job, int kind, bool byRegion);

// The same on the calling thread, with the status line "Producing: %s by %s"
// and "Finished %s by %s". Returns 0 at once when the session's abort-all
// flag is set; 1 when the report succeeded.
int RunReportInline(ReportJob& job, int kind, bool byRegion);

// Every report and diagnostic of the run in order: Raftery-Lewis by
// population and by region (their results do not count), then stock
// assignments, stock compositions by population and by region, Gelman-Rubin
// by population and by region, stopping at the first failure or when the
// abort-all flag is set. Chains of unequal length produce nothing. Returns 1
// only when nothing failed and nothing was aborted. A job that asks for it
// leaves the Gelman-Rubin passes out of a one-chain run.
int RunAllReports(ReportJob& job);

// Stops the running report or sequence: sets the abort-all flag and the
// current report's abort flag.
void AbortRunningReports(ReportSession& session);

// What the reports for the marked mixtures need from the front end.
struct MarkedMixtures {
  std::vector<int> marked;  // mixture indexes (from 0) marked in the mixture list
  // Opens mixture p of the run; none ends the loop.
  std::function<std::unique_ptr<RunRecord>(int mixture)> openRun;
  // Optional: select and show mixture p; show the opened run's title; turn
  // the main window's commands off and on; finish a job before it runs.
  std::function<void(int mixture)> select;
  std::function<void(const RunRecord& run)> showTitle;
  std::function<void(bool enabled)> enableCommands;
  std::function<void(ReportJob& job)> prepareJob;
};

// Asks "Produce Reports?" and runs RunAllReports for every marked mixture in
// index order, stopping when one cannot be opened or the abort-all flag is
// set; clears the abort flags at the end. Nothing happens when no mixture
// is marked or reports are running. Returns 1 when every marked mixture was
// reported without failure.
int ProduceReportsForMarked(ReportSession& session, MarkedMixtures& mixtures,
                            const Interaction& ui);

}  // namespace mixora
