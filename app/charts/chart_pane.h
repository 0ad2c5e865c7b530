#pragma once
// The chart pane of the desktop: the open mixture's composition and trace
// charts, drawn from the records the chains have committed so far, with a
// live Gelman-Rubin value for the largest stocks.
#include <functional>
#include <memory>

#include <QLabel>
#include <QString>
#include <QTimer>
#include <QWidget>

#include "chart_figure.h"
#include "reports/chart_data.h"
#include "runfiles/run_record.h"

class QGraphicsView;
class QTabWidget;

namespace mixora::charts {

class ChartPane : public QWidget {
  Q_OBJECT

 public:
  explicit ChartPane(QWidget* parent = nullptr);
  ~ChartPane() override;

  // The one hook the main window needs: the run of the open mixture (none
  // when the run is closed). The pane only reads the run and its files.
  void SetRun(RunRecord* run);
  // Or a source the pane asks before every refresh, so that it follows the
  // window from one mixture to the next by itself.
  void SetRunSource(std::function<RunRecord*()> source);
  // Refreshes every intervalMs milliseconds while chains run (the run's
  // Timer setting is a good interval); StopLive refreshes once more.
  void StartLive(int intervalMs);
  void StopLive();

  // What the pane last showed, for the status line and for tests.
  QString StatusText() const { return status_->text(); }
  QString GelmanRubinText() const { return gelmanRubin_->text(); }
  bool LastRefreshSound() const { return sound_; }
  uint32_t CommonRecords() const { return live_.common; }
  const ChartFigure& CompositionPicture() const { return composition_; }
  const ChartFigure& TracePicture() const { return trace_; }

 public Q_SLOTS:
  // Reads what the chains have committed since the last refresh and redraws.
  void Refresh();

 Q_SIGNALS:
  void refreshed(bool sound);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void Show(QGraphicsView* view, const ChartFigure& figure);
  void FitViews();

  std::function<RunRecord*()> source_;
  RunRecord* run_ = nullptr;
  uint32_t drawnRecords_ = 0;  // records behind the charts shown
  LiveChains live_;
  bool sound_ = true;
  ChartFigure composition_;
  ChartFigure trace_;
  QLabel* status_ = nullptr;
  QLabel* gelmanRubin_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  QGraphicsView* compositionView_ = nullptr;
  QGraphicsView* traceView_ = nullptr;
  QTimer timer_;
};

}  // namespace mixora::charts
