#include "sampler/chain_inputs.h"

#include <cstdio>

#include "runfiles/run_file_names.h"
#include "runfiles/run_fingerprint.h"
#include "runfiles/sample_file_header.h"
#include "sampler/restart_file.h"

namespace mixora {

std::string ChainInputsMismatch(uint64_t inputs, uint64_t owner, const RunRecord& run) {
  if (owner != 0 && run.ownerTag != 0 && owner != run.ownerTag)
    return "the chain belongs to another run control file in this folder whose mixture title "
           "begins like this one's (outputs named " + run.runTitle + "); give this run another "
           "output folder or mixture title";
  if (inputs != 0 && run.inputsFingerprint != 0 && inputs != run.inputsFingerprint)
    return "the chain was computed from other inputs than " + run.controlPath +
           " holds now (its baseline, mixture or settings changed since); start the chains "
           "afresh with --rerun";
  return {};
}

std::string ChainFileInputsProblem(const RunRecord& run, int c, bool ownerOnly) {
  const uint32_t tag = run.inputsFingerprint != 0 ? SampleInputsTag(run.inputsFingerprint) : 0;
  const std::string restart = BuildRunFileName(run, c, kNoReport, kNoGroup, kExtRestart);
  RestartChainValues values;
  if (ReadRestartChainValues(restart, values) == 1) {
    const std::string problem =
        ChainInputsMismatch(ownerOnly ? 0 : values.inputs, values.owner, run);
    if (!problem.empty()) return restart + ": " + problem;
  }
  if (ownerOnly || tag == 0) return {};
  for (int extension : {kExtComposition, kExtAssignments}) {
    const std::string path = BuildRunFileName(run, c, kNoReport, kNoGroup, extension);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) continue;
    SampleFileHeader header;
    const int magic = CheckSampleMagic(file, header);
    std::fclose(file);
    if (magic == 1 && header.reserved != 0 && header.reserved != tag)
      return path + ": the samples were computed from other inputs than " + run.controlPath +
             " holds now (its baseline, mixture or settings changed since); start the "
             "chains afresh with --rerun";
  }
  return {};
}

std::string ChainFilesInputsProblem(const RunRecord& run, bool ownerOnly) {
  for (int c = 0; c < run.settings.NumberOfChains; ++c)
    if (std::string problem = ChainFileInputsProblem(run, c, ownerOnly); !problem.empty())
      return problem;
  return {};
}

}  // namespace mixora
