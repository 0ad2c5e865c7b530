#include "chart_figure.h"

#include <QAreaSeries>
#include <QCategoryAxis>
#include <QChart>
#include <QCoreApplication>
#include <QGraphicsLayout>
#include <QGraphicsSimpleTextItem>
#include <QImage>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QScatterSeries>
#include <QSvgGenerator>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "chart_colours.h"
#include "chart_parts.h"

namespace mixora::charts {
namespace {

QString Percent(double value) { return QString::number(value * 100.0, 'f', 0); }

}  // namespace

const char* PictureExtension(PictureFormat format) {
  switch (format) {
    case PictureFormat::kSvg: return "svg";
    case PictureFormat::kPng: return "png";
    case PictureFormat::kPdf: return "pdf";
  }
  return "";
}

bool ParsePictureFormat(const std::string& text, PictureFormat& format) {
  for (PictureFormat f : {PictureFormat::kSvg, PictureFormat::kPng, PictureFormat::kPdf})
    if (text == PictureExtension(f)) {
      format = f;
      return true;
    }
  return false;
}

ChartFigure CompositionFigure(const CompositionChartData& data, const QString& title,
                              bool eachChain) {
  const int rows = static_cast<int>(data.combined.size());
  const int chains = eachChain ? static_cast<int>(data.chains.size()) : 0;
  const QString interval = Percent(2.0 * data.percentile - 1.0);
  QChart* chart = NewChart(
      title + QStringLiteral(": %1 composition, %2, mean and %3% interval")
                  .arg(data.byRegion ? QStringLiteral("group") : QStringLiteral("stock"),
                       eachChain ? QStringLiteral("each chain") : QStringLiteral("chains combined"),
                       interval));

  double largest = 0.0;
  std::vector<QString> names;
  for (const CompositionBar& bar : data.combined) {
    names.push_back(QString::fromStdString(bar.name));
    largest = std::max({largest, bar.upper, bar.mean});
  }
  for (const auto& chainBars : data.chains)
    for (const CompositionBar& bar : chainBars) largest = std::max({largest, bar.upper, bar.mean});
  const double step = NiceStep(std::max(largest * 100.0, 1.0));
  QValueAxis* x = ValueAxis(QStringLiteral("Proportion of the mixture (%)"), 0.0,
                            RoundUp(largest * 100.0 * 1.03, step), step < 1.0 ? "%.1f" : "%.0f");
  x->setTickType(QValueAxis::TicksDynamic);
  x->setTickAnchor(0.0);
  x->setTickInterval(step);
  QCategoryAxis* y = RowAxis(names);
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);

  auto addRows = [&](const std::vector<CompositionBar>& bars, int chain, double offset) {
    const QColor colour = ChainLineColour(chain);
    auto* means = new QScatterSeries;
    means->setName(chain < 0 ? QStringLiteral("Chains combined")
                             : QStringLiteral("Chain %1").arg(chain + 1));
    means->setMarkerShape(QScatterSeries::MarkerShapeCircle);
    means->setMarkerSize(chain < 0 ? 10.0 : 8.0);
    means->setColor(colour);
    means->setBorderColor(colour.darker(130));
    QPen pen(chain < 0 ? kInterval : colour, chain < 0 ? 2.5 : 2.0);
    pen.setCapStyle(Qt::FlatCap);
    for (int i = 0; i < static_cast<int>(bars.size()); ++i) {
      const double yValue = rows - 1 - i + offset;
      Attach(chart, Segment(bars[i].lower * 100.0, yValue, bars[i].upper * 100.0, yValue, pen), x,
             y, false);
      means->append(bars[i].mean * 100.0, yValue);
    }
    Attach(chart, means, x, y, chain >= 0);
  };
  if (chains == 0) {
    addRows(data.combined, -1, 0.0);
    chart->legend()->hide();
  } else {
    const double spread = std::min(0.8, 0.2 * chains);
    for (int c = 0; c < chains; ++c) {
      const double offset = chains == 1 ? 0.0 : spread / 2.0 - spread * c / (chains - 1);
      addRows(data.chains[static_cast<std::size_t>(c)], c, offset);
    }
    chart->legend()->setAlignment(Qt::AlignBottom);
  }
  const int perRow = chains > 1 ? kRowPixels + 6 * chains : kRowPixels;
  const QSize size(900, 140 + perRow * std::max(rows, 1) + (chains > 0 ? 30 : 0));
  return Place(size, {{chart, QRectF(QPointF(0, 0), size)}});
}

