#include "sampler/gibbs_sampler.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "core/cpu_clones.h"
#include "runfiles/sample_file_writer.h"
#include "sampler/chain_workers.h"
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

inline void MultiplyIn(StockLanes& product, const double* row) {
  StockLanes lanes;
  std::memcpy(&lanes, row, sizeof lanes);
  product = product * lanes;
}

// Likelihoods of one block of kStockBlock stocks for every fish. Walking all
// fish for one block keeps the block's columns of the factor rows (one cache
// line per row) in the first-level cache. A fish's product is one long chain
// of dependent multiplications, so four fish are multiplied side by side to
// keep the multiplier busy; each fish still takes its factors in its own
// character and allele order.
MIXORA_CPU_CLONES void LikelihoodsOfBlock(
    const double* factors, std::size_t stride, const uint32_t* alleleStart,
    const uint32_t* alleleRows, int32_t fish, double* likelihoods) {
  constexpr int kSideBySide = kFishSideBySide;
  const StockLanes one = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
  int32_t i = 0;
  for (; i + kSideBySide <= fish; i += kSideBySide) {
    const uint32_t* rows[kSideBySide];
    uint32_t count[kSideBySide];
    uint32_t common = UINT32_MAX;
    for (int f = 0; f < kSideBySide; ++f) {
      rows[f] = alleleRows + alleleStart[i + f];
      count[f] = alleleStart[i + f + 1] - alleleStart[i + f];
      if (count[f] < common) common = count[f];
    }
    StockLanes p0 = one, p1 = one, p2 = one, p3 = one;
    for (uint32_t r = 0; r < common; ++r) {
      MultiplyIn(p0, factors + rows[0][r] * stride);
      MultiplyIn(p1, factors + rows[1][r] * stride);
      MultiplyIn(p2, factors + rows[2][r] * stride);
      MultiplyIn(p3, factors + rows[3][r] * stride);
    }
    StockLanes* products[kSideBySide] = {&p0, &p1, &p2, &p3};
    for (int f = 0; f < kSideBySide; ++f) {
      StockLanes product = *products[f];
      for (uint32_t r = common; r < count[f]; ++r) {
        MultiplyIn(product, factors + rows[f][r] * stride);
      }
      std::memcpy(likelihoods + static_cast<std::size_t>(i + f) * stride, &product,
                  sizeof product);
    }
  }
  for (; i < fish; ++i) {
    StockLanes product = one;
    for (uint32_t r = alleleStart[i]; r < alleleStart[i + 1]; ++r) {
      MultiplyIn(product, factors + alleleRows[r] * stride);
    }
    std::memcpy(likelihoods + static_cast<std::size_t>(i) * stride, &product, sizeof product);
  }
}
static_assert(kStockBlock == 8, "StockLanes is initialised with eight lanes");
static_assert(kFishSideBySide == 4, "LikelihoodsOfBlock keeps four products");

