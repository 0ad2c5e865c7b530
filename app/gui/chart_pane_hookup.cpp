#include "chart_pane_hookup.h"

#include <QAction>
#include <QDockWidget>
#include <QMenu>
#include <algorithm>
#include <string>
#include <vector>

#include "chart_pane.h"
#include "file_pickers.h"
#include "main_window.h"
#include "plot_assessment.h"
#include "plot_run.h"
#include "assessment/assessment_tables.h"

namespace mixora::gui {

ChartHookup AttachChartPane(MainWindow& window) {
  ChartHookup hookup;
  auto* pane = new charts::ChartPane;
  hookup.pane = pane;
  QDockWidget* dock = window.addPane(pane, QObject::tr("Charts"), Qt::RightDockWidgetArea);
  MainWindow* owner = &window;
  pane->SetRunSource([owner]() -> RunRecord* { return owner->session().run.get(); });
  QObject::connect(owner, &MainWindow::runOpened, pane, [owner, pane] {
    const RunRecord* run = owner->session().run.get();
    pane->StartLive(std::max(run != nullptr ? run->settings.Timer : 0, 1000));
    pane->Refresh();
  });
  QObject::connect(owner, &MainWindow::runClosed, pane, [pane] {
    pane->StopLive();
    pane->Refresh();
  });
  if (QMenu* reports = window.menu(QStringLiteral("Reports"))) {
    reports->addSeparator();
    hookup.saveCharts = reports->addAction(QObject::tr("Save Charts as Pictures"));
    hookup.saveCharts->setObjectName(QStringLiteral("actionSaveCharts"));
    QObject::connect(hookup.saveCharts, &QAction::triggered, owner, [owner, dock, pane] {
      dock->show();
      dock->raise();
      pane->Refresh();
      SaveChartPictures(*owner);
    });
    QObject::connect(reports, &QMenu::aboutToShow, hookup.saveCharts, [owner, action = hookup.saveCharts] {
      action->setEnabled(owner->session().run != nullptr && !owner->reportsActive());
    });
    // An assessment needs no open run: it reads the tables of mixora assess.
    hookup.saveAssessmentCharts =
        reports->addAction(QObject::tr("Save Assessment Charts as Pictures..."));
    hookup.saveAssessmentCharts->setObjectName(QStringLiteral("actionSaveAssessmentCharts"));
    QObject::connect(hookup.saveAssessmentCharts, &QAction::triggered, owner, [owner] {
      const QString path = Pickers().openFile(
          owner, QObject::tr("Self-assignment table of a baseline assessment"), QString(),
          QObject::tr("Self-assignment tables (*_selfassign.csv);;All files (*)"));
      if (!path.isEmpty()) SaveAssessmentPictures(*owner, path);
    });
  }
  return hookup;
}

int SaveChartPictures(MainWindow& window) {
  RunRecord* run = window.session().run.get();
  if (run == nullptr) return 0;
  charts::PlotRequest request;
  bool yesToAll = run->overwriteAll;  // a "Yes to All" of this run holds here too
  std::vector<std::string> written, notes;
  std::string error;
  const int done = charts::PlotMixture(*run, request, window.interaction(), yesToAll, written,
                                       notes, error);
  if (done == 0 && !error.empty())
    ShowMessage(window.interaction(), kMbIconError, "%s", error.c_str());
  window.setStatus(1, QObject::tr("  %1 chart pictures written").arg(written.size()));
  return static_cast<int>(written.size());
}

int SaveAssessmentPictures(MainWindow& window, const QString& tablePath) {
  AssessmentTables tables;
  std::string error;
  if (!ReadAssessmentTables(tablePath.toStdString(), tables, error)) {
    ShowMessage(window.interaction(), kMbIconError, "%s", error.c_str());
    return 0;
  }
  bool yesToAll = false;
  std::vector<std::string> written;
  if (charts::PlotAssessment(tables, std::string(), charts::PictureFormat::kSvg,
                             window.interaction(), yesToAll, written, error) == 0 &&
      !error.empty())
    ShowMessage(window.interaction(), kMbIconError, "%s", error.c_str());
  window.setStatus(1, QObject::tr("  %1 assessment chart pictures written").arg(written.size()));
  return static_cast<int>(written.size());
}

}  // namespace mixora::gui
