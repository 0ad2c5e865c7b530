// The baseline-assessment charts: drawn from the tables assess writes, with
// the tables' own numbers, legible with many stocks.
#include "assessment_figure.h"

#include <gtest/gtest.h>

#include <QChart>
#include <QGraphicsItem>
#include <QGraphicsSimpleTextItem>
#include <QHorizontalBarSeries>
#include <QBarSet>
#include <QImage>
#include <QScatterSeries>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <random>
#include <string>
#include <vector>

#include "plot_assessment.h"
#include "support/cli_runner.h"
#include "support/temp_folder.h"
#include "assessment/assessment_fixture.h"
#include "assessment/assessment_tables.h"

namespace mixora::charts {
namespace {

std::string PictureFolder() {
  const std::string folder = std::string(MIXORA_CHART_OUTPUT_DIR) + "/assessment";
  std::filesystem::create_directories(folder);
  return folder;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

// A baseline as biologists bring it: 24 stocks with river names in 6 groups,
// where the stocks of a pair share their frequencies and cannot be told apart.
FishGenotypes TwentyFourStocks() {
  using namespace assessment_testing;
  Frequencies freq = DistinctFrequencies(24, 10, 6, 5);
  for (int s : {3, 9, 15}) freq[s + 1] = freq[s];
  std::vector<int32_t> groupOf;
  for (int s = 0; s < 24; ++s) groupOf.push_back(s / 4);
  FishGenotypes fish = MakeBaseline(freq, 12, groupOf, 21);
  const char* rivers[] = {"Kenai", "Kasilof", "Susitna", "Deshka", "Yentna", "Talkeetna",
                          "Chulitna", "Matanuska", "Knik", "Eagle", "Campbell", "Ship",
                          "Bradley", "Anchor", "Ninilchik", "Deep", "Stariski", "Fox",
                          "Swanson", "Russian", "Quartz", "Crescent", "Tustumena", "Crooked"};
  for (int s = 0; s < 24; ++s) fish.stockNames[s] = std::string(rivers[s]) + " River";
  fish.groupNames[0] = {"Northern Cook Inlet", "Susitna Drainage", "Matanuska-Knik",
                        "Western Kenai Peninsula", "Lower Kenai", "Kasilof Lakes"};
  return fish;
}

SimulatedAssessment TenMixtures() {
  SimulatedAssessment result;
  std::mt19937 rng(3);
  std::gamma_distribution<double> gamma(1.0, 1.0);
  std::normal_distribution<double> noise(0.0, 0.03);
  const std::vector<std::string> groups = {"Northern Cook Inlet", "Susitna Drainage",
                                           "Matanuska-Knik", "Western Kenai Peninsula",
                                           "Lower Kenai"};
  for (int m = 0; m < 10; ++m) {
    SimulatedMixture mix;
    double total = 0.0;
    for (std::size_t g = 0; g < groups.size(); ++g) total += mix.truth.emplace_back(gamma(rng));
    for (double& t : mix.truth) {
      t /= total;
      const double estimate = std::max(0.0, t + noise(rng));
      mix.estimate.push_back(estimate);
      mix.lower.push_back(std::max(0.0, estimate - 0.05));
      mix.upper.push_back(estimate + 0.05);
    }
    result.mixtures.push_back(mix);
  }
  for (std::size_t g = 0; g < groups.size(); ++g) {
    SimulatedGroupRow row;
    row.group = groups[g];
    for (const SimulatedMixture& mix : result.mixtures) {
      row.meanTruth += mix.truth[g] / 10;
      row.meanEstimate += mix.estimate[g] / 10;
      row.coverage += (mix.lower[g] <= mix.truth[g] && mix.truth[g] <= mix.upper[g]) / 10.0;
    }
    row.bias = row.meanEstimate - row.meanTruth;
    for (const SimulatedMixture& mix : result.mixtures)
      row.rmse += (mix.estimate[g] - mix.truth[g]) * (mix.estimate[g] - mix.truth[g]) / 10;
    row.rmse = std::sqrt(row.rmse);
    result.rows.push_back(row);
  }
  return result;
}

template <typename Item>
std::vector<Item*> ItemsOf(const ChartFigure& figure) {
  std::vector<Item*> found;
  for (QGraphicsItem* item : figure.scene->items())
    if (auto* typed = dynamic_cast<Item*>(item)) found.push_back(typed);
  return found;
}

class AssessmentFigureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    prefix_ = PictureFolder() + "/cook_inlet";
    const SelfAssignment self = AssessSelfAssignment(TwentyFourStocks(), {});
    const SimulatedAssessment simulated = TenMixtures();
    WriteText(prefix_ + "_selfassign.csv", FormatSelfAssignmentCsv(self));
    WriteText(prefix_ + "_confusion.csv", FormatConfusionCsv(self));
    WriteText(prefix_ + "_simulated.csv", FormatSimulatedAssessmentCsv(simulated));
    WriteText(prefix_ + "_simulated_mixtures.csv", FormatSimulatedMixturesCsv(simulated));
    std::string error;
    ASSERT_EQ(ReadAssessmentTables(prefix_ + "_selfassign.csv", tables_, error), 1) << error;
  }
  std::string prefix_;
  AssessmentTables tables_;
};

TEST_F(AssessmentFigureTest, EveryLevelAndTheSimulationAreWrittenAndReplacedOnlyWhenAllowed) {
  for (PictureFormat format : {PictureFormat::kPng, PictureFormat::kSvg}) {
    SCOPED_TRACE(PictureExtension(format));
    Interaction ui;
    bool yesToAll = true;
    std::vector<std::string> written;
    std::string error;
    ASSERT_EQ(PlotAssessment(tables_, "", format, ui, yesToAll, written, error), 1) << error;
    const std::string ext = PictureExtension(format);
    EXPECT_EQ(written, (std::vector<std::string>{prefix_ + "_SelfAssign_Stocks." + ext,
                                                 prefix_ + "_SelfAssign_Grp1." + ext,
                                                 prefix_ + "_Simulated." + ext}));
    for (const std::string& path : written) EXPECT_GT(std::filesystem::file_size(path), 1000u);
  }
  // The group page holds the heat map beside the bars: it is wider.
  const QImage stocks(QString::fromStdString(prefix_ + "_SelfAssign_Stocks.png"));
  const QImage groups(QString::fromStdString(prefix_ + "_SelfAssign_Grp1.png"));
  ASSERT_FALSE(stocks.isNull());
  EXPECT_GT(groups.width(), stocks.width() + 200);
  EXPECT_GT(stocks.height(), 24 * 24) << "a row of bars for each of the 24 stocks";

  std::vector<std::string> asked;
  Interaction ui;
  ui.message = [&](uint32_t, const std::string& text) {
    asked.push_back(text);
    return kIdNo;
  };
  bool yesToAll = false;
  std::vector<std::string> written;
  std::string error;
  EXPECT_EQ(PlotAssessment(tables_, "", PictureFormat::kPng, ui, yesToAll, written, error), 0);
  EXPECT_EQ(asked, std::vector<std::string>{"Overwrite " + prefix_ + "_SelfAssign_Stocks.png"});
  EXPECT_TRUE(written.empty());
}

TEST_F(AssessmentFigureTest, BarsAndHeatMapCarryTheTablesNumbers) {
  for (const SelfAssignmentLevel& level : tables_.selfAssignment.levels) {
    SCOPED_TRACE(level.level);
    const ChartFigure figure = SelfAssignmentFigure(level, QStringLiteral("Cook Inlet"));
    const std::vector<QChart*> charts = ItemsOf<QChart>(figure);
    ASSERT_EQ(charts.size(), 1u);
    auto* bars = qobject_cast<QHorizontalBarSeries*>(charts[0]->series().value(0));
    ASSERT_NE(bars, nullptr);
    const QList<QBarSet*> sets = bars->barSets();
    ASSERT_EQ(sets.size(), 2);
    const int units = static_cast<int>(level.rows.size());
    ASSERT_TRUE(sets[1]->label().startsWith("Fish assigned")) << sets[1]->label().toStdString();
    ASSERT_EQ(sets[1]->count(), units);
    for (int u = 0; u < units; ++u) {
      // The first unit is drawn at the top, which Qt fills last.
      EXPECT_DOUBLE_EQ(sets[1]->at(units - 1 - u), level.rows[u].shareOwn * 100.0);
      EXPECT_DOUBLE_EQ(sets[0]->at(units - 1 - u), level.rows[u].meanOwn * 100.0);
    }
    // The heat map's counts add up to every fish of the baseline; the stock
    // page has none.
    int counted = 0;
    for (QGraphicsSimpleTextItem* text : ItemsOf<QGraphicsSimpleTextItem>(figure)) {
      bool number = false;
      const int value = text->text().toInt(&number);
      if (number) counted += value;
    }
    EXPECT_EQ(counted, level.level == "stock" ? 0 : 24 * 12);
  }
  // The pairs of identical stocks are where the fish go astray.
  const SelfAssignmentLevel& stocks = tables_.selfAssignment.levels[0];
  EXPECT_LT(stocks.rows[3].shareOwn + stocks.rows[4].shareOwn, 1.6);
  EXPECT_GT(stocks.rows[0].shareOwn, 0.9);
}

TEST_F(AssessmentFigureTest, SimulatedPanelsShowEveryMixtureAndMarkTheMissedIntervals) {
  const SimulatedAssessment& simulated = tables_.simulated;
  const ChartFigure figure = SimulatedAssessmentFigure(simulated, QStringLiteral("Cook Inlet"));
  const std::vector<QChart*> charts = ItemsOf<QChart>(figure);
  ASSERT_EQ(charts.size(), simulated.rows.size());
  for (QChart* chart : charts) {
    std::size_t g = 0;
    while (g < simulated.rows.size() && chart->title() != QString::fromStdString(simulated.rows[g].group)) ++g;
    ASSERT_LT(g, simulated.rows.size()) << chart->title().toStdString();
    int missed = 0;
    for (const SimulatedMixture& mix : simulated.mixtures)
      missed += !(mix.lower[g] <= mix.truth[g] && mix.truth[g] <= mix.upper[g]);
    std::vector<int> points;
    for (QAbstractSeries* series : chart->series())
      if (auto* scatter = qobject_cast<QScatterSeries*>(series)) points.push_back(scatter->count());
    EXPECT_EQ(points, (std::vector<int>{10 - missed, missed})) << simulated.rows[g].group;
  }
  // Without the per-mixture table a group shows its means alone.
  SimulatedAssessment summary = simulated;
  summary.mixtures.clear();
  const ChartFigure means = SimulatedAssessmentFigure(summary, QStringLiteral("Cook Inlet"));
  for (QChart* chart : ItemsOf<QChart>(means)) {
    int points = 0;
    for (QAbstractSeries* series : chart->series())
      if (auto* scatter = qobject_cast<QScatterSeries*>(series)) points += scatter->count();
    EXPECT_EQ(points, 1);
  }
}

// Simulated mixtures whose third group never gets a fish: its intervals
// start a hair above 0 and the table prints them from 0. Each panel's
// coverage line and its red points agree with a count over the mixtures
// table the panel was drawn from.
TEST(SimulatedAssessmentPanels, CoverageAndMissedPointsAgreeWithTheMixturesTable) {
  using namespace assessment_testing;
  const FishGenotypes baseline =
      MakeBaseline(DistinctFrequencies(9, 6, 4, 51), 30, {0, 0, 0, 0, 1, 1, 1, 1, 2}, 52);
  RunSettings settings = DefaultAssessmentSettings();
  settings.NumberOfChains = 2;
  settings.NumberOfReps = 150;
  settings.NumberToKeep = 80;
  SimulationPlan plan;
  plan.mixtures = 6;
  plan.fish = 24;
  plan.groupShares = {0.5, 0.5, 0.0};
  plan.seed = 3;
  SimulatedAssessment simulated;
  std::string error;
  ASSERT_EQ(RunSimulatedAssessment(baseline, settings, plan, simulated, error), 1) << error;
  const std::string prefix = PictureFolder() + "/zero_share";
  const SelfAssignment self = AssessSelfAssignment(baseline, {});
  WriteText(prefix + "_selfassign.csv", FormatSelfAssignmentCsv(self));
  WriteText(prefix + "_confusion.csv", FormatConfusionCsv(self));
  WriteText(prefix + "_simulated.csv", FormatSimulatedAssessmentCsv(simulated));
  WriteText(prefix + "_simulated_mixtures.csv", FormatSimulatedMixturesCsv(simulated));
  AssessmentTables tables;
  ASSERT_EQ(ReadAssessmentTables(prefix + "_selfassign.csv", tables, error), 1) << error;

  // The count over the mixtures table, as a reader of the file makes it.
  std::map<std::string, int> missed;
  std::ifstream in(prefix + "_simulated_mixtures.csv");
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream cells(line);
    for (std::string cell; std::getline(cells, cell, ',');) f.push_back(cell);
    ASSERT_EQ(f.size(), 6u) << line;
    const double truth = std::stod(f[2]), lower = std::stod(f[4]), upper = std::stod(f[5]);
    missed[f[1]] += !(lower <= truth && truth <= upper);
  }
  EXPECT_EQ(missed["G3"], 0) << "an interval from 0 holds a truth of 0";

