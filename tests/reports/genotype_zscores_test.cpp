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
