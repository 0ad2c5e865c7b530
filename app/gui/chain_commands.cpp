// The commands of the main window that work on the open run: the dispatch of
// every command, the chain panel's buttons and selectors, the notices of the
// chain threads, mixture sequencing, marks, priorities, the number of reps,
// quiet mode and the view items.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileInfo>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cerrno>

#include "chain_panel.h"
#include "command_ids.h"
#include "main_window.h"
#include "message_box.h"
#include "mixture_list_model.h"
#include "reports/report_job.h"
#include "sampler/run_opening.h"
#include "sampler/chain_progress.h"
#include "sampler/chain_runner.h"
#include "sampler/chain_target.h"
#include "sampler/mixture_rows.h"
#include "sampler/process_priority.h"
#include "sampler/restart_file.h"
#include "reps_dialog.h"

namespace mixora::gui {

void MainWindow::runCommand(int id) {
  if (id >= kCmdChainFirst && id <= kCmdChainLast) {
    chainCommand(id);
    return;
  }
  updateCommandStates();
  if (QAction* a = action(id); a != nullptr && !a->isEnabled()) return;
  switch (id) {
    case kCmdOpen: openRunCommand(); break;
    case kCmdClose: closeRun(); break;
    case kCmdExit: close(); break;
    case kCmdCompositionsByPopulation: singleReport(kReportCompositions, false); break;
    case kCmdCompositionsByRegion: singleReport(kReportCompositions, true); break;
    case kCmdAssignments: singleReport(kReportAssignments, false); break;
    case kCmdRafteryLewisByPopulation: singleReport(kReportRafteryLewis, false); break;
    case kCmdRafteryLewisByRegion: singleReport(kReportRafteryLewis, true); break;
    case kCmdGelmanRubinByPopulation: singleReport(kReportGelmanRubin, false); break;
    case kCmdGelmanRubinByRegion: singleReport(kReportGelmanRubin, true); break;
    case kCmdAllReports: allReports(); break;
    case kCmdAbortReports: abortReports(); break;
    case kCmdPriorityHigh:
    case kCmdPriorityAboveNormal:
    case kCmdPriorityNormal:
    case kCmdPriorityBelowNormal:
    case kCmdPriorityLow: setPriorityClass(id - kCmdPriorityHigh); break;
    case kCmdQuietMode: toggleQuiet(); break;
    case kCmdViewControlFile:
    case kCmdViewBaselineFile:
    case kCmdViewMixtureFile: viewFile(id); break;
    case kCmdMarkAll: model_->markAll(true); break;
    case kCmdUnmarkAll: model_->markAll(false); break;
    case kCmdToggleAllMarks: model_->toggleAll(); break;
    case kCmdNumberOfReps: numberOfReps(); break;
    default: {
      auto found = handlers_.find(id);
      if (found != handlers_.end()) found->second();
    }
  }
  updateCommandStates();
}

int MainWindow::currentMixture() const {
  return session_.run != nullptr ? session_.run->mixtureIndex : -1;
}

void MainWindow::chainCommand(int id) {
  if (session_.run == nullptr || reportsActive_ || processing_ != nullptr) return;
  const int x = id - kCmdChainFirst;
  const int k = x / 4;
  const int op = x % 4;
  const int chains = static_cast<int>(session_.chains.size());
  const int first = k == 0 ? 0 : panel_->firstVisible() + k - 1;
  const int end = k == 0 ? chains : first + 1;
  if (first < 0 || end > chains || model_->markedCount() == 0) return;
  switch (op) {
    case kOpStart: startChains(first, end); break;
    case kOpStop: AbortChains(session_, first, end, true); break;
    case kOpPause: PauseChains(session_, first, end); break;
    case kOpResume: ResumeChains(session_, first, end); break;
  }
  panel_->refresh(false);
  panel_->updateButtons();
  updateCommandStates();
}

void MainWindow::startChains(int first, int end) {
  const int p = currentMixture();
  setRunControlsEnabled(false);
  selectMixtureRow(p);
  session_.mixtureMarked = model_->isMarked(p);
  session_.rerun = rerun_->isChecked();
  const int started = StartChains(session_, first, end);
  rerun_->setChecked(false);
  updateRefreshTimer();
  panel_->refresh(true);
  panel_->updateButtons();
  // A chain that could not be prepared leaves the others running; with none
  // running the run's controls come back so the problem can be mended.
  if (started < 0 && session_.liveThreads == 0) setRunControlsEnabled(true);
  // The refusal itself was shown when the run was opened, perhaps long ago;
  // a Start that does nothing must say why, and what to do.
  const int failed = session_.failedChain;
  if (started < 0 && failed >= 0 && failed < static_cast<int>(session_.chains.size()) &&
      session_.chains[static_cast<std::size_t>(failed)]->restartRefused) {
    const Chain& chain = *session_.chains[static_cast<std::size_t>(failed)];
    std::string text = RefusedRestartText(failed, "Checking \"Rerun\" and pressing Start");
    text[0] = 'C';
    if (!chain.restartRefusal.empty()) text = chain.restartRefusal + "\r\n\r\n" + text;
    ShowMessageBox(this, kMbIconError, QString::fromStdString(text),
                   MessageBoxOptions{ui_.quiet, shutdown_, failed + 1});
  }
}

void MainWindow::chainPriority(int row, int priority) {
  if (session_.run == nullptr) return;
  const int chains = static_cast<int>(session_.chains.size());
  const int first = row == 0 ? 0 : panel_->firstVisible() + row - 1;
  const int end = row == 0 ? chains : first + 1;
  SetChainPriority(session_, priority, first, end);
  panel_->updateButtons();
}

void MainWindow::updateRefreshTimer() {
  if (session_.liveThreads > 0 && !shutdown_) {
    const int timer = session_.run != nullptr ? session_.run->settings.Timer : 1000;
    refreshTimer_->setInterval(timer > 0 ? timer : 1000);
    if (!refreshTimer_->isActive()) refreshTimer_->start();
  } else {
    refreshTimer_->stop();
  }
}

void MainWindow::drainNotices() {
  ChainNotice notice;
  while (session_.run != nullptr && TakeNotice(session_.notices, notice, std::chrono::milliseconds(0))) {
    if (notice.kind == kChainFinishedNotice)
      onChainFinished(notice.chain);
    else if (notice.kind == kMixtureFinishedNotice)
      onMixtureFinished();
  }
}

void MainWindow::onTick() {
  if (shutdown_ || session_.run == nullptr) return;
  if (!isMinimized()) {
    panel_->refresh(false);
    lastPercent_ = -1;
    return;
  }
  const int percent = RunProgressPercent(session_);
  if (percent != lastPercent_) {
    lastPercent_ = percent;
    setWindowTitle(QString("%1% of %2").arg(percent).arg(QString::fromStdString(session_.run->runTitle)));
  }
}

void MainWindow::onChainFinished(int chain) {
  if (chain < 0 || chain >= static_cast<int>(session_.chains.size())) {
    if (!shutdown_)
      ShowMessageBox(this, kMbIconInformation, "Thread Error", MessageBoxOptions{ui_.quiet, false, 0});
    return;
  }
  if (!ChainHasThread(session_, chain)) return;
  const bool aborted = session_.chains[static_cast<std::size_t>(chain)]->abortRequested.load() != 0;
  OnChainFinished(session_, chain);
  updateRefreshTimer();
  panel_->refresh(true);
  panel_->updateButtons();
  updateCommandStates();
  if (!ui_.quiet) QApplication::beep();
  if (aborted && session_.liveThreads == 0) {
    setRunControlsEnabled(true);
    refreshMixtureRow(currentMixture());
  }
}

void MainWindow::onMixtureFinished() {
  const int p = currentMixture();
  refreshMixtureRow(p);
  int next = -1;
  for (int row = p + 1; row < model_->rowCount(); ++row)
    if (model_->isMarked(row)) {
      next = row;
      break;
    }
  if (next < 0) {
    setRunControlsEnabled(true);
    panel_->updateButtons();
    const QString outcome = reports_.abortAll.load() != 0 ? "Aborted" : "Complete";
    reports_.abortAll.store(0);
    ShowMessageBox(this, kMbIconWarning, outcome, MessageBoxOptions{ui_.quiet, shutdown_, 0});
    Q_EMIT sequenceFinished(outcome);
    return;
  }
  if (OpenRun(session_, ui_, std::string(), next) == nullptr) {
    setRunControlsEnabled(true);
    panel_->updateButtons();
    return;
  }
  panel_->build(&session_);
  selectMixtureRow(next);
  retitle();
  onMarksChanged();
  QTimer::singleShot(0, this, [this] { runCommand(ChainCommand(0, kOpStart)); });
}

void MainWindow::refreshMixtureRow(int p) {
  if (whole_ == nullptr || p < 0 || p >= model_->rowCount()) return;
  std::vector<MixtureRow> rows = model_->rows();
  rows[static_cast<std::size_t>(p)] = ReadMixtureRow(
      *whole_, rcfPath_.toStdString(), p,
      std::max(session_.requestedReps, whole_->settings.NumberOfReps));
  for (int row = 0; row < static_cast<int>(rows.size()); ++row) model_->setRow(row, rows[static_cast<std::size_t>(row)]);
}

void MainWindow::onMarksChanged() {
  const int p = currentMixture();
  session_.mixtureMarked = model_->isMarked(p);
  panel_->setMarks(model_->markedCount(), model_->isMarked(p));
  updateCommandStates();
}

void MainWindow::selectMixtureRow(int row) {
  if (row < 0 || row >= model_->rowCount()) return;
  openingMixture_ = true;
  list_->setCurrentIndex(model_->index(row, 0));
  list_->scrollTo(model_->index(row, 0));
  openingMixture_ = false;
}

void MainWindow::onCurrentRowChanged(int row) {
  if (openingMixture_ || session_.run == nullptr || row < 0 || row == currentMixture()) return;
  // A mixture whose chains run, or whose reports are being produced, stays open.
  if (session_.liveThreads > 0 || reportsActive_ || processing_ != nullptr) {
    selectMixtureRow(currentMixture());
    return;
  }
  if (OpenRun(session_, ui_, std::string(), row) == nullptr) {
    selectMixtureRow(currentMixture());
    return;
  }
  panel_->build(&session_);
  retitle();
  onMarksChanged();
}

void MainWindow::setRunControlsEnabled(bool enabled) {
  runControlsEnabled_ = enabled;
  list_->setEnabled(enabled);
  reps_->setEnabled(enabled && session_.run != nullptr);
  rerun_->setEnabled(enabled && session_.run != nullptr);
  updateCommandStates();
}

void MainWindow::setPriorityClass(int priorityClass) {
  if (SetProcessPriorityClass(&session_, priorityClass) == 0) {
    const int err = errno;
    const char* const names[5] = {"High", "AboveNormal", "Normal", "BelowNormal", "Low"};
    ShowMessageBox(this, kMbIconError,
                   SystemMessageText("Cannot set the process priority", names[priorityClass], err),
                   MessageBoxOptions{ui_.quiet, shutdown_, 0});
  }
  panel_->updateButtons();
}

void MainWindow::viewFile(int id) {
  if (session_.run == nullptr) return;
  const RunSettings& s = session_.run->settings;
  const std::string path = id == kCmdViewControlFile    ? GetField(s.ControlFilePath)
                           : id == kCmdViewBaselineFile ? GetField(s.BaselineFile)
                                                        : GetField(s.MixtureFile);
  const QString file = QString::fromStdString(path);
  if (path.empty() || !QFileInfo(file).isFile() ||
      !QDesktopServices::openUrl(QUrl::fromLocalFile(file)))
    ShowMessageBox(this, kMbIconWarning, QString("Cannot Open %1").arg(file),
                   MessageBoxOptions{ui_.quiet, shutdown_, 0});
}

void MainWindow::numberOfReps() {
  if (session_.run == nullptr) return;
  std::vector<int32_t> reached;
  for (const MixtureRow& row : model_->rows()) reached.push_back(row.iterations);
  RepsDialog dialog(this, CurrentNumberOfReps(session_.numberOfReps, reached));
  if (dialog.exec() != QDialog::Accepted) return;
  // Held for every mixture started from now on; the current one keeps a
  // larger end one of its chains was already given.
  session_.requestedReps = dialog.value();
  const RunRecord& run = *session_.run;
  session_.numberOfReps = std::max(
      session_.requestedReps,
      MixtureTarget(run, run.settings.NumberOfChains, run.settings.NumberOfReps));
  for (int p = 0; p < model_->rowCount(); ++p) refreshMixtureRow(p);
  panel_->refreshRunBox();
}

void MainWindow::toggleQuiet() {
  ui_.quiet = !ui_.quiet;
  action(kCmdQuietMode)->setChecked(ui_.quiet);
}

}  // namespace mixora::gui
