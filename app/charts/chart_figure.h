#pragma once
// Pictures of a run's charts: one or more Qt charts laid out on a page of a
// fixed size, the same page whether it is shown in a window or written to a
// file.
#include <memory>
#include <string>
#include <vector>

#include <QGraphicsScene>
#include <QSize>
#include <QString>

#include "reports/chart_data.h"

namespace mixora::charts {

enum class PictureFormat { kSvg, kPng, kPdf };

// "svg", "png", "pdf".
const char* PictureExtension(PictureFormat format);
// From an extension text; false for an unknown one.
bool ParsePictureFormat(const std::string& text, PictureFormat& format);

// The scene owns the charts placed on it.
struct ChartFigure {
  QSize size;
  std::unique_ptr<QGraphicsScene> scene;
};

// Composition chart: the mean and the interval of every row, chains
// combined, largest first; with eachChain the chains side by side in their
// colours.
ChartFigure CompositionFigure(const CompositionChartData& data, const QString& title,
                              bool eachChain);
// A trace and a marginal histogram of the kept proportions per panel.
ChartFigure TraceFigure(const TraceChartData& data, const QString& title);
// Shrink factor and 97.5% limit of every row, with lines at 1.1 and 1.2.
ChartFigure ConvergenceFigure(const std::vector<ConvergenceRow>& rows, bool byRegion,
                              const QString& title);
// Every fish's top probability, largest first.
ChartFigure AssignmentFigure(const AssignmentChartData& data, const QString& title);

// Writes the figure, through a temporary file renamed into place, so an
// existing picture is replaced only by a whole new one. Returns true, or
// false with error saying what failed.
bool SaveFigure(const ChartFigure& figure, const QString& path, PictureFormat format,
                QString& error);

}  // namespace mixora::charts
