#include "sampler/gibbs_sampler.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "runfiles/sample_file_reader.h"
#include "sampler/chain_fixture.h"
#include "sampler/restart_file.h"
#include "sampler/synthetic_run.h"
#include "sampler/variates.h"

namespace mixora {
namespace {

using chain_testing::MakeFreshChain;
using chain_testing::MessageRecorder;
using chain_testing::ScratchFolder;
using chain_testing::TinyRun;

// theta of stock 0 is (0.8, 0.2), of stock 1 (0.3, 0.7); p = (0.6, 0.4).
void SetKnownState(Chain& chain) {
  chain.arrays.proportions = {0.6, 0.4};
  chain.arrays.frequencies = {0.8, 0.2, 0.3, 0.7};
  RefreshLikelihoodFactors(chain);
}

// A copy of the chain's generators whose handle points at the copy.
struct TwinGenerators {
  ChainGenerators g;
  TwinGenerators(const ChainGenerators& source, int32_t ranGen) : g(source) {
    if (ranGen == 1) {
      UseMt19937(g.handle, g.mt);
    } else {
      UseRandLib(g.handle, g.randLib);
    }
  }
};

uint32_t StoredValue(const SampleFileWriter& w, uint32_t record, uint32_t i) {
  const uint8_t* p = w.buffer.data() + (record * w.valuesPerRecord + i) * w.elementSize;
  uint32_t v = 0;
  for (uint32_t b = 0; b < w.elementSize; ++b) v |= uint32_t{p[b]} << (8 * b);
  return v;
}

class HandCheckedIteration : public ::testing::TestWithParam<int32_t> {};

// The first iteration recomputed step by step from twins of the chain's
// generator streams: likelihoods, origins (ran2), proportions (the selected
// generator), counts and frequencies, all bit for bit.
TEST_P(HandCheckedIteration, FollowsTheGeneratorStreams) {
  const int32_t ranGen = GetParam();
  ScratchFolder folder;
  RunRecord run = TinyRun(folder, ranGen);
  MessageRecorder messages;
  auto chain = MakeFreshChain(run, messages.ui, true);
  ASSERT_NE(chain, nullptr);
  SetKnownState(*chain);
  Ran2State ran2 = chain->generators.ran2;
  TwinGenerators twin(chain->generators, ranGen);

  chain->iteration.store(1);
  ASSERT_EQ(RunIteration(*chain), 1);
  const SamplerArrays& a = chain->arrays;

  const double L[3][2] = {{0.8 * 0.8, 0.3 * 0.3}, {0.8 * 0.2, 0.3 * 0.7}, {0.2, 0.7}};
  for (int i = 0; i < 3; ++i) {
    for (int s = 0; s < 2; ++s) EXPECT_EQ(a.likelihoods[i * a.stride + s], L[i][s]) << i << s;
  }

  int32_t z[3];
  int32_t m[2] = {0, 0};
  for (int i = 0; i < 3; ++i) {
    const double w0 = 0.6 * L[i][0];
    const double w1 = 0.4 * L[i][1];
    const double first = w0 / (w0 + w1);
    z[i] = first > Ran2Uniform(ran2) ? 0 : 1;
    ++m[z[i]];
    EXPECT_EQ(a.origins[i], z[i]) << "fish " << i + 1;
  }
  EXPECT_EQ(chain->generators.ran2.draws, 3u);
  EXPECT_EQ(a.stockCounts[0], m[0]);
  EXPECT_EQ(a.stockCounts[1], m[1]);

  const double g0 = DrawGamma(twin.g.handle, m[0] + 0.5);
  const double g1 = DrawGamma(twin.g.handle, m[1] + 0.5);
  EXPECT_EQ(a.proportions[0], g0 / (g0 + g1));
  EXPECT_EQ(a.proportions[1], g1 / (g0 + g1));

  int32_t n[4] = {8, 2, 3, 7};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 2; ++j) {
      const int32_t allele = run.genotypes[i * 2 + j];
      if (allele != 0) ++n[z[i] * 2 + allele - 1];
    }
  }
  EXPECT_THAT(a.counts, ::testing::ElementsAre(n[0], n[1], n[2], n[3]));

