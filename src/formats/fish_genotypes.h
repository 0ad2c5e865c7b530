#pragma once
// Genotypes of individual fish with their stocks, as the importers read them
// from the field's layouts and as the baseline assessment uses them. Alleles
// are kept as positions in a per-locus list of allele names, so a genotype
// reads the same way as in a Genepop-layout mixture of the system.
#include <cstdint>
#include <string>
#include <vector>

namespace mixora {

struct FishGenotypes {
  std::vector<std::string> locusNames;                // C
  std::vector<std::vector<std::string>> alleleNames;  // [c][k]: the allele at position k + 1
  std::vector<std::string> stockNames;                // S, in first-seen order
  // Groups per level: names [level][g] and each stock's group [level][s].
  std::vector<std::vector<std::string>> groupNames;
  std::vector<std::vector<int32_t>> stockGroup;
  std::vector<std::string> fishNames;  // F
  std::vector<int32_t> fishStock;      // [F]: index into stockNames
  std::vector<int32_t> genotypes;      // [(f * C + c) * 2 + j]: position from 1, 0 missing

  int32_t Loci() const { return static_cast<int32_t>(locusNames.size()); }
  int32_t Stocks() const { return static_cast<int32_t>(stockNames.size()); }
  int32_t Fish() const { return static_cast<int32_t>(fishNames.size()); }
  int32_t Levels() const { return static_cast<int32_t>(groupNames.size()); }
  int32_t AlleleCount(int32_t c) const { return static_cast<int32_t>(alleleNames[c].size()); }
  int32_t At(int32_t f, int32_t c, int32_t j) const {
    return genotypes[(static_cast<std::size_t>(f) * locusNames.size() + c) * 2 + j];
  }
};

// Allele counts of every stock, [(s * C + c) * A + k], A = the largest
// number of alleles at any locus.
std::vector<int32_t> CountStockAlleles(const FishGenotypes& fish, int32_t& maxAlleles);

// When a set has no groups, one level with every stock in a group of its own
// is what a person reading a per-group table expects.
void GiveEachStockItsGroup(FishGenotypes& fish);

}  // namespace mixora
