#include "formats/run_file_export.h"

#include <cstdio>
#include <functional>

#include "core/paths.h"
#include "core/file_helpers.h"
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
  RunRecord run = source;
  SetField(run.settings.BaselineFile, ReplaceExtension(outputName, "bse"));
  SetField(run.settings.MixtureFile, ReplaceExtension(outputName, "mix"));
  bool all = true;
  if (choices.control) {
    bool mixora = choices.controlFormat == ControlChoice::kMixora;
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
