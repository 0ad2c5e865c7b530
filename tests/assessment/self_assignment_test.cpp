#include "assessment/self_assignment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "reports/genotype_likelihood.h"

namespace mixora {
namespace {

// Stocks A (fish 1, 2) and B (fish 3, 4) at one locus of two alleles:
// 1/1, 1/2 | 2/2, and fish 4 missing a gene copy.
FishGenotypes ThreeFishAndOneMissing() {
  FishGenotypes fish;
  fish.locusNames = {"L1"};
  fish.alleleNames = {{"a", "b"}};
  fish.stockNames = {"A", "B"};
  fish.fishNames = {"f1", "f2", "f3", "f4"};
  fish.fishStock = {0, 0, 1, 1};
  fish.genotypes = {1, 1, 1, 2, 2, 2, 1, 0};
  GiveEachStockItsGroup(fish);
  return fish;
}

TEST(SelfAssignment, LeaveOneOutProbabilitiesMatchTheHandCount) {
  // Prior 1/2 per allele; f4's lone gene copy (a) stays in B's counts.
  // f1 (a/a) without itself: A holds (1 a, 1 b), B (1 a, 2 b).
  //   P(a/a | A) = 1.5/3 * 2.5/4 = 0.3125, P(a/a | B) = 1.5/4 * 2.5/5 = 0.1875.
  // f2 (a/b) without itself: A holds (2 a), B (1 a, 2 b).
  //   P(a/b | A) = 2 * 2.5/3 * 0.5/4 = 5/24, P(a/b | B) = 2 * 1.5/4 * 2.5/5 = 3/8.
  // f3 (b/b) without itself: B holds (1 a), A (3 a, 1 b).
  //   P(b/b | B) = 0.5/2 * 1.5/3 = 0.125, P(b/b | A) = 1.5/5 * 2.5/6 = 0.125.
  // f4 has no whole genotype and keeps the flat prior.
  SelfAssignment result = AssessSelfAssignment(ThreeFishAndOneMissing(), {});
  ASSERT_EQ(result.posterior.size(), 8u);
  EXPECT_NEAR(result.posterior[0], 0.3125 / 0.5, 1e-12);
  EXPECT_NEAR(result.posterior[2], (5.0 / 24) / (5.0 / 24 + 3.0 / 8), 1e-12);
  EXPECT_NEAR(result.posterior[5], 0.5, 1e-12);
  EXPECT_NEAR(result.posterior[7], 0.5, 1e-12);

  const SelfAssignmentLevel& stocks = result.levels[0];
  EXPECT_EQ(stocks.rows[0].fish, 2);
  EXPECT_NEAR(stocks.rows[0].meanOwn, (0.625 + 5.0 / 14) / 2, 1e-12);
  EXPECT_NEAR(stocks.rows[1].meanOwn, 0.5, 1e-12);
  // f2 goes to B. f4 has nothing to tell the stocks apart and goes to the
  // first; f3's even split is even only up to rounding, so its row is
  // checked by count alone.
  EXPECT_DOUBLE_EQ(stocks.rows[0].shareOwn, 0.5);
  EXPECT_EQ(stocks.confusion[0], 1);
  EXPECT_EQ(stocks.confusion[1], 1);
  EXPECT_GE(stocks.confusion[2], 1);
  EXPECT_EQ(stocks.confusion[2] + stocks.confusion[3], 2);
}

TEST(SelfAssignment, RunPriorReplacesTheReciprocalPrior) {
  // With a prior of 10 on each allele the counts hardly matter.
  SelfAssignment result = AssessSelfAssignment(ThreeFishAndOneMissing(), {10.0, 10.0});
  const double a = 11.0 / 22.0 * 12.0 / 23.0, b = 11.0 / 23.0 * 12.0 / 24.0;
  EXPECT_NEAR(result.posterior[0], a / (a + b), 1e-12);
}

TEST(GenotypeLikelihood, MomentsAddUpOverEveryGenotype) {
  const int32_t counts[3] = {5, 0, 2};
  const double prior[3] = {1.0 / 3, 1.0 / 3, 1.0 / 3};
  double total = 0.0;
  for (int a = 1; a <= 3; ++a)
    for (int b = a; b <= 3; ++b) total += std::exp(LogGenotypePredictive(counts, prior, 3, a, b));
  EXPECT_NEAR(total, 1.0, 1e-12);
  // The z-scores' frequencies: (n + 1/3) / (7 + 1), in Hardy-Weinberg
  // proportions.
  double freq[3];
  PosteriorMeanFrequencies(counts, prior, 3, freq);
  EXPECT_NEAR(freq[0], 16.0 / 24.0, 1e-15);
  EXPECT_NEAR(freq[1], 1.0 / 24.0, 1e-15);
  total = 0.0;
  for (int a = 1; a <= 3; ++a)
    for (int b = a; b <= 3; ++b) total += std::exp(LogGenotypeProbability(freq, a, b));
  EXPECT_NEAR(total, 1.0, 1e-12);
  EXPECT_NEAR(LogGenotypeProbability(freq, 1, 3), std::log(2.0 * 16.0 / 24.0 * 7.0 / 24.0), 1e-12);
  double mean = 0, variance = 0;
  LogGenotypeMoments(freq, 3, mean, variance);
  EXPECT_LT(mean, 0.0);
  EXPECT_GT(variance, 0.0);
}

// Two stocks with alleles of their own, and a pair drawn from the same
// frequencies.
FishGenotypes SeparatedAndIdenticalStocks() {
  FishGenotypes fish;
  const int loci = 8, perStock = 40;
  for (int c = 0; c < loci; ++c) {
    fish.locusNames.push_back("L" + std::to_string(c));
    fish.alleleNames.push_back({"1", "2", "3", "4"});
  }
  fish.stockNames = {"East", "West", "TwinA", "TwinB"};
  fish.groupNames = {{"East", "West", "Twins"}};
  fish.stockGroup = {{0, 1, 2, 2}};
  const double freq[4][4] = {{0.85, 0.05, 0.05, 0.05},
                             {0.05, 0.85, 0.05, 0.05},
                             {0.1, 0.1, 0.4, 0.4},
                             {0.1, 0.1, 0.4, 0.4}};
  std::mt19937 rng(7);
  for (int s = 0; s < 4; ++s) {
    std::discrete_distribution<int> draw(freq[s], freq[s] + 4);
    for (int i = 0; i < perStock; ++i) {
      fish.fishNames.push_back(fish.stockNames[s] + std::to_string(i));
      fish.fishStock.push_back(s);
      for (int c = 0; c < loci; ++c)
        for (int j = 0; j < 2; ++j) fish.genotypes.push_back(draw(rng) + 1);
    }
  }
  return fish;
}

TEST(SelfAssignment, SeparatedStocksComeBackAndIdenticalOnesSplitByChance) {
  SelfAssignment result = AssessSelfAssignment(SeparatedAndIdenticalStocks(), {});
  const SelfAssignmentLevel& stocks = result.levels[0];
  EXPECT_GT(stocks.rows[0].shareOwn, 0.97);
  EXPECT_GT(stocks.rows[1].shareOwn, 0.97);
  for (int s : {2, 3}) {
    EXPECT_GT(stocks.rows[s].shareOwn, 0.2) << s;
    EXPECT_LT(stocks.rows[s].shareOwn, 0.8) << s;
    EXPECT_NEAR(stocks.rows[s].meanOwn, 0.5, 0.15) << s;
  }
  // As one group the twins are told apart from the others.
  const SelfAssignmentLevel& groups = result.levels[1];
  EXPECT_EQ(groups.level, "group level 1");
  EXPECT_GT(groups.rows[2].shareOwn, 0.97);
  EXPECT_EQ(groups.rows[2].fish, 80);

  const std::string csv = FormatSelfAssignmentCsv(result);
  EXPECT_EQ(csv.rfind("level,name,fish,correct_share,mean_own_probability\r\nstock,East,40,", 0),
            0u);
  EXPECT_NE(FormatConfusionCsv(result).find("group level 1,Twins,Twins,"), std::string::npos);
}

}  // namespace
}  // namespace mixora
