#pragma once
// How a chain starts: seeds, starting stocks, starting proportions and the
// chain-log block that lists them.
#include <array>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "input/control.h"
#include "runfiles/baseline_priors.h"
#include "runfiles/run_record.h"
#include "sampler/c_rand.h"

namespace mixora {

// Starting stocks of chain i = earlier.size(), given the lists of chains
// 0 .. i-1. Chain 0 keeps the run's entries; later chains replace the leading
// used entries with stocks drawn by crand that no earlier chain holds in the
// same slot, giving up after more than 100 such rejections.
StartStocks ChooseStartStocks(const StartStocks& runStartStocks,
                              std::span<const int32_t> stockIds,
                              std::span<const StartStocks> earlier, CRandState& crand);

// What a new chain record takes from the run: seeds (raised by 2k for chain
// k > 0 when ChangeSeeds is set) and starting stocks. Chain 0 (earlier empty)
// also seeds crand with its seed1.
struct ChainStart {
  int32_t seed1 = 0;
  int32_t seed2 = 0;
  StartStocks startStocks{-1, -1, -1, -1};
};
ChainStart MakeChainStart(const RunSettings& settings, std::span<const int32_t> stockIds,
                          std::span<const StartStocks> earlier, CRandState& crand);

// Starting proportions of a chain without a restart file (S entries). With an
// informative prior: beta normalised. Otherwise 90% shared by the start
// stocks, 10% by the rest; a start stock not in the run is replaced, in
// startStocks as well, by the stock at the entry's position.
void StartingProportions(bool informativePrior, std::span<const double> beta,
                         std::span<const int32_t> stockIds, StartStocks& startStocks,
                         std::span<double> proportions);

// Appends the chain-log block that lists the stocks and starting proportions.
// groupIds[s] is the identifier of stock s's group at the first level.
void WriteChainStartBlock(std::string& out, const StartStocks& startStocks,
                          std::span<const int32_t> groupIds, std::span<const int32_t> stockIds,
                          std::span<const std::string> stockNames,
                          std::span<const double> proportions);
// The same for a run record read for one mixture (group identifiers looked up
// by level position).
void WriteChainStartBlock(std::string& out, const RunRecord& run, const StartStocks& startStocks,
                          std::span<const double> proportions);

}  // namespace mixora