  for (int s = 0; s < 2; ++s) {
    const double first = DrawGamma(twin.g.handle, n[s * 2] + 0.5);
    const double second = DrawGamma(twin.g.handle, n[s * 2 + 1] + 0.5);
    EXPECT_EQ(a.frequencies[s * 2], first / (first + second)) << "stock " << s;
    EXPECT_EQ(a.frequencies[s * 2 + 1], second / (first + second)) << "stock " << s;
  }

  const SampleFileWriter& assignments = chain->samples.assignment;
  const SampleFileWriter& composition = chain->samples.composition;
  ASSERT_EQ(assignments.pending, 1u);
  ASSERT_EQ(composition.pending, 1u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(StoredValue(assignments, 0, i), uint32_t(z[i]));
  for (int s = 0; s < 2; ++s) {
    EXPECT_EQ(StoredValue(composition, 0, s), uint32_t(ScaleProportion(a.proportions[s])));
  }
  EXPECT_TRUE(messages.boxes.empty());
  chain_testing::CloseOutputs(*chain);
}

INSTANTIATE_TEST_SUITE_P(BothGenerators, HandCheckedIteration, ::testing::Values(0, 1));

// ThinSta 3 and ThinIse 2 keep origins at 3 and 6 and proportions at 2, 4
// and 6, each record being the state of its own iteration.
TEST(GibbsThinning, KeepsRecordsOnTheGridOfAbsoluteIterations) {
  ScratchFolder folder;
  RunRecord run = TinyRun(folder, 1);
  run.settings.ThinSta = 3;
  run.settings.ThinIse = 2;
  MessageRecorder messages;
  auto chain = MakeFreshChain(run, messages.ui, true);
  ASSERT_NE(chain, nullptr);
  DrawFrequencies(*chain);

  struct Expected {
    uint32_t assignments, compositions;
  };
  const Expected totals[] = {{0, 0}, {0, 1}, {1, 1}, {1, 2}, {1, 2}, {2, 3}};
  std::vector<std::vector<int32_t>> keptOrigins;
  std::vector<std::vector<double>> keptProportions;
  for (int32_t t = 1; t <= 6; ++t) {
    ASSERT_EQ(chain_testing::RunIterations(*chain, t, t), 1);
    EXPECT_EQ(chain->samples.assignment.total, totals[t - 1].assignments) << "iteration " << t;
    EXPECT_EQ(chain->samples.composition.total, totals[t - 1].compositions) << "iteration " << t;
    if (t % 3 == 0) keptOrigins.push_back(chain->arrays.origins);
    if (t % 2 == 0) keptProportions.push_back(chain->arrays.proportions);
  }
  const SampleFileWriter& assignments = chain->samples.assignment;
  const SampleFileWriter& composition = chain->samples.composition;
  for (uint32_t r = 0; r < 2; ++r) {
    for (uint32_t i = 0; i < 3; ++i) EXPECT_EQ(StoredValue(assignments, r, i), uint32_t(keptOrigins[r][i]));
  }
  for (uint32_t r = 0; r < 3; ++r) {
    for (uint32_t s = 0; s < 2; ++s) {
      EXPECT_EQ(StoredValue(composition, r, s), uint32_t(ScaleProportion(keptProportions[r][s])));
    }
  }
  chain_testing::CloseOutputs(*chain);
}

// SaveEvery 100 with ThinIse 2: nothing is saved before iteration 200; at
// its end the samples are in the files and the restart file counts them.
TEST(GibbsSaving, FirstSaveAtSaveEveryTimesThinIse) {
  ScratchFolder folder;
  RunRecord run = TinyRun(folder, 1);
  run.settings.ThinSta = 3;
  run.settings.ThinIse = 2;
  MessageRecorder messages;
  auto chain = MakeFreshChain(run, messages.ui, true);
  ASSERT_NE(chain, nullptr);
  DrawFrequencies(*chain);
  const std::string restart = RestartFilePath(*chain);

  ASSERT_EQ(chain_testing::RunIterations(*chain, 1, 199), 1);
  EXPECT_FALSE(std::filesystem::exists(restart));
  EXPECT_EQ(chain->samples.composition.pending, 99u);
  EXPECT_EQ(chain->phase.load(), kPhaseEstFreq);

  ASSERT_EQ(chain_testing::RunIterations(*chain, 200, 200), 1);
  EXPECT_EQ(chain->phase.load(), kPhaseSaving);
  EXPECT_EQ(chain->samples.composition.pending, 0u);
  EXPECT_EQ(chain->samples.assignment.pending, 0u);
  RestartChainValues values;
  ASSERT_EQ(ReadRestartChainValues(restart, values), 1);
  EXPECT_EQ(values.iteration, 200);
  EXPECT_EQ(values.assignmentTotal, 66);
  EXPECT_EQ(values.compositionTotal, 100);
  EXPECT_FALSE(std::filesystem::exists(chain->restartTempPath));

  // The sample files hold what the restart file counts, before any close.
  SampleFileSummary summary;
  std::string error;
  ASSERT_EQ(SummarizeSampleFile(chain->samples.composition.path, summary, error), 1) << error;
  EXPECT_EQ(summary.recordsInBlocks, 100u);
  ASSERT_EQ(SummarizeSampleFile(chain->samples.assignment.path, summary, error), 1) << error;
  EXPECT_EQ(summary.recordsInBlocks, 66u);
  EXPECT_TRUE(messages.boxes.empty());
  chain_testing::CloseOutputs(*chain);
}

// A fish whose likelihood underflows to 0 under every stock keeps its origin,
// draws no uniform, and is reported in the chain log; the others go on.
TEST(GibbsOrigins, UnderflowKeepsTheOriginAndLogsTheFish) {
  ScratchFolder folder;
  RunRecord run = TinyRun(folder, 1);
  run.genotypes = {1, 1, 2, 2, 1, 0};
  MessageRecorder messages;
  auto chain = MakeFreshChain(run, messages.ui, true);
  ASSERT_NE(chain, nullptr);
  chain->arrays.proportions = {0.5, 0.5};
  chain->arrays.frequencies = {1.0 - 1e-200, 1e-200, 1.0 - 1e-200, 1e-200};
  RefreshLikelihoodFactors(*chain);
  chain->arrays.origins[1] = 1;

  chain->iteration.store(7);
  ASSERT_EQ(RunIteration(*chain), 1);
  EXPECT_EQ(chain->arrays.likelihoods[1 * chain->arrays.stride + 0], 0.0);
  EXPECT_EQ(chain->arrays.origins[1], 1);
  EXPECT_EQ(chain->generators.ran2.draws, 2u);
  EXPECT_EQ(chain->arrays.stockCounts[0] + chain->arrays.stockCounts[1], 3);

  std::fflush(chain->samples.chainLog);
  const std::vector<uint8_t> bytes = chain_testing::ReadBytes(chain->samples.chainLogPath);
  const std::string log(bytes.begin(), bytes.end());
  EXPECT_THAT(log, ::testing::EndsWith("StockOrigin:\r\nProblem in going to MultiNomial\r\n"
                                       "Mix line 2, dSum=0.000000\r\n"
                                       "Desc: Fish2, iIter = 7\r\n"));
  chain_testing::CloseOutputs(*chain);
}

// A missing allele and a frequency of exactly 0 contribute no factor; every
// other factor is multiplied in character and allele order. Checked on a run
// whose stock count is not a whole number of blocks.
TEST(GibbsLikelihoods, MatchTheProductInCharacterOrderBitForBit) {
  ScratchFolder folder;
  SyntheticRunShape shape;
  shape.stocks = 13;
  shape.characters = 7;
  shape.maxAlleles = 6;
  shape.varyAlleleCounts = true;
  shape.fish = 40;
  shape.missingRate = 0.2;
  RunRecord run = MakeSyntheticRun(shape);
  run.controlPath = folder.File("Synthetic.rcf");
  run.genotypes[5] = 0;  // one allele of a pair missing
  MessageRecorder messages;
  auto chain = MakeFreshChain(run, messages.ui, false);
  ASSERT_NE(chain, nullptr);
  DrawFrequencies(*chain);
  SamplerArrays& a = chain->arrays;
  const int32_t C = a.characters, A = a.slots;
  for (std::size_t k = 0; k < a.frequencies.size(); k += 11) a.frequencies[k] = 0.0;
  RefreshLikelihoodFactors(*chain);

  ASSERT_EQ(ComputeLikelihoods(*chain), 1);
  for (int32_t i = 0; i < a.fish; ++i) {
    for (int32_t s = 0; s < a.stocks; ++s) {
      double L = 1;
      for (int32_t c = 0; c < C; ++c) {
        for (int j = 0; j < 2; ++j) {
          const int32_t allele = run.genotypes[(i * C + c) * 2 + j];
          if (allele == 0) continue;
          const double theta = a.frequencies[(s * C + c) * A + allele - 1];
          if (theta != 0) L = L * theta;
        }
      }
      ASSERT_EQ(a.likelihoods[i * a.stride + s], L) << "fish " << i << " stock " << s;
    }
  }
}

// Two chains with the same seeds write the same samples and restart files;
// a chain with another seed does not.
TEST(GibbsDeterminism, SameSeedsGiveIdenticalFiles) {
  ScratchFolder folder;
  SyntheticRunShape shape;
  shape.stocks = 12;
  shape.characters = 8;
  shape.maxAlleles = 6;
  shape.varyAlleleCounts = true;
  shape.fish = 60;
  RunRecord run = MakeSyntheticRun(shape);
  run.controlPath = folder.File("Synthetic.rcf");
  MessageRecorder messages;
  std::vector<std::unique_ptr<Chain>> chains;
  for (int32_t index = 0; index < 3; ++index) {
    if (index == 2) run.settings.Seed1 += 2;
    chains.push_back(MakeFreshChain(run, messages.ui, true, index));
    ASSERT_NE(chains.back(), nullptr);
    DrawFrequencies(*chains.back());
    ASSERT_EQ(chain_testing::RunIterations(*chains.back(), 1, 250), 1);
    chain_testing::CloseOutputs(*chains.back());
  }
  for (const char* extension : {".Ise", ".Sta", ".Rst"}) {
    const auto first = chain_testing::ReadBytes(folder.File(std::string("Synthetic_01") + extension));
    const auto second = chain_testing::ReadBytes(folder.File(std::string("Synthetic_02") + extension));
    const auto other = chain_testing::ReadBytes(folder.File(std::string("Synthetic_03") + extension));
    EXPECT_GT(first.size(), 32u) << extension;
    EXPECT_EQ(first, second) << extension;
    EXPECT_NE(first, other) << extension;
  }
  EXPECT_EQ(chains[0]->arrays.frequencies, chains[1]->arrays.frequencies);
  EXPECT_TRUE(messages.boxes.empty());
}

// A save that cannot write its restart file ends the iteration with 0 and
// says so; the iteration itself was done.
TEST(GibbsSaving, FailedSaveIsShownAndEndsTheChain) {
  ScratchFolder folder;
  RunRecord run = TinyRun(folder, 1);
  MessageRecorder messages;
  auto chain = MakeFreshChain(run, messages.ui, true);
  ASSERT_NE(chain, nullptr);
  DrawFrequencies(*chain);
  chain->restartPath = folder.File("missing/Tiny_01.Rst");
  chain->restartTempPath = chain->restartPath + ".tmp";
  ASSERT_EQ(chain_testing::RunIterations(*chain, 1, 99), 1);
  chain->iteration.store(100);
  EXPECT_EQ(RunIteration(*chain), 0);
  ASSERT_EQ(messages.boxes.size(), 1u);
  EXPECT_THAT(messages.boxes[0].text, ::testing::StartsWith("System Message:\r\nCannot save the chain:\r\n"));
  EXPECT_THAT(messages.boxes[0].text, ::testing::HasSubstr("missing/Tiny_01.Rst"));
  EXPECT_EQ(messages.boxes[0].type & 0xF0u, uint32_t{kMbIconError});
  EXPECT_EQ(messages.boxes[0].type >> 16, 1u);
  chain_testing::CloseOutputs(*chain);
}

TEST(ChainArrays, RefuseARunThatDoesNotDescribeItsArrays) {
  ScratchFolder folder;
  RunRecord run = TinyRun(folder, 1);
  Chain chain;
  chain.run = &run;
  EXPECT_EQ(AllocateSamplerArrays(chain), 1);
  run.genotypes.pop_back();
  EXPECT_EQ(AllocateSamplerArrays(chain), 0);
  run.genotypes.push_back(0);
  run.settings.ThinSta = 0;
  EXPECT_EQ(AllocateSamplerArrays(chain), 0);
  run.settings.ThinSta = 1;
  run.alleleCount[0] = 3;
  EXPECT_EQ(AllocateSamplerArrays(chain), 0);
}

}  // namespace
}  // namespace mixora

