#pragma once
// The probability of a fish's genotype under a stock whose allele
// frequencies are known only through its baseline counts: the posterior
// predictive of a Dirichlet over the counts plus a prior, the fish's two gene
// copies drawn one after the other, characters independent.
#include <cstdint>
#include <vector>

namespace mixora {

// log P(genotype a/b) at one character of K alleles, a and b positions from
// 1: the first copy with probability (n_a + alpha_a) / (N + A), the second
// with (n_b + alpha_b + [a = b]) / (N + A + 1), N and A the sums of counts
// and prior; a heterozygote counts both orders.
double LogGenotypePredictive(const int32_t* counts, const double* prior, int32_t alleles,
                             int32_t a, int32_t b);

// The prior the field's assessment tools add: 1/K to every allele count of a
// character of K alleles, [c * A + k].
std::vector<double> ReciprocalAllelePrior(const std::vector<int32_t>& alleleCount,
                                          int32_t maxAlleles);

// A stock's allele frequencies at one character of K alleles as the
// genotype z-scores take them: the posterior means (n_k + alpha_k) / (N + A),
// N and A the sums of counts and prior, into frequencies[0..K-1].
void PosteriorMeanFrequencies(const int32_t* counts, const double* prior, int32_t alleles,
                              double* frequencies);

// log P(genotype a/b) in Hardy-Weinberg proportions of the given allele
// frequencies, a and b positions from 1: 2 log p_a for a homozygote, log 2 +
// log p_a + log p_b for a heterozygote.
double LogGenotypeProbability(const double* frequencies, int32_t a, int32_t b);

// Mean and variance of LogGenotypeProbability over the genotypes the same
// frequencies give (every genotype of the character enumerated; genotypes of
// probability 0 add nothing).
void LogGenotypeMoments(const double* frequencies, int32_t alleles, double& mean,
                        double& variance);

}  // namespace mixora
