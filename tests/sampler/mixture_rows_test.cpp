#include "sampler/mixture_rows.h"

#include <gtest/gtest.h>

namespace {

using mixora::MixtureRow;

MixtureRow Row(int iterations, int status) {
  MixtureRow row;
  row.iterations = iterations;
  row.status = status;
  return row;
}

// A mixture counted as finished but left behind by another mixture that ran
// further must be run on, so it shows as not started again.
TEST(MixtureRows, FinishedMixturesShortOfTheTargetStartAgain) {
  struct Case {
    int reps;
    std::vector<std::pair<int, int>> rows;  // iterations, status
    int target;
    std::vector<int> statuses;
  } cases[] = {
      {100, {{100, 2}, {100, 2}}, 100, {2, 2}},
      {100, {{100, 2}, {150, 2}, {0, 0}}, 150, {0, 2, 0}},
      {200, {{100, 1}, {0, 0}}, 200, {1, 0}},
      {100, {{120, 1}, {100, 2}}, 120, {1, 0}},
  };
  for (const Case& c : cases) {
    std::vector<MixtureRow> rows;
    for (auto [iterations, status] : c.rows) rows.push_back(Row(iterations, status));
    EXPECT_EQ(mixora::SettleMixtureStatus(rows, c.reps), c.target);
    for (std::size_t i = 0; i < rows.size(); ++i)
      EXPECT_EQ(rows[i].status, c.statuses[i]) << "case with target " << c.target << ", row " << i;
  }
  EXPECT_STREQ(mixora::MixtureStatusText(mixora::kMixturePartial), "Partial");
}

}  // namespace