namespace mixora {
namespace {

// Origins drawn for many fish (whole groups and a remainder) agree with the
// weights formed one fish at a time: p * L, the sum, the division, the sum
// again, one ran2 uniform per drawn fish, in fish order.
TEST(GibbsOrigins, MatchWeightsFormedOneFishAtATime) {
  ScratchFolder folder;
  SyntheticRunShape shape;
  shape.stocks = 11;
  shape.characters = 5;
  shape.maxAlleles = 4;
  shape.fish = 43;
  RunRecord run = MakeSyntheticRun(shape);
  run.controlPath = folder.File("Synthetic.rcf");
  MessageRecorder messages;
  auto chain = MakeFreshChain(run, messages.ui, true);
  ASSERT_NE(chain, nullptr);
  DrawFrequencies(*chain);
  chain->iteration.store(1);
  ASSERT_EQ(ComputeLikelihoods(*chain), 1);
  const SamplerArrays& a = chain->arrays;
  Ran2State ran2 = chain->generators.ran2;
  std::vector<int32_t> expected(a.fish);
  std::vector<int32_t> counts(a.stocks, 0);
  for (int32_t i = 0; i < a.fish; ++i) {
    std::vector<double> w(a.stocks);
    for (int32_t s = 0; s < a.stocks; ++s) w[s] = a.proportions[s] * a.likelihoods[i * a.stride + s];
    const double total = SumOf(w.data(), a.stocks);
    ASSERT_GT(total, 0);
    DivideBy(w.data(), total, a.stocks);
    ASSERT_GE(SumOf(w.data(), a.stocks), 0.999);
    expected[i] = DrawCategorical(ran2, w.data(), a.stocks);
    ++counts[expected[i]];
  }
  ASSERT_EQ(DrawStockOrigins(*chain), 1);
  EXPECT_EQ(a.origins, expected);
  EXPECT_EQ(a.stockCounts, counts);
  EXPECT_EQ(chain->generators.ran2.draws, ran2.draws);
  chain_testing::CloseOutputs(*chain);
}

}  // namespace
}  // namespace mixora