ChartFigure TraceFigure(const TraceChartData& data, const QString& title) {
  constexpr int kWidth = 1000, kTraceWidth = 760, kPanelHeight = 230, kHead = 62;
  // Fixed plot areas keep each histogram's axis level with its trace's; the
  // titles and the legend are drawn on the page, outside the charts' layout.
  const QMarginsF inner(72, 28, 18, 52);
  const double plotHeight = kPanelHeight - inner.top() - inner.bottom();
  std::vector<std::pair<QChart*, QRectF>> charts;
  std::vector<std::pair<QString, QPointF>> texts;
  const int panels = static_cast<int>(data.panels.size());

  for (int p = 0; p < panels; ++p) {
    const TracePanel& panel = data.panels[static_cast<std::size_t>(p)];
    const double top = kHead + p * kPanelHeight;
    double low = 1.0, high = 0.0, last = 1.0;
    for (const auto& points : panel.chains)
      for (const auto& [iteration, value] : points) {
        low = std::min(low, value);
        high = std::max(high, value);
        last = std::max(last, iteration);
      }
    if (high < low) low = high = 0.0;
    const double pad = std::max((high - low) * 0.05, 0.002);
    low = std::max(0.0, low - pad) * 100.0;
    high = std::min(1.0, high + pad) * 100.0;
    texts.push_back({QStringLiteral("%1   (kept mean %2%)")
                         .arg(QString::fromStdString(panel.name))
                         .arg(panel.keptMean * 100.0, 0, 'f', 2),
                     QPointF(inner.left(), top + 6)});

    QChart* trace = NewChart(QString());
    trace->legend()->hide();
    QValueAxis* x = ValueAxis(QStringLiteral("Iteration"), 0.0, last, "%.0f");
    NiceTicks(x);
    QValueAxis* y = ValueAxis(QStringLiteral("Proportion (%)"), low, high, "%.1f");
    NiceTicks(y);
    trace->addAxis(x, Qt::AlignBottom);
    trace->addAxis(y, Qt::AlignLeft);
    for (int c = 0; c < static_cast<int>(panel.chains.size()); ++c) {
      auto* line = new QLineSeries;
      // See-through, so chains that agree show through one another.
      QColor colour = ChainLineColour(c);
      colour.setAlpha(170);
      line->setPen(QPen(colour, 1.0));
      for (const auto& [iteration, value] : panel.chains[static_cast<std::size_t>(c)])
        line->append(iteration, value * 100.0);
      Attach(trace, line, x, y, false);
    }
    if (panel.burnInEnd > 0.0)
      Attach(trace,
             Segment(panel.burnInEnd, low, panel.burnInEnd, high,
                     QPen(QColor(40, 40, 40), 1.5, Qt::DashLine)),
             x, y, false);
    trace->setPlotArea(QRectF(inner.left(), inner.top(), kTraceWidth - inner.left() - inner.right(),
                              plotHeight));
    charts.push_back({trace, QRectF(0, top, kTraceWidth, kPanelHeight)});

    QChart* histogram = NewChart(QString());
    histogram->legend()->hide();
    uint32_t most = 1;
    for (uint32_t count : panel.histogram) most = std::max(most, count);
    QValueAxis* hx = ValueAxis(QStringLiteral("Kept records"), 0.0, most * 1.05, "%.0f");
    hx->setTickCount(3);
    QValueAxis* hy = ValueAxis(QString(), low, high, "%.1f");
    NiceTicks(hy);
    hy->setLabelsVisible(false);
    histogram->addAxis(hx, Qt::AlignBottom);
    histogram->addAxis(hy, Qt::AlignLeft);
    for (int b = 0; b < static_cast<int>(panel.histogram.size()); ++b) {
      const uint32_t count = panel.histogram[static_cast<std::size_t>(b)];
      if (count == 0) continue;
      const double y0 = (panel.histogramLow + b * panel.histogramWidth) * 100.0;
      const double y1 = y0 + panel.histogramWidth * 100.0;
      auto* upper = new QLineSeries;
      upper->append(0.0, y1);
      upper->append(count, y1);
      auto* lower = new QLineSeries;
      lower->append(0.0, y0);
      lower->append(count, y0);
      auto* bar = AreaBetween(upper, lower);
      bar->setBrush(QColor(140, 140, 140));
      bar->setPen(QPen(Qt::white, 0.6));
      Attach(histogram, bar, hx, hy, false);
    }
    const double histogramWidth = kWidth - kTraceWidth;
    histogram->setPlotArea(QRectF(12, inner.top(), histogramWidth - 12 - inner.right(), plotHeight));
    charts.push_back({histogram, QRectF(kTraceWidth, top, histogramWidth, kPanelHeight)});
  }
  const QSize size(kWidth, kHead + std::max(panels, 1) * kPanelHeight + 6);
  ChartFigure figure = Place(size, charts);
  QGraphicsScene& scene = *figure.scene;
  AddText(scene, title + QStringLiteral(": kept proportion through the iterations"),
          QPointF(12, 8), Font(kTitlePixels, true));
  for (const auto& [text, at] : texts) AddText(scene, text, at, Font(kLabelPixels + 1, true));
  // The legend: a stroke of every chain's colour, then the burn-in line.
  double x = 12;
  const double y = 38;
  auto legendEntry = [&](const QPen& pen, const QString& text) {
    scene.addLine(x, y + 8, x + 24, y + 8, pen);
    QGraphicsSimpleTextItem* label = AddText(scene, text, QPointF(x + 30, y), Font(kLabelPixels));
    x += 30 + label->boundingRect().width() + 18;
  };
  for (uint32_t c = 0; c < data.chainCount; ++c)
    legendEntry(QPen(ChainLineColour(static_cast<int>(c)), 3.0),
                QStringLiteral("Chain %1").arg(c + 1));
  if (data.discard > 0)
    legendEntry(QPen(QColor(40, 40, 40), 1.5, Qt::DashLine),
                QStringLiteral("End of burn-in (%1 records)").arg(data.discard));
  AddText(scene, QStringLiteral("Kept values"), QPointF(kTraceWidth + 12, y), Font(kLabelPixels, true));
  return figure;
}

