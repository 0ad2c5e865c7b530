#include "chart_figure.h"

#include <gtest/gtest.h>

#include <QAreaSeries>
#include <QByteArray>
#include <QChart>
#include <QGraphicsItem>
#include <QColor>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QLineSeries>
#include <QTimer>
#include <QXmlStreamReader>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "chart_colours.h"
#include "core/chain_colours.h"
#include "plot_run.h"
#include "reports/chart_data.h"
#include "reports/composition_report.h"
#include "reports/report_fixture.h"

namespace mixora::charts {
namespace {

using namespace testing_reports;

// Pictures the tests draw stay in the build tree, to be looked at.
std::string PictureFolder() {
  std::filesystem::create_directories(MIXORA_CHART_OUTPUT_DIR);
  return MIXORA_CHART_OUTPUT_DIR;
}

QByteArray ReadAll(const std::string& path) {
  QFile file(QString::fromStdString(path));
  EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path;
  return file.readAll();
}

// What a standard reader makes of a picture file: "" when it opens.
std::string CheckPicture(const std::string& path, PictureFormat format, const QSize& size) {
  const QByteArray bytes = ReadAll(path);
  switch (format) {
    case PictureFormat::kPng: {
      QImage image;
      if (!image.loadFromData(bytes, "PNG")) return "PNG does not load";
      if (size.isValid() && image.size() != size) return "PNG is " + std::to_string(image.width()) + "x" +
                                        std::to_string(image.height());
      return "";
    }
    case PictureFormat::kSvg: {
      QXmlStreamReader xml(bytes);
      bool svgRoot = false;
      while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && !svgRoot)
          svgRoot = xml.name() == QStringLiteral("svg");
      if (xml.hasError()) return "SVG is not XML: " + xml.errorString().toStdString();
      return svgRoot ? "" : "no svg root element";
    }
    case PictureFormat::kPdf:
      if (!bytes.startsWith("%PDF-")) return "no %PDF- head";
      if (!bytes.contains("/Type /Page") && !bytes.contains("/Type/Page")) return "no page";
      if (!bytes.trimmed().endsWith("%%EOF")) return "no %%EOF";
      return "";
  }
  return "unknown format";
}

class ChartFigureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run_ = ReportRun(folder_, 3, 150);
    for (int c = 0; c < 3; ++c) WriteReportChain(run_, c, 250, 250);
  }
  TempFolder folder_;
  RunRecord run_;
};

TEST_F(ChartFigureTest, EveryKindRendersInEveryFormatToAFileAReaderOpens) {
  Interaction ui;
  for (PictureFormat format : {PictureFormat::kSvg, PictureFormat::kPng, PictureFormat::kPdf}) {
    SCOPED_TRACE(PictureExtension(format));
    for (bool byRegion : {false, true}) {
      PlotRequest request;
      request.format = format;
      request.byRegion = byRegion;
      request.level = byRegion ? 0 : -1;
      request.outFolder = PictureFolder();
      bool yesToAll = true;
      std::vector<std::string> written, notes;
      std::string error;
      ASSERT_EQ(PlotMixture(run_, request, ui, yesToAll, written, notes, error), 1) << error;
      EXPECT_TRUE(notes.empty());
      // Compositions, each chain, convergence, traces, assignments.
      ASSERT_EQ(written.size(), 5u);
      for (const std::string& path : written) {
        SCOPED_TRACE(path);
        const std::string name = std::filesystem::path(path).filename().string();
        EXPECT_EQ(name.rfind("Coho_POP_01_", 0), 0u) << name;
        EXPECT_EQ(name.find("_Grp1.") != std::string::npos, byRegion) << name;
        EXPECT_EQ(CheckPicture(path, format, QSize()), "");
      }
    }
  }
}

