#include "reports/chart_data.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "reports/composition_report.h"
#include "reports/report_fixture.h"
#include "reports/report_runner.h"
#include "runfiles/run_file_names.h"

namespace mixora {
namespace {

using namespace testing_reports;

std::string Fixed(double value, const char* format) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// The numbers of the lines of a report section that follow the line
// holding `from` and its column rule, by row name (the first 18 characters).
std::map<std::string, std::vector<std::string>> SectionRows(const std::string& text,
                                                            const std::string& from) {
  std::map<std::string, std::vector<std::string>> rows;
  std::size_t at = text.find(from);
  if (at == std::string::npos) return rows;
  at = text.find("\n-", at);
  at = text.find('\n', at + 1);
  std::istringstream lines(text.substr(at + 1));
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() < 19) break;
    std::string name = line.substr(0, 18);
    name.erase(name.find_last_not_of(' ') + 1);
    std::istringstream numbers(line.substr(18));
    std::vector<std::string> values;
    for (std::string v; numbers >> v;) values.push_back(v);
    rows[name] = values;
  }
  return rows;
}

class ChartDataTest : public ::testing::Test {
 protected:
  void Make(int chains, int numberToKeep, uint32_t records) {
    run_ = ReportRun(folder_, chains, numberToKeep);
    for (int c = 0; c < chains; ++c) WriteReportChain(run_, c, records, records);
    // Each section is read from a report written afresh, and a report asks
    // before it replaces the one written before; the answer is always yes.
    run_.overwriteAll = true;
  }
  void Prepare(ReportJob& job, bool byRegion, int level = 0) {
    job.run = &run_;
    rec_.Attach(job);
    PrepareReportJob(job);
    if (byRegion) {
      ASSERT_EQ(MakeLevelCurrent(job, level), 1);
    }
  }
  std::string Report(int kind, bool byRegion) {
    ReportJob job;
    job.run = &run_;
    rec_.Attach(job);
    EXPECT_EQ(RunReportInline(job, kind, byRegion), 1) << rec_.AllMessages();
    const int name = kind == kReportCompositions ? kReportScs
                     : kind == kReportGelmanRubin ? kReportGr
                                                  : kReportIds;
    return ReadText(BuildRunFileName(run_, kNoChain, name, byRegion ? 0 : kNoGroup, kExtText));
  }

  TempFolder folder_;
  RunRecord run_;
  Recorder rec_;
};

TEST_F(ChartDataTest, CompositionSeriesAreTheReportsNumbers) {
  Make(3, 150, 250);
  struct Case {
    bool byRegion;
    int level;
    std::string section;
  };
  for (const Case& c : {Case{false, 0, "Chains Combined\r\n"},
                        Case{true, 0, "Level 1 Chains Combined - Grouped"},
                        Case{true, 1, "Level 2 Chains Combined - Grouped"}}) {
    SCOPED_TRACE(c.section);
    const auto reported = SectionRows(Report(kReportCompositions, c.byRegion), c.section);
    ReportJob job;
    Prepare(job, c.byRegion, c.level);
    CompositionSamples samples;
    ASSERT_EQ(LoadReportSamples(job, c.byRegion, samples), 1);
    CompositionChartData chart;
    ASSERT_EQ(BuildCompositionChart(job, samples, c.byRegion, 0.0, chart), 1);
    ASSERT_EQ(chart.combined.size(), reported.size());
    ASSERT_EQ(chart.chains.size(), 3u);
    EXPECT_EQ(chart.samplesPerRow, 3u * 150u);
    double previous = 2.0;
    for (const CompositionBar& bar : chart.combined) {
      ASSERT_TRUE(reported.count(bar.name)) << bar.name;
      const std::vector<std::string>& row = reported.at(bar.name);
      EXPECT_EQ(Fixed(bar.mean * 100, "%.3f"), row[0]) << bar.name;
      EXPECT_EQ(Fixed(bar.lower * 100, "%.3f"), row[3]) << bar.name;
      EXPECT_EQ(Fixed(bar.upper * 100, "%.3f"), row[5]) << bar.name;
      EXPECT_LE(bar.mean, previous) << "largest first";
      previous = bar.mean;
    }
  }
  // Each chain's rows follow the combined order and are that chain's table.
  const std::string text = Report(kReportCompositions, false);
  const auto chain2 = SectionRows(text, "Chain 2: ");
  ReportJob job;
  Prepare(job, false);
  CompositionSamples samples;
  ASSERT_EQ(LoadReportSamples(job, false, samples), 1);
  CompositionChartData chart;
  ASSERT_EQ(BuildCompositionChart(job, samples, false, 0.0, chart), 1);
  for (std::size_t i = 0; i < chart.combined.size(); ++i) {
    const CompositionBar& bar = chart.chains[1][i];
    EXPECT_EQ(bar.name, chart.combined[i].name);
    EXPECT_EQ(Fixed(bar.mean * 100, "%.3f"), chain2.at(bar.name)[0]);
    EXPECT_EQ(Fixed(bar.upper * 100, "%.3f"), chain2.at(bar.name)[5]);
  }
}