ChartFigure ConvergenceFigure(const std::vector<ConvergenceRow>& rows, bool byRegion,
                              const QString& title) {
  QChart* chart = NewChart(title + QStringLiteral(": Gelman-Rubin shrink factors"));
  std::vector<QString> names;
  double low = 0.98, high = 1.25;
  for (const ConvergenceRow& row : rows) {
    names.push_back(QString::fromStdString(row.name));
    low = std::min({low, row.estimate, row.quantile97});
    high = std::max({high, row.estimate * 1.03, row.quantile97 * 1.03});
  }
  const double step = NiceStep(high - low + 0.05);
  QValueAxis* x = ValueAxis(QStringLiteral("Shrink factor"), low, RoundUp(high, step), "%.2f");
  NiceTicks(x, 1.0);
  QCategoryAxis* y = RowAxis(names);
  y->setTitleText(byRegion ? QStringLiteral("Group") : QStringLiteral("Stock"));
  y->setTitleFont(Font(kLabelPixels));
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  const int count = static_cast<int>(rows.size());
  auto reference = [&](double at, const QColor& colour, const QString& name) {
    auto* line = Segment(at, -0.5, at, count - 0.5, QPen(colour, 1.5, Qt::DashLine));
    line->setName(name);
    Attach(chart, line, x, y, true);
  };
  reference(1.1, kReferenceAmber, QStringLiteral("1.1"));
  reference(1.2, kReferenceRed, QStringLiteral("1.2"));
  auto* limits = new QScatterSeries;
  limits->setName(QStringLiteral("97.5% limit"));
  limits->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
  limits->setMarkerSize(9.0);
  limits->setColor(Qt::white);
  limits->setBorderColor(QColor(40, 40, 40));
  auto* estimates = new QScatterSeries;
  estimates->setName(QStringLiteral("Shrink factor"));
  estimates->setMarkerShape(QScatterSeries::MarkerShapeCircle);
  estimates->setMarkerSize(10.0);
  estimates->setColor(QColor(30, 70, 140));
  estimates->setBorderColor(QColor(30, 70, 140));
  for (int i = 0; i < count; ++i) {
    const double yValue = count - 1 - i;
    Attach(chart, Segment(rows[i].estimate, yValue, rows[i].quantile97, yValue, QPen(kInterval, 1.5)),
           x, y, false);
    limits->append(rows[i].quantile97, yValue);
    estimates->append(rows[i].estimate, yValue);
  }
  Attach(chart, limits, x, y, true);
  Attach(chart, estimates, x, y, true);
  chart->legend()->setAlignment(Qt::AlignBottom);
  const QSize size(900, 170 + kRowPixels * std::max(count, 1));
  return Place(size, {{chart, QRectF(QPointF(0, 0), size)}});
}

