#include "reports/tidy_tables.h"

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/paths.h"
#include "reports/report_fixture.h"
#include "reports/report_runner.h"
#include "runfiles/run_file_names.h"

namespace mixora {
namespace {

using namespace testing_reports;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
  }
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  std::string field;
  while (std::getline(in, field, ',')) fields.push_back(field);
  return fields;
}

// The "Chains Combined" rows of a composition report section: name -> the
// six printed percentages (mean, ROLLEST, SE, lower, median, upper).
std::map<std::string, std::vector<double>> CombinedRows(const std::string& report) {
  std::map<std::string, std::vector<double>> rows;
  const std::vector<std::string> lines = Lines(report);
  std::size_t at = 0;
  while (at < lines.size() && lines[at] != "Chains Combined") ++at;
  for (at += 3; at < lines.size() && !lines[at].empty() && lines[at][0] != 'L'; ++at) {
    const std::string name = lines[at].substr(0, 18);
    std::istringstream numbers(lines[at].substr(18));
    std::vector<double> values(6);
    for (double& v : values) numbers >> v;
    rows[name.substr(0, name.find_last_not_of(' ') + 1)] = values;
  }
  return rows;
}

class TidyTablesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run_ = ReportRun(folder_, 2, 6);
    for (int c = 0; c < 2; ++c) WriteReportChain(run_, c, 10, 10);
  }
  int Produce(int kind, bool byRegion) {
    ReportJob job;
    job.run = &run_;
    rec_.Attach(job);
    return RunReportInline(job, kind, byRegion);
  }

  TempFolder folder_;
  RunRecord run_;
  Recorder rec_;
};

// The tidy estimates carry the numbers of the composition report's combined
// table, as fractions and to more digits.
TEST_F(TidyTablesTest, EstimatesAgreeWithTheCompositionReport) {
  ASSERT_EQ(Produce(kReportCompositions, false), 1) << rec_.AllMessages();
  const std::string report =
      ReadText(BuildRunFileName(run_, kNoChain, kReportScs, kNoGroup, kExtText));
  const std::map<std::string, std::vector<double>> printed = CombinedRows(report);
  ASSERT_EQ(printed.size(), 3u) << report;

  const std::vector<std::string> lines =
      Lines(ReadText(JoinPath(FolderOf(run_.controlPath), "Coho_POP_01_estimates.csv")));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "mixture,level,name,mean,sd,median,q2.5,q97.5,p_above_0.005");
  // 3 stocks, 2 groups at level 1, 1 at level 2.
  ASSERT_EQ(lines.size(), 1u + 3u + 2u + 1u);
  int stocks = 0;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> f = Fields(lines[i]);
    ASSERT_EQ(f.size(), 9u) << lines[i];
    EXPECT_EQ(f[0], "Coho_POP_01");
    if (f[1] != "stock") {
      EXPECT_TRUE(f[1] == "group1" || f[1] == "group2") << lines[i];
      continue;
    }
    ++stocks;
    ASSERT_TRUE(printed.count(f[2])) << f[2];
    const std::vector<double>& p = printed.at(f[2]);
    // mean, sd, median, lower, upper against the report's columns 0, 2, 4, 3, 5.
    const int column[] = {0, 2, 4, 3, 5};
    for (int k = 0; k < 5; ++k)
      EXPECT_NEAR(std::stod(f[3 + k]) * 100.0, p[column[k]], 0.0006)
          << f[2] << " column " << k;
    // Every kept share of the fixture lies well above 0.5%.
    EXPECT_EQ(f[8], "1.000000");
  }
  EXPECT_EQ(stocks, 3);
  // The one group of level 2 holds every stock.
  EXPECT_EQ(Fields(lines.back())[3], "1.000000");
}

// One row per fish and stock, every stock of every fish however unlikely,
// with the stock's groups: each fish's shares add up to 1.
TEST_F(TidyTablesTest, PosteriorsAreLongFormWithGroups) {
  ASSERT_EQ(Produce(kReportAssignments, false), 1) << rec_.AllMessages();
  const std::vector<std::string> lines =
      Lines(ReadText(JoinPath(FolderOf(run_.controlPath), "Coho_POP_01_posteriors.csv")));
  EXPECT_EQ(lines[0], "mixture,fish,stock,group1,group2,posterior,z_score");
  ASSERT_EQ(lines.size(), 1u + 4u * 3u) << "4 fish by 3 stocks";
  std::map<std::string, double> perFish;
  std::map<std::string, int> stocksOfFish;
  int unlikely = 0;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::vector<std::string> f = Fields(lines[i]);
    ASSERT_EQ(f.size(), 7u) << lines[i];
    EXPECT_TRUE(f[6] == "NA" || std::isfinite(std::stod(f[6]))) << lines[i];
    const double p = std::stod(f[5]);
    EXPECT_GE(p, 0.0);
    unlikely += p <= 0.001;
    perFish[f[1]] += p;
    ++stocksOfFish[f[1]];
    if (f[2] == "Cedar Lake") {
      EXPECT_EQ(f[3], "South");
    }
    if (f[2] == "Alpha Creek") {
      EXPECT_EQ(f[3], "North");
    }
    EXPECT_EQ(f[4], "Coast");
  }
  EXPECT_EQ(perFish.size(), 4u);  // the fish left out at load has no rows
  for (const auto& [fish, sum] : perFish) EXPECT_NEAR(sum, 1.0, 5e-6) << fish;
  for (const auto& [fish, stocks] : stocksOfFish) EXPECT_EQ(stocks, 3) << fish;
  EXPECT_GT(unlikely, 0) << "the fixture should hold stocks a fish almost never goes to";
}

TEST(TidyTables, FieldsWithCommasOrQuotesAreQuoted) {
  struct Case {
    const char* text;
    const char* field;
  } cases[] = {
      {"Kesh Creek", "Kesh Creek"},
      {"Kesh, upper", "\"Kesh, upper\""},
      {"the \"big\" one", "\"the \"\"big\"\" one\""},
  };
  for (const auto& c : cases) EXPECT_EQ(CsvField(c.text), c.field);
}

}  // namespace
}  // namespace mixora
