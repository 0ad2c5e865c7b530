#pragma once
// Names of every output of a run: all lie in the folder of the run control
// file and begin with the run's title.
#include <string>

#include "runfiles/run_record.h"

namespace mixora {

// Chain argument of BuildRunFileName: no chain, or no chain with the title
// first cut at "_POP_" so the per-mixture runs of one run control file share
// the name.
inline constexpr int kNoChain = -1;
inline constexpr int kNoChainSharedTitle = -2;
inline constexpr int kNoReport = -1;
inline constexpr int kNoGroup = -1;

enum RunFileExtension : int {
  kExtAssignments = 0,       // "Sta"
  kExtComposition = 1,       // "Ise"
  kExtRestart = 2,           // "Rst"
  kExtSummary = 3,           // "Sum": chain log with a chain, run summary without
  kExtText = 5,              // "Txt"
  kExtCsv = 6,               // "Csv"
  kExtGroupComposition = 7,  // "Ise", as the source of group estimates
};

enum RunReportName : int {
  kReportIds = 0,  // "IDs"
  kReportScs = 1,  // "SCs"
  kReportGr = 2,   // "GR"
  kReportRl = 3,   // "RL"
};

// The extension text of an index ("" for an index outside the table).
const char* RunFileExtensionText(int extensionIndex);
// The report-name text of an index ("" for an index outside the table).
const char* RunReportNameText(int reportIndex);

// Folder of run.controlPath, then the run's title (runTitle, or the stored
// Title when the run has none), then "_%02d" with chainIndex + 1 when
// chainIndex >= 0, "_%s" with the report name when reportIndex >= 0, "_Grp"
// when groupFlag >= 0, and "." with the extension. Returns "" for an
// extension index outside the table.
std::string BuildRunFileName(const RunRecord& run, int chainIndex, int reportIndex, int groupFlag,
                             int extensionIndex);

}  // namespace mixora
