#pragma once
// The state one report works on: the run, the report kind and grouping, the
// record counts shared by every report (L, D), the current grouping level,
// the open text file, the abort flag and the front end's hooks. The report
// runner fills it; the report entries read it.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "core/interaction.h"
#include "runfiles/run_record.h"

namespace mixora {

enum ReportKind : int {
  kReportAssignments = 0,   // "Stock Assignments"
  kReportCompositions = 1,  // "Stock Compositions"
  kReportGelmanRubin = 2,   // "Gelman-Rubin Diagnostic"
  kReportRafteryLewis = 3,  // "Raftery-Lewis Diagnostic"
  kReportConvert = 4,       // "Converting Files" (no text file)
};
inline constexpr int kReportKindCount = 5;

// The display name of a kind ("" outside the table).
const char* ReportDisplayName(int kind);
// True for the kinds that write a text report ("Txt").
inline bool KindHasTextFile(int kind) { return kind >= 0 && kind <= kReportRafteryLewis; }

// Conversion flags (the "Convert Files to ASCII" choices).
enum ConvertFlags : uint32_t {
  kConvertAssignments = 0x1,   // "Stock Assignments (.sta)"
  kConvertComposition = 0x2,   // "Individual Estimates (.ise)"
  kConvertGroups = 0x4,        // "Group Estimates (.grp)"
  kConvertBinaryGraph = 0x1000,
};
// What later passes keep: group estimates are converted at every level, the
// rest only in the first pass.
inline constexpr uint32_t kConvertKeptAfterPass = kConvertGroups | kConvertBinaryGraph;

struct ConversionSettings {
  uint32_t flags = 0;
  std::string folder;  // existing output folder
  int32_t keep = 0;    // trailing records to convert
};

// Hooks of the "Processing" window (all optional). The worker calls them from
// its own thread.
struct ReportDisplay {
  std::function<void(const std::string&)> label;        // "What:", "Loading:", "Converting:" ...
  std::function<void(const std::string&)> unit;         // "Record", "Estimate"
  std::function<void(const std::string&)> currentFile;  // a path, "Chain %d", "Chains Combined"
  std::function<void(const std::string&)> status;       // "Working", "Finished", "Failed", "Aborted"
  // The report ended (result 1 or 0); the window relabels Abort as "&Close".
  std::function<void(int result)> finished;
};

struct ReportSession;

struct ReportJob {
  RunRecord* run = nullptr;
  Interaction ui;
  ReportDisplay display;
  ReportSession* session = nullptr;  // process-wide flags; may be none
  // Lets the front end handle its pending events; called inside long loops.
  std::function<void()> pump;
  // True when a front end shows the "Processing" window (the Raftery-Lewis
  // summary box is shown only then).
  bool withWindow = false;
  // Asked for another file when a chain's composition file cannot be opened
  // (chain from 0, the path tried); "" gives up. Optional.
  std::function<std::string(int chain, const std::string& failedPath)> chooseFile;

  // A run of one chain cannot be compared between chains: RunAllReports then
  // leaves the Gelman-Rubin passes out instead of failing on them.
  bool skipGelmanRubinForOneChain = false;
  // An aborted report with no earlier one to keep is removed instead of
  // kept with its complete lines: a stop from outside (a signal, a
  // scheduler) leaves no report that looks finished and is not.
  bool discardWhenAborted = false;

  int kind = kReportCompositions;
  bool byRegion = false;
  // Set by another thread; read between rows and records. Relaxed: a stop
  // request carries no data, and the worker is joined before its results
  // are read.
  std::atomic<int32_t> abort{0};
  int32_t failed = 0;             // after a report: 1 when it failed

  int32_t length = 0;   // L: composition records of the first chain
  int32_t discard = 0;  // D
  // Record totals of every chain. Empty: read by PrepareReportJob.
  std::vector<uint32_t> compositionTotals;
  std::vector<uint32_t> assignmentTotals;

  // The current grouping level (from 0) and its groups.
  int level = 0;
  std::vector<int32_t> groupOfStock;  // group position of every stock at the level
  int32_t groupCount = 0;
  std::vector<int32_t> groupIds;
  std::vector<std::string> groupNames;

  std::FILE* out = nullptr;  // the report's text file while it runs
  std::string outPath;

  ConversionSettings conversion;
  // Assignments per stock over the kept records of all chains, counted once
  // per report (0 = not yet, 1 = counted, -1 = could not be counted).
  int stockTallyState = 0;
  std::vector<uint64_t> stockAssignmentTotals;
  int lastPercent = -1;
  std::vector<std::string> filesWritten;  // every file a report or conversion completed
  std::thread worker;

  ReportJob() = default;
  ReportJob(const ReportJob&) = delete;
  ReportJob& operator=(const ReportJob&) = delete;
  ~ReportJob();
};

// Process-wide report state shared by the sequence and the menu commands.
struct ReportSession {
  // Flags polled across threads; relaxed, as neither publishes other data.
  std::atomic<int32_t> abortAll{0};
  std::atomic<int32_t> reportsRunning{0};
  // The job of the running report, whose abort flag another thread sets:
  // stored with release once the job is ready and loaded with acquire, so a
  // thread that sees the pointer sees the job it points to.
  std::atomic<ReportJob*> current{nullptr};
  // Shows or hides the "Abort running reports" button; optional.
  std::function<void(bool visible)> abortButton;
};

// D from L and NumberToKeep: L - NumberToKeep when NumberToKeep >= 0, else
// L / 2; never below 0.
int32_t DiscardCount(int32_t length, int32_t numberToKeep);

// The record totals of every chain of the run: from the chain's restart file
// when it can be read (it counts exactly the records a chain has saved, even
// after a crash left a stale sample file header), else from the headers of
// its sample files; 0 for a chain with neither.
void ReadChainTotals(const RunRecord& run, std::vector<uint32_t>& compositionTotals,
                     std::vector<uint32_t>& assignmentTotals);

// Fills the totals (unless given) and sets L and D from the first chain.
void PrepareReportJob(ReportJob& job);

// Assignment records of each chain left out: D composition records span
// D * ThinIse iterations, which hold D * ThinIse / ThinSta assignment records.
uint32_t AssignmentDiscard(const ReportJob& job);

// Makes grouping level `level` current. Returns 0 when the run has no such
// level or the level leaves a stock without one of its groups.
int MakeLevelCurrent(ReportJob& job, int level);

// True once the report was asked to stop; lets the front end run first.
bool ReportAborted(ReportJob& job);
void PumpMessages(ReportJob& job);

// Progress of the running report: done = -1 restarts it with a new total.
// Passed on only when the whole percentage changes, or at the end.
void ReportJobProgress(ReportJob& job, int64_t done, int64_t total, const std::string& text);

// Front-end hooks, called only when present.
void ShowLabel(ReportJob& job, const std::string& text);
void ShowUnit(ReportJob& job, const std::string& text);
void ShowCurrentFile(ReportJob& job, const std::string& text);
void ShowReportStatus(ReportJob& job, const std::string& text);

// The run's title as output files carry it.
std::string RunTitleOf(const RunRecord& run);

}  // namespace mixora
