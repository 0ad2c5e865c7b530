#include "run_file_argument.h"

#include <cstring>
#include <fstream>

#include "core/paths.h"
#include "input/control.h"
#include "input/control_file_kind.h"
#include "runfiles/sample_block.h"

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
  // The reader turns these away without a word; say what the file is.
  std::ifstream in(path, std::ios::binary);
  uint8_t head[kSampleBlockHeaderSize] = {};
  in.read(reinterpret_cast<char*>(head), sizeof head);
  const std::size_t got = static_cast<std::size_t>(in.gcount());
  const bool sampleMagic = got >= 4 && std::memcmp(head, kSampleFileMagic, 4) == 0;
  if (sampleMagic)
    return path + " is a chain's sample, restart or graph file, not a run control file: give "
                  "the .rcf file beside it";
  if (got < sizeof head)
    return path + " is not a run control file: it holds only " + std::to_string(got) +
           " bytes (a run control file is written by `mixora load CONTROL_FILE`)";
  return "";
}

}  // namespace mixora::cli