TEST_F(ChartDataTest, FoldedRowCarriesTheIntervalOfTheSumNotTheSumOfIntervals) {
  Make(2, 150, 250);
  ReportJob job;
  Prepare(job, false);
  CompositionSamples samples;
  ASSERT_EQ(LoadReportSamples(job, false, samples), 1);
  CompositionChartData whole, folded;
  ASSERT_EQ(BuildCompositionChart(job, samples, false, 0.0, whole), 1);
  ASSERT_EQ(BuildCompositionChart(job, samples, false, 0.4, folded), 1);
  ASSERT_EQ(whole.combined.size(), 3u);
  ASSERT_EQ(folded.combined.size(), 2u);
  const CompositionBar& alpha = folded.combined[0];
  const CompositionBar& other = folded.combined[1];
  EXPECT_EQ(alpha.name, "Alpha Creek");
  EXPECT_EQ(other.name, "Other (2 stocks)");
  EXPECT_EQ(other.row, -1);
  EXPECT_EQ(other.folded, 2);
  EXPECT_NEAR(alpha.mean + other.mean, 1.0, 1e-12);
  // Every record sums to 1, so the rest moves exactly against Alpha Creek.
  EXPECT_NEAR(other.lower, 1.0 - alpha.upper, 2e-3);
  EXPECT_NEAR(other.upper, 1.0 - alpha.lower, 2e-3);
  EXPECT_LT(other.upper - other.lower,
            (whole.combined[1].upper - whole.combined[1].lower) +
                (whole.combined[2].upper - whole.combined[2].lower) - 1e-3);
  for (const auto& chainBars : folded.chains) ASSERT_EQ(chainBars.size(), 2u);
  // A single row under the threshold stays a row of its own.
  CompositionChartData one;
  ASSERT_EQ(BuildCompositionChart(job, samples, false, 0.2, one), 1);
  EXPECT_EQ(one.combined.size(), 3u);
}

TEST_F(ChartDataTest, ConvergenceChartIsTheGelmanRubinReport) {
  Make(3, 150, 250);
  for (bool byRegion : {false, true}) {
    SCOPED_TRACE(byRegion);
    const auto reported =
        SectionRows(Report(kReportGelmanRubin, byRegion), byRegion ? "GROUP  " : "STOCK  ");
    ReportJob job;
    Prepare(job, byRegion);
    CompositionSamples kept;
    ASSERT_EQ(LoadReportSamples(job, byRegion, kept), 1);
    const std::vector<ConvergenceRow> rows = BuildConvergenceChart(ChartRowNames(job, byRegion), kept);
    ASSERT_EQ(rows.size(), reported.size());
    bool someAboveOne = false;
    for (const ConvergenceRow& row : rows) {
      EXPECT_EQ(Fixed(row.estimate, "%.2f"), reported.at(row.name)[0]) << row.name;
      EXPECT_EQ(Fixed(row.quantile97, "%.2f"), reported.at(row.name)[1]) << row.name;
      someAboveOne = someAboveOne || row.estimate > 1.01;
    }
    EXPECT_TRUE(someAboveOne) << "the fixture's chains disagree";
  }
}

TEST_F(ChartDataTest, AssignmentChartIsEachFishsTopShareOfTheReport) {
  Make(2, 150, 250);
  const std::string text = Report(kReportAssignments, false);
  std::map<std::string, std::string> top;  // fish -> first Top 5 share
  std::istringstream lines(text.substr(text.find("Top 5 Individual Assignments:")));
  std::string line;
  std::getline(lines, line);
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::vector<std::string> fields;
    std::istringstream parts(line);
    for (std::string field; std::getline(parts, field, ',');) {
      field.erase(0, field.find_first_not_of(' '));
      field.erase(field.find_last_not_of(' ') + 1);
      fields.push_back(field);
    }
    if (fields.size() >= 4) top[fields[0]] = fields[3];
  }
  ReportJob job;
  Prepare(job, false);
  AssignmentChartData chart;
  ASSERT_EQ(BuildAssignmentChart(job, false, chart), 1);
  ASSERT_EQ(chart.top.size(), 4u);
  EXPECT_EQ(chart.fish[0], "Fish 1");
  EXPECT_EQ(chart.stock[0], "Cedar Lake");
  EXPECT_DOUBLE_EQ(chart.top[0], 1.0);
  for (std::size_t i = 0; i < chart.top.size(); ++i) {
    EXPECT_EQ(Fixed(chart.top[i], "%.4f"), top.at(chart.fish[i])) << chart.fish[i];
    if (i > 0) {
      EXPECT_LE(chart.top[i], chart.top[i - 1]);
    }
  }
  EXPECT_EQ(CountConfident(chart, 0.9), 1);
  // By region Fish 2, split between two stocks of the North group, is sure.
  ReportJob region;
  Prepare(region, true, 0);
  AssignmentChartData grouped;
  ASSERT_EQ(BuildAssignmentChart(region, true, grouped), 1);
  EXPECT_EQ(CountConfident(grouped, 0.9), 2);
}