// Several blocks (sixteen or twenty-four stocks) per row index, for targets
// with 512-bit vectors and registers enough for 4 * kBlocks products: every
// index load and address computation then serves kBlocks multiplications,
// and the fish's rows are walked once for all of them. Each lane still takes
// its fish's factors in the same order.
template <int kBlocks>
__attribute__((target("avx512f"))) void LikelihoodsOfBlockGroup(
    const double* factors, std::size_t stride, const uint32_t* alleleStart,
    const uint32_t* alleleRows, int32_t fish, double* likelihoods) {
  constexpr int kSideBySide = kFishSideBySide;
  const StockLanes one = {1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0, 1.0};
  int32_t i = 0;
  for (; i + kSideBySide <= fish; i += kSideBySide) {
    const uint32_t* rows[kSideBySide];
    uint32_t count[kSideBySide];
    uint32_t common = UINT32_MAX;
    #pragma GCC unroll 16
    for (int f = 0; f < kSideBySide; ++f) {
      rows[f] = alleleRows + alleleStart[i + f];
      count[f] = alleleStart[i + f + 1] - alleleStart[i + f];
      if (count[f] < common) common = count[f];
    }
    StockLanes p[kSideBySide][kBlocks];
    #pragma GCC unroll 16
    for (int f = 0; f < kSideBySide; ++f)
      #pragma GCC unroll 16
      for (int b = 0; b < kBlocks; ++b) p[f][b] = one;
    for (uint32_t r = 0; r < common; ++r) {
      const double* row[kSideBySide];
      #pragma GCC unroll 16
      for (int f = 0; f < kSideBySide; ++f) row[f] = factors + rows[f][r] * stride;
      #pragma GCC unroll 16
      for (int f = 0; f < kSideBySide; ++f)
        #pragma GCC unroll 16
        for (int b = 0; b < kBlocks; ++b) MultiplyIn(p[f][b], row[f] + b * kStockBlock);
    }
    #pragma GCC unroll 16
    for (int f = 0; f < kSideBySide; ++f) {
      for (uint32_t r = common; r < count[f]; ++r) {
        const double* row = factors + rows[f][r] * stride;
        #pragma GCC unroll 16
        for (int b = 0; b < kBlocks; ++b) MultiplyIn(p[f][b], row + b * kStockBlock);
      }
      double* out = likelihoods + static_cast<std::size_t>(i + f) * stride;
      #pragma GCC unroll 16
      for (int b = 0; b < kBlocks; ++b)
        std::memcpy(out + b * kStockBlock, &p[f][b], sizeof(StockLanes));
    }
  }
  for (; i < fish; ++i) {
    StockLanes p[kBlocks];
    #pragma GCC unroll 16
    for (int b = 0; b < kBlocks; ++b) p[b] = one;
    for (uint32_t r = alleleStart[i]; r < alleleStart[i + 1]; ++r) {
      const double* row = factors + alleleRows[r] * stride;
      #pragma GCC unroll 16
      for (int b = 0; b < kBlocks; ++b) MultiplyIn(p[b], row + b * kStockBlock);
    }
    double* out = likelihoods + static_cast<std::size_t>(i) * stride;
    #pragma GCC unroll 16
    for (int b = 0; b < kBlocks; ++b)
      std::memcpy(out + b * kStockBlock, &p[b], sizeof(StockLanes));
  }
}

const bool kHasAvx512 = __builtin_cpu_supports("avx512f");

// The origin weights of fish first .. first + n - 1 (n <= kFishSideBySide)
// into their rows of a.weights: p[s] * L[i][s], divided by their sum when it
// is positive; a.weightSums[i] receives the sum of the divided weights.
// Every sum runs in stock order and every weight is divided, not multiplied
// by a reciprocal: the same operations SumOf and DivideBy perform one fish at
// a time.
MIXORA_CPU_CLONES void WeighFish(SamplerArrays& a,
                                                                           int32_t first, int n) {
  const int32_t S = a.stocks;
  const std::size_t P = static_cast<std::size_t>(a.stride);
  const double* __restrict p = a.proportions.data();
  const double* L = a.likelihoods.data() + static_cast<std::size_t>(first) * P;
  double* w = a.weights.data() + static_cast<std::size_t>(first) * P;
  double* check = a.weightSums.data() + first;
  if (n == kFishSideBySide) {
    const double* __restrict L0 = L;
    const double* __restrict L1 = L + P;
    const double* __restrict L2 = L + 2 * P;
    const double* __restrict L3 = L + 3 * P;
    double* __restrict w0 = w;
    double* __restrict w1 = w + P;
    double* __restrict w2 = w + 2 * P;
    double* __restrict w3 = w + 3 * P;
    double t0 = 0.0, t1 = 0.0, t2 = 0.0, t3 = 0.0;
    for (int32_t s = 0; s < S; ++s) {
      const double v0 = p[s] * L0[s];
      const double v1 = p[s] * L1[s];
      const double v2 = p[s] * L2[s];
      const double v3 = p[s] * L3[s];
      w0[s] = v0;
      w1[s] = v1;
      w2[s] = v2;
      w3[s] = v3;
      t0 = t0 + v0;
      t1 = t1 + v1;
      t2 = t2 + v2;
      t3 = t3 + v3;
    }
    const double totals[kFishSideBySide] = {t0, t1, t2, t3};
    for (int f = 0; f < kFishSideBySide; ++f) {
      if (!(totals[f] > 0)) continue;
      double* row = w + f * P;
      const double total = totals[f];
      const StockLanes divisor = {total, total, total, total, total, total, total, total};
      int32_t s = 0;
      for (; s + kStockBlock <= S; s += kStockBlock) {
        StockLanes lanes;
        std::memcpy(&lanes, row + s, sizeof lanes);
        lanes = lanes / divisor;
        std::memcpy(row + s, &lanes, sizeof lanes);
      }
      for (; s < S; ++s) row[s] = row[s] / total;
    }
    double c0 = 0.0, c1 = 0.0, c2 = 0.0, c3 = 0.0;
    for (int32_t s = 0; s < S; ++s) {
      c0 = c0 + w0[s];
      c1 = c1 + w1[s];
      c2 = c2 + w2[s];
      c3 = c3 + w3[s];
    }
    check[0] = c0;
    check[1] = c1;
    check[2] = c2;
    check[3] = c3;
    return;
  }
  for (int f = 0; f < n; ++f) {
    const double* Lf = L + f * P;
    double* row = w + f * P;
    for (int32_t s = 0; s < S; ++s) row[s] = p[s] * Lf[s];
    const double total = SumOf(row, S);
    if (total > 0) DivideBy(row, total, S);
    check[f] = SumOf(row, S);
  }
}

