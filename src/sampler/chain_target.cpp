#include "sampler/chain_target.h"

#include <algorithm>
#include <string>

#include "runfiles/run_file_names.h"
#include "sampler/restart_file.h"

namespace mixora {

int32_t MixtureTarget(const RunRecord& names, int32_t chains, int32_t numberOfReps) {
  int32_t target = numberOfReps;
  for (int c = 0; c < chains; ++c) {
    RestartChainValues values;
    const std::string path = BuildRunFileName(names, c, kNoReport, kNoGroup, kExtRestart);
    if (ReadRestartChainValues(path, values) == 1 && values.endIteration <= kMaxNumberOfReps)
      target = std::max(target, values.endIteration);
  }
  return target;
}

}  // namespace mixora
