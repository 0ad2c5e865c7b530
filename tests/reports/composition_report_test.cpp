#include "reports/composition_report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/paths.h"
#include "reports/report_fixture.h"
#include "reports/report_runner.h"
#include "runfiles/run_file_names.h"

namespace mixora {
namespace {

using namespace testing_reports;

class CompositionReportTest : public ::testing::Test {
 protected:
  void Make(int chains, int numberToKeep, uint32_t records, const std::string& title = "") {
    run_ = ReportRun(folder_, chains, numberToKeep);
    if (!title.empty()) run_.runTitle = title;
    for (int c = 0; c < chains; ++c) WriteReportChain(run_, c, records, records);
  }
  // Runs the report inline; returns its result.
  int Produce(bool byRegion) {
    ReportJob job;
    job.run = &run_;
    rec_.Attach(job);
    return RunReportInline(job, kReportCompositions, byRegion);
  }
  std::string Path(bool byRegion) const {
    return BuildRunFileName(run_, kNoChain, kReportScs, byRegion ? 0 : kNoGroup, kExtText);
  }
  std::string Text(bool byRegion) const {
    return StableText(Path(byRegion), FolderOf(run_.controlPath));
  }

  TempFolder folder_;
  RunRecord run_;
  Recorder rec_;
};

TEST_F(CompositionReportTest, ByPopulationMatchesTheStoredReport) {
  Make(2, 6, 10);
  ASSERT_EQ(Produce(false), 1) << rec_.AllMessages();
  EXPECT_TRUE(rec_.messages.empty()) << rec_.AllMessages();
  ExpectGolden(Text(false), "Coho_POP_01_SCs.Txt");
}

TEST_F(CompositionReportTest, ByRegionWritesOneSummaryPerLevelIntoOneFile) {
  Make(2, 6, 10);
  ASSERT_EQ(Produce(true), 1) << rec_.AllMessages();
  ExpectGolden(Text(true), "Coho_POP_01_SCs_Grp.Txt");
}

// The counts of the head and of the last column follow L, D and the chains.
TEST_F(CompositionReportTest, CountsFollowTheChainLengthAndNumberToKeep) {
  struct Case {
    int chains;
    uint32_t records;
    int keep;
    int discard, kept;
  };
  const Case cases[] = {
      {2, 2000, 1000, 1000, 1000},
      {1, 1001, -1, 500, 501},
      {2, 300, 500, 0, 300},  // keeping more than the chain holds keeps it all
      {2, 10, 0, 10, 0},      // nothing kept: rows of zeros, no division by zero
  };
  int serial = 0;
  for (const Case& c : cases) {
    Make(c.chains, c.keep, c.records, "Case" + std::to_string(serial++));
    ASSERT_EQ(Produce(false), 1) << rec_.AllMessages();
    const std::string text = Text(false);
    char head[400];
    std::snprintf(head, sizeof head,
                  "Length of chain:                         %u\r\n"
                  "Number of burn-in samples to discard:    %d\r\n"
                  "Number of samples to keep:               %d\r\n"
                  "Number of chains:                        %d\r\n",
                  c.records, c.discard, c.kept, c.chains);
    EXPECT_NE(text.find(head), std::string::npos) << text;
    char perChain[32], combined[32];
    std::snprintf(perChain, sizeof perChain, " %9d\r\n", c.kept);
    std::snprintf(combined, sizeof combined, " %9d\r\n", c.kept * c.chains);
    std::size_t at = text.find("Chains Combined");
    EXPECT_EQ(at != std::string::npos, c.chains >= 2) << text;
    const std::size_t tables = text.find("Chain 1:");
    ASSERT_NE(tables, std::string::npos) << text;
    const std::string chainPart = text.substr(tables, at - tables);
    // Three rows per table.
    std::size_t rows = 0;
    for (std::size_t p = chainPart.find(perChain); p != std::string::npos;
         p = chainPart.find(perChain, p + 1))
      ++rows;
    EXPECT_EQ(rows, 3u * static_cast<std::size_t>(c.chains)) << text;
    if (at != std::string::npos) {
      EXPECT_NE(text.find(combined, at), std::string::npos) << text;
    }
    EXPECT_EQ(text.find("nan"), std::string::npos) << text;
  }
}

// With a single sample kept, the mean is that sample rather than nothing.
TEST_F(CompositionReportTest, OneKeptSampleGivesItsValueAsTheMean) {
  Make(1, 1, 10);
  ASSERT_EQ(Produce(false), 1);
  const std::string text = Text(false);
  EXPECT_EQ(text.find("nan"), std::string::npos) << text;
  // Record 9: 52,469,134 / 26,888,892 / 20,641,974, rounded to 52.5, 26.9 and
  // 20.6 percent; the rounded values sum to 100, so normalising keeps them.
  EXPECT_NE(text.find("Alpha Creek         52.500"), std::string::npos) << text;
  EXPECT_NE(text.find("Bear River          26.900"), std::string::npos) << text;
  EXPECT_NE(text.find("Cedar Lake          20.600"), std::string::npos) << text;
  EXPECT_NE(text.find("  0.000  52.500  52.500  52.500         1\r\n"), std::string::npos)
      << text;
}

TEST_F(CompositionReportTest, UnreadableAssignmentsLeaveRollestEmptyButTheReportStands) {
  Make(2, 6, 10);
  std::remove(BuildRunFileName(run_, 1, kNoReport, kNoGroup, kExtAssignments).c_str());
  ASSERT_EQ(Produce(false), 1) << rec_.AllMessages();
  // Told once, although three tables use the column.
  ASSERT_EQ(rec_.messages.size(), 1u) << rec_.AllMessages();
  EXPECT_EQ(rec_.messages[0],
            "Cannot Open " + BuildRunFileName(run_, 1, kNoReport, kNoGroup, kExtAssignments) +
                                    ": No such file or directory");
  const std::string text = Text(false);
  EXPECT_EQ(text.find("nan"), std::string::npos) << text;
  // Every row's ROLLEST (the second number) is 0.000.
  for (const char* stock : {"Alpha Creek", "Bear River ", "Cedar Lake "}) {
    for (std::size_t at = text.find(stock); at != std::string::npos; at = text.find(stock, at + 1))
      EXPECT_EQ(text.substr(at + 26, 8), "   0.000") << text.substr(at, 80);
  }
}

TEST_F(CompositionReportTest, MissingCompositionFileFailsTheReportNamingTheFile) {
  Make(2, 6, 10);
  const std::string missing = BuildRunFileName(run_, 1, kNoReport, kNoGroup, kExtComposition);
  std::remove(missing.c_str());
  EXPECT_EQ(Produce(false), 0);
  ASSERT_FALSE(rec_.messages.empty());
  EXPECT_NE(rec_.messages.back().find(missing), std::string::npos) << rec_.AllMessages();
}

TEST_F(CompositionReportTest, EstimatesRowsNormaliseMeansAndKeepOrderStatistics) {
  Make(2, 6, 10);
  ReportJob job;
  job.run = &run_;
  rec_.Attach(job);
  PrepareReportJob(job);
  CompositionSamples samples;
  ASSERT_EQ(LoadReportSamples(job, false, samples), 1);
  std::vector<CompositionRow> rows;
  uint32_t count = 0;
  ASSERT_EQ(ComputeCompositionRows(job, samples, false, -1, true, rows, count), 1);
  EXPECT_EQ(count, 12u);
  ASSERT_EQ(rows.size(), 3u);
  double means = 0, rollest = 0;
  for (const CompositionRow& row : rows) {
    means += row[kColumnMean];
    rollest += row[kColumnRollest];
    EXPECT_LE(row[kColumnLower], row[kColumnMedian]);
    EXPECT_LE(row[kColumnMedian], row[kColumnUpper]);
  }
  EXPECT_NEAR(means, 1.0, 1e-12);
  EXPECT_NEAR(rollest, 1.0, 1e-12);
  // Fish 1 sits in Cedar Lake in all 12 kept records, fish 2 alternates
  // between the other two; of 48 assignments Cedar Lake has 12 + its share
  // of fish 3 and 4.
  EXPECT_GT(rows[2][kColumnRollest], 0.25);
}

}  // namespace
}  // namespace mixora