  const ChartFigure figure = SimulatedAssessmentFigure(tables.simulated, QStringLiteral("Zero"));
  // Each panel's line ends in its coverage: as many lines of each value as
  // the recount gives groups of it.
  std::map<std::string, int> lines, recounted;
  for (QGraphicsSimpleTextItem* text : ItemsOf<QGraphicsSimpleTextItem>(figure)) {
    const std::string line = text->text().toStdString();
    const std::size_t at = line.find("95% coverage ");
    if (at != std::string::npos) ++lines[line.substr(at)];
  }
  for (const SimulatedGroupRow& row : tables.simulated.rows)
    ++recounted["95% coverage " +
                std::to_string(static_cast<int>(std::lround((6 - missed[row.group]) * 100.0 / 6))) +
                "%"];
  EXPECT_EQ(lines, recounted);
  for (QChart* chart : ItemsOf<QChart>(figure)) {
    const std::string group = chart->title().toStdString();
    SCOPED_TRACE(group);
    std::vector<int> points;
    for (QAbstractSeries* series : chart->series())
      if (auto* scatter = qobject_cast<QScatterSeries*>(series)) points.push_back(scatter->count());
    EXPECT_EQ(points, (std::vector<int>{6 - missed[group], missed[group]}));
    std::size_t g = 0;
    while (g < tables.simulated.rows.size() && tables.simulated.rows[g].group != group) ++g;
    ASSERT_LT(g, tables.simulated.rows.size());
    EXPECT_DOUBLE_EQ(tables.simulated.rows[g].coverage, (6 - missed[group]) / 6.0);
  }
}

