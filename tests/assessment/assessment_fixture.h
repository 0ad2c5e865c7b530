#pragma once
// Baselines of individual fish drawn from allele frequencies we choose, for
// the assessment, z-score and bias-correction tests.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "formats/fish_genotypes.h"

namespace mixora::assessment_testing {

// Allele frequencies [stock][locus][allele].
using Frequencies = std::vector<std::vector<std::vector<double>>>;

// Frequencies of `stocks` stocks at `loci` loci of `alleles` alleles, each
// stock's own (skewed weights), from a fixed seed.
inline Frequencies DistinctFrequencies(int stocks, int loci, int alleles, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> u(0.0, 1.0);
  Frequencies freq(stocks, std::vector<std::vector<double>>(loci, std::vector<double>(alleles)));
  for (auto& stock : freq)
    for (auto& locus : stock)
      for (double& f : locus) {
        const double x = u(rng);
        f = x * x * x + 0.01;
      }
  return freq;
}

// One fish's genotype drawn from a stock's frequencies, appended.
inline void DrawGenotype(const std::vector<std::vector<double>>& stock, std::mt19937& rng,
                         std::vector<int32_t>& genotypes) {
  for (const auto& locus : stock) {
    std::discrete_distribution<int> draw(locus.begin(), locus.end());
    for (int j = 0; j < 2; ++j) genotypes.push_back(draw(rng) + 1);
  }
}

// perStock fish of every stock; stock s in group groupOf[s].
inline FishGenotypes MakeBaseline(const Frequencies& freq, int perStock,
                                  const std::vector<int32_t>& groupOf, uint32_t seed) {
  FishGenotypes fish;
  const int loci = static_cast<int>(freq[0].size());
  const int alleles = static_cast<int>(freq[0][0].size());
  for (int c = 0; c < loci; ++c) {
    fish.locusNames.push_back("L" + std::to_string(c + 1));
    std::vector<std::string> names;
    for (int k = 0; k < alleles; ++k) names.push_back(std::to_string(k + 1));
    fish.alleleNames.push_back(names);
  }
  int32_t groups = 0;
  for (int32_t g : groupOf) groups = std::max(groups, g + 1);
  fish.groupNames.assign(1, {});
  for (int32_t g = 0; g < groups; ++g) fish.groupNames[0].push_back("G" + std::to_string(g + 1));
  fish.stockGroup = {groupOf};
  std::mt19937 rng(seed);
  for (std::size_t s = 0; s < freq.size(); ++s) {
    fish.stockNames.push_back("S" + std::to_string(s + 1));
    for (int i = 0; i < perStock; ++i) {
      fish.fishNames.push_back(fish.stockNames.back() + "_" + std::to_string(i + 1));
      fish.fishStock.push_back(static_cast<int32_t>(s));
      DrawGenotype(freq[s], rng, fish.genotypes);
    }
  }
  return fish;
}

}  // namespace mixora::assessment_testing
