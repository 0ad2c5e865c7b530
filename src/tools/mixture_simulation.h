#pragma once
// Mixture simulation: artificial mixtures of known composition drawn from a
// SPAM baseline, so the estimation can be checked against a known truth.
// Writes a Genepop-layout mixture (one population per simulated mixture) and
// a text control file that ties the baseline and that mixture together.
#include <cstdint>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "core/log_buffer.h"
#include "input/control.h"
#include "tools/simulation_control.h"

namespace mixora {

// Pool counts from proportions that add up to 1: each stock gets
// numSamples × p rounded half up, then the last stock takes whatever makes
// the counts add up to numSamples. Returns false (counts as computed, the
// last one negative) when the earlier stocks already took more than
// numSamples by rounding up.
bool ComputePoolCounts(const std::vector<double>& proportions, int32_t numSamples,
                       std::vector<int32_t>& counts);

// Finds every simulation character among the baseline's characters (by name,
// any case) and every stock ID among its stocks, logging "Cannot find %s" for
// the first one missing; then sets the pool counts, refusing proportions that
// cannot be rounded to NumSamples. Requires the baseline totals.
bool MatchSimulationToBaseline(Simulation& sim, const BaselineData& baseline, LogBuffer& log);

// The text control file of the simulated mixture: keywords, the simulated
// characters with their baseline IDs, every baseline stock in one group.
std::string FormatSimulationControlFile(const Simulation& sim, const BaselineData& baseline);

// Fills the pool for one mixture: poolCount[k] records per stock in block
// order, each available, each with two allele positions per character drawn
// independently, with replacement, from the stock's baseline gene copies. A
// character at which the stock has no gene copies gets the missing pair 0, 0.
// Requires MatchSimulationToBaseline.
void BuildPool(Simulation& sim, const BaselineData& baseline);

// Draws the NumFish pool records written for one mixture, in order. Without
// replacement each drawn record is marked used and never drawn again.
std::vector<int32_t> DrawFishRecords(Simulation& sim);

// One fish line (CR LF included) for pool record `record` numbered `number`.
std::string FormatSimulatedFish(const Simulation& sim, int32_t record, int32_t number,
                                bool threeDigits);

// The whole simulation from a mixture simulation control file: reads it and
// the baseline beside it, checks them against each other, writes the text
// control file (the control file's name with extension "tcf") and the
// mixture file, logging each step into `log`. Existing outputs are replaced
// only after "Overwrite %s" is answered yes through `ui`. Returns 0 on
// success, 1 on failure.
int SimulateMixtures(const std::string& controlPath, const Interaction& ui, LogBuffer& log);

}  // namespace mixora
