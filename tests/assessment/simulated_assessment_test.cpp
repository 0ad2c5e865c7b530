// Simulated mixtures of known composition, on a baseline small enough and
// chains short enough to run in the fast tier: every mixture its own draws,
// the same figures for any number of threads, and coverage counted from the
// very numbers the mixtures table holds.
#include "assessment/simulated_assessment.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "assessment/assessment_fixture.h"

namespace mixora {
namespace {

using assessment_testing::DistinctFrequencies;
using assessment_testing::MakeBaseline;

RunSettings ShortSettings() {
  RunSettings settings = DefaultAssessmentSettings();
  settings.NumberOfChains = 2;
  settings.NumberOfReps = 150;
  settings.NumberToKeep = 80;
  return settings;
}

// Nine stocks in three groups; the third group is a single stock.
FishGenotypes NineStocks() {
  return MakeBaseline(DistinctFrequencies(9, 6, 4, 51), 30, {0, 0, 0, 0, 1, 1, 1, 1, 2}, 52);
}

std::vector<std::vector<std::string>> CsvRows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    std::istringstream cells(line);
    std::string field;
    while (std::getline(cells, field, ',')) fields.push_back(field);
    rows.push_back(fields);
  }
  return rows;
}

std::string Format(const char* format, double value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

TEST(SimulatedAssessment, EveryMixtureDrawsItsOwnCompositionAndFishWhateverTheThreads) {
  const FishGenotypes baseline = NineStocks();
  SimulationPlan plan;
  plan.mixtures = 8;
  plan.fish = 20;
  plan.seed = 7;
  std::string error;
  std::vector<std::string> tables;
  for (int threads : {1, 3}) {
    plan.threads = threads;
    SimulatedAssessment result;
    ASSERT_EQ(RunSimulatedAssessment(baseline, ShortSettings(), plan, result, error), 1) << error;
    ASSERT_EQ(result.mixtures.size(), 8u);
    // No two mixtures share their truth and estimates: a copy would repeat
    // both to the last digit.
    std::set<std::string> distinct;
    for (std::size_t m = 0; m < result.mixtures.size(); ++m) {
      const SimulatedMixture& mix = result.mixtures[m];
      std::string key;
      for (std::size_t g = 0; g < mix.truth.size(); ++g)
        key += Format("%.6f ", mix.truth[g]) + Format("%.6f ", mix.estimate[g]) +
               Format("%.6f ", mix.lower[g]) + Format("%.6f|", mix.upper[g]);
      EXPECT_TRUE(distinct.insert(key).second) << "mixture " << m + 1 << " repeats an earlier one";
    }
    tables.push_back(FormatSimulatedMixturesCsv(result) + FormatSimulatedAssessmentCsv(result));
  }
  EXPECT_EQ(tables[0], tables[1]);
}

// The third group gets no fish: its truth is 0 in every mixture, and its
// interval starts a hair above 0, which the table prints as 0. Coverage is
// lower <= truth <= upper on the table's numbers, so the summary, the summary
// table and the text all agree with a count over the mixtures table.
TEST(SimulatedAssessment, CoverageAgreesWithARecountOfTheMixturesTable) {
  const FishGenotypes baseline = NineStocks();
  SimulationPlan plan;
  plan.mixtures = 6;
  plan.fish = 24;
  plan.groupShares = {0.5, 0.5, 0.0};
  plan.seed = 3;
  plan.threads = 2;
  SimulatedAssessment result;
  std::string error;
  ASSERT_EQ(RunSimulatedAssessment(baseline, ShortSettings(), plan, result, error), 1) << error;

  std::map<std::string, int> covered, seen;
  bool emptyGroupSeen = false;
  for (const std::vector<std::string>& row : CsvRows(FormatSimulatedMixturesCsv(result))) {
    ASSERT_EQ(row.size(), 6u);
    const double truth = std::stod(row[2]), lower = std::stod(row[4]), upper = std::stod(row[5]);
    ++seen[row[1]];
    covered[row[1]] += lower <= truth && truth <= upper;
    if (row[1] == "G3") {
      EXPECT_EQ(row[2], "0.000000");
      EXPECT_EQ(row[4], "0.000000");
      emptyGroupSeen = true;
    }
  }
  ASSERT_TRUE(emptyGroupSeen);
  EXPECT_EQ(covered["G3"], 6) << "an interval from 0 holds a truth of 0";

  const std::vector<std::vector<std::string>> summary =
      CsvRows(FormatSimulatedAssessmentCsv(result));
  const std::string text = FormatSimulatedAssessmentText(result, plan, ShortSettings());
  ASSERT_EQ(summary.size(), result.rows.size());
  for (std::size_t g = 0; g < result.rows.size(); ++g) {
    const std::string& group = result.rows[g].group;
    SCOPED_TRACE(group);
    ASSERT_EQ(seen[group], 6);
    const double recount = covered[group] / 6.0;
    EXPECT_DOUBLE_EQ(result.rows[g].coverage, recount);
    EXPECT_EQ(summary[g][0], group);
    EXPECT_EQ(summary[g][5], Format("%.4f", recount));
    // The text table's last column, COVER95%, on the group's line.
    const std::size_t line = text.find("\r\n" + group + " ");
    ASSERT_NE(line, std::string::npos);
    const std::size_t end = text.find("\r\n", line + 2);
    const std::string row = text.substr(line + 2, end - line - 2);
    EXPECT_EQ(row.substr(row.find_last_of(' ') + 1), Format("%.1f", recount * 100.0));
  }
}

}  // namespace
}  // namespace mixora
