#pragma once
// Made-up runs of a chosen size, for timing the sampler and for tests that
// need more than a handful of fish: stocks with their own allele
// frequencies, a baseline sampled from them, priors computed from that
// baseline, and a mixture of fish drawn from a few dominant stocks. The same
// shape always gives the same run.
#include <cstdint>
#include <string>

#include "runfiles/run_record.h"

namespace mixora {

struct SyntheticRunShape {
  int32_t stocks = 10;
  int32_t characters = 10;
  int32_t maxAlleles = 2;          // A
  bool varyAlleleCounts = false;   // characters get 2 .. A alleles (one gets A)
  int32_t fish = 100;
  int32_t baselineFishPerStock = 100;
  double missingRate = 0.02;       // chance that a fish misses a character
  uint32_t seed = 12345;
};

// 2000 fish, 70 stocks, 90 characters of 2 alleles.
SyntheticRunShape SnpLikeShape();
// 500 fish, 30 stocks, 15 characters of up to 40 alleles.
SyntheticRunShape MicrosatelliteLikeShape();
// The size of a real SNP mixture: 772 fish, 69 stocks, 91 biallelic loci,
// about 4% of gene copies missing.
SyntheticRunShape RealSizedSnpShape();
// The size labs now work at: 3000 fish, 400 stocks, 300 biallelic loci.
SyntheticRunShape LargeSnpShape();
// A wide amplicon panel: 200 fish, 12 stocks, 1000 biallelic loci.
SyntheticRunShape WidePanelShape();

// A run record ready for chains: settings (ThinSta 1, ThinIse 1, SaveEvery
// 100, MT19937, seeds 687688 and 788781, no start stocks), stocks in one
// group, characters, baseline counts, priors and the mixture. Its outputs go
// beside controlPath, which the caller sets.
RunRecord MakeSyntheticRun(const SyntheticRunShape& shape);

}  // namespace mixora
