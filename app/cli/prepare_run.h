#pragma once
// The three load steps of preparing a run (control file, baseline, mixture),
// each followed by its checks and each run only when the earlier ones
// succeeded, as `mixora check` and `mixora load` share them.
#include <string>
#include <vector>

#include "core/error_flags.h"
#include "core/interaction.h"
#include "input/control.h"

namespace mixora::cli {

struct Preparation {
  std::string controlPath;
  Control control;
  bool controlLoaded = false;   // control file read and its counts checked
  bool baselineLoaded = false;  // baseline read and its check passed
  bool mixtureLoaded = false;   // mixture read and paired with the characters
  bool mixtureChecked = false;  // mixture check ran
  ErrorFlags mixtureCheckFlags = 0;
  // Why the preparation stopped (empty when every step succeeded): the step
  // and the description of its error flags.
  std::string failure;

  // Every step succeeded and the mixture check leaves the run control file
  // possible (no fish with unseen alleles or without alleles).
  bool Ready() const { return failure.empty(); }
};

// Runs the steps on the control file at path, echoing every log line through
// ui.logLine as it is appended (CR LF shown as line ends). Stops at the
// first step that fails and says why in failure.
void PrepareRun(const std::string& path, const Interaction& ui, Preparation& prep);

// The summary lines of what was loaded: settings kinds, block counts, and
// the baseline and mixture counts when those steps ran.
std::vector<std::string> PreparationSummary(Preparation& prep);

// The folder a relative OutputFolder is taken from is the control file's;
// an empty one means that folder.
std::string ResolveOutputFolder(const std::string& controlPath, const std::string& outputFolder);

// What a file written at `path` would replace among the run's inputs: "the
// control file", "the baseline" or "the mixture" (these two once the control
// file named them); "" when it is none of them.
std::string InputNamedBy(const Preparation& prep, const std::string& path);

// Saves the log text at path; on failure says so through ui. Returns true
// when saved.
bool SaveRunLog(const Preparation& prep, const std::string& path, const Interaction& ui);

// Prints one summary block on standard output, with a heading.
void PrintBlock(const std::string& heading, const std::vector<std::string>& lines);

}  // namespace mixora::cli
