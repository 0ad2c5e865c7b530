#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "diagnostics/raftery_lewis.h"

namespace mixora {
namespace {

RunLengths RunLengthsOf(const std::vector<uint32_t>& values, double q, double r, double s) {
  std::vector<uint32_t> work(2 * values.size() + 1);
  return gibbmain(values.data(), static_cast<int>(values.size()), q, r, s, work.data());
}

// Two levels: 100 where the 0/1 pattern has a 1 (at or below the cut), 200
// where it has a 0.
std::vector<uint32_t> FromPattern(const std::vector<int>& pattern) {
  std::vector<uint32_t> values;
  for (int z : pattern) values.push_back(z ? 100u : 200u);
  return values;
}

TEST(EmpiricalQuantile, InterpolatesSortedUnsignedValuesAndTruncates) {
  struct Case {
    std::vector<uint32_t> values;
    double q;
    uint32_t expected;
  } cases[] = {
      {{50, 10, 40, 20, 30}, 0.5, 30},
      {{50, 10, 40, 20, 30}, 0.0, 10},
      {{50, 10, 40, 20, 30}, 1.0, 50},
      {{3, 0}, 0.5, 1},                            // 1.5 truncated, not rounded
      {{0x90000000u, 5, 7}, 1.0, 0x90000000u},     // sorted as unsigned
      {{7}, 0.975, 7},
      {{10, 20}, 1.7, 20},                         // beyond 1 stays inside the data
  };
  for (const auto& c : cases) {
    std::vector<uint32_t> work(c.values.size());
    EXPECT_EQ(EmpiricalQuantile(c.values.data(), static_cast<int>(c.values.size()), c.q,
                                work.data()),
              c.expected)
        << c.q;
  }
}

TEST(SecondOrderTest, MatchesAHandCountedSeries) {
  // Triples 001, 010, 100, 001, 010: G2 = 2 (2 ln 1.5 + 2 ln 1 + ln 3).
  const std::vector<uint32_t> series = {0, 0, 1, 0, 0, 1, 0};
  double g2 = 0.0, bic = 0.0;
  SecondOrderTest(series.data(), 7, g2, bic);
  EXPECT_NEAR(g2, 4.0 * std::log(1.5) + 2.0 * std::log(3.0), 1e-12);
  EXPECT_NEAR(bic, g2 - 2.0 * std::log(5.0), 1e-12);

  SecondOrderTest(series.data(), 2, g2, bic);
  EXPECT_EQ(g2, 0.0);
  EXPECT_EQ(bic, std::numeric_limits<double>::infinity());
}

TEST(TransitionEstimate, CountsStepsAndFlagsStatesWithoutSuccessor) {
  struct Case {
    std::vector<uint32_t> series;
    double alpha, beta;
    int problems;
  } cases[] = {
      {{0, 1, 1, 0, 0, 0, 1}, 0.5, 0.5, kRunLengthsDefined},
      {{1, 1, 1, 1}, 0.0, 0.0, kAlphaUndefined},
      {{0, 0, 0}, 0.0, 0.0, kBetaUndefined},
      {{0, 1}, 1.0, 0.0, kBetaUndefined},  // the last value has no successor
      {{1}, 0.0, 0.0, kAlphaUndefined | kBetaUndefined},
  };
  for (const auto& c : cases) {
    double alpha = -1.0, beta = -1.0;
    EXPECT_EQ(TransitionEstimate(c.series.data(), static_cast<int>(c.series.size()), alpha, beta),
              c.problems);
    EXPECT_EQ(alpha, c.alpha);
    EXPECT_EQ(beta, c.beta);
  }
}

TEST(RunLengths, MinimumSampleSizeFollowsQuantileAccuracyAndProbability) {
  const std::vector<uint32_t> values = FromPattern({0, 1, 1, 0, 1, 0, 0, 1, 1, 1});
  struct Case {
    double q, r, s;
    int32_t nmin;
  } cases[] = {
      {0.975, 0.02, 0.95, 235},
      {0.025, 0.005, 0.95, 3746},
  };
  for (const auto& c : cases) EXPECT_EQ(RunLengthsOf(values, c.q, c.r, c.s).nmin, c.nmin);
}

TEST(RunLengths, BalancedIndependentPatternNeedsNoThinningAndLittleBurnIn) {
  // The cyclic pattern 00011101 holds every pair and every triple equally
  // often, so alpha = beta = 1/2: psum = 1 makes the burn-in one step, and
  // nprec = trunc(0.25 * 1.959964^2 / 0.02^2 + 1) = 2401.
  std::vector<int> pattern;
  for (int k = 0; k < 100; ++k)
    for (int z : {0, 0, 0, 1, 1, 1, 0, 1}) pattern.push_back(z);
  pattern.push_back(0);  // closes the cycle so the pairs balance exactly
  const RunLengths lengths = RunLengthsOf(FromPattern(pattern), 0.4, 0.02, 0.95);
  EXPECT_EQ(lengths.problems, kRunLengthsDefined);
  EXPECT_EQ(lengths.kthin, 1);
  EXPECT_DOUBLE_EQ(lengths.alpha, 0.5);
  EXPECT_DOUBLE_EQ(lengths.beta, 0.5);
  EXPECT_EQ(lengths.nburn, 1);
  EXPECT_EQ(lengths.nprec, 2401);
  EXPECT_EQ(lengths.nmin, 2305);
  EXPECT_EQ(lengths.Total(), 2402);
}

TEST(RunLengths, IndependentDrawsGiveThinOneAndFactorNearOne) {
  std::mt19937 engine(12345);
  std::vector<uint32_t> values(20000);
  for (auto& v : values) v = engine() % 100000001u;
  const RunLengths lengths = RunLengthsOf(values, 0.975, 0.02, 0.95);
  EXPECT_EQ(lengths.problems, kRunLengthsDefined);
  EXPECT_EQ(lengths.kthin, 1);
  EXPECT_GT(lengths.DependenceFactor(), 0.8);
  EXPECT_LT(lengths.DependenceFactor(), 1.3);
}

TEST(RunLengths, StickySeriesNeedsFarMoreThanAnIndependentSample) {
  // A two-state chain that changes state with probability 0.02 per step.
  std::mt19937 engine(777);
  std::vector<int> pattern;
  int state = 0;
  for (int t = 0; t < 20000; ++t) {
    if (engine() % 100 < 2) state = 1 - state;
    pattern.push_back(state);
  }
  const RunLengths lengths = RunLengthsOf(FromPattern(pattern), 0.5, 0.02, 0.95);
  EXPECT_EQ(lengths.problems, kRunLengthsDefined);
  EXPECT_GT(lengths.DependenceFactor(), 20.0);
}

TEST(RunLengths, DegenerateSeriesAreFlaggedInsteadOfComputed) {
  struct Case {
    const char* what;
    std::vector<uint32_t> values;
    int problems;
  } cases[] = {
      {"constant non-zero", std::vector<uint32_t>(50, 1234), kAlphaUndefined},
      {"single record", {99}, kAlphaUndefined | kBetaUndefined},
      {"alternating", FromPattern({1, 0, 1, 0, 1, 0, 1, 0, 1, 0, 1, 0}), kBurnInUndefined},
  };
  for (const auto& c : cases) {
    const RunLengths lengths = RunLengthsOf(c.values, 0.5, 0.02, 0.95);
    EXPECT_EQ(lengths.problems, c.problems) << c.what;
    EXPECT_EQ(lengths.nmin, 2401) << c.what;  // still known: it needs no transitions
  }
}

}  // namespace
}  // namespace mixora
