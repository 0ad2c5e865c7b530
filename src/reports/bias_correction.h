#pragma once
// Bias-corrected group estimates. Where groups are weakly separated the
// model draws mass toward the larger group; a parametric bootstrap measures
// how much: B mixtures of the same size are simulated from the posterior
// mean composition with genotypes drawn from the baseline, each is estimated
// again with the run's own settings, and the corrected share is
// 2 x estimate - mean of the bootstrap estimates, negatives set to 0 and the
// shares renormalised.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "runfiles/run_record.h"

namespace mixora {

struct GroupCorrection {
  std::string level;  // "Level %d"
  std::vector<std::string> groups;
  std::vector<double> estimate, bootstrapMean, corrected;
};

struct BiasCorrection {
  int32_t replicates = 0;
  uint32_t seed = 0;  // the run's Seed1; replicate b draws from Mt19937StreamSeed(Seed1, b)
  std::vector<GroupCorrection> levels;
};

// The posterior mean share of every stock over the kept composition samples
// of all chains of the opened run. Returns 1, or 0 with error.
int PosteriorMeanComposition(const RunRecord& run, std::vector<double>& stockMean,
                             std::string& error);

// Runs the bootstrap for the opened run (one mixture) from its posterior mean
// composition by stock, at every grouping level. Each simulated fish keeps
// the missing gene copies of the mixture fish in its place. Replicates run
// side by side on `threads` threads (0: one per processor); each has its own
// generator, so the result is the same for any number of threads. Returns 1,
// or 0 with error. When `stop` turns non-zero every replicate ends within
// an iteration and 0 comes back with error "stopped".
int BiasCorrectGroups(const RunRecord& run, const std::vector<double>& stockMean,
                      int32_t replicates, int32_t threads, BiasCorrection& out,
                      std::string& error, const std::atomic<int>* stop = nullptr);

std::string FormatBiasCorrectionText(const RunRecord& run, const BiasCorrection& result);
// mixture,level,group,estimate,bootstrap_mean,corrected
std::string FormatBiasCorrectionCsv(const RunRecord& run, const BiasCorrection& result);

}  // namespace mixora
