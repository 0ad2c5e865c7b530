#include "run_file_argument.h"

#include "core/paths.h"
#include "input/control.h"
#include "input/control_file_kind.h"

namespace mixora::cli {

std::string RunFileArgumentProblem(const std::string& path) {
  if (!FileExists(path))
    return "cannot open " + path +
           ": no such file (a run control file is written by `mixora load CONTROL_FILE`)";
  // The most common slip: the control file itself instead of the run
  // control file that `load` makes from it.
  const int32_t kind = ClassifyControlFile(path);
  if (kind == kControlMixora || kind == kControlSpam)
    return path + " is a control file, not a run control file: run `mixora load " + path +
           "` first and give the .rcf file it writes";
  return "";
}

}  // namespace mixora::cli
