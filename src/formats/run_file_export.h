#pragma once
// Writing the inputs of a run back out from its run control file: a control
// file, a baseline and a mixture in the formats the user chooses, next to one
// output name.
#include <string>
#include <vector>

#include "core/interaction.h"
#include "runfiles/run_record.h"

namespace mixora {

enum class ControlChoice { kMixora, kSpam };
// Oncor and Genepop have no writer of their own; they write what SPAM writes.
enum class BaselineChoice { kSpam, kTalmo, kOncor, kGenepop };
// Talmo writes the digit-string layout; the others the Genepop layout.
enum class MixtureChoice { kSpam, kTalmo, kGenepop, kOncor };

struct RunFileChoices {
  bool control = true;
  ControlChoice controlFormat = ControlChoice::kMixora;
  bool baseline = true;
  BaselineChoice baselineFormat = BaselineChoice::kSpam;
  bool mixture = true;
  MixtureChoice mixtureFormat = MixtureChoice::kSpam;
};

// The extension of `outputName` (the text after the last "." of its file
// name; appended when there is none) is replaced by "tcf" or "ctl", "bse" and
// "mix" for the three files. The run's BaselineFile and MixtureFile first
// become the names of the new baseline and mixture, so the control file
// written names them. Each file is created through CreateOutputFile (asking
// before replacing one; "Yes to All" is kept in `overwriteAll`); a file that
// is not written does not stop the others. The names written go to `written`
// when given. Returns 1 when every chosen file was written, else 0.
int ConvertRunFiles(const Interaction& ui, const RunFileChoices& choices, const RunRecord& run,
                    const std::string& outputName, bool& overwriteAll,
                    std::vector<std::string>* written = nullptr);

}  // namespace mixora