TEST_F(ChartFigureTest, PngHasTheFiguresSizeWhichGrowsWithTheRows) {
  ReportJob job;
  job.run = &run_;
  PrepareReportJob(job);
  CompositionSamples kept;
  ASSERT_EQ(LoadReportSamples(job, false, kept), 1);
  CompositionChartData data;
  ASSERT_EQ(BuildCompositionChart(job, kept, false, 0.0, data), 1);
  const ChartFigure three = CompositionFigure(data, QStringLiteral("Coho"), false);
  data.combined.resize(2);
  const ChartFigure two = CompositionFigure(data, QStringLiteral("Coho"), false);
  EXPECT_GT(three.size.height(), two.size.height());
  const std::string path = PictureFolder() + "/size_check.png";
  QString error;
  ASSERT_TRUE(SaveFigure(three, QString::fromStdString(path), PictureFormat::kPng, error))
      << error.toStdString();
  EXPECT_EQ(CheckPicture(path, PictureFormat::kPng, three.size), "");
  // The chart is drawn, not a blank page: the means' markers are dark.
  const QImage image(QString::fromStdString(path));
  int dark = 0;
  for (int y = 0; y < image.height(); y += 2)
    for (int x = 0; x < image.width(); x += 2) dark += qGray(image.pixel(x, y)) < 128;
  EXPECT_GT(dark, 200);
}

TEST_F(ChartFigureTest, AnExistingPictureIsReplacedOnlyWhenTheQuestionSaysSo) {
  PlotRequest request;
  request.kinds = kChartAssignments;
  request.format = PictureFormat::kPng;
  const std::string path = ChartFilePath(run_, "", "Assignments", -1, PictureFormat::kPng);
  EXPECT_EQ(path, folder_.File("Coho_POP_01_Assignments.png"));
  { std::ofstream(path) << "keep me"; }
  std::vector<std::string> asked;
  Interaction ui;
  int answer = kIdNo;
  ui.message = [&](uint32_t, const std::string& text) {
    asked.push_back(text);
    return answer;
  };
  bool yesToAll = false;
  std::vector<std::string> written, notes;
  std::string error;
  EXPECT_EQ(PlotMixture(run_, request, ui, yesToAll, written, notes, error), 0);
  EXPECT_EQ(asked, std::vector<std::string>{"Overwrite " + path});
  EXPECT_EQ(ReadText(path), "keep me");
  EXPECT_NE(error.find(path), std::string::npos) << error;
  answer = kIdYesToAll;
  EXPECT_EQ(PlotMixture(run_, request, ui, yesToAll, written, notes, error), 1) << error;
  EXPECT_TRUE(yesToAll);
  EXPECT_EQ(CheckPicture(path, PictureFormat::kPng, QSize(900, 480)), "");
}

TEST_F(ChartFigureTest, OneChainRunLeavesTheConvergenceChartOutOrRefusesIt) {
  RunRecord single = ReportRun(folder_, 1, 150);
  single.runTitle = "Solo_POP_01";
  WriteReportChain(single, 0, 250, 250);
  Interaction ui;
  bool yesToAll = true;
  std::vector<std::string> written, notes;
  std::string error;
  PlotRequest request;
  request.outFolder = PictureFolder();
  ASSERT_EQ(PlotMixture(single, request, ui, yesToAll, written, notes, error), 1) << error;
  EXPECT_EQ(written.size(), 3u) << "compositions, traces, assignments; no each-chain view";
  ASSERT_EQ(notes.size(), 1u);
  request.kinds = kChartConvergence;
  written.clear();
  EXPECT_EQ(PlotMixture(single, request, ui, yesToAll, written, notes, error), 0);
  EXPECT_NE(error.find("1 chain"), std::string::npos) << error;
  EXPECT_TRUE(written.empty());
}

// A trace of one stock in two chains with its histogram, and three fish's
// top shares: small figures that still draw every kind of series.
TraceChartData TwoChainTrace() {
  TraceChartData trace;
  trace.chainCount = 2;
  TracePanel panel;
  panel.name = "Kesh";
  panel.chains = {{{1, 0.2}, {2, 0.3}}, {{1, 0.25}, {2, 0.28}}};
  panel.histogramLow = 0.2;
  panel.histogramWidth = 0.05;
  panel.histogram = {1, 3};
  trace.panels = {panel};
  return trace;
}