ChartFigure AssignmentFigure(const AssignmentChartData& data, const QString& title) {
  constexpr double kConfident = 0.9;
  const int fish = static_cast<int>(data.top.size());
  QChart* chart = NewChart(QStringLiteral("%1: %2 of %3 fish assigned with probability %4 or more")
                               .arg(title)
                               .arg(CountConfident(data, kConfident))
                               .arg(fish)
                               .arg(kConfident, 0, 'f', 1));
  QValueAxis* x = ValueAxis(QStringLiteral("Fish, most confidently assigned first"), 0.0,
                            std::max(fish, 1), "%.0f");
  NiceTicks(x);
  QValueAxis* y = ValueAxis(data.byRegion ? QStringLiteral("Probability of the most likely group")
                                          : QStringLiteral("Probability of the most likely stock"),
                            0.0, 1.0, "%.1f");
  y->setTickCount(6);
  chart->addAxis(x, Qt::AlignBottom);
  chart->addAxis(y, Qt::AlignLeft);
  // A step for every fish: fish i covers ranks i..i+1.
  auto* upper = new QLineSeries;
  auto* lower = new QLineSeries;
  for (int i = 0; i < fish; ++i) {
    upper->append(i, data.top[static_cast<std::size_t>(i)]);
    upper->append(i + 1, data.top[static_cast<std::size_t>(i)]);
    lower->append(i, 0.0);
    lower->append(i + 1, 0.0);
  }
  auto* area = AreaBetween(upper, lower);
  area->setName(QStringLiteral("Top probability"));
  area->setBrush(QColor(30, 70, 140, 150));
  area->setPen(QPen(QColor(30, 70, 140), 1.2));
  Attach(chart, area, x, y, true);
  auto* line = Segment(0.0, kConfident, std::max(fish, 1), kConfident,
                       QPen(kReferenceAmber, 1.5, Qt::DashLine));
  line->setName(QStringLiteral("%1").arg(kConfident, 0, 'f', 1));
  Attach(chart, line, x, y, true);
  chart->legend()->setAlignment(Qt::AlignBottom);
  const QSize size(900, 480);
  return Place(size, {{chart, QRectF(QPointF(0, 0), size)}});
}

bool SaveFigure(const ChartFigure& figure, const QString& path, PictureFormat format,
                QString& error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    error = QStringLiteral("cannot create %1: %2").arg(path, file.errorString());
    return false;
  }
  const QRectF page(QPointF(0, 0), QSizeF(figure.size));
  bool drawn = true;
  switch (format) {
    case PictureFormat::kPng: {
      QImage image(figure.size, QImage::Format_ARGB32_Premultiplied);
      image.fill(Qt::white);
      {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::TextAntialiasing);
        figure.scene->render(&painter, page, page);
      }
      drawn = image.save(&file, "PNG");
      break;
    }
    case PictureFormat::kSvg: {
      QSvgGenerator svg;
      svg.setOutputDevice(&file);
      svg.setSize(figure.size);
      svg.setViewBox(page);
      svg.setResolution(96);
      svg.setTitle(QStringLiteral("Mixora chart"));
      QPainter painter;
      drawn = painter.begin(&svg);
      if (drawn) {
        painter.setRenderHint(QPainter::Antialiasing);
        figure.scene->render(&painter, page, page);
        drawn = painter.end();
      }
      break;
    }
    case PictureFormat::kPdf: {
      QPdfWriter pdf(&file);
      pdf.setResolution(96);
      // One page exactly the size of the figure, at 96 pixels per inch.
      pdf.setPageSize(QPageSize(QSizeF(figure.size.width() * 72.0 / 96.0,
                                       figure.size.height() * 72.0 / 96.0),
                                QPageSize::Point, QString(), QPageSize::ExactMatch));
      pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
      pdf.setCreator(QStringLiteral("Mixora"));
      QPainter painter;
      drawn = painter.begin(&pdf);
      if (drawn) {
        painter.setRenderHint(QPainter::Antialiasing);
        figure.scene->render(&painter, QRectF(QPointF(0, 0), QSizeF(pdf.width(), pdf.height())),
                             page);
        drawn = painter.end();
      }
      break;
    }
  }
  if (!drawn) {
    file.cancelWriting();
    error = QStringLiteral("cannot draw the picture %1").arg(path);
    return false;
  }
  if (!file.commit()) {
    error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
    return false;
  }
  return true;
}

}  // namespace mixora::charts
