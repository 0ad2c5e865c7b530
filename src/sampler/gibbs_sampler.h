#pragma once
// One iteration of the Gibbs sampler of the mixture model, as every chain
// runs it on its own thread: the likelihood of every fish under every stock,
// the stock origin of every fish, the stock proportions, the allele
// frequencies, and at regular intervals the save of samples and restart file.
// Every step works on the chain's own arrays (AllocateSamplerArrays) and reads
// the run record; nothing is allocated while a chain iterates.
#include <cstdint>

#include "sampler/chain.h"

namespace mixora {

// Phase 1: L[i][s] = the product over characters and present alleles a of
// theta[s][c][a-1], a frequency of exactly 0 contributing no factor; 1 for a
// fish without alleles. Returns 1.
int ComputeLikelihoods(Chain& chain);

// Phase 2: DrawStockOrigins, DrawProportions, RecountAlleles. Returns 1, or 0
// when a thinned record could not be handed to the sample files.
int AugmentData(Chain& chain);

// Draws every fish's origin from p[s] * L[i][s] with the chain's ran2 state.
// A fish whose weights do not sum to at least 0.999 keeps its origin and is
// reported in the chain log. On iterations that are multiples of ThinSta the
// origins become an assignment record. Ends with the stock counts m[s].
// Returns 1, or 0 when the record could not be taken.
int DrawStockOrigins(Chain& chain);

// p = Dirichlet(m + beta); on multiples of ThinIse a composition record of
// the scaled proportions. Returns 1, or 0 when the record could not be taken.
int DrawProportions(Chain& chain);

// n = the baseline counts plus the alleles of every fish in its current stock.
// Returns 1.
int RecountAlleles(Chain& chain);

// Phase 3: theta[s][c] = Dirichlet(n[s][c] + alpha[c]) for every stock and
// character with alleles, in stock then character order. Returns 1.
int DrawFrequencies(Chain& chain);

// Whether the pending composition records fill a block, so the iteration
// ends with a save.
bool SaveIsDue(const Chain& chain);

// Phases 1, 2, 3 and, when due, 4 (pending samples, then the restart file) for
// the chain's current iteration, setting the chain's phase as it goes. Returns
// the result of the last phase run: 1, or 0 when a phase failed (a failed save
// is shown in a message box first). The caller advances the iteration.
int RunIteration(Chain& chain);

// counts = the run's baseline counts.
void ResetAlleleCounts(Chain& chain);

// Rebuilds the likelihood factor rows from the frequencies, after they were
// read from a restart file.
void RefreshLikelihoodFactors(Chain& chain);

}  // namespace mixora
