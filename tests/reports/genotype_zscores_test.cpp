#include "reports/genotype_zscores.h"

#include <gtest/gtest.h>

#include <cmath>

#include "assessment/assessment_fixture.h"
#include "assessment/simulated_assessment.h"

namespace mixora {
namespace {

using assessment_testing::DistinctFrequencies;
using assessment_testing::DrawGenotype;
using assessment_testing::MakeBaseline;

TEST(GenotypeZScores, FishOfAStockMissingFromTheBaselineScoreLow) {
  // Four stocks; the fourth is left out of the baseline, and the mixture
  // holds ten of its fish after ten fish of the first stock.
  const auto freq = DistinctFrequencies(4, 20, 6, 11);
  auto three = freq;
  three.pop_back();
  const FishGenotypes baseline = MakeBaseline(three, 60, {0, 1, 2}, 12);
  std::mt19937 rng(13);
  std::vector<int32_t> mixture;
  for (int i = 0; i < 10; ++i) DrawGenotype(freq[0], rng, mixture);
  for (int i = 0; i < 10; ++i) DrawGenotype(freq[3], rng, mixture);
  // One fish of the first stock scored at no locus at all.
  for (int c = 0; c < 20 * 2; ++c) mixture.push_back(0);
  RunRecord run = MakeRunOfFish(baseline, {}, DefaultAssessmentSettings(), mixture, 21);

  const std::vector<GenotypeZScore> scores = ComputeGenotypeZScores(run);
  ASSERT_EQ(scores.size(), 21u);
  int ownLow = 0, strayLow = 0;
  for (int f = 0; f < 10; ++f) {
    EXPECT_EQ(scores[f].stock, 0) << f;
    EXPECT_EQ(scores[f].loci, 20);
    ownLow += scores[f].z < kStrayZScore;
    strayLow += scores[10 + f].z < kStrayZScore;
  }
  EXPECT_LE(ownLow, 1);
  EXPECT_GE(strayLow, 8);
  EXPECT_TRUE(std::isnan(scores[20].z));

  const std::string notes = FormatStrayFishNotes(run, scores);
  EXPECT_EQ(notes.rfind("\r\n\r\nNotes:\r\n", 0), 0u);
  int listed = 0;
  for (std::size_t at = notes.find("\r\n  Fish "); at != std::string::npos;
       at = notes.find("\r\n  Fish ", at + 1))
    ++listed;
  EXPECT_EQ(listed, ownLow + strayLow);
  EXPECT_EQ(notes.find("Fish 21: "), std::string::npos);
}

// Two stocks at two loci of two alleles, both loci counted alike: stock 1
// holds 3 and 1 gene copies, stock 2 holds 0 and 4. With 1/2 added to every
// count the frequencies are 0.7, 0.3 and 0.1, 0.9; under stock 1 a locus
// gives 1/1 with 0.49, 1/2 with 0.42 and 2/2 with 0.09.
TEST(GenotypeZScores, ScoreIsTheLogLikelihoodAgainstTheStocksMomentsAtTheScoredLoci) {
  RunRecord run;
  run.stockId = {1, 2};
  run.stockNames = {"Upper", "Lower"};
  run.alleleCount = {2, 2};
  run.maxAlleles = 2;
  run.counts = {3, 1, 3, 1, 0, 4, 0, 4};  // [stock][locus][allele]
  run.fishCount = 3;
  run.fishNames = {"one locus", "both loci", "none"};
  run.genotypes = {1, 1, 0, 0,   // locus 2 missing
                   1, 1, 1, 2,   //
                   0, 0, 2, 0};  // no locus with both copies
  const double p[3] = {0.49, 0.42, 0.09};
  double mean = 0.0, square = 0.0;
  for (double q : p) {
    mean += q * std::log(q);
    square += q * std::log(q) * std::log(q);
  }
  const double variance = square - mean * mean;

  const std::vector<GenotypeZScore> scores = ComputeGenotypeZScores(run);
  ASSERT_EQ(scores.size(), 3u);
  struct Case {
    int fish, loci;
    double logLikelihood;
  } cases[] = {
      {0, 1, std::log(0.49)},
      {1, 2, std::log(0.49) + std::log(0.42)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(run.fishNames[c.fish]);
    const GenotypeZScore& score = scores[c.fish];
    EXPECT_EQ(score.stock, 0);
    EXPECT_EQ(score.loci, c.loci);
    EXPECT_NEAR(score.logLikelihood, c.logLikelihood, 1e-12);
    EXPECT_NEAR(score.expected, c.loci * mean, 1e-12);
    EXPECT_NEAR(score.sd, std::sqrt(c.loci * variance), 1e-12);
    EXPECT_NEAR(score.z, (c.logLikelihood - c.loci * mean) / std::sqrt(c.loci * variance), 1e-12);
  }
  EXPECT_NEAR(scores[0].z, 0.4619, 5e-5);
  EXPECT_NEAR(scores[1].z, 0.4215, 5e-5);
  EXPECT_EQ(scores[2].loci, 0);
  EXPECT_TRUE(std::isnan(scores[2].z));

  // A fish of the second stock's kind goes to it and fits it well.
  run.fishCount = 1;
  run.genotypes = {2, 2, 2, 2};
  const std::vector<GenotypeZScore> lower = ComputeGenotypeZScores(run);
  EXPECT_EQ(lower[0].stock, 1);
  EXPECT_NEAR(lower[0].logLikelihood, 4 * std::log(0.9), 1e-12);
}

TEST(GenotypeZScores, NoNotesWhenEveryFishFits) {
  const auto freq = DistinctFrequencies(2, 10, 4, 21);
  const FishGenotypes baseline = MakeBaseline(freq, 60, {0, 1}, 22);
  std::mt19937 rng(23);
  std::vector<int32_t> mixture;
  DrawGenotype(freq[1], rng, mixture);
  RunRecord run = MakeRunOfFish(baseline, {}, DefaultAssessmentSettings(), mixture, 1);
  const auto scores = ComputeGenotypeZScores(run);
  EXPECT_EQ(scores[0].stock, 1);
  EXPECT_EQ(FormatStrayFishNotes(run, scores), "");
}

}  // namespace
}  // namespace mixora
