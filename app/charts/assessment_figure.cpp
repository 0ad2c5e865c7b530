#include "assessment_figure.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QFontMetricsF>
#include <QHorizontalBarSeries>
#include <QLegend>
#include <QScatterSeries>
#include <algorithm>
#include <cmath>
#include <vector>

#include "chart_parts.h"

namespace mixora::charts {
namespace {

const QColor kOwnShare(30, 70, 140);
const QColor kOwnProbability(120, 170, 220);
const QColor kMissed(192, 40, 40);

bool IsStockLevel(const SelfAssignmentLevel& level) { return level.level == "stock"; }

// White through to the share colour: an empty cell stays white, a cell with
// every fish of its row is the darkest.
QColor HeatColour(double share) {
  share = std::clamp(share, 0.0, 1.0);
  auto mix = [share](int white, int full) {
    return static_cast<int>(std::lround(white + (full - white) * share));
  };
  return QColor(mix(255, kOwnShare.red()), mix(255, kOwnShare.green()),
                mix(255, kOwnShare.blue()));
}

// The confusion heat map drawn straight on the page, top left at `at`;
// returns its size. Without a scene it is only measured.
QSizeF DrawConfusion(QGraphicsScene* page, const SelfAssignmentLevel& level, QPointF at) {
  const int units = static_cast<int>(level.rows.size());
  const QFont label = Font(kLabelPixels);
  const QFontMetricsF metrics(label);
  double nameWidth = 0.0;
  for (const SelfAssignmentRow& row : level.rows)
    nameWidth = std::max(nameWidth, metrics.horizontalAdvance(QString::fromStdString(row.name)));
  nameWidth = std::min(nameWidth, 220.0) + 10.0;
  const double cell = std::clamp(560.0 / std::max(units, 1), 26.0, 56.0);
  const double head = 52.0;              // the heat map's own title lines
  const double columnHead = nameWidth;   // column names stand upright
  const QString heading = QStringLiteral("Confusion by %1").arg(QString::fromStdString(level.level));
  const QString explanation =
      QStringLiteral("Rows: true group; columns: assigned group (top probability)");
  const QString scaleEnd = QStringLiteral("100% of the row's fish");
  const double scaleWidth = std::min(160.0, cell * units);
  // The page must hold the widest of the grid, the headings and the scale.
  const double width =
      std::max({nameWidth + cell * units, QFontMetricsF(Font(kLabelPixels + 2, true)).horizontalAdvance(heading),
                metrics.horizontalAdvance(explanation),
                nameWidth + scaleWidth + 6.0 + metrics.horizontalAdvance(scaleEnd)}) +
      24.0;
  const QSizeF size(width, head + columnHead + cell * units + 40.0);
  if (page == nullptr) return size;
  QGraphicsScene& scene = *page;

  AddText(scene, heading, at, Font(kLabelPixels + 2, true));
  AddText(scene, explanation, at + QPointF(0, 20), label);
  const QPointF grid = at + QPointF(nameWidth, head + columnHead);
  auto elided = [&](const std::string& name) {
    return metrics.elidedText(QString::fromStdString(name), Qt::ElideRight, nameWidth - 10.0);
  };
  for (int u = 0; u < units; ++u) {
    // Column names read upwards, centred on their column.
    QGraphicsSimpleTextItem* column =
        AddText(scene, elided(level.rows[u].name), QPointF(0, 0), label);
    column->setRotation(-90.0);
    column->setPos(grid.x() + cell * u + (cell - metrics.height()) / 2.0, grid.y() - 6.0);
    QGraphicsSimpleTextItem* row = AddText(scene, elided(level.rows[u].name), QPointF(0, 0), label);
    row->setPos(grid.x() - 8.0 - row->boundingRect().width(),
                grid.y() + cell * u + (cell - metrics.height()) / 2.0);
  }
  const QFont countFont = Font(cell >= 34.0 ? kLabelPixels : kLabelPixels - 2);
  const QFontMetricsF countMetrics(countFont);
  for (int t = 0; t < units; ++t) {
    int32_t rowFish = 0;
    for (int u = 0; u < units; ++u) rowFish += level.confusion[static_cast<std::size_t>(t) * units + u];
    for (int u = 0; u < units; ++u) {
      const int32_t fish = level.confusion[static_cast<std::size_t>(t) * units + u];
      const double share = rowFish > 0 ? static_cast<double>(fish) / rowFish : 0.0;
      const QRectF rect(grid.x() + cell * u, grid.y() + cell * t, cell, cell);
      scene.addRect(rect, QPen(QColor(200, 200, 200), 0.8), HeatColour(share));
      if (t == u) scene.addRect(rect.adjusted(1, 1, -1, -1), QPen(QColor(214, 137, 16), 2.0));
      if (fish == 0) continue;
      QGraphicsSimpleTextItem* count = AddText(scene, QString::number(fish), QPointF(0, 0), countFont);
      count->setBrush(share > 0.5 ? QColor(Qt::white) : QColor(40, 40, 40));
      count->setPos(rect.center() - QPointF(countMetrics.horizontalAdvance(count->text()) / 2.0,
                                            countMetrics.height() / 2.0));
    }
  }
  // The scale: white for none of the row's fish to the darkest for all.
  const double scaleTop = grid.y() + cell * units + 14.0;
  for (int i = 0; i < 20; ++i)
    scene.addRect(QRectF(grid.x() + scaleWidth * i / 20.0, scaleTop, scaleWidth / 20.0 + 0.5, 10.0),
                  Qt::NoPen, HeatColour((i + 0.5) / 20.0));
  scene.addRect(QRectF(grid.x(), scaleTop, scaleWidth, 10.0), QPen(QColor(160, 160, 160), 0.8),
                Qt::NoBrush);
  AddText(scene, QStringLiteral("0%"), QPointF(grid.x() - 24.0, scaleTop - 3.0), label);
  AddText(scene, scaleEnd,
          QPointF(grid.x() + scaleWidth + 6.0, scaleTop - 3.0), label);
  return size;
}

struct PanelPoint {
  double truth, estimate, lower, upper;
  bool interval;
};

}  // namespace

ChartFigure SelfAssignmentFigure(const SelfAssignmentLevel& level, const QString& title) {
  const bool stocks = IsStockLevel(level);
  const QString unit = stocks ? QStringLiteral("stock") : QStringLiteral("group");
  const int units = static_cast<int>(level.rows.size());
  QChart* chart = NewChart(QStringLiteral("%1: self-assignment by %2")
                               .arg(title, QString::fromStdString(level.level)));
  auto* shares = new QBarSet(QStringLiteral("Fish assigned to their own %1 (%)").arg(unit));
  shares->setColor(kOwnShare);
  shares->setBorderColor(kOwnShare);
  auto* means = new QBarSet(QStringLiteral("Mean probability of their own %1 (%)").arg(unit));
  means->setColor(kOwnProbability);
  means->setBorderColor(kOwnProbability);
  QStringList names;
  // Qt stacks categories from the bottom: the last unit goes in first.
  for (int u = units - 1; u >= 0; --u) {
    const SelfAssignmentRow& row = level.rows[static_cast<std::size_t>(u)];
    names << QStringLiteral("%1 (%2)").arg(QString::fromStdString(row.name)).arg(row.fish);
    *shares << row.shareOwn * 100.0;
    *means << row.meanOwn * 100.0;
  }
  // Qt draws a category's first set at the bottom: the share goes in last
  // to stand on top, and the legend is turned round to read in that order.
  auto* series = new QHorizontalBarSeries;
  series->append(means);
  series->append(shares);
  series->setBarWidth(0.8);
  chart->addSeries(series);
  QValueAxis* x = ValueAxis(QStringLiteral("Percent"), 0.0, 100.0, "%.0f");
  x->setTickCount(11);
  auto* y = new QBarCategoryAxis;
  y->append(names);
  y->setLabelsFont(Font(kLabelPixels));
  y->setTitleText(QStringLiteral("%1 (fish)").arg(stocks ? QStringLiteral("Stock")
                                                         : QStringLiteral("Group")));
  y->setTitleFont(Font(kLabelPixels));
  y->setGridLineVisible(false);
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  series->attachAxis(x);
  series->attachAxis(y);
  chart->legend()->setAlignment(Qt::AlignBottom);
  chart->legend()->setReverseMarkers(true);
  // Room for the last label, "100", at the right end of the axis.
  chart->setMargins(QMargins(8, 6, 28, 6));

  constexpr int kBarsWidth = 760;
  const int barsHeight = 150 + (kRowPixels + 6) * std::max(units, 1);
  QSize size(kBarsWidth, barsHeight);
  QSizeF confusion;
  if (!stocks) {
    confusion = DrawConfusion(nullptr, level, QPointF());
    size = QSize(kBarsWidth + 24 + static_cast<int>(std::ceil(confusion.width())),
                 std::max(barsHeight, static_cast<int>(std::ceil(confusion.height())) + 16));
  }
  // Beside a tall heat map the bars take the page's height.
  ChartFigure figure = Place(size, {{chart, QRectF(0, 0, kBarsWidth, size.height())}});
  if (!stocks) DrawConfusion(figure.scene.get(), level, QPointF(kBarsWidth + 24, 16));
  return figure;
}

ChartFigure SimulatedAssessmentFigure(const SimulatedAssessment& result, const QString& title) {
  const int groups = static_cast<int>(result.rows.size());
  std::vector<std::vector<PanelPoint>> points(static_cast<std::size_t>(groups));
  bool perMixture = false;
  for (const SimulatedMixture& mix : result.mixtures) {
    if (static_cast<int>(mix.truth.size()) != groups) continue;
    perMixture = true;
    for (int g = 0; g < groups; ++g)
      points[g].push_back({mix.truth[g], mix.estimate[g], mix.lower[g], mix.upper[g], true});
  }
  if (!perMixture)
    for (int g = 0; g < groups; ++g)
      points[g].push_back({result.rows[g].meanTruth, result.rows[g].meanEstimate, 0.0, 0.0, false});

  constexpr int kPanelWidth = 360, kPanelHeight = 340, kHead = 64;
  const int columns = std::min(std::max(groups, 1), 3);
  const int rows = (std::max(groups, 1) + columns - 1) / columns;
  std::vector<std::pair<QChart*, QRectF>> charts;
  for (int g = 0; g < groups; ++g) {
    const SimulatedGroupRow& row = result.rows[static_cast<std::size_t>(g)];
    QChart* chart = NewChart(QString::fromStdString(row.group));
    chart->setTitleFont(Font(kLabelPixels + 1, true));
    chart->legend()->hide();
    double largest = 0.0;
    for (const PanelPoint& p : points[g])
      largest = std::max({largest, p.truth, p.estimate, p.interval ? p.upper : 0.0});
    const double step = NiceStep(std::max(largest * 100.0, 1.0));
    const double top = std::min(100.0, RoundUp(largest * 100.0 * 1.03, step));
    QValueAxis* x = ValueAxis(QStringLiteral("True share (%)"), 0.0, top, step < 1.0 ? "%.1f" : "%.0f");
    QValueAxis* y = ValueAxis(QStringLiteral("Estimated share (%)"), 0.0, top, step < 1.0 ? "%.1f" : "%.0f");
    NiceTicks(x);
    NiceTicks(y);
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    Attach(chart, Segment(0.0, 0.0, top, top, QPen(QColor(120, 120, 120), 1.2, Qt::DashLine)), x, y,
           false);
    auto* covered = new QScatterSeries;
    auto* missed = new QScatterSeries;
    for (auto [series, colour] : {std::pair{covered, kOwnShare}, std::pair{missed, kMissed}}) {
      series->setMarkerShape(QScatterSeries::MarkerShapeCircle);
      series->setMarkerSize(perMixture ? 7.0 : 10.0);
      series->setColor(colour);
      series->setBorderColor(colour.darker(130));
    }
    for (const PanelPoint& p : points[g]) {
      const bool hit = !p.interval || (p.lower <= p.truth && p.truth <= p.upper);
      if (p.interval) {
        QColor colour = hit ? kInterval : kMissed;
        colour.setAlpha(150);
        Attach(chart, Segment(p.truth * 100.0, p.lower * 100.0, p.truth * 100.0, p.upper * 100.0,
                              QPen(colour, 1.2)),
               x, y, false);
      }
      (hit ? covered : missed)->append(p.truth * 100.0, p.estimate * 100.0);
    }
    Attach(chart, covered, x, y, false);
    Attach(chart, missed, x, y, false);
    const int column = g % columns, line = g / columns;
    charts.push_back({chart, QRectF(column * kPanelWidth, kHead + line * (kPanelHeight + 30),
                                    kPanelWidth, kPanelHeight)});
  }
  const QSize size(columns * kPanelWidth, kHead + rows * (kPanelHeight + 30) + 8);
  ChartFigure figure = Place(size, charts);
  QGraphicsScene& scene = *figure.scene;
  AddText(scene,
          title + (perMixture ? QStringLiteral(": %1 simulated mixtures, estimate and 95% interval "
                                               "against the truth")
                                    .arg(result.mixtures.size())
                              : QStringLiteral(": simulated mixtures, mean estimate against the "
                                               "mean truth")),
          QPointF(12, 8), Font(kTitlePixels, true));
  if (perMixture)
    AddText(scene,
            QStringLiteral("Dashed: estimate equals truth.  Red: the 95% interval misses the "
                           "true share.  pp: percentage points."),
            QPointF(12, 34), Font(kLabelPixels));
  for (int g = 0; g < groups; ++g) {
    const SimulatedGroupRow& row = result.rows[static_cast<std::size_t>(g)];
    const QRectF& rect = charts[static_cast<std::size_t>(g)].second;
    AddText(scene,
            QStringLiteral("Bias %1 pp   RMSE %2 pp   95% coverage %3%")
                .arg(QString::number(row.bias * 100.0, 'f', 2)
                         .prepend(row.bias > 0.0 ? QStringLiteral("+") : QString()))
                .arg(row.rmse * 100.0, 0, 'f', 2)
                .arg(row.coverage * 100.0, 0, 'f', 0),
            QPointF(rect.left() + 20, rect.bottom() + 2), Font(kLabelPixels));
  }
  return figure;
}

}  // namespace mixora::charts
