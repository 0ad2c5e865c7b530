// The Reports and Diagnostics menus: one report in the "Processing" window,
// the whole sequence for every marked mixture, and Abort Reports.
#include <QApplication>
#include <QPointer>
#include <QTableView>

#include "command_ids.h"
#include "main_window.h"
#include "mixture_list_model.h"
#include "processing_dialog.h"
#include "reports/report_runner.h"
#include "runfiles/run_control_reader.h"

namespace mixora::gui {

void MainWindow::singleReport(int kind, bool byRegion) {
  if (session_.run == nullptr || processing_ != nullptr || reportsActive_) return;
  reports_.abortAll.store(0);
  ProcessingDialog dialog(this, *session_.run, ui_, reports_, kind, byRegion, shutdown_);
  processing_ = &dialog;
  updateCommandStates();
  dialog.exec();
  processing_ = nullptr;
  updateCommandStates();
  if (pendingShutdown_) {
    pendingShutdown_ = false;
    honourShutdown();
  }
}

void MainWindow::allReports() {
  if (session_.run == nullptr || reportsActive_ || processing_ != nullptr) return;
  // An Abort Reports given while no report ran must not stop this sequence.
  reports_.abortAll.store(0);
  MarkedMixtures mixtures;
  mixtures.marked = model_->marked();
  const std::string path = rcfPath_.toStdString();
  mixtures.openRun = [this, path](int p) { return ReadRunControl(ui_, path, p); };
  mixtures.select = [this](int p) { selectMixtureRow(p); };
  mixtures.showTitle = [this](const RunRecord& run) {
    setWindowTitle(QString("%1 - %2").arg(kProgramName, QString::fromStdString(run.runTitle)));
    repaint();
  };
  mixtures.enableCommands = [this](bool enabled) {
    commandsEnabled_ = enabled;
    reportsActive_ = !enabled;
    setRunControlsEnabled(enabled);
  };
  mixtures.prepareJob = [](ReportJob& job) {
    // The sequence runs on this thread; the window stays alive between rows.
    job.pump = [] { QCoreApplication::processEvents(); };
  };
  ProduceReportsForMarked(reports_, mixtures, ui_);
  reportsActive_ = false;
  commandsEnabled_ = true;
  // The sequence may have shown other mixtures; the open one is shown again.
  selectMixtureRow(currentMixture());
  retitle();
  setRunControlsEnabled(true);
  if (pendingShutdown_) {
    pendingShutdown_ = false;
    honourShutdown();
  }
}

void MainWindow::abortReports() {
  AbortRunningReports(reports_);
  if (processing_ != nullptr) processing_->abortNow();
  for (const auto& chain : session_.chains)
    if (chain != nullptr) chain->abortRequested.store(1);
}

}  // namespace mixora::gui
