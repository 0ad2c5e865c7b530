#pragma once
// The stock composition samples of all chains of a run, loaded into one
// array for the composition report and the convergence diagnostics.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "runfiles/run_record.h"

namespace mixora {

// A stored proportion is the proportion times this, truncated to an integer.
inline constexpr double kProportionScale = 100000000.0;

// K rows (stocks, or groups of one grouping level) × m chains × n records:
// value r of chain c in row k is values[(k * m + c) * n + r], a proportion
// times 100,000,000.
struct CompositionSamples {
  uint32_t rows = 0;     // K
  uint32_t chains = 0;   // m
  uint32_t records = 0;  // n = length - discard
  std::vector<uint32_t> values;

  uint32_t At(uint32_t k, uint32_t c, uint32_t r) const {
    return values[(static_cast<std::size_t>(k) * chains + c) * records + r];
  }
};

struct CompositionLoadRequest {
  int32_t length = 0;   // L: records each chain must hold
  int32_t discard = 0;  // D: leading records left out
  // By region: the group (0..groupCount-1) of every stock at the level
  // reported; empty loads by stock.
  std::vector<int32_t> groupOfStock;
  int32_t groupCount = 0;
  // Record totals of the chains (from their restart files); empty takes the
  // record count of each file's header.
  std::vector<uint32_t> chainTotals;
  // Asked for another file when a chain's composition file cannot be opened
  // (chain index from 0, the path tried); returns "" to give up. Optional.
  std::function<std::string(int chainIndex, const std::string& failedPath)> chooseFile;
  // Polled between records; true stops the load. Optional.
  std::function<bool()> aborted;
};

// Fills samples from the composition file ("Ise") of every chain of the
// run: for each chain, records D .. L-1 (by region each record is first
// reduced to group sums). A chain holding fewer than L records is refused;
// records beyond L are left out, so every chain covers the same iterations.
// Progress goes through ui as "Reading Chain", records used of n. Returns 1,
// or 0 with error naming the file and the problem (samples is then empty).
int LoadCompositionSamples(const RunRecord& run, const CompositionLoadRequest& request,
                           CompositionSamples& samples, const Interaction& ui,
                           std::string& error);

// The group map of grouping level `level` (0-based) of a run read for one
// mixture: fills request.groupOfStock and request.groupCount. Returns 0 when
// the run has no such level.
int UseGroupingLevel(const RunRecord& run, int level, CompositionLoadRequest& request);

}  // namespace mixora
