// Iterations per second of the Gibbs sampler on two made-up data sets: a
// SNP-like one (2000 fish, 70 stocks, 90 characters of 2 alleles) and a
// microsatellite-like one (500 fish, 30 stocks, 15 characters of up to 40
// alleles). Besides whole iterations, the likelihood step alone is timed
// against a plain loop over the stored frequencies in the same order, which
// shows what the turned, blocked layout buys.
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <string>

#include "runfiles/sample_file_writer.h"
#include "sampler/chain.h"
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
};

SyntheticRunShape ShapeOf(int64_t which) {
  return which == 0 ? SnpLikeShape() : MicrosatelliteLikeShape();
}

const char* LabelOf(int64_t which) { return which == 0 ? "SNP-like" : "microsatellite-like"; }

// Whole iterations with samples kept every iteration, saved (and committed
// to disk) every 1000.
void BM_RunIteration(benchmark::State& state) {
  BenchChain bench(ShapeOf(state.range(0)), 1, 1000);
  Chain& chain = *bench.chain;
  int32_t t = 0;
  for (auto _ : state) {
    chain.iteration.store(++t, std::memory_order_relaxed);
    benchmark::DoNotOptimize(RunIteration(chain));
  }
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(LabelOf(state.range(0)));
}
BENCHMARK(BM_RunIteration)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ComputeLikelihoods(benchmark::State& state) {
  BenchChain bench(ShapeOf(state.range(0)), 1000, 5000);
  for (auto _ : state) benchmark::DoNotOptimize(ComputeLikelihoods(*bench.chain));
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(LabelOf(state.range(0)));
}
BENCHMARK(BM_ComputeLikelihoods)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

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
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(LabelOf(state.range(0)));
}
BENCHMARK(BM_PlainLikelihoods)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_AugmentData(benchmark::State& state) {
  BenchChain bench(ShapeOf(state.range(0)), 1000, 5000);
  ComputeLikelihoods(*bench.chain);
  for (auto _ : state) benchmark::DoNotOptimize(AugmentData(*bench.chain));
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(LabelOf(state.range(0)));
}
BENCHMARK(BM_AugmentData)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_DrawFrequencies(benchmark::State& state) {
  BenchChain bench(ShapeOf(state.range(0)), 1000, 5000);
  for (auto _ : state) benchmark::DoNotOptimize(DrawFrequencies(*bench.chain));
  state.SetItemsProcessed(state.iterations());
  state.SetLabel(LabelOf(state.range(0)));
}
BENCHMARK(BM_DrawFrequencies)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace mixora

BENCHMARK_MAIN();