// From the command line: assess writes the tables, plot draws them.
TEST(PlotAssessmentCommand, DrawsTheTablesAssessWroteAndRefusesOtherFiles) {
  testing_support::ScopedTempFolder folder("plot_assessment");
  const std::string baseline =
      std::string(MIXORA_EXAMPLES_DIR) + "/tavrin_label/tavrin_label_baseline.gen";
  const std::string prefix = (folder.path() / "tavrin").string();
  auto assess = testing_support::RunCli(
      folder.path(), {"assess", baseline, "-o", prefix, "--simulate", "2", "--fish", "40",
                      "--threads", "1", "--quiet"});
  ASSERT_EQ(assess.exitCode, 0) << assess.err;
  auto plot = testing_support::RunCli(
      folder.path(), {"plot", prefix + "_selfassign.csv", "--kind", "assessment", "--format",
                      "png", "--out", (folder.path() / "charts").string()});
  ASSERT_EQ(plot.exitCode, 0) << plot.err;
  for (const char* name : {"SelfAssign_Stocks", "SelfAssign_Grp1", "Simulated"}) {
    const std::string path = (folder.path() / "charts" / ("tavrin_" + std::string(name) + ".png")).string();
    EXPECT_NE(plot.out.find("Chart written: " + path), std::string::npos) << plot.out;
    EXPECT_FALSE(QImage(QString::fromStdString(path)).isNull()) << path;
  }
  auto wrong = testing_support::RunCli(
      folder.path(), {"plot", prefix + "_assess.Txt", "--kind", "assessment"});
  EXPECT_EQ(wrong.exitCode, 1);
  EXPECT_NE(wrong.err.find("not a self-assignment table"), std::string::npos) << wrong.err;

  // Options that choose among a run's charts would be silently dropped here.
  const std::vector<std::vector<std::string>> runOnly = {
      {"--by", "region"}, {"--level", "1"}, {"--mixture", "2"}, {"--all"},
      {"--fold", "1"},    {"--top", "2"},   {"--stock", "Kesh"}};
  for (const auto& extra : runOnly) {
    std::vector<std::string> args = {"plot", prefix + "_selfassign.csv", "--kind", "assessment",
                                     "--out", (folder.path() / "refused").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    auto refused = testing_support::RunCli(folder.path(), args);
    EXPECT_EQ(refused.exitCode, 1) << extra[0];
    EXPECT_NE(refused.err.find(extra[0] + " applies to the charts of a run"), std::string::npos)
        << refused.err;
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "refused")) << extra[0];
  }

  // A later assessment without simulations takes the earlier simulation
  // tables away, so no chart of them is drawn beside the new tables.
  auto again = testing_support::RunCli(
      folder.path(), {"assess", baseline, "-o", prefix, "--overwrite", "--quiet"});
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_NE(again.out.find("Removed: " + prefix + "_simulated.csv"), std::string::npos) << again.out;
  EXPECT_FALSE(std::filesystem::exists(prefix + "_simulated_mixtures.csv"));
  auto replot = testing_support::RunCli(
      folder.path(), {"plot", prefix + "_selfassign.csv", "--kind", "assessment", "--format",
                      "png", "--out", (folder.path() / "again").string(), "--overwrite"});
  ASSERT_EQ(replot.exitCode, 0) << replot.err;
  EXPECT_EQ(replot.out.find("Simulated"), std::string::npos) << replot.out;
}

}  // namespace
}  // namespace mixora::charts