AssignmentChartData ThreeTopShares() {
  AssignmentChartData assignments;
  assignments.top = {0.99, 0.7, 0.4};
  return assignments;
}

// Every series a figure draws, the lines an area is spanned between
// included, goes with the figure: an area series does not own its lines.
TEST(ChartFigureOwnership, DroppingAFigureDeletesEveryLineItDrew) {
  std::vector<ChartFigure> figures;
  figures.push_back(TraceFigure(TwoChainTrace(), QStringLiteral("Own")));
  figures.push_back(AssignmentFigure(ThreeTopShares(), QStringLiteral("Own")));
  for (ChartFigure& figure : figures) {
    int made = 0, gone = 0;
    for (QGraphicsItem* item : figure.scene->items()) {
      auto* chart = dynamic_cast<QChart*>(item);
      if (chart == nullptr) continue;
      for (QAbstractSeries* series : chart->series()) {
        std::vector<QObject*> parts = {series};
        if (auto* area = qobject_cast<QAreaSeries*>(series)) {
          parts.push_back(area->upperSeries());
          parts.push_back(area->lowerSeries());
        }
        for (QObject* part : parts) {
          ++made;
          QObject::connect(part, &QObject::destroyed, [&gone] { ++gone; });
        }
      }
    }
    EXPECT_GT(made, 3);
    figure.scene.reset();
    EXPECT_EQ(gone, made);
  }
}

// The chart pane draws inside a timer of the window. A figure that ran the
// event loop there would run the window's notices in the middle of the
// refresh, and one of them may close the run the refresh is reading.
TEST(ChartFigureEvents, DrawingAFigureRunsNoneOfTheWindowsPendingWork) {
  bool timerRan = false, queuedRan = false;
  QTimer::singleShot(0, [&timerRan] { timerRan = true; });
  QMetaObject::invokeMethod(QCoreApplication::instance(), [&queuedRan] { queuedRan = true; },
                            Qt::QueuedConnection);
  const ChartFigure traces = TraceFigure(TwoChainTrace(), QStringLiteral("Pending"));
  const ChartFigure tops = AssignmentFigure(ThreeTopShares(), QStringLiteral("Pending"));
  ASSERT_TRUE(traces.scene && tops.scene);
  EXPECT_FALSE(timerRan);
  EXPECT_FALSE(queuedRan);
  // Both were really waiting: the next turn of the loop runs them.
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  EXPECT_TRUE(timerRan);
  EXPECT_TRUE(queuedRan);
}

TEST(ChartColours, LinesKeepThePanelHueDarkEnoughForWhite) {
  for (int chain = -1; chain < 10; ++chain) {
    SCOPED_TRACE(chain);
    const QColor panel = ChainPanelColour(chain);
    const QColor line = ChainLineColour(chain);
    const uint32_t bgr = kChainColours[chain < 0 ? 0 : ChainColourIndex(chain)];
    EXPECT_EQ(panel, QColor(bgr & 0xFF, (bgr >> 8) & 0xFF, (bgr >> 16) & 0xFF));
    EXPECT_LE(line.lightnessF(), 0.401);
    EXPECT_EQ(line.hslHue(), panel.hslHue());
    if (panel.hslSaturationF() > 0.01) {
      EXPECT_NEAR(line.hslSaturationF(), panel.hslSaturationF(), 0.01);
    }
  }
  // Chain 1 sits on the pale yellow row background, chain 2 on cyan.
  EXPECT_EQ(ChainPanelColour(0), QColor(0xFF, 0xFF, 0xCC));
  EXPECT_EQ(ChainPanelColour(1), QColor(0x00, 0xFF, 0xFF));
  EXPECT_EQ(ChainPanelColour(9), QColor(0x99, 0x99, 0x00)) << "chain 10 keeps clear of the All white";
}

}  // namespace
}  // namespace mixora::charts
