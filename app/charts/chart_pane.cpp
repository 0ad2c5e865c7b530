#include "chart_pane.h"

#include <QGraphicsView>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "reports/report_job.h"

namespace mixora::charts {
namespace {

constexpr int kLiveRows = 3;          // largest stocks traced and checked
constexpr double kLiveFold = 0.005;   // stocks below half a percent share a row

}  // namespace

ChartPane::ChartPane(QWidget* parent) : QWidget(parent) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  status_ = new QLabel(tr("No run open"), this);
  gelmanRubin_ = new QLabel(this);
  gelmanRubin_->setWordWrap(true);
  tabs_ = new QTabWidget(this);
  compositionView_ = new QGraphicsView(tabs_);
  traceView_ = new QGraphicsView(tabs_);
  for (QGraphicsView* view : {compositionView_, traceView_}) {
    view->setRenderHint(QPainter::Antialiasing);
    view->setBackgroundBrush(Qt::white);
  }
  tabs_->addTab(compositionView_, tr("Composition"));
  tabs_->addTab(traceView_, tr("Traces"));
  layout->addWidget(status_);
  layout->addWidget(gelmanRubin_);
  layout->addWidget(tabs_, 1);
  connect(&timer_, &QTimer::timeout, this, &ChartPane::Refresh);
  connect(tabs_, &QTabWidget::currentChanged, this, [this] { FitViews(); });
}

ChartPane::~ChartPane() {
  // The views show the figures' scenes: let go of them before the scenes go.
  compositionView_->setScene(nullptr);
  traceView_->setScene(nullptr);
}

void ChartPane::SetRun(RunRecord* run) {
  timer_.stop();
  run_ = run;
  live_ = LiveChains{};
  drawnRecords_ = 0;
  sound_ = true;
  compositionView_->setScene(nullptr);
  traceView_->setScene(nullptr);
  composition_ = ChartFigure{};
  trace_ = ChartFigure{};
  gelmanRubin_->clear();
  status_->setText(run_ == nullptr ? tr("No run open") : tr("No samples read yet"));
  if (run_ != nullptr) Refresh();
}

void ChartPane::SetRunSource(std::function<RunRecord*()> source) {
  source_ = std::move(source);
  SetRun(source_ ? source_() : nullptr);
}

void ChartPane::StartLive(int intervalMs) {
  timer_.start(std::max(intervalMs, 250));
}

void ChartPane::StopLive() {
  timer_.stop();
  Refresh();
}

void ChartPane::Refresh() {
  if (source_ && source_() != run_) {
    // SetRun refreshes the new run itself.
    const bool live = timer_.isActive();
    const int interval = timer_.interval();
    SetRun(source_());
    if (live) timer_.start(interval);
    return;
  }
  if (run_ == nullptr) return;
  RunRecord& run = *run_;
  sound_ = RefreshLiveChains(run, live_) == 1;
  if (!sound_) {
    status_->setText(QString::fromStdString(live_.problem));
    Q_EMIT refreshed(false);
    return;
  }
  const uint32_t stocks = static_cast<uint32_t>(std::max(run.settings.NumberOfStocks, 0));
  const uint32_t kept = live_.common - live_.discard;
  status_->setText(tr("%1: %2 records in every chain, %3 kept")
                       .arg(QString::fromStdString(RunTitleOf(run)))
                       .arg(live_.common)
                       .arg(kept));
  const std::vector<ConvergenceRow> factors = LiveGelmanRubin(run, live_, kLiveRows);
  if (run.settings.NumberOfChains < 2) {
    gelmanRubin_->setText(tr("Gelman-Rubin: needs two chains or more"));
  } else if (factors.empty()) {
    gelmanRubin_->setText(tr("Gelman-Rubin: once every chain has kept %1 records")
                              .arg(kLiveGelmanRubinRecords));
  } else {
    QStringList parts;
    for (const ConvergenceRow& row : factors)
      parts << QStringLiteral("%1 %2 (97.5% %3)")
                   .arg(QString::fromStdString(row.name))
                   .arg(row.estimate, 0, 'f', 2)
                   .arg(row.quantile97, 0, 'f', 2);
    gelmanRubin_->setText(tr("Gelman-Rubin (live): ") + parts.join(QStringLiteral(", ")));
  }
  // Nothing new committed: the charts shown are still the whole story.
  if (kept == 0 || live_.common == drawnRecords_) {
    Q_EMIT refreshed(true);
    return;
  }
  drawnRecords_ = live_.common;

  const QString title = QString::fromStdString(RunTitleOf(run));
  ReportJob job;
  job.run = &run;
  CompositionChartData composition;
  if (BuildCompositionChart(job, LiveSamples(live_, stocks, true), false, kLiveFold,
                            composition) == 1) {
    composition_ = CompositionFigure(composition, title, false);
    Show(compositionView_, composition_);
  }
  TraceChartData trace;
  std::string error;
  std::vector<std::string> names = run.stockNames;
  names.resize(stocks);
  if (BuildTraceChart(names, LiveSamples(live_, stocks, false), live_.discard,
                      static_cast<uint32_t>(std::max(run.settings.ThinIse, 1)), kLiveRows, "",
                      trace, error) == 1) {
    trace_ = TraceFigure(trace, title);
    Show(traceView_, trace_);
  }
  Q_EMIT refreshed(true);
}

void ChartPane::Show(QGraphicsView* view, const ChartFigure& figure) {
  view->setScene(figure.scene.get());
  FitViews();
}

void ChartPane::FitViews() {
  for (QGraphicsView* view : {compositionView_, traceView_})
    if (view->scene() != nullptr) view->fitInView(view->scene()->sceneRect(), Qt::KeepAspectRatio);
}

void ChartPane::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  FitViews();
}

}  // namespace mixora::charts
