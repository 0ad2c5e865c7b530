#include "reports/composition_stats.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "reports/report_job.h"

namespace mixora {
namespace {

TEST(RoundToUnit, RoundsToTheUnitOfTheDigitsAskedFor) {
  struct Case {
    int digits;
    uint32_t value;
    uint32_t rounded;
  };
  const Case cases[] = {
      {3, 12345678u, 12300000u},   // remainder 45,678 rounds down
      {3, 12350001u, 12400000u},   // a remainder above half rounds up
      {3, 12350000u, 12300000u},   // exactly half rounds down
      {3, 0u, 0u},
      {3, 99999999u, 100000000u},
      {3, 33333333u, 33300000u},
      {8, 12345678u, 12345678u},   // unit 1
      {1, 12345678u, 10000000u},   // unit 10^7
      {0, 15000001u, 20000000u},   // digits below 1 count as 1
      {9, 12345678u, 12345678u},   // digits above 8 count as 8
      {3, 0xFFFFFFFFu, 0xFFFFFFFFu},  // cannot pass 2^32 - 1
  };
  for (const Case& c : cases) {
    uint32_t out = 1;
    RoundToUnit(c.digits, &out, &c.value, 1);
    EXPECT_EQ(out, c.rounded) << "digits " << c.digits << " value " << c.value;
  }
  std::vector<uint32_t> inPlace = {12345678u, 12350001u};
  RoundToUnit(3, inPlace.data(), inPlace.data(), inPlace.size());
  EXPECT_EQ(inPlace, (std::vector<uint32_t>{12300000u, 12400000u}));
}

TEST(SortedOrderStatistics, MedianAndQuantileInterpolate) {
  const uint32_t even[] = {10, 20, 30, 40};
  EXPECT_DOUBLE_EQ(SortedMedian(even, 4), 25.0 / 100000000.0);
  const uint32_t odd[] = {10, 20, 30};
  EXPECT_DOUBLE_EQ(SortedMedian(odd, 3), 20.0 / 100000000.0);
  const uint32_t one[] = {70000000};
  EXPECT_DOUBLE_EQ(SortedMedian(one, 1), 0.7);
  EXPECT_DOUBLE_EQ(SortedQuantile(one, 1, 0.975), 0.7);
  EXPECT_DOUBLE_EQ(SortedQuantile(one, 1, 0.025), 0.7);

  // h = 3 * 0.975 = 2.925: 7.5% of the third value and 92.5% of the fourth.
  const uint32_t scaled[] = {10000000, 20000000, 30000000, 40000000};
  const double f = 3 * 0.975 - 2;
  EXPECT_DOUBLE_EQ(SortedQuantile(scaled, 4, 0.975),
                   (30000000.0 * (1.0 - f) + 40000000.0 * f) / 100000000.0);
  EXPECT_NEAR(SortedQuantile(scaled, 4, 0.975), 0.3925, 1e-12);
  // h = 3 * 0.025 = 0.075 between the first two values.
  EXPECT_NEAR(SortedQuantile(scaled, 4, 1.0 - 0.975), 0.1075, 1e-12);
  EXPECT_DOUBLE_EQ(SortedQuantile(scaled, 4, 0.0), 0.1);
  EXPECT_DOUBLE_EQ(SortedQuantile(scaled, 4, 1.0), 0.4);
  // Values above 2^31 are read as unsigned.
  const uint32_t large[] = {3000000000u, 4000000000u};
  EXPECT_DOUBLE_EQ(SortedMedian(large, 2), 35.0);
}

TEST(DiscardCount, FromTheChainLengthAndNumberToKeep) {
  struct Case {
    int32_t length, keep, discard;
  };
  const Case cases[] = {
      {2000, 1000, 1000}, {1001, -1, 500}, {1000, -1, 500}, {100, 200, 0},
      {100, 100, 0},      {100, 0, 100},   {0, -1, 0},      {0, 5, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DiscardCount(c.length, c.keep), c.discard) << c.length << " keep " << c.keep;
}

}  // namespace
}  // namespace mixora
