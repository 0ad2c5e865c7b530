#include "sampler/chain_workers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "sampler/chain_fixture.h"
#include "sampler/synthetic_run.h"
#include "sampler/variates.h"

namespace mixora {
namespace {

using namespace chain_testing;

TEST(ChainWorkers, RangesCoverEveryFishOnceInOrder) {
  for (int32_t fish : {0, 1, 3, 4, 7, 43, 101, 772}) {
    for (int32_t parts : {1, 2, 3, 5, 64}) {
      int32_t previous = 0;
      EXPECT_EQ(RangeStart(fish, parts, 0), 0);
      for (int32_t part = 1; part <= parts; ++part) {
        const int32_t at = RangeStart(fish, parts, part);
        EXPECT_GE(at, previous) << fish << " fish, part " << part << " of " << parts;
        EXPECT_TRUE(at == fish || at % 4 == 0) << fish << " fish, part " << part;
        previous = at;
      }
      EXPECT_EQ(previous, fish) << fish << " fish in " << parts << " parts";
    }
  }
}

// One iteration written out plainly, one fish and one stock at a time, with
// twins of the chain's generators: what every optimisation of the sampler
// has to reproduce bit for bit.
struct PlainSampler {
  const RunRecord& run;
  ChainGenerators gens;
  std::vector<double> p, theta;
  std::vector<int32_t> z, n;

  PlainSampler(const Chain& chain)
      : run(*chain.run),
        gens(chain.generators),
        p(chain.arrays.proportions),
        theta(chain.arrays.frequencies),
        z(chain.arrays.origins) {
    if (run.settings.RanGen == 1) UseMt19937(gens.handle, gens.mt);
    else UseRandLib(gens.handle, gens.randLib);
  }