// The bands of stocks as the kernels take them: on 512-bit targets three
// blocks at a time, then two, then one; elsewhere one.
void PlanBands(SamplerArrays& a) {
  if (a.bandStride == a.stride && !a.bandFirst.empty()) return;
  a.bandFirst.clear();
  a.bandBlocks.clear();
  a.bandNeeds.clear();
  int32_t s0 = 0;
  auto add = [&a, &s0](int32_t blocks) {
    a.bandFirst.push_back(s0);
    a.bandBlocks.push_back(blocks);
    s0 += blocks * kStockBlock;
    a.bandNeeds.push_back(std::min(s0, a.stocks));
  };
  if (kHasAvx512) {
    while (s0 + 3 * kStockBlock <= a.stride) add(3);
    if (s0 + 2 * kStockBlock <= a.stride) add(2);
  }
  while (s0 < a.stride) add(1);
  a.bandStride = a.stride;
}

// Likelihoods of fish first .. end - 1 under the stocks of one band.
void LikelihoodsOfBandAndFish(SamplerArrays& a, int32_t band, int32_t first, int32_t end) {
  const std::size_t P = static_cast<std::size_t>(a.stride);
  const int32_t s0 = a.bandFirst[static_cast<std::size_t>(band)];
  const double* factors = a.factors.data() + s0;
  const uint32_t* start = a.alleleStart.data() + first;
  double* out = a.likelihoods.data() + static_cast<std::size_t>(first) * P + s0;
  switch (a.bandBlocks[static_cast<std::size_t>(band)]) {
    case 3:
      LikelihoodsOfBlockGroup<3>(factors, P, start, a.alleleRows.data(), end - first, out);
      break;
    case 2:
      LikelihoodsOfBlockGroup<2>(factors, P, start, a.alleleRows.data(), end - first, out);
      break;
    default:
      LikelihoodsOfBlock(factors, P, start, a.alleleRows.data(), end - first, out);
  }
}

// Likelihoods of fish first .. end - 1 under every stock.
void LikelihoodsOfFish(SamplerArrays& a, int32_t first, int32_t end) {
  for (int32_t band = 0; band < static_cast<int32_t>(a.bandFirst.size()); ++band)
    LikelihoodsOfBandAndFish(a, band, first, end);
}

