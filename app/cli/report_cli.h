#pragma once
// What the report and convert commands share: the terminal side of a report
// job (messages, status lines, progress, Ctrl-C as Abort), opening the run of
// one mixture, and checking that the chains' sample files are there.
#include <memory>
#include <string>
#include <vector>

#include "cli_support.h"
#include "reports/report_job.h"
#include "runfiles/run_record.h"

namespace mixora::cli {

// Interaction for report commands: messages without CR, status lines and
// progress on standard error unless quiet (progress only on a terminal).
Interaction MakeReportInteraction(const CliOptions& options);

// Ctrl-C, SIGTERM and SIGHUP ask the running report to stop; it is
// discarded, and later signals change nothing. The job's pump hands the
// request to the session.
void InstallAbortOnInterrupt();
void ConnectInterrupt(ReportJob& job, ReportSession& session);
bool Interrupted();

// Mixture p (from 0) of the run control file, or none after an error was
// printed.
std::unique_ptr<RunRecord> OpenMixture(const std::string& rcfPath, int p, const Interaction& ui);

// The sample files of every chain that the reports need: composition files,
// and assignment files when `assignments`. Returns the paths missing.
std::vector<std::string> MissingSampleFiles(const RunRecord& run, bool compositions,
                                            bool assignments);

// Prints, as one error naming the run, the chains a process runs now, or
// else the missing files, or else the first chain file computed from other
// inputs than the run control file holds now (or owned by another one);
// returns true when there is none of these.
bool ReportMissingSampleFiles(const RunRecord& run, bool compositions, bool assignments);

// "mixture 2 (Coho_POP_02)" for messages.
std::string MixtureLabel(const RunRecord& run);

}  // namespace mixora::cli
