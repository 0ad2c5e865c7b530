#include "runfiles/run_file_names.h"

#include <cstdio>

#include "core/paths.h"

namespace mixora {

const char* RunFileExtensionText(int extensionIndex) {
  switch (extensionIndex) {
    case kExtAssignments: return "Sta";
    case kExtComposition: return "Ise";
    case kExtRestart: return "Rst";
    case kExtSummary: return "Sum";
    case kExtText: return "Txt";
    case kExtCsv: return "Csv";
    case kExtGroupComposition: return "Ise";
    default: return "";
  }
}

const char* RunReportNameText(int reportIndex) {
  static const char* const kNames[] = {"IDs", "SCs", "GR", "RL"};
  if (reportIndex < 0 || reportIndex > 3) return "";
  return kNames[reportIndex];
}

std::string BuildRunFileName(const RunRecord& run, int chainIndex, int reportIndex, int groupFlag,
                             int extensionIndex) {
  const char* extension = RunFileExtensionText(extensionIndex);
  if (*extension == '\0') return "";
  std::string title = run.runTitle.empty() ? GetField(run.settings.Title) : run.runTitle;
  if (chainIndex == kNoChainSharedTitle) {
    std::size_t at = title.find("_POP_");
    if (at != std::string::npos) title.resize(at);
  }
  std::string name = title;
  if (chainIndex >= 0) {
    char suffix[16];
    std::snprintf(suffix, sizeof suffix, "_%02d", chainIndex + 1);
    name += suffix;
  }
  if (reportIndex >= 0) {
    const char* report = RunReportNameText(reportIndex);
    if (*report != '\0') name += std::string("_") + report;
  }
  if (groupFlag >= 0) name += "_Grp";
  name += ".";
  name += extension;
  return JoinPath(FolderOf(run.controlPath), name);
}

}  // namespace mixora