// Origin weights of fish first .. end - 1.
void WeightsOfFish(SamplerArrays& a, int32_t first, int32_t end) {
  for (int32_t i = first; i < end; i += kFishSideBySide) {
    WeighFish(a, i, end - i < kFishSideBySide ? end - i : kFishSideBySide);
  }
}

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
  // The helpers may have begun on these while the frequencies were drawn.
  if (BandsRunning(chain)) {
    FinishBands(chain);
    return 1;
  }
  PlanBands(chain.arrays);
  ShareFish(chain, &LikelihoodsOfFish);
  return 1;
}

int DrawStockOrigins(Chain& chain) {
  SamplerArrays& a = chain.arrays;
  const RunSettings& settings = chain.run->settings;
  const int32_t iteration = chain.iteration.load(kRelaxed);
  const int32_t S = a.stocks;
  const std::size_t P = static_cast<std::size_t>(a.stride);
  ShareFish(chain, &WeightsOfFish);
  const double* w = a.weights.data();
  for (int32_t i = 0; i < a.fish; ++i) {
    // Written so that weights that are not numbers are refused as well.
    if (!(a.weightSums[i] >= 0.999)) {
      ReportOriginProblem(chain, i, a.weightSums[i], iteration);
      continue;
    }
    a.origins[i] = DrawCategorical(chain.generators.ran2, w + i * P, S);
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
  std::fill(chain.arrays.countedOrigins.begin(), chain.arrays.countedOrigins.end(), -1);
}

// The counts are integers, so moving the alleles of the fish whose origin
// changed gives exactly the counts a full recount from the baseline gives;
// in a chain under way most fish keep their origin.
int RecountAlleles(Chain& chain) {
  SamplerArrays& a = chain.arrays;
  const std::size_t perStock = static_cast<std::size_t>(a.characters) * a.slots;
  const uint32_t* __restrict rows = a.alleleRows.data();
  const uint32_t* __restrict start = a.alleleStart.data();
  int32_t* __restrict counted = a.countedOrigins.data();
  const int32_t* __restrict origins = a.origins.data();
  for (int32_t i = 0; i < a.fish; ++i) {
    const int32_t from = counted[i], to = origins[i];
    if (from == to) continue;
    const uint32_t end = start[i + 1];
    if (from >= 0) {
      int32_t* __restrict n = a.counts.data() + static_cast<std::size_t>(from) * perStock;
      for (uint32_t r = start[i]; r < end; ++r) --n[rows[r]];
    }
    int32_t* __restrict n = a.counts.data() + static_cast<std::size_t>(to) * perStock;
    for (uint32_t r = start[i]; r < end; ++r) ++n[rows[r]];
    counted[i] = to;
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
  // The next iteration's likelihoods of a band of stocks depend on nothing
  // but the band's frequencies, so helper threads start on each band as
  // soon as its stocks are drawn; the draws themselves stay on this thread.
  PlanBands(a);
  const bool shared = StartBands(chain, &LikelihoodsOfBandAndFish,
                                 static_cast<int32_t>(a.bandNeeds.size()), a.bandNeeds.data());
  std::size_t nextBand = 0;
  for (int32_t s = 0; s < a.stocks; ++s) {
    const std::size_t at = static_cast<std::size_t>(s) * a.characters * a.slots;
    double* theta = a.frequencies.data() + at;
    DrawDirichletRows(chain.generators.handle, a.counts.data() + at, run.allelePrior.data(),
                      run.alleleCount.data(), a.characters, a.slots, theta);
    for (int32_t c = 0; c < a.characters; ++c) {
      const double* row = theta + static_cast<std::size_t>(c) * a.slots;
      for (int32_t k = 0; k < run.alleleCount[c]; ++k) SetFactor(a, s, c, k, row[k]);
    }
    if (shared && nextBand < a.bandNeeds.size() && a.bandNeeds[nextBand] == s + 1) {
      StocksReady(chain, s + 1, true);
      ++nextBand;
    }
  }
  return 1;
}

void RefreshLikelihoodFactors(Chain& chain) {
  // Bands begun from the frequencies replaced here are finished first, and
  // the next likelihoods are computed afresh.
  FinishBands(chain);
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
