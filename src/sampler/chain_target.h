#pragma once
// The iteration a mixture's chains run to. An extension (a larger number of
// reps given in one front end) must hold in every other front end and after
// a stop part-way, so it is read from where every chain records its end
// iteration: its restart file.
#include <cstdint>

#include "runfiles/run_record.h"

namespace mixora {

// The largest end iteration any chain of the mixture has recorded in its
// restart file, or numberOfReps if larger. `names` gives the folder and the
// run title of the mixture's outputs (controlPath, runTitle); chains is the
// run's NumberOfChains.
int32_t MixtureTarget(const RunRecord& names, int32_t chains, int32_t numberOfReps);

}  // namespace mixora
