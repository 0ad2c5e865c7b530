#include "reports/genotype_likelihood.h"

#include <cmath>

namespace mixora {

double LogGenotypePredictive(const int32_t* counts, const double* prior, int32_t alleles,
                             int32_t a, int32_t b) {
  double total = 0.0;
  for (int32_t k = 0; k < alleles; ++k) total += counts[k] + prior[k];
  const double first = (counts[a - 1] + prior[a - 1]) / total;
  const double second = (counts[b - 1] + prior[b - 1] + (a == b ? 1.0 : 0.0)) / (total + 1.0);
  return std::log(first) + std::log(second) + (a == b ? 0.0 : std::log(2.0));
}

std::vector<double> ReciprocalAllelePrior(const std::vector<int32_t>& alleleCount,
                                          int32_t maxAlleles) {
  std::vector<double> prior(alleleCount.size() * static_cast<std::size_t>(maxAlleles), 0.0);
  for (std::size_t c = 0; c < alleleCount.size(); ++c)
    for (int32_t k = 0; k < alleleCount[c]; ++k)
      prior[c * maxAlleles + k] = 1.0 / alleleCount[c];
  return prior;
}

void PosteriorMeanFrequencies(const int32_t* counts, const double* prior, int32_t alleles,
                              double* frequencies) {
  double total = 0.0;
  for (int32_t k = 0; k < alleles; ++k) total += counts[k] + prior[k];
  for (int32_t k = 0; k < alleles; ++k)
    frequencies[k] = total > 0.0 ? (counts[k] + prior[k]) / total : 0.0;
}

double LogGenotypeProbability(const double* frequencies, int32_t a, int32_t b) {
  if (a == b) return 2.0 * std::log(frequencies[a - 1]);
  return std::log(2.0) + std::log(frequencies[a - 1]) + std::log(frequencies[b - 1]);
}

void LogGenotypeMoments(const double* frequencies, int32_t alleles, double& mean,
                        double& variance) {
  double sum = 0.0, squares = 0.0;
  for (int32_t a = 1; a <= alleles; ++a) {
    if (!(frequencies[a - 1] > 0.0)) continue;
    for (int32_t b = a; b <= alleles; ++b) {
      if (!(frequencies[b - 1] > 0.0)) continue;
      const double logP = LogGenotypeProbability(frequencies, a, b);
      const double p = std::exp(logP);
      sum += p * logP;
      squares += p * logP * logP;
    }
  }
  mean = sum;
  variance = squares - sum * sum;
  if (variance < 0) variance = 0;
}

}  // namespace mixora
