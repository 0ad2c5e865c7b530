#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "diagnostics/gelman_rubin.h"

namespace mixora {
namespace {

TEST(GelmanRubinStatistics, MeanAndVarianceUseDenominatorMinusOne) {
  const std::vector<uint32_t> scaled = {10000000, 30000000, 50000000};  // 0.1, 0.3, 0.5
  double mean = -1.0, variance = -1.0;
  EXPECT_EQ(ScaledMeanVariance(scaled.data(), 3, mean, variance), 1);
  EXPECT_DOUBLE_EQ(mean, 0.3);
  EXPECT_DOUBLE_EQ(variance, 0.04);

  mean = variance = -1.0;
  EXPECT_EQ(ScaledMeanVariance(scaled.data(), 1, mean, variance), 0);
  EXPECT_EQ(mean, -1.0);
  EXPECT_EQ(variance, -1.0);

  const std::vector<double> a = {1.0, 2.0, 6.0}, b = {3.0, 1.0, 2.0};
  EXPECT_EQ(MeanVariance(a.data(), 3, mean, variance), 1);
  EXPECT_DOUBLE_EQ(mean, 3.0);
  EXPECT_DOUBLE_EQ(variance, 7.0);
  EXPECT_EQ(MeanVariance(a.data(), 1, mean, variance), 0);
  EXPECT_DOUBLE_EQ(Covariance(a.data(), b.data(), 3), -0.5);
}

TEST(GelRubin, MatchesAnIndependentHighPrecisionComputation) {
  // Three chains of four records; reference computed to 40 digits.
  const std::vector<uint32_t> row = {10000000, 12000000, 11000000, 15000000,
                                     20000000, 18000000, 25000000, 22000000,
                                     12000000, 30000000, 16000000, 20000000};
  ShrinkFactors result;
  EXPECT_EQ(GelRubin(row.data(), result, 4, 3), 1);
  EXPECT_NEAR(result.estimate, 1.653927585804390, 1e-9);
  EXPECT_NEAR(result.quantile97, 4.542936260562929, 1e-7);
}

TEST(GelRubin, DegenerateRowsGiveOneAndOne) {
  struct Case {
    const char* what;
    std::vector<uint32_t> row;
    int n, m;
  } cases[] = {
      {"constant chains, same value", {5000000, 5000000, 5000000, 5000000, 5000000, 5000000}, 3, 2},
      {"constant chains, different values", {1000000, 1000000, 9000000, 9000000}, 2, 2},
      {"one record used", {1000000, 9000000}, 1, 2},
      {"one chain", {1000000, 2000000, 7000000}, 3, 1},
      {"equal chain variances", {25000000, 50000000, 50000000, 75000000}, 2, 2},
  };
  for (const auto& c : cases) {
    ShrinkFactors result{7.0, 7.0};
    EXPECT_EQ(GelRubin(c.row.data(), result, c.n, c.m), 1);
    EXPECT_EQ(result.estimate, 1.0) << c.what;
    EXPECT_EQ(result.quantile97, 1.0) << c.what;
  }
}

// m chains of n draws, chain j uniform on [centre_j - 0.05, centre_j + 0.05].
std::vector<uint32_t> UniformChains(const std::vector<double>& centres, int n, unsigned seed) {
  std::mt19937 engine(seed);
  std::vector<uint32_t> row;
  for (double centre : centres)
    for (int t = 0; t < n; ++t) {
      double u = engine() / 4294967296.0;
      row.push_back(static_cast<uint32_t>((centre - 0.05 + 0.1 * u) * 1e8));
    }
  return row;
}

TEST(GelRubin, SeparatesChainsFromDifferentDistributionsFromMixedOnes) {
  const int n = 500;
  ShrinkFactors apart, together;
  const auto far = UniformChains({0.2, 0.6, 0.4}, n, 1);
  const auto same = UniformChains({0.4, 0.4, 0.4}, n, 2);
  GelRubin(far.data(), apart, n, 3);
  GelRubin(same.data(), together, n, 3);
  EXPECT_GT(apart.estimate, 3.0);
  EXPECT_GT(apart.quantile97, apart.estimate);
  EXPECT_LT(together.estimate, 1.02);
  EXPECT_GT(together.estimate, 0.98);
}

}  // namespace
}  // namespace mixora
