#include "formats/fish_genotypes.h"

#include <algorithm>

namespace mixora {

std::vector<int32_t> CountStockAlleles(const FishGenotypes& fish, int32_t& maxAlleles) {
  const int32_t C = fish.Loci();
  maxAlleles = 0;
  for (int32_t c = 0; c < C; ++c) maxAlleles = std::max(maxAlleles, fish.AlleleCount(c));
  const std::size_t A = static_cast<std::size_t>(maxAlleles);
  std::vector<int32_t> counts(static_cast<std::size_t>(fish.Stocks()) * C * A, 0);
  for (int32_t f = 0; f < fish.Fish(); ++f) {
    const std::size_t s = static_cast<std::size_t>(fish.fishStock[f]);
    for (int32_t c = 0; c < C; ++c)
      for (int j = 0; j < 2; ++j) {
        const int32_t a = fish.At(f, c, j);
        if (a > 0 && a <= fish.AlleleCount(c)) ++counts[(s * C + c) * A + (a - 1)];
      }
  }
  return counts;
}

void GiveEachStockItsGroup(FishGenotypes& fish) {
  if (!fish.groupNames.empty()) return;
  fish.groupNames.push_back(fish.stockNames);
  std::vector<int32_t> own(fish.stockNames.size());
  for (std::size_t s = 0; s < own.size(); ++s) own[s] = static_cast<int32_t>(s);
  fish.stockGroup.push_back(own);
}

}  // namespace mixora
