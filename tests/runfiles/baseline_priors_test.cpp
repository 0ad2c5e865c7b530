#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "core/interaction.h"
#include "runfiles/baseline_priors.h"
#include "runfiles/run_record.h"

namespace mixora {
namespace {

struct Recorder {
  std::vector<std::string> texts;
  std::vector<uint32_t> types;
  Interaction ui;
  Recorder() {
    ui.message = [this](uint32_t type, const std::string& text) {
      types.push_back(type);
      texts.push_back(text);
      return static_cast<int>(kIdOk);
    };
  }
};

// Baseline counts in run order: counts[s][c] lists the K_c allele counts of
// stock s at character c (padded to the stride with zeros).
struct Baseline {
  int32_t S = 0, C = 0, A = 0;
  std::vector<std::string> names;
  std::vector<int32_t> alleleCount, counts;
  Baseline(std::vector<std::string> charNames, std::vector<int32_t> alleles,
           const std::vector<std::vector<std::vector<int32_t>>>& perStock)
      : names(std::move(charNames)), alleleCount(std::move(alleles)) {
    S = static_cast<int32_t>(perStock.size());
    C = static_cast<int32_t>(names.size());
    for (int32_t k : alleleCount) A = std::max(A, k);
    counts.assign(static_cast<std::size_t>(S * C * A), 0);
    for (int s = 0; s < S; ++s)
      for (int c = 0; c < C; ++c)
        for (std::size_t k = 0; k < perStock[s][c].size(); ++k)
          counts[static_cast<std::size_t>((s * C + c) * A) + k] = perStock[s][c][k];
  }
};

struct Priors {
  std::vector<double> alpha, lambda, beta;
  int result = -1;
};

Priors Compute(const Baseline& b, Recorder& rec, bool informative = false,
               std::vector<double> weights = {}, double fill = 0.0) {
  Priors p;
  p.alpha.assign(static_cast<std::size_t>(b.C * b.A), fill);
  p.lambda.assign(static_cast<std::size_t>(b.C), fill);
  p.beta.assign(static_cast<std::size_t>(b.S), fill);
  p.result = ComputeBaselinePriors(rec.ui, b.S, b.C, b.A, b.alleleCount, b.counts, b.names,
                                   informative, weights, p.alpha, p.lambda, p.beta);
  return p;
}

// N(lambda) / D(lambda) at one character, for checking the fixed point.
double WeightRatio(const Baseline& b, int c, double lam) {
  const int K = b.alleleCount[static_cast<std::size_t>(c)];
  std::vector<double> mean(static_cast<std::size_t>(K), 0.0);
  int withData = 0;
  auto at = [&](int s, int k) { return b.counts[static_cast<std::size_t>((s * b.C + c) * b.A + k)]; };
  auto total = [&](int s) {
    double n = 0;
    for (int k = 0; k < K; ++k) n += at(s, k);
    return n;
  };
  for (int s = 0; s < b.S; ++s) {
    if (total(s) == 0) continue;
    ++withData;
    for (int k = 0; k < K; ++k) mean[static_cast<std::size_t>(k)] += at(s, k) / total(s);
  }
  for (double& m : mean) m /= withData;
  double N = 0, D = 0;
  for (int s = 0; s < b.S; ++s) {
    const double n = total(s);
    if (n == 0) continue;
    double homo = 0, spread = 0;
    for (int k = 0; k < K; ++k) {
      const double f = at(s, k) / n;
      homo += f * f;
      spread += (f - mean[static_cast<std::size_t>(k)]) * (f - mean[static_cast<std::size_t>(k)]);
    }
    N += n * n * (1 - homo) / std::pow(n + lam, 3);
    D += n * n * spread / std::pow(n + lam, 3);
  }
  return N / D;
}

TEST(StockPrior, InformativeWeightsShareNinetyPercent) {
  struct Case {
    bool informative;
    std::vector<double> weights;
    std::vector<double> beta;
  } cases[] = {
      {true, {2, 0, 0, 2}, {0.45, 0.05, 0.05, 0.45}},
      {true, {3, 1, 0}, {0.675, 0.225, 0.1}},
      {true, {1, 1, 2}, {0.25, 0.25, 0.5}},
      {true, {0, 0}, {0.5, 0.5}},
      {false, {5, 0, 0, 0}, {0.25, 0.25, 0.25, 0.25}},
  };
  for (const auto& c : cases) {
    std::vector<std::vector<std::vector<int32_t>>> stocks(c.weights.size(), {{3, 1}});
    Baseline b({"L1"}, {2}, stocks);
    Recorder rec;
    Priors p = Compute(b, rec, c.informative, c.weights);
    ASSERT_EQ(p.beta.size(), c.beta.size());
    for (std::size_t s = 0; s < c.beta.size(); ++s) EXPECT_NEAR(p.beta[s], c.beta[s], 1e-15) << s;
  }
}

TEST(AllelePrior, WeightIsTheFixedPointAndScalesTheMeans) {
  Baseline b({"Loc1", "Loc2"}, {3, 2},
             {{{30, 10, 10}, {5, 5}}, {{20, 20, 10}, {8, 2}}, {{25, 5, 20}, {0, 0}}, {{10, 30, 10}, {6, 4}}});
  Recorder rec;
  Priors p = Compute(b, rec);
  EXPECT_EQ(p.result, 1);
  EXPECT_TRUE(rec.texts.empty());
  for (int c = 0; c < 2; ++c) {
    EXPECT_GT(p.lambda[c], 1.0);
    EXPECT_NEAR(WeightRatio(b, c, p.lambda[c]), p.lambda[c], 2e-6 * p.lambda[c]) << c;
  }
  // Means: Loc1 over all four stocks; Loc2 without the third (no data there).
  const double m0[3] = {(0.6 + 0.4 + 0.5 + 0.2) / 4, (0.2 + 0.4 + 0.1 + 0.6) / 4, (0.2 + 0.2 + 0.4 + 0.2) / 4};
  const double m1[2] = {(0.5 + 0.8 + 0.6) / 3, (0.5 + 0.2 + 0.4) / 3};
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(p.alpha[k], p.lambda[0] * m0[k], 1e-12) << k;
  for (int k = 0; k < 2; ++k) EXPECT_NEAR(p.alpha[3 + k], p.lambda[1] * m1[k], 1e-12) << k;
  EXPECT_EQ(p.alpha[5], 0.0);  // slot beyond Loc2's alleles
}

TEST(AllelePrior, WeightBelowOneIsRaisedToOne) {
  // Fixed stocks (no heterozygosity at all) drive the ratio to 0.
  Baseline b({"Fix"}, {2}, {{{40, 0}}, {{0, 40}}});
  Recorder rec;
  Priors p = Compute(b, rec);
  EXPECT_EQ(p.lambda[0], 1.0);
  EXPECT_EQ(p.alpha[0], 0.5);
  EXPECT_TRUE(rec.texts.empty());
}

TEST(AllelePrior, InvariantCharacterIsReportedAndWeighsOne) {
  Baseline b({"Good", "Same"}, {2, 2}, {{{8, 2}, {5, 5}}, {{3, 7}, {10, 10}}, {{5, 5}, {0, 0}}});
  Recorder rec;
  Priors p = Compute(b, rec);
  EXPECT_EQ(p.result, 1);
  ASSERT_EQ(rec.texts.size(), 1u);
  EXPECT_EQ(rec.texts[0],
            "Error in Weight.  Denom = 0.0 for Char Same. - may be invariant.\r\n"
            "You should exclude this character");
  EXPECT_EQ(rec.types[0], static_cast<uint32_t>(kMbIconError));
  EXPECT_EQ(p.lambda[1], 1.0);
  EXPECT_EQ(p.alpha[2], 0.5);
  EXPECT_EQ(p.alpha[3], 0.5);
  EXPECT_GT(p.lambda[0], 1.0);
}

TEST(AllelePrior, CharacterWithoutAnyDataFailsButStockPriorIsStillComputed) {
  Baseline b({"L1", "Empty"}, {2, 3}, {{{8, 2}, {0, 0, 0}}, {{3, 7}, {0, 0, 0}}});
  Recorder rec;
  Priors p = Compute(b, rec, true, {1, 3}, -7.0);
  EXPECT_EQ(p.result, 0);
  ASSERT_EQ(rec.texts.size(), 1u);
  EXPECT_EQ(rec.texts[0], "Error in CalcLambda");
  for (double v : p.alpha) EXPECT_EQ(v, -7.0);
  for (double v : p.lambda) EXPECT_EQ(v, -7.0);
  EXPECT_EQ(p.beta[0], 0.25);
  EXPECT_EQ(p.beta[1], 0.75);
}

TEST(AllelePrior, OscillatingWeightIterationStopsAndIsReported) {
  // For these stocks the iteration settles into a cycle instead of a fixed
  // point; without a bound it would never end.
  Baseline b({"Osc"}, {2}, {{{667, 333}}, {{53, 147}}, {{1, 1}}});
  Recorder rec;
  Priors p = Compute(b, rec);
  EXPECT_EQ(p.result, 1);
  ASSERT_EQ(rec.texts.size(), 1u);
  EXPECT_EQ(rec.texts[0],
            "Error in Weight.  No convergence for Char Osc after 10000 passes.\r\n"
            "You should exclude this character");
  EXPECT_TRUE(std::isfinite(p.lambda[0]));
  EXPECT_GE(p.lambda[0], 1.0);
}

TEST(PriorWeights, TableLayout) {
  const std::vector<int32_t> ids = {1, 123};
  const std::vector<std::string> names = {"Locus1", "B"};
  const std::vector<int32_t> alleles = {2, 1};
  // stride 2: stock 1 has 6 at Locus1 and 4 at B; stock 123 none at Locus1.
  const std::vector<int32_t> counts = {3, 3, 4, 0, 0, 0, 9, 0};
  const std::vector<double> lambda = {3.0, 2.0};
  std::string out;
  PrintPriorWeights(out, ids, names, 2, alleles, counts, lambda);
  EXPECT_EQ(out,
            "\r\nWEIGHTS (P) FOR PRIOR MEANS (WEIGHTS FOR OBSERVED MEANS ARE SIMPLY 1 - P)\r\n"
            " STOCK CHARACTER\r\n"
            "  ID# Locus     B\r\n"
            "    1  0.33  0.33\r\n"
            "  123  1.00  0.18\r\n"
            "\r\n(Large weights for the prior means may indicate that there is little variation)\r\n"
            " in the character among the stocks.  Such a character''s value in\r\n"
            " discriminating stocks should be examined.)\r\n");
}

TEST(StartStocks, FormattedUpToTheFirstNegativeEntry) {
  struct Case {
    StartStocks stocks;
    const char* text;
  } cases[] = {{{7, 9, -1, -1}, "7/9"},
               {{-1, -1, -1, -1}, "-1"},
               {{3, -1, 5, 6}, "3"},
               {{1, 22, 333, 4}, "1/22/333/4"}};
  for (const auto& c : cases) EXPECT_EQ(FormatStartStocks(c.stocks), c.text);
}

}  // namespace
}  // namespace mixora
