#include "sampler/memory_chains.h"

#include <climits>
#include <memory>

#include "sampler/c_rand.h"
#include "sampler/chain.h"
#include "sampler/gibbs_sampler.h"
#include "sampler/priors.h"

namespace mixora {

int RunChainsInMemory(const RunRecord& run, MemorySamples& out, const std::atomic<int>* stop) {
  const RunSettings& settings = run.settings;
  const int32_t S = static_cast<int32_t>(run.stockId.size());
  if (run.fishCount <= 0 || S == 0) return 0;
  // Records are taken here instead of by the sample writers, which have no
  // files behind them: thinning that never comes due keeps them idle.
  RunRecord work = run;
  work.settings.ThinIse = INT32_MAX;
  work.settings.ThinSta = INT32_MAX;
  work.summary = nullptr;
  const int32_t thin = settings.ThinIse > 0 ? settings.ThinIse : 1;
  const int32_t length = settings.NumberOfReps / thin;
  int32_t discard = settings.NumberToKeep >= 0 ? length - settings.NumberToKeep : length / 2;
  if (discard < 0) discard = 0;
  const int32_t chains = settings.NumberOfChains > 0 ? settings.NumberOfChains : 1;
  out.chains = chains;
  out.records = length - discard;
  out.stocks = S;
  out.proportions.assign(static_cast<std::size_t>(chains) * out.records * S, 0.0);

  Interaction quiet;
  quiet.message = [](uint32_t type, const std::string&) { return DefaultAnswer(type); };
  CRandState crand;
  std::vector<StartStocks> earlier;
  for (int32_t k = 0; k < chains; ++k) {
    ChainStart start = MakeChainStart(settings, work.stockId, earlier, crand);
    earlier.push_back(start.startStocks);
    auto chain = std::make_unique<Chain>();
    chain->run = &work;
    chain->ui = &quiet;
    chain->index = k;
    chain->seed1 = start.seed1;
    chain->seed2 = start.seed2;
    chain->startStocks = start.startStocks;
    chain->endIteration = settings.NumberOfReps;
    if (AllocateSamplerArrays(*chain) == 0) return 0;
    SeedChainGenerators(chain->generators, chain->seed1, chain->seed2, settings.RanGen, false);
    ResetAlleleCounts(*chain);
    StartingProportions(settings.InformativePrior != 0, work.beta, work.stockId,
                        chain->startStocks, chain->arrays.proportions);
    DrawFrequencies(*chain);
    int32_t record = 0;
    for (int32_t t = 1; t <= settings.NumberOfReps; ++t) {
      chain->iteration.store(t, std::memory_order_relaxed);
      if (RunIteration(*chain) == 0) {
        ReleaseSamplerArrays(*chain);
        return 0;
      }
      if (stop != nullptr && stop->load(std::memory_order_relaxed) != 0) {
        ReleaseSamplerArrays(*chain);
        return -1;
      }
      if (t % thin != 0) continue;
      if (record >= discard && record < length) {
        double* row = out.proportions.data() +
                      (static_cast<std::size_t>(k) * out.records + (record - discard)) * S;
        for (int32_t s = 0; s < S; ++s) row[s] = chain->arrays.proportions[s];
      }
      ++record;
    }
    ReleaseSamplerArrays(*chain);
  }
  return 1;
}

std::vector<double> MeanProportions(const MemorySamples& samples) {
  std::vector<double> mean(static_cast<std::size_t>(samples.stocks), 0.0);
  const std::size_t rows = static_cast<std::size_t>(samples.chains) * samples.records;
  for (std::size_t r = 0; r < rows; ++r)
    for (int32_t s = 0; s < samples.stocks; ++s)
      mean[s] += samples.proportions[r * samples.stocks + s];
  if (rows > 0)
    for (double& m : mean) m /= static_cast<double>(rows);
  return mean;
}

}  // namespace mixora
