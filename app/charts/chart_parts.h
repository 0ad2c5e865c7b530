#pragma once
// The pieces every chart of the module is made of: fonts, a plain chart,
// axes on round numbers, line pieces and the page the charts are placed on.
// Every piece made here is owned by the chart or scene it is put on.
#include <QAbstractAxis>
#include <QAbstractSeries>
#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QColor>
#include <QFont>
#include <QGraphicsScene>
#include <QGraphicsSimpleTextItem>
#include <QLineSeries>
#include <QPen>
#include <QValueAxis>
#include <utility>
#include <vector>

#include "chart_figure.h"

namespace mixora::charts {

// Pixel sizes, not points: SVG, PDF and PNG devices differ in resolution,
// and the text must keep its size relative to the chart on all of them.
inline constexpr int kTitlePixels = 16;
inline constexpr int kLabelPixels = 12;
inline constexpr int kRowPixels = 24;
inline const QColor kInterval(90, 90, 90);
inline const QColor kReferenceAmber(214, 137, 16);
inline const QColor kReferenceRed(192, 40, 40);

QFont Font(int pixels, bool bold = false);
QChart* NewChart(const QString& title);
QValueAxis* ValueAxis(const QString& title, double low, double high, const char* format);
// Row labels on the left, the first row at the top.
QCategoryAxis* RowAxis(const std::vector<QString>& names);
// Adds the series to the chart (which owns it from then on) on both axes.
void Attach(QChart* chart, QAbstractSeries* series, QAbstractAxis* x, QAbstractAxis* y,
            bool inLegend);
QLineSeries* Segment(double x0, double y0, double x1, double y1, const QPen& pen);
// The area between two lines, which it owns.
QAreaSeries* AreaBetween(QLineSeries* upper, QLineSeries* lower);
// An upper bound for an axis: a little above the largest value, on a round
// number of the axis's tick steps.
double RoundUp(double value, double step);
double NiceStep(double span);
// Ticks on round numbers of the axis's range.
void NiceTicks(QValueAxis* axis, double anchor = 0.0);
QGraphicsSimpleTextItem* AddText(QGraphicsScene& scene, const QString& text, QPointF at,
                                 const QFont& font);
// A white page of the size with the charts on it, laid out.
ChartFigure Place(const QSize& size, const std::vector<std::pair<QChart*, QRectF>>& charts);

}  // namespace mixora::charts
