// Simulated mixtures and bootstrap re-estimates run whole sampler runs:
// seconds, hence the slow tier.
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "reports/bias_correction.h"
#include "sampler/memory_chains.h"
#include "assessment/assessment_fixture.h"
#include "assessment/simulated_assessment.h"

namespace mixora {
namespace {

using assessment_testing::DistinctFrequencies;
using assessment_testing::DrawGenotype;
using assessment_testing::MakeBaseline;

RunSettings QuickSettings() {
  RunSettings settings = DefaultAssessmentSettings();
  settings.NumberOfChains = 2;
  settings.NumberOfReps = 600;
  settings.NumberToKeep = 400;
  return settings;
}

TEST(SimulatedAssessment, WellSeparatedBaselineCoversTheTruthNearTheNominalRate) {
  const FishGenotypes baseline =
      MakeBaseline(DistinctFrequencies(4, 12, 5, 31), 60, {0, 0, 1, 2}, 32);
  SimulationPlan plan;
  plan.mixtures = 24;
  plan.fish = 60;
  plan.seed = 5;
  SimulatedAssessment result;
  std::string error;
  ASSERT_EQ(RunSimulatedAssessment(baseline, QuickSettings(), plan, result, error), 1) << error;
  ASSERT_EQ(result.rows.size(), 3u);
  double coverage = 0.0;
  for (const SimulatedGroupRow& row : result.rows) {
    coverage += row.coverage / 3;
    EXPECT_LT(std::fabs(row.bias), 0.03) << row.group;
    EXPECT_LT(row.rmse, 0.08) << row.group;
  }
  EXPECT_GT(coverage, 0.85);
  // Every mixture's truth is what was drawn: shares of 60 fish.
  for (const SimulatedMixture& mix : result.mixtures) {
    double total = 0.0;
    for (double t : mix.truth) {
      EXPECT_NEAR(t * 60, std::round(t * 60), 1e-9);
      total += t;
    }
    EXPECT_NEAR(total, 1.0, 1e-12);
  }
}

TEST(SimulatedAssessment, SameSeedSameFiguresWhateverTheThreads) {
  const FishGenotypes baseline = MakeBaseline(DistinctFrequencies(3, 6, 4, 41), 30, {0, 1, 2}, 42);
  SimulationPlan plan;
  plan.mixtures = 4;
  plan.fish = 30;
  plan.groupShares = {0.6, 0.3, 0.1};
  RunSettings settings = QuickSettings();
  settings.NumberOfReps = 200;
  settings.NumberToKeep = 100;
  SimulatedAssessment one, two;
  std::string error;
  plan.threads = 1;
  ASSERT_EQ(RunSimulatedAssessment(baseline, settings, plan, one, error), 1) << error;
  plan.threads = 3;
  ASSERT_EQ(RunSimulatedAssessment(baseline, settings, plan, two, error), 1) << error;
  EXPECT_EQ(FormatSimulatedAssessmentCsv(one), FormatSimulatedAssessmentCsv(two));

  plan.fish = 46;  // half of 90 fish is 45
  EXPECT_EQ(RunSimulatedAssessment(baseline, settings, plan, one, error), 0);
  EXPECT_NE(error.find("at most 45 can be held out"), std::string::npos) << error;
}

TEST(BiasCorrection, CorrectedGroupSharesLieCloserToTheTruthOnWeaklySeparatedGroups) {
  // Two groups of two stocks whose frequencies differ only a little: the
  // estimates of a lopsided mixture are pulled toward even shares.
  const auto base = DistinctFrequencies(1, 10, 4, 51)[0];
  const auto other = DistinctFrequencies(1, 10, 4, 54)[0];
  assessment_testing::Frequencies freq;
  for (int s = 0; s < 4; ++s) {
    auto stock = base;
    const double shift = s < 2 ? 0.0 : 0.35;
    for (std::size_t c = 0; c < stock.size(); ++c)
      for (std::size_t k = 0; k < stock[c].size(); ++k)
        stock[c][k] = (1 - shift) * base[c][k] + shift * other[c][k];
    freq.push_back(stock);
  }
  std::mt19937 rng(52);
  const FishGenotypes baseline = MakeBaseline(freq, 50, {0, 0, 1, 1}, 53);
  RunSettings settings = QuickSettings();
  double rawError = 0.0, correctedError = 0.0;
  const int mixtures = 4;
  for (int m = 0; m < mixtures; ++m) {
    std::vector<int32_t> genotypes;
    const int fish = 100, fromFirst = 85;
    for (int i = 0; i < fish; ++i) DrawGenotype(freq[i < fromFirst ? i % 2 : 2 + i % 2], rng, genotypes);
    settings.Seed1 = 687688 + 10 * m;
    RunRecord run = MakeRunOfFish(baseline, {}, settings, genotypes, fish);
    MemorySamples samples;
    ASSERT_EQ(RunChainsInMemory(run, samples), 1);
    BiasCorrection result;
    std::string error;
    ASSERT_EQ(BiasCorrectGroups(run, MeanProportions(samples), 20, 0, result, error), 1) << error;
    ASSERT_EQ(result.levels.size(), 1u);
    rawError += std::fabs(result.levels[0].estimate[0] - 0.85);
    correctedError += std::fabs(result.levels[0].corrected[0] - 0.85);
  }
  EXPECT_LT(correctedError, rawError);
}

TEST(BiasCorrection, SameSeedsSameOutputWhateverTheThreads) {
  const FishGenotypes baseline = MakeBaseline(DistinctFrequencies(3, 5, 3, 61), 20, {0, 1, 1}, 62);
  std::mt19937 rng(63);
  std::vector<int32_t> genotypes;
  for (int i = 0; i < 30; ++i) DrawGenotype(DistinctFrequencies(3, 5, 3, 61)[i % 3], rng, genotypes);
  RunSettings settings = QuickSettings();
  settings.NumberOfReps = 200;
  settings.NumberToKeep = 100;
  RunRecord run = MakeRunOfFish(baseline, {}, settings, genotypes, 30);
  const std::vector<double> mean = {0.5, 0.3, 0.2};
  BiasCorrection one, two;
  std::string error;
  ASSERT_EQ(BiasCorrectGroups(run, mean, 6, 1, one, error), 1) << error;
  ASSERT_EQ(BiasCorrectGroups(run, mean, 6, 4, two, error), 1) << error;
  EXPECT_EQ(FormatBiasCorrectionText(run, one), FormatBiasCorrectionText(run, two));
  EXPECT_NE(FormatBiasCorrectionText(run, one).find("Bootstrap replicates:   6\r\n"),
            std::string::npos);
}

}  // namespace
}  // namespace mixora