TEST_F(ChartDataTest, TracePanelsFollowTheChosenOrLargestRows) {
  Make(2, 150, 250);
  ReportJob job;
  Prepare(job, false);
  job.discard = 0;
  CompositionSamples all;
  ASSERT_EQ(LoadReportSamples(job, false, all), 1);
  const std::vector<std::string> names = ChartRowNames(job, false);
  struct Case {
    int top;
    std::string chosen;
    std::vector<int> rows;
    bool ok;
  };
  for (const Case& c : {Case{2, "", {0, 1}, true}, Case{9, "", {0, 1, 2}, true},
                        Case{4, "cedar LAKE", {2}, true}, Case{4, "Dog Creek", {}, false}}) {
    SCOPED_TRACE(c.chosen + " top " + std::to_string(c.top));
    TraceChartData chart;
    std::string error;
    ASSERT_EQ(BuildTraceChart(names, all, 100, 5, c.top, c.chosen, chart, error), c.ok ? 1 : 0);
    if (!c.ok) {
      EXPECT_NE(error.find("Dog Creek"), std::string::npos) << error;
      continue;
    }
    ASSERT_EQ(chart.panels.size(), c.rows.size());
    for (std::size_t i = 0; i < c.rows.size(); ++i) {
      const TracePanel& panel = chart.panels[i];
      EXPECT_EQ(panel.row, c.rows[i]);
      EXPECT_EQ(panel.name, names[c.rows[i]]);
      ASSERT_EQ(panel.chains.size(), 2u);
      EXPECT_EQ(panel.chains[1].size(), 250u);
      EXPECT_EQ(panel.chains[1].front().first, 5.0);
      EXPECT_EQ(panel.chains[1].back().first, 1250.0);
      EXPECT_DOUBLE_EQ(panel.chains[1][7].second, all.At(c.rows[i], 1, 7) / 1e8);
      EXPECT_EQ(panel.burnInEnd, 500.0);
      uint64_t counted = 0;
      for (uint32_t n : panel.histogram) counted += n;
      EXPECT_EQ(counted, 2u * 150u) << "kept records of both chains";
    }
  }
}

TEST_F(ChartDataTest, LongTracesAreThinnedForDrawingButKeepTheirEnds) {
  CompositionSamples all;
  all.rows = 1;
  all.chains = 1;
  all.records = 5001;
  for (uint32_t r = 0; r < all.records; ++r) all.values.push_back(r * 1000);
  TraceChartData chart;
  std::string error;
  ASSERT_EQ(BuildTraceChart({"Only"}, all, 0, 1, 1, "", chart, error), 1);
  const auto& points = chart.panels[0].chains[0];
  EXPECT_LE(points.size(), static_cast<std::size_t>(kTracePointsPerChain) + 1);
  EXPECT_EQ(points.front().first, 1.0);
  EXPECT_EQ(points.back().first, 5001.0);
  EXPECT_DOUBLE_EQ(points.back().second, 5000 * 1000 / 1e8);
}

TEST_F(ChartDataTest, LiveChainsReadWhatTheReportLoaderReads) {
  Make(2, -1, 300);
  LiveChains live;
  ASSERT_EQ(RefreshLiveChains(run_, live), 1) << live.problem;
  EXPECT_EQ(live.common, 300u);
  EXPECT_EQ(live.discard, 150u);
  ReportJob job;
  Prepare(job, false);
  CompositionSamples kept;
  ASSERT_EQ(LoadReportSamples(job, false, kept), 1);
  const CompositionSamples liveKept = LiveSamples(live, 3, true);
  EXPECT_EQ(liveKept.records, kept.records);
  EXPECT_EQ(liveKept.values, kept.values);

  const std::vector<ConvergenceRow> all = BuildConvergenceChart(run_.stockNames, kept);
  const std::vector<ConvergenceRow> top = LiveGelmanRubin(run_, live, 2);
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(top[0].name, "Alpha Creek");
  EXPECT_EQ(top[0].estimate, all[0].estimate);
  EXPECT_EQ(top[1].quantile97, all[1].quantile97);

  // Too few kept records in every chain: no live value yet.
  Make(2, -1, 150);
  LiveChains early;
  ASSERT_EQ(RefreshLiveChains(run_, early), 1);
  EXPECT_TRUE(LiveGelmanRubin(run_, early, 2).empty());
}

}  // namespace
}  // namespace mixora
