#pragma once
// Where the chains of a run stand, from their files alone: the iteration each
// chain's restart file has saved, whether that is the end, and when it was
// saved. It opens nothing for writing and takes no lock, so it may look at a
// run whose chains are running in other processes (on other machines of a
// cluster): a restart file is replaced as a whole, so it is read either
// before or after a save, never half-way.
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "core/interaction.h"

namespace mixora {

enum class ChainState {
  kNotStarted,  // no files yet
  kNoSave,      // sample files but no restart file: running towards its first save, or killed before it
  kInProgress,  // saved, short of the number of reps
  kFinished,    // saved at the number of reps
  kDamaged,     // a file that cannot be what the chain wrote (problem says which)
  kStale,       // computed from other inputs, or another run control file's (problem says which)
};

struct ChainStatus {
  int mixture = 0;  // from 0
  int chain = 0;    // from 0
  ChainState state = ChainState::kNotStarted;
  int32_t iteration = 0;        // last iteration saved
  int32_t compositionRecords = 0;
  int32_t assignmentRecords = 0;
  std::time_t lastSave = 0;     // when the restart file was written; 0 without one
  std::string problem;          // for kDamaged: the file and what is wrong with it
};

struct MixtureStatus {
  int mixture = 0;         // from 0
  std::string runTitle;    // names the mixture's outputs
  bool hasFish = true;     // false: every fish was left out at load, so it cannot run
  int32_t target = 0;      // the iteration its chains run to (chain_target.h)
  std::vector<ChainStatus> chains;
};

struct RunStatus {
  int32_t numberOfReps = 0;
  int32_t numberOfChains = 0;
  std::vector<MixtureStatus> mixtures;
};

// Reads the run control file and then, for every mixture and chain, the
// restart file and the two sample file headers, and walks the block headers
// of the sample files far enough to see that they hold the records the
// restart file counts (kDamaged otherwise). Returns 1, or 0 when the run
// control file cannot be read (reported through ui).
int ReadRunStatus(const std::string& rcfPath, const Interaction& ui, RunStatus& status);

// "not started", "no save yet", "in progress", "finished", "damaged",
// "other inputs".
const char* ChainStateName(ChainState state);

}  // namespace mixora
