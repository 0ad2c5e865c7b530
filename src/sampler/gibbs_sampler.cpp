#include "sampler/gibbs_sampler.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "runfiles/sample_file_writer.h"
#include "sampler/restart_file.h"
#include "sampler/variates.h"

namespace mixora {
namespace {

constexpr auto kRelaxed = std::memory_order_relaxed;

// Eight stocks of one fish, held in registers while the fish's allele rows
// are multiplied in. The compiler maps the type onto whatever vector width
// the target has; every lane is an ordinary IEEE double multiplication, so
// the products are the same bit for bit as one stock at a time in character
// and allele order.
typedef double StockLanes __attribute__((vector_size(kStockBlock * sizeof(double))));

// Likelihoods of one block of kStockBlock stocks for every fish. Walking all
// fish for one block keeps the block's columns of the factor rows (one cache
// line per row) in the first-level cache.
__attribute__((target_clones("avx512f", "avx2", "default"))) void LikelihoodsOfBlock(
    const double* factors, std::size_t stride, const uint32_t* alleleStart,
    const uint32_t* alleleRows, int32_t fish, double* likelihoods) {
  for (int32_t i = 0; i < fish; ++i) {
    StockLanes product = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
    const uint32_t end = alleleStart[i + 1];
    for (uint32_t r = alleleStart[i]; r < end; ++r) {
      StockLanes row;
      std::memcpy(&row, factors + alleleRows[r] * stride, sizeof row);
      product = product * row;
    }
    std::memcpy(likelihoods + static_cast<std::size_t>(i) * stride, &product, sizeof product);
  }
}
static_assert(kStockBlock == 8, "StockLanes is initialised with eight lanes");

void ReportOriginProblem(Chain& chain, int32_t fish, double sum, int32_t iteration) {
  std::FILE* log = chain.samples.chainLog;
  if (log == nullptr) return;
  const RunRecord& run = *chain.run;
  const char* name = static_cast<std::size_t>(fish) < run.fishNames.size()
                         ? run.fishNames[fish].c_str()
                         : "";
  std::fprintf(log,
               "StockOrigin:\r\nProblem in going to MultiNomial\r\nMix line %d, dSum=%lf\r\n"
               "Desc: %s, iIter = %d\r\n",
               fish + 1, sum, name, iteration);
}

void SetFactor(SamplerArrays& a, int32_t s, int32_t c, int32_t k, double theta) {
  const std::size_t row = static_cast<std::size_t>(c) * a.slots + k;
  a.factors[row * a.stride + s] = theta == 0.0 ? 1.0 : theta;
}

}  // namespace

int ComputeLikelihoods(Chain& chain) {
  SamplerArrays& a = chain.arrays;
  for (int32_t s0 = 0; s0 < a.stride; s0 += kStockBlock) {
    LikelihoodsOfBlock(a.factors.data() + s0, a.stride, a.alleleStart.data(),
                       a.alleleRows.data(), a.fish, a.likelihoods.data() + s0);
  }
  return 1;
}

int DrawStockOrigins(Chain& chain) {
  SamplerArrays& a = chain.arrays;
  const RunSettings& settings = chain.run->settings;
  const int32_t iteration = chain.iteration.load(kRelaxed);
  const int32_t S = a.stocks;
  double* w = a.weights.data();
  const double* p = a.proportions.data();
  for (int32_t i = 0; i < a.fish; ++i) {
    const double* L = a.likelihoods.data() + static_cast<std::size_t>(i) * a.stride;
    for (int32_t s = 0; s < S; ++s) w[s] = p[s] * L[s];
    const double total = SumOf(w, S);
    if (total > 0) DivideBy(w, total, S);
    const double check = SumOf(w, S);
    // Written so that weights that are not numbers are refused as well.
    if (!(check >= 0.999)) {
      ReportOriginProblem(chain, i, check, iteration);
      continue;
    }
    a.origins[i] = DrawCategorical(chain.generators.ran2, w, S);
  }
  if (iteration % settings.ThinSta == 0) {
    if (AppendAssignmentRecord(chain.samples, a.origins.data()) == 0) {
      ReportSaveFailure(chain, chain.samples.assignment.path);
      return 0;
    }
  }
  for (int32_t s = 0; s < S; ++s) a.stockCounts[s] = 0;
  for (int32_t i = 0; i < a.fish; ++i) ++a.stockCounts[a.origins[i]];
  return 1;
}

int DrawProportions(Chain& chain) {
  SamplerArrays& a = chain.arrays;
  const RunRecord& run = *chain.run;
  DrawDirichlet(chain.generators.handle, a.stockCounts.data(), run.beta.data(), a.stocks,
                a.proportions.data());
  if (chain.iteration.load(kRelaxed) % run.settings.ThinIse == 0) {
    for (int32_t s = 0; s < a.stocks; ++s) a.scaled[s] = ScaleProportion(a.proportions[s]);
    if (AppendCompositionRecord(chain.samples, a.scaled.data()) == 0) {
      ReportSaveFailure(chain, chain.samples.composition.path);
      return 0;
    }
  }
  return 1;
}

void ResetAlleleCounts(Chain& chain) {
  const std::vector<int32_t>& baseline = chain.run->counts;
  std::memcpy(chain.arrays.counts.data(), baseline.data(), baseline.size() * sizeof(int32_t));
}

int RecountAlleles(Chain& chain) {
  ResetAlleleCounts(chain);
  SamplerArrays& a = chain.arrays;
  const std::size_t perStock = static_cast<std::size_t>(a.characters) * a.slots;
  for (int32_t i = 0; i < a.fish; ++i) {
    int32_t* n = a.counts.data() + static_cast<std::size_t>(a.origins[i]) * perStock;
    for (uint32_t r = a.alleleStart[i]; r < a.alleleStart[i + 1]; ++r) ++n[a.alleleRows[r]];
  }
  return 1;
}

int AugmentData(Chain& chain) {
  if (DrawStockOrigins(chain) == 0) return 0;
  if (DrawProportions(chain) == 0) return 0;
  return RecountAlleles(chain);
}

int DrawFrequencies(Chain& chain) {
  SamplerArrays& a = chain.arrays;
  const RunRecord& run = *chain.run;
  for (int32_t s = 0; s < a.stocks; ++s) {
    for (int32_t c = 0; c < a.characters; ++c) {
      const int32_t alleles = run.alleleCount[c];
      if (alleles == 0) continue;
      const std::size_t at = (static_cast<std::size_t>(s) * a.characters + c) * a.slots;
      double* theta = a.frequencies.data() + at;
      DrawDirichlet(chain.generators.handle, a.counts.data() + at,
                    run.allelePrior.data() + static_cast<std::size_t>(c) * a.slots, alleles,
                    theta);
      for (int32_t k = 0; k < alleles; ++k) SetFactor(a, s, c, k, theta[k]);
    }
  }
  return 1;
}

void RefreshLikelihoodFactors(Chain& chain) {
  SamplerArrays& a = chain.arrays;
  for (int32_t s = 0; s < a.stocks; ++s) {
    for (int32_t c = 0; c < a.characters; ++c) {
      const std::size_t at = (static_cast<std::size_t>(s) * a.characters + c) * a.slots;
      for (int32_t k = 0; k < a.slots; ++k) SetFactor(a, s, c, k, a.frequencies[at + k]);
    }
  }
}

bool SaveIsDue(const Chain& chain) {
  const SampleFileWriter& composition = chain.samples.composition;
  return composition.capacity > 0 && composition.pending >= composition.capacity;
}

int RunIteration(Chain& chain) {
  chain.phase.store(kPhaseIntVal, kRelaxed);
  int result = ComputeLikelihoods(chain);
  if (result == 0) return 0;
  chain.phase.store(kPhaseDataAug, kRelaxed);
  result = AugmentData(chain);
  if (result <= 0) return 0;
  chain.phase.store(kPhaseEstFreq, kRelaxed);
  result = DrawFrequencies(chain);
  if (result == 0) return 0;
  if (SaveIsDue(chain)) {
    chain.phase.store(kPhaseSaving, kRelaxed);
    result = TransferRestartFile(chain, kRestartWrite, kRestartFull);
    if (result == 0) ReportSaveFailure(chain, RestartFilePath(chain));
  }
  return result;
}

}  // namespace mixora