  void Iterate() {
    const int32_t S = run.settings.NumberOfStocks, C = run.settings.NumberOfChars;
    const int32_t A = run.maxAlleles, F = run.fishCount;
    std::vector<double> w(S);
    std::vector<int32_t> m(S, 0);
    for (int32_t i = 0; i < F; ++i) {
      for (int32_t s = 0; s < S; ++s) {
        double L = 1;
        for (int32_t c = 0; c < C; ++c) {
          for (int j = 0; j < 2; ++j) {
            const int32_t a = run.genotypes[(static_cast<std::size_t>(i) * C + c) * 2 + j];
            if (a == 0) continue;
            const double f = theta[(static_cast<std::size_t>(s) * C + c) * A + a - 1];
            if (f != 0) L = L * f;
          }
        }
        w[s] = p[s] * L;
      }
      const double total = SumOf(w.data(), S);
      if (total > 0) DivideBy(w.data(), total, S);
      if (SumOf(w.data(), S) >= 0.999) z[i] = DrawCategorical(gens.ran2, w.data(), S);
      ++m[z[i]];
    }
    DrawDirichlet(gens.handle, m.data(), run.beta.data(), S, p.data());
    n = run.counts;
    for (int32_t i = 0; i < F; ++i) {
      for (int32_t c = 0; c < C; ++c) {
        for (int j = 0; j < 2; ++j) {
          const int32_t a = run.genotypes[(static_cast<std::size_t>(i) * C + c) * 2 + j];
          if (a != 0) ++n[(static_cast<std::size_t>(z[i]) * C + c) * A + a - 1];
        }
      }
    }
    for (int32_t s = 0; s < S; ++s) {
      for (int32_t c = 0; c < C; ++c) {
        if (run.alleleCount[c] == 0) continue;
        const std::size_t at = (static_cast<std::size_t>(s) * C + c) * A;
        DrawDirichlet(gens.handle, n.data() + at,
                      run.allelePrior.data() + static_cast<std::size_t>(c) * A,
                      run.alleleCount[c], theta.data() + at);
      }
    }
  }
};

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0;
}

struct SamplerCase {
  const char* name;
  int32_t stocks, characters, maxAlleles;
  bool varyAlleleCounts;
  int32_t fish;
  double missingRate;
  int32_t threads;
  int32_t ranGen;
};

SyntheticRunShape ShapeOf(const SamplerCase& c) {
  SyntheticRunShape shape;
  shape.stocks = c.stocks;
  shape.characters = c.characters;
  shape.maxAlleles = c.maxAlleles;
  shape.varyAlleleCounts = c.varyAlleleCounts;
  shape.fish = c.fish;
  shape.baselineFishPerStock = 20;
  shape.missingRate = c.missingRate;
  return shape;
}

class SamplerAgainstPlainLoops : public ::testing::TestWithParam<SamplerCase> {};

// Stock counts around the kernels' blocks of 8, 16 and 24 and their mixes
// (40 = 24 + 16, 57 -> 64 = 24 + 24 + 8), fish counts that are
// no multiple of four, missing genotypes, one and several threads.
TEST_P(SamplerAgainstPlainLoops, EveryIterationIsTheSameBitForBit) {
  const SamplerCase c = GetParam();
  ScratchFolder folder;
  RunRecord run = MakeSyntheticRun(ShapeOf(c));
  run.settings.RanGen = c.ranGen;
  run.controlPath = folder.File("Synthetic.rcf");
  MessageRecorder messages;
  auto chain = MakeFreshChain(run, messages.ui, true);
  ASSERT_NE(chain, nullptr);
  DrawFrequencies(*chain);
  StartChainWorkers(*chain, c.threads);
  PlainSampler plain(*chain);
  const SamplerArrays& a = chain->arrays;
  for (int32_t t = 1; t <= 12; ++t) {
    chain->iteration.store(t);
    ASSERT_EQ(RunIteration(*chain), 1);
    plain.Iterate();
    ASSERT_EQ(a.origins, plain.z) << "iteration " << t;
    ASSERT_TRUE(SameBits(a.proportions, plain.p)) << "iteration " << t;
    ASSERT_EQ(a.counts, plain.n) << "iteration " << t;
    ASSERT_TRUE(SameBits(a.frequencies, plain.theta)) << "iteration " << t;
  }
  StopChainWorkers(*chain);
  CloseOutputs(*chain);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, SamplerAgainstPlainLoops,
    ::testing::Values(SamplerCase{"FiveStocks", 5, 6, 2, false, 43, 0.04, 1, 1},
                      SamplerCase{"SixteenStocks", 16, 9, 2, false, 41, 0.04, 1, 1},
                      SamplerCase{"SixtyNineStocks", 69, 12, 2, false, 45, 0.04, 1, 1},
                      SamplerCase{"FortyStocks", 40, 10, 3, true, 46, 0.04, 1, 1},
                      SamplerCase{"FiftySevenStocks", 57, 10, 2, false, 42, 0.04, 2, 1},
                      SamplerCase{"ManyAlleles", 21, 7, 12, true, 38, 0.1, 1, 0},
                      SamplerCase{"TwoThreads", 69, 12, 2, false, 45, 0.04, 2, 1},
                      SamplerCase{"ThreeThreads", 21, 7, 12, true, 38, 0.1, 3, 1},
                      SamplerCase{"MoreThreadsThanBlocks", 5, 6, 2, false, 7, 0.04, 5, 1}),
    [](const ::testing::TestParamInfo<SamplerCase>& info) { return info.param.name; });

std::map<std::string, std::vector<uint8_t>> FolderBytes(const std::string& folder) {
  std::map<std::string, std::vector<uint8_t>> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    // The chain log (.Sum) holds the date and the loop time.
    const std::string kind = entry.path().extension().string();
    if (kind != ".Sta" && kind != ".Ise" && kind != ".Rst") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files[entry.path().filename().string()] =
        std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
  }
  return files;
}

// 250 iterations saved every 100 with 1, 2 and 3 threads over 43 fish: the
// sample files and the restart file are the same bytes.
TEST(ChainWorkers, SampleAndRestartFilesAreTheSameForEveryThreadCount) {
  std::map<std::string, std::vector<uint8_t>> first;
  for (int32_t threads : {1, 2, 3}) {
    ScratchFolder folder;
    SyntheticRunShape shape;
    shape.stocks = 19;
    shape.characters = 8;
    shape.maxAlleles = 3;
    shape.fish = 43;
    shape.baselineFishPerStock = 20;
    RunRecord run = MakeSyntheticRun(shape);
    run.settings.ThinSta = 2;
    run.controlPath = folder.File("Synthetic.rcf");
    MessageRecorder messages;
    auto chain = MakeFreshChain(run, messages.ui, true);
    ASSERT_NE(chain, nullptr);
    DrawFrequencies(*chain);
    StartChainWorkers(*chain, threads);
    ASSERT_EQ(RunIterations(*chain, 1, 250), 1);
    StopChainWorkers(*chain);
    ASSERT_EQ(EndChain(*chain), 1);
    const auto files = FolderBytes(folder.path());
    ASSERT_EQ(files.size(), 3u);
    if (threads == 1) {
      first = files;
      continue;
    }
    for (const auto& [name, bytes] : first) {
      ASSERT_TRUE(files.count(name)) << name;
      EXPECT_EQ(files.at(name), bytes) << name << " with " << threads << " threads";
    }
  }
}

}  // namespace
}  // namespace mixora
