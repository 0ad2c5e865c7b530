#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "diagnostics/f_distribution.h"
#include "diagnostics/normal_quantile.h"

namespace mixora {
namespace {

TEST(FQuantile, UpperQuantilesMatchPublishedValues) {
  // Reference values computed to 40 digits from the regularized incomplete
  // beta function.
  struct Case {
    double dfn, dfd, expected;
  } cases[] = {
      {4.0, 10.0, 4.468341578225282},
      {1.0, 1e6, 5.023901319007524},  // close to the chi-squared limit 2.241^2
      {2.0, 3.819840263409642, 11.26734082499567},  // real-valued dfd
      {1.0, std::numeric_limits<double>::infinity(), 5.023886187314888},
  };
  for (const auto& c : cases) {
    double f = -1.0;
    int status = -99;
    double bound = -1.0;
    FQuantile(0.975, 0.025, c.dfn, c.dfd, f, status, bound);
    EXPECT_EQ(status, kFQuantileFound) << c.dfn << " " << c.dfd;
    EXPECT_NEAR(f, c.expected, c.expected * 1e-8) << c.dfn << " " << c.dfd;
  }
}

TEST(FQuantile, LowerTailIsTheReciprocalOfTheSwappedUpperTail) {
  double lower = 0.0, upper = 0.0, bound = 0.0;
  int status = -99;
  FQuantile(0.025, 0.975, 4.0, 10.0, lower, status, bound);
  EXPECT_EQ(status, kFQuantileFound);
  FQuantile(0.975, 0.025, 10.0, 4.0, upper, status, bound);
  EXPECT_NEAR(lower * upper, 1.0, 1e-9);

  double zero = -1.0;
  FQuantile(0.0, 1.0, 3.0, 7.0, zero, status, bound);
  EXPECT_EQ(status, kFQuantileFound);
  EXPECT_EQ(zero, 0.0);
}

TEST(FQuantile, BadArgumentsGiveTheirStatusAndLeaveFUnchanged) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  struct Case {
    double p, q, dfn, dfd;
    int status;
    double bound;
  } cases[] = {
      {-0.1, 0.5, 1, 1, kFQuantileBadP, 0.0},
      {1.2, 0.5, 1, 1, kFQuantileBadP, 1.0},
      {nan, 0.5, 1, 1, kFQuantileBadP, 1.0},
      {0.5, 0.0, 1, 1, kFQuantileBadQ, 0.0},
      {0.5, 1.5, 1, 1, kFQuantileBadQ, 1.0},
      {0.5, 0.5, 0.0, 1, kFQuantileBadDfn, 0.0},
      {0.5, 0.5, nan, 1, kFQuantileBadDfn, 0.0},
      {0.5, 0.5, 1, -2.0, kFQuantileBadDfd, 0.0},
      {0.5, 0.6, 1, 1, kFQuantileTailsDontSum, 1.0},
      {0.975, 0.02, 1, 1, kFQuantileTailsDontSum, 1.0},
  };
  for (const auto& c : cases) {
    double f = 42.0;
    int status = 0;
    double bound = -7.0;
    FQuantile(c.p, c.q, c.dfn, c.dfd, f, status, bound);
    EXPECT_EQ(status, c.status) << c.p << " " << c.q << " " << c.dfn << " " << c.dfd;
    EXPECT_EQ(bound, c.bound) << c.p << " " << c.q;
    EXPECT_EQ(f, 42.0);
  }
}

TEST(FQuantile, AnswerBeyondTheSearchLimitReportsTheLimit) {
  double f = 0.0, bound = 0.0;
  int status = 0;
  FQuantile(1.0 - 1e-300, 1e-300, 1.0, 1e-3, f, status, bound);
  EXPECT_EQ(status, kFQuantileAboveRange);
  EXPECT_EQ(bound, 1e100);
  EXPECT_EQ(f, 1e100);
}

TEST(NormalQuantile, AgreesWithTheNormalDistributionToSevenDigits) {
  struct Case {
    double p, z;
  } cases[] = {
      {0.5, 0.0},
      {0.85, 1.0364333894937898},         // central branch
      {0.95, 1.6448536269514722},         // just past the central split
      {0.975, 1.959963984540054},
      {0.025, -1.959963984540054},
      {0.9999, 3.7190164854556804},
      {1e-12, -7.034483825301131},        // far tail branch
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(NormalQuantile(c.p), c.z, 2e-7 * (1.0 + std::fabs(c.z))) << c.p;
  }
}

TEST(NormalQuantile, FaultCasesReturnZero) {
  for (double p : {0.0, 1.0, -0.5, 1.5, std::numeric_limits<double>::quiet_NaN()})
    EXPECT_EQ(NormalQuantile(p), 0.0) << p;
}

}  // namespace
}  // namespace mixora
