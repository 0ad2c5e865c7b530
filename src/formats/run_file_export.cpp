#include "formats/run_file_export.h"

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "core/file_helpers.h"
#include "core/paths.h"
#include "formats/format_writers.h"

namespace mixora {

namespace {

using Writer = std::function<int(std::FILE*)>;

bool WriteOne(const Interaction& ui, const std::string& path, bool& overwriteAll,
              const Writer& writer, std::vector<std::string>* written) {
  PendingFile pending;
  std::FILE* file = CreateOutputFile(ui, path, overwriteAll, pending);
  if (!file) return false;
  bool ok = writer(file) == 1;
  ok = ok && CommitPendingFile(pending) == 1;
  if (!ok) {
    ReportSystemError(ui, "Cannot write to", path);
    return false;
  }
  if (written) written->push_back(path);
  return true;
}

}  // namespace

int ConvertRunFiles(const Interaction& ui, const RunFileChoices& choices, const RunRecord& source,
                    const std::string& outputName, bool& overwriteAll,
                    std::vector<std::string>* written) {
  // Not even "Yes to All" may replace an input of the run being written out:
  // its control file, baseline or mixture (a name as stored at load time, or
  // found beside the control file).
  const std::string control = GetField(source.settings.ControlFilePath);
  std::vector<std::string> inputs = {control};
  for (const std::string& name :
       {GetField(source.settings.BaselineFile), GetField(source.settings.MixtureFile)}) {
    inputs.push_back(name);
    inputs.push_back(ResolveBesideControlFile(control, name));
  }
  const bool mixora = choices.controlFormat == ControlChoice::kMixora;
  for (const auto& [chosen, extension] : {std::pair{choices.control, mixora ? "tcf" : "ctl"},
                                          std::pair{choices.baseline, "bse"},
                                          std::pair{choices.mixture, "mix"}}) {
    const std::string path = ReplaceExtension(outputName, extension);
    for (const std::string& input : inputs) {
      if (!chosen || !SameFile(path, input)) continue;
      ShowMessage(ui, kMbIconError, "Cannot write to %s: it is an input file of the run; choose "
                  "another output name", path.c_str());
      return 0;
    }
  }
  RunRecord run = source;
  SetField(run.settings.BaselineFile, ReplaceExtension(outputName, "bse"));
  SetField(run.settings.MixtureFile, ReplaceExtension(outputName, "mix"));
  bool all = true;
  if (choices.control) {
    all &= WriteOne(ui, ReplaceExtension(outputName, mixora ? "tcf" : "ctl"), overwriteAll,
                    [&](std::FILE* f) {
                      return mixora ? WriteRunTextControlFile(run, "", f)
                                    : WriteSpamControlFile(run, "", f);
                    },
                    written);
  }
  if (choices.baseline) {
    bool talmo = choices.baselineFormat == BaselineChoice::kTalmo;
    all &= WriteOne(ui, ReplaceExtension(outputName, "bse"), overwriteAll,
                    [&](std::FILE* f) {
                      return talmo ? WriteTalmoBaseline(run, "", f) : WriteSpamBaseline(run, "", f);
                    },
                    written);
  }
  if (choices.mixture) {
    bool digits = choices.mixtureFormat == MixtureChoice::kTalmo;
    all &= WriteOne(ui, ReplaceExtension(outputName, "mix"), overwriteAll,
                    [&](std::FILE* f) {
                      return digits ? WriteDigitMixture(run, "", f)
                                    : WriteGenepopMixture(run, true, "", f);
                    },
                    written);
  }
  return all ? 1 : 0;
}

}  // namespace mixora
