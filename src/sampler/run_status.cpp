#include "sampler/run_status.h"

#include <sys/stat.h>

#include <cstdio>

#include "runfiles/run_control_reader.h"
#include "runfiles/run_file_names.h"
#include "runfiles/sample_file_header.h"
#include "sampler/chain_inputs.h"
#include "sampler/chain_samples_check.h"
#include "sampler/chain_target.h"
#include "sampler/restart_file.h"

namespace mixora {
namespace {

bool Stat(const std::string& path, struct stat& info) { return ::stat(path.c_str(), &info) == 0; }

// Empty when the file opens with a sample header that could be the chain's,
// else what is wrong with it.
std::string SampleFileProblem(const std::string& path, uint32_t valuesPerRecord) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return path + ": missing";
  SampleFileHeader header;
  const int magic = CheckSampleMagic(file, header);
  std::fclose(file);
  if (magic != 1) return path + ": not a sample file (wrong magic or too short)";
  std::string problem = SampleHeaderProblem(header);
  if (problem.empty() && header.valuesPerRecord != valuesPerRecord)
    problem = "values per record " + std::to_string(header.valuesPerRecord) + ", the run has " +
              std::to_string(valuesPerRecord);
  return problem.empty() ? "" : path + ": " + problem;
}

ChainStatus ReadChainStatus(const RunRecord& names, int p, int c, int32_t reps, uint32_t fish,
                            uint32_t stocks) {
  ChainStatus status;
  status.mixture = p;
  status.chain = c;
  const std::string restart = BuildRunFileName(names, c, kNoReport, kNoGroup, kExtRestart);
  const std::string assignments = BuildRunFileName(names, c, kNoReport, kNoGroup, kExtAssignments);
  const std::string compositions = BuildRunFileName(names, c, kNoReport, kNoGroup, kExtComposition);
  struct stat info {};
  const bool hasRestart = Stat(restart, info);
  const bool hasSamples = Stat(assignments, info) || Stat(compositions, info);
  if (!hasRestart) {
    status.state = hasSamples ? ChainState::kNoSave : ChainState::kNotStarted;
    return status;
  }
  Stat(restart, info);
  status.lastSave = info.st_mtime;
  RestartChainValues values;
  if (ReadRestartChainValues(restart, values) != 1 || values.iteration < 0 ||
      values.assignmentTotal < 0 || values.compositionTotal < 0) {
    status.state = ChainState::kDamaged;
    status.problem = restart + ": not a restart file (wrong magic, too short or impossible values)";
    return status;
  }
  status.iteration = values.iteration;
  status.assignmentRecords = values.assignmentTotal;
  status.compositionRecords = values.compositionTotal;
  for (const auto& [path, values] : {std::pair{assignments, fish}, std::pair{compositions, stocks}}) {
    const std::string problem = SampleFileProblem(path, values);
    if (!problem.empty()) {
      status.state = ChainState::kDamaged;
      status.problem = problem;
      return status;
    }
  }
  const MissingSamples missing =
      FindMissingSamples(names, c, static_cast<uint32_t>(values.assignmentTotal),
                         static_cast<uint32_t>(values.compositionTotal));
  if (!missing.samplePath.empty()) {
    status.state = ChainState::kDamaged;
    status.problem = MissingSamplesLine(missing);
    return status;
  }
  status.state = values.iteration >= reps ? ChainState::kFinished : ChainState::kInProgress;
  return status;
}

// Chains whose files were computed from other inputs than the run control
// file holds now, or belong to another one, are no part of its answer.
void MarkStaleChains(const std::string& rcfPath, int p, MixtureStatus& mixture) {
  if (!mixture.hasFish) return;
  std::unique_ptr<RunRecord> run = ReadRunControl(Interaction{}, rcfPath, p);
  if (run == nullptr) return;
  for (ChainStatus& chain : mixture.chains) {
    if (chain.state == ChainState::kNotStarted || chain.state == ChainState::kDamaged) continue;
    const std::string problem = ChainFileInputsProblem(*run, chain.chain);
    if (problem.empty()) continue;
    chain.state = ChainState::kStale;
    chain.problem = problem;
  }
}

}  // namespace

int ReadRunStatus(const std::string& rcfPath, const Interaction& ui, RunStatus& status) {
  status = RunStatus{};
  std::unique_ptr<RunRecord> whole = ReadNewControl(rcfPath, ui);
  if (whole == nullptr) return 0;
  status.numberOfReps = whole->settings.NumberOfReps;
  status.numberOfChains = whole->settings.NumberOfChains;
  RunRecord names;
  names.controlPath = whole->controlPath.empty() ? rcfPath : whole->controlPath;
  for (int p = 0; p < whole->mixtureCount; ++p) {
    MixtureStatus mixture;
    mixture.mixture = p;
    mixture.runTitle = RunTitleFor(whole->mixtureTitle, p);
    const int32_t fish = MixtureFishCount(*whole, p);
    mixture.hasFish = fish > 0;
    names.runTitle = mixture.runTitle;
    mixture.target = MixtureTarget(names, status.numberOfChains, status.numberOfReps);
    for (int c = 0; c < status.numberOfChains; ++c)
      mixture.chains.push_back(ReadChainStatus(names, p, c, mixture.target,
                                               static_cast<uint32_t>(fish),
                                               static_cast<uint32_t>(whole->settings.NumberOfStocks)));
    MarkStaleChains(rcfPath, p, mixture);
    status.mixtures.push_back(std::move(mixture));
  }
  return 1;
}

const char* ChainStateName(ChainState state) {
  switch (state) {
    case ChainState::kNotStarted: return "not started";
    case ChainState::kNoSave: return "no save yet";
    case ChainState::kInProgress: return "in progress";
    case ChainState::kFinished: return "finished";
    case ChainState::kDamaged: return "damaged";
    case ChainState::kStale: return "other inputs";
  }
  return "";
}

}  // namespace mixora
