#pragma once
// The chains of a run sampled in memory, without sample, restart or log
// files: for estimates that are themselves inputs to a larger computation
// (simulated mixtures of a baseline assessment, bootstrap re-estimates).
// Every chain is created, seeded and started as a real run does it, so the
// draws are those of the same run made on disk.
#include <atomic>
#include <cstdint>
#include <vector>

#include "runfiles/run_record.h"

namespace mixora {

// The kept composition samples of every chain: records as the composition
// report keeps them (every ThinIse-th iteration, the burn-in of
// NumberToKeep discarded), [(chain * records + r) * S + s].
struct MemorySamples {
  int32_t chains = 0;
  int32_t records = 0;  // kept per chain
  int32_t stocks = 0;
  std::vector<double> proportions;
};

// Runs NumberOfChains chains of NumberOfReps iterations on the calling
// thread. The run needs its priors, baseline counts and mixture genotypes;
// its thinning and file settings are left alone. Returns 1, or 0 when the
// run has no fish or a chain could not be prepared, or -1 when `stop` (read
// after every iteration) turned non-zero: a whole re-estimation takes
// seconds, and a person or a scheduler asking to stop must not wait for it.
int RunChainsInMemory(const RunRecord& run, MemorySamples& out,
                      const std::atomic<int>* stop = nullptr);

// Posterior mean of every stock's share over all kept samples.
std::vector<double> MeanProportions(const MemorySamples& samples);

}  // namespace mixora
