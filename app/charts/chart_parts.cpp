#include "chart_parts.h"

#include <QCoreApplication>
#include <QGraphicsLayout>
#include <QLegendMarker>
#include <algorithm>
#include <cmath>
#include <memory>

namespace mixora::charts {

QFont Font(int pixels, bool bold) {
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(pixels);
  font.setBold(bold);
  return font;
}

QChart* NewChart(const QString& title) {
  auto* chart = new QChart;
  chart->setTitle(title);
  chart->setTitleFont(Font(kTitlePixels, true));
  chart->setBackgroundRoundness(0);
  chart->setDropShadowEnabled(false);
  chart->setAnimationOptions(QChart::NoAnimation);
  chart->legend()->setFont(Font(kLabelPixels));
  chart->setMargins(QMargins(8, 6, 16, 6));
  return chart;
}

QValueAxis* ValueAxis(const QString& title, double low, double high, const char* format) {
  auto* axis = new QValueAxis;
  axis->setRange(low, high);
  axis->setTitleText(title);
  axis->setTitleFont(Font(kLabelPixels));
  axis->setLabelsFont(Font(kLabelPixels));
  axis->setLabelFormat(QString::fromLatin1(format));
  return axis;
}

// Row labels on the left, the first row at the top.
QCategoryAxis* RowAxis(const std::vector<QString>& names) {
  auto* axis = new QCategoryAxis;
  axis->setLabelsFont(Font(kLabelPixels));
  axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
  const int count = static_cast<int>(names.size());
  axis->setStartValue(-0.5);
  for (int y = 0; y < count; ++y) axis->append(names[static_cast<std::size_t>(count - 1 - y)], y + 0.5);
  axis->setRange(-0.5, count - 0.5);
  axis->setGridLineVisible(false);
  return axis;
}

void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y,
            bool inLegend) {
  chart->addSeries(series);
  series->attachAxis(x);
  series->attachAxis(y);
  if (!inLegend)
    for (QLegendMarker* marker : chart->legend()->markers(series)) marker->setVisible(false);
}

QLineSeries* Segment(double x0, double y0, double x1, double y1, const QPen& pen) {
  auto* line = new QLineSeries;
  line->append(x0, y0);
  line->append(x1, y1);
  line->setPen(pen);
  return line;
}

QAreaSeries* AreaBetween(QLineSeries* upper, QLineSeries* lower) {
  // An area series leaves its lines with the caller, so it is made their
  // parent: they go when the chart deletes the area.
  auto* area = new QAreaSeries;
  area->setUpperSeries(upper);
  area->setLowerSeries(lower);
  upper->setParent(area);
  if (lower != nullptr) lower->setParent(area);
  return area;
}

// An upper bound for an axis: a little above the largest value, on a round
// number of the axis's tick steps.
double RoundUp(double value, double step) {
  return std::max(step, std::ceil(value / step) * step);
}

double NiceStep(double span) {
  const double raw = span / 5.0;
  const double power = std::pow(10.0, std::floor(std::log10(raw > 0 ? raw : 1.0)));
  for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
    if (raw <= m * power) return m * power;
  return 10.0 * power;
}

// Ticks on round numbers of the axis's range.
void NiceTicks(QValueAxis* axis, double anchor) {
  const double step = NiceStep(axis->max() - axis->min());
  axis->setTickType(QValueAxis::TicksDynamic);
  axis->setTickAnchor(anchor);
  axis->setTickInterval(step);
}

QGraphicsSimpleTextItem* AddText(QGraphicsScene& scene, const QString& text, QPointF at,
                                 const QFont& font) {
  QGraphicsSimpleTextItem* item = scene.addSimpleText(text, font);
  item->setBrush(QColor(50, 50, 50));
  item->setPos(at);
  return item;
}

ChartFigure Place(const QSize& size, const std::vector<std::pair<QChart*, QRectF>>& charts) {
  ChartFigure figure;
  figure.size = size;
  figure.scene = std::make_unique<QGraphicsScene>();
  figure.scene->setSceneRect(0, 0, size.width(), size.height());
  figure.scene->setBackgroundBrush(Qt::white);
  for (const auto& [chart, rect] : charts) {
    figure.scene->addItem(chart);
    chart->setGeometry(rect);
  }
  // Qt lays charts out on posted layout requests; deliver them now so a
  // figure that is only ever written to a file is laid out too. Only those:
  // running the event loop here would run the window's timers and notices in
  // the middle of a chart pane refresh, which may close the very run the
  // refresh is reading.
  for (const auto& [chart, rect] : charts)
    if (chart->layout() != nullptr) chart->layout()->activate();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
  return figure;
}

}  // namespace mixora::charts
