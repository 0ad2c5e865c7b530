// Processor time per iteration of the Gibbs sampler, whole and step by step,
// on three made-up runs built by the synthetic run maker:
//   0 "real-sized SNP": 772 fish, 69 stocks, 91 biallelic loci, 4% missing;
//   1 "large SNP": 3000 fish, 400 stocks, 300 biallelic loci;
//   2 "microsatellite-like": 500 fish, 30 stocks, 15 loci of up to 40 alleles.
// Besides the steps, the likelihood product is timed as a plain loop over
// the stored frequencies in the same order, which shows what the turned,
// blocked layout buys.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>
#include <utility>

#include "runfiles/sample_file_writer.h"
#include "sampler/chain.h"
#include "sampler/chain_workers.h"
#include "sampler/gibbs_sampler.h"
#include "sampler/priors.h"
#include "sampler/synthetic_run.h"

namespace mixora {
namespace {

// A chain of a synthetic run, started afresh, writing into a scratch folder
// that is removed with it.
struct BenchChain {
  std::string folder;
  RunRecord run;
  Interaction ui;
  std::unique_ptr<Chain> chain;

  BenchChain(const SyntheticRunShape& shape, int32_t thin, int32_t saveEvery) {
    char pattern[] = "/tmp/mixora_bench_XXXXXX";
    folder = mkdtemp(pattern);
    run = MakeSyntheticRun(shape);
    run.controlPath = folder + "/Synthetic.rcf";
    run.settings.ThinIse = thin;
    run.settings.ThinSta = thin;
    run.settings.SaveEvery = saveEvery;
    chain = std::make_unique<Chain>();
    chain->run = &run;
    chain->ui = &ui;
    chain->seed1 = run.settings.Seed1;
    chain->seed2 = run.settings.Seed2;
    chain->endIteration = run.settings.NumberOfReps;
    chain->startStocks = RunStartStocks(run.settings);
    AllocateSamplerArrays(*chain);
    OpenChainOutputs(chain->samples, run, 0, chain->seed1, chain->seed2, false, ui);
    SeedChainGenerators(chain->generators, chain->seed1, chain->seed2, run.settings.RanGen, false);
    ResetAlleleCounts(*chain);
    StartingProportions(false, run.beta, run.stockId, chain->startStocks,
                        chain->arrays.proportions);
    DrawFrequencies(*chain);
    // Off the thinning grid, so the step benchmarks keep no records.
    chain->iteration.store(1);
  }
  ~BenchChain() {
    CloseChainSamples(chain->samples);
    if (chain->samples.chainLog != nullptr) std::fclose(chain->samples.chainLog);
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
  // A few whole iterations, so the origins and frequencies are those of a
  // chain under way rather than of its start.
  void WarmUp(int iterations) {
    for (int t = 1; t <= iterations; ++t) {
      chain->iteration.store(2 * t + 1);
      RunIteration(*chain);
    }
    chain->iteration.store(1);
  }
};

SyntheticRunShape ShapeOf(int64_t which) {
  switch (which) {
    case 0: return RealSizedSnpShape();
    case 1: return LargeSnpShape();
    default: return MicrosatelliteLikeShape();
  }
}

const char* LabelOf(int64_t which) {
  switch (which) {
    case 0: return "real-sized SNP";
    case 1: return "large SNP";
    default: return "microsatellite-like";
  }
}

void Cases(benchmark::internal::Benchmark* b) {
  b->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
}

constexpr int kWarmUpIterations = 20;

// Whole iterations with samples kept every iteration, saved (and committed
// to disk) every 1000.
void BM_Iteration(benchmark::State& state) {
  BenchChain bench(ShapeOf(state.range(0)), 1, 1000);
  bench.WarmUp(kWarmUpIterations);
  Chain& chain = *bench.chain;
  int32_t t = 0;
  for (auto _ : state) {
    chain.iteration.store(++t, std::memory_order_relaxed);
    benchmark::DoNotOptimize(RunIteration(chain));
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(LabelOf(state.range(0)));
}
BENCHMARK(BM_Iteration)->Apply(Cases);

void BM_Likelihoods(benchmark::State& state) {
  BenchChain bench(ShapeOf(state.range(0)), 1000, 5000);
  bench.WarmUp(kWarmUpIterations);
  for (auto _ : state) benchmark::DoNotOptimize(ComputeLikelihoods(*bench.chain));
  state.SetLabel(LabelOf(state.range(0)));
}
BENCHMARK(BM_Likelihoods)->Apply(Cases);

// The weights of every fish's origin and the draws from them.
void BM_StockOrigins(benchmark::State& state) {
  BenchChain bench(ShapeOf(state.range(0)), 1000, 5000);
  bench.WarmUp(kWarmUpIterations);
  ComputeLikelihoods(*bench.chain);
  for (auto _ : state) benchmark::DoNotOptimize(DrawStockOrigins(*bench.chain));
  state.SetLabel(LabelOf(state.range(0)));
}
BENCHMARK(BM_StockOrigins)->Apply(Cases);

// The recount after a real change of origins: two successive draws are
// swapped in turn.
void BM_Recount(benchmark::State& state) {
  BenchChain bench(ShapeOf(state.range(0)), 1000, 5000);
  bench.WarmUp(kWarmUpIterations);
  Chain& chain = *bench.chain;
  ComputeLikelihoods(chain);
  DrawStockOrigins(chain);
  std::vector<int32_t> other = chain.arrays.origins;
  DrawStockOrigins(chain);
  for (auto _ : state) {
    std::swap(chain.arrays.origins, other);
    benchmark::DoNotOptimize(RecountAlleles(chain));
  }
  state.SetLabel(LabelOf(state.range(0)));
}
BENCHMARK(BM_Recount)->Apply(Cases);

// The Dirichlet draw of the stock proportions.
void BM_Proportions(benchmark::State& state) {
  BenchChain bench(ShapeOf(state.range(0)), 1000, 5000);
  bench.WarmUp(kWarmUpIterations);
  for (auto _ : state) benchmark::DoNotOptimize(DrawProportions(*bench.chain));
  state.SetLabel(LabelOf(state.range(0)));
}
BENCHMARK(BM_Proportions)->Apply(Cases)->Unit(benchmark::kMicrosecond);

// The gamma variates of every stock's allele frequencies.
void BM_Frequencies(benchmark::State& state) {
  BenchChain bench(ShapeOf(state.range(0)), 1000, 5000);
  bench.WarmUp(kWarmUpIterations);
  for (auto _ : state) benchmark::DoNotOptimize(DrawFrequencies(*bench.chain));
  state.SetLabel(LabelOf(state.range(0)));
}
BENCHMARK(BM_Frequencies)->Apply(Cases);

// Whole iterations of the large case with 1, 2 or 3 threads per chain, in
// wall time: what the helpers buy depends on the cores free beside the
// chain's own.
void BM_IterationThreads(benchmark::State& state) {
  BenchChain bench(ShapeOf(state.range(0)), 1, 1000);
  bench.WarmUp(3);
  Chain& chain = *bench.chain;
  StartChainWorkers(chain, static_cast<int32_t>(state.range(1)));
  int32_t t = 0;
  for (auto _ : state) {
    chain.iteration.store(++t, std::memory_order_relaxed);
    benchmark::DoNotOptimize(RunIteration(chain));
  }
  StopChainWorkers(chain);
  state.SetLabel(LabelOf(state.range(0)));
}
BENCHMARK(BM_IterationThreads)
    ->Args({1, 1})
    ->Args({1, 2})
    ->Args({1, 3})
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

// The product taken one fish and stock at a time over the stored order.
void BM_PlainLikelihoods(benchmark::State& state) {
  BenchChain bench(ShapeOf(state.range(0)), 1000, 5000);
  const RunRecord& run = bench.run;
  SamplerArrays& a = bench.chain->arrays;
  const int32_t C = a.characters, A = a.slots;
  for (auto _ : state) {
    for (int32_t i = 0; i < a.fish; ++i) {
      for (int32_t s = 0; s < a.stocks; ++s) {
        double L = 1;
        for (int32_t c = 0; c < C; ++c) {
          for (int j = 0; j < 2; ++j) {
            const int32_t allele = run.genotypes[(static_cast<std::size_t>(i) * C + c) * 2 + j];
            if (allele == 0) continue;
            const double theta =
                a.frequencies[(static_cast<std::size_t>(s) * C + c) * A + allele - 1];
            if (theta != 0) L = L * theta;
          }
        }
        a.likelihoods[static_cast<std::size_t>(i) * a.stride + s] = L;
      }
    }
    benchmark::ClobberMemory();
  }
  state.SetLabel(LabelOf(state.range(0)));
}
BENCHMARK(BM_PlainLikelihoods)->Arg(0)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mixora

BENCHMARK_MAIN();
