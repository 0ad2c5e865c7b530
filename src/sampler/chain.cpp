#include "sampler/chain.h"

#include <zlib.h>

#include <algorithm>
#include <new>

#include "runfiles/sample_block.h"
#include "sampler/restart_file.h"

namespace mixora {
namespace {

constexpr const char* kPhaseNames[] = {"Init Done", "IntVal", "DataAug",   "EstFreq",
                                       "Saving",    "PreExtending", "Aborted", "Completed"};

// Sample files hold stock indexes in 16 bits.
constexpr int32_t kMaxStocks = 32767;

template <typename V>
void Fill(V& v, std::size_t n, typename V::value_type value) {
  v.assign(n, value);
}

// The run must describe arrays of the sizes the sampler indexes; a damaged or
// half-filled run record is refused instead of read out of bounds.
bool RunIsSampleable(const RunRecord& run) {
  const RunSettings& set = run.settings;
  const int64_t S = set.NumberOfStocks, C = set.NumberOfChars, A = run.maxAlleles;
  const int64_t F = run.fishCount;
  if (S < 1 || S > kMaxStocks || C < 0 || A < 0 || F < 0) return false;
  if (set.ThinSta < 1 || set.ThinIse < 1) return false;
  if (static_cast<int64_t>(run.counts.size()) != S * C * A) return false;
  if (static_cast<int64_t>(run.allelePrior.size()) != C * A) return false;
  if (static_cast<int64_t>(run.beta.size()) != S) return false;
  if (static_cast<int64_t>(run.alleleCount.size()) != C) return false;
  if (static_cast<int64_t>(run.genotypes.size()) != F * C * 2) return false;
  for (int32_t k : run.alleleCount) {
    if (k < 0 || k > A) return false;
  }
  return true;
}

int FillSamplerArrays(Chain& chain);

}  // namespace

const char* ChainPhaseName(int32_t phase) {
  if (phase < 0 || phase > kPhaseCompleted) return "";
  return kPhaseNames[phase];
}

int AllocateSamplerArrays(Chain& chain) {
  if (chain.run == nullptr || !RunIsSampleable(*chain.run)) return 0;
  try {
    return FillSamplerArrays(chain);
  } catch (const std::bad_alloc&) {
    // Whatever was sized before the failure would only crowd the other
    // chains; the run cannot go on with this one anyway.
    ReleaseSamplerArrays(chain);
    return kArraysOutOfMemory;
  }
}

namespace {

int FillSamplerArrays(Chain& chain) {
  const RunRecord& run = *chain.run;
  SamplerArrays& a = chain.arrays;
  a.stocks = run.settings.NumberOfStocks;
  a.characters = run.settings.NumberOfChars;
  a.slots = run.maxAlleles;
  a.fish = run.fishCount;
  a.stride = (a.stocks + kStockBlock - 1) / kStockBlock * kStockBlock;
  const std::size_t S = a.stocks, C = a.characters, A = a.slots, F = a.fish, P = a.stride;

  Fill(a.proportions, S, 0.0);
  Fill(a.frequencies, S * C * A, 0.0);
  Fill(a.factors, C * A * P, 1.0);
  Fill(a.counts, S * C * A, 0);
  Fill(a.likelihoods, F * P, 0.0);
  Fill(a.weights, F * P, 0.0);
  Fill(a.weightSums, F, 0.0);
  Fill(a.stockCounts, S, 0);
  Fill(a.origins, F, 0);
  Fill(a.countedOrigins, F, -1);
  Fill(a.scaled, S, 0);

  a.alleleStart.assign(F + 1, 0);
  a.alleleRows.clear();
  a.alleleRows.reserve(F * C * 2);
  for (std::size_t i = 0; i < F; ++i) {
    a.alleleStart[i] = static_cast<uint32_t>(a.alleleRows.size());
    for (std::size_t c = 0; c < C; ++c) {
      for (int j = 0; j < 2; ++j) {
        const int32_t allele = run.genotypes[(i * C + c) * 2 + j];
        if (allele < 1 || static_cast<std::size_t>(allele) > A) continue;
        a.alleleRows.push_back(static_cast<uint32_t>(c * A + (allele - 1)));
      }
    }
  }
  a.alleleStart[F] = static_cast<uint32_t>(a.alleleRows.size());

  const uLong thetaBytes = static_cast<uLong>(S * C * A * sizeof(double));
  a.restartBlock.clear();
  a.restartBlock.reserve(kSampleBlockHeaderSize + compressBound(thetaBytes));
  a.restartImage.clear();
  a.restartImage.reserve(RestartFileBytes(a.stocks, compressBound(thetaBytes)));
  return 1;
}

}  // namespace

void ReleaseSamplerArrays(Chain& chain) { chain.arrays = SamplerArrays{}; }

}  // namespace mixora
