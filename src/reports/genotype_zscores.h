#pragma once
// Fish that may come from a stock missing in the baseline: for every mixture
// fish, the log-likelihood of its genotype under the baseline stock that
// makes it most likely, and how that compares with the genotypes the stock
// itself gives at the same loci, as a z-score. A fish from a stock the
// baseline lacks fits none of the stocks and scores far below 0.
#include <cstdint>
#include <string>
#include <vector>

#include "runfiles/run_record.h"

namespace mixora {

inline constexpr double kStrayZScore = -3.0;

struct GenotypeZScore {
  int32_t stock = -1;          // most likely stock (index into the run's stocks)
  int32_t loci = 0;            // loci with both gene copies scored
  double logLikelihood = 0.0;  // of the genotype under that stock
  double expected = 0.0;       // mean of the same for the stock's own genotypes
  double sd = 0.0;
  double z = 0.0;              // NaN when no locus is scored or nothing varies
};

// A stock's allele frequencies are the posterior means of its baseline
// counts with 1/K added to every allele count (K alleles at the locus), and a
// genotype's probability is in Hardy-Weinberg proportions of them. The fish's
// log-likelihood at the stock that makes it most likely is set against the
// mean and variance of the same log-likelihood for a genotype of that stock,
// summed over the loci where the fish has both gene copies (a locus with a
// missing copy counts for nothing): z = (logL - mean) / sqrt(variance). Every
// genotype of each locus is enumerated, so the score carries no simulation
// noise and needs no seed.
std::vector<GenotypeZScore> ComputeGenotypeZScores(const RunRecord& run);

// "Notes:" and one line per fish with z below kStrayZScore, or "" when none.
std::string FormatStrayFishNotes(const RunRecord& run, const std::vector<GenotypeZScore>& scores);

}  // namespace mixora
