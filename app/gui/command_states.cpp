// The enabling rules of the main window's commands and the busy test that
// Close and Exit ask.
#include <QAction>
#include <QMenu>

#include "command_ids.h"
#include "main_window.h"
#include "message_box.h"
#include "mixture_list_model.h"
#include "processing_dialog.h"
#include "reports/report_job.h"
#include "sampler/chain_runner.h"
#include "sampler/process_priority.h"

namespace mixora::gui {

namespace {

// The records every chain holds alike, or 0 when the chains differ.
uint32_t CommonCount(const std::vector<uint32_t>& totals) {
  if (totals.empty()) return 0;
  for (uint32_t total : totals)
    if (total != totals[0]) return 0;
  return totals[0];
}

}  // namespace

QString MainWindow::runBusy(bool tellUser) {
  QString why;
  if (reportsActive_ || reports_.reportsRunning.load() != 0) {
    why = "Still producing reports";
  } else if (session_.run != nullptr && processing_ != nullptr) {
    why = "Still working";
  } else if (session_.run != nullptr) {
    for (int c = 0; c < static_cast<int>(session_.chains.size()); ++c)
      if (ChainHasThread(session_, c)) why = "Still computing Chains";
  }
  if (!why.isEmpty() && tellUser)
    ShowMessageBox(this, kMbIconWarning, why, MessageBoxOptions{ui_.quiet, shutdown_, 0});
  return why;
}

void MainWindow::updateCommandStates() {
  const bool run = session_.run != nullptr;
  const bool idle = run && runBusy(false).isEmpty();
  const bool reportsRun = reportsActive_ || reports_.reportsRunning.load() != 0 || processing_ != nullptr;
  auto set = [this](int id, bool enabled) {
    if (QAction* a = action(id)) a->setEnabled(enabled);
  };
  auto tool = [this, &set](int id, bool enabled) {
    set(id, enabled && handlers_.count(id) != 0);
  };

  set(kCmdOpen, !run && commandsEnabled_);
  set(kCmdClose, run);
  set(kCmdExit, true);
  tool(kCmdCheckDataFiles, idle);
  tool(kCmdCleanup, idle);
  for (int id : {kCmdViewControlFile, kCmdViewBaselineFile, kCmdViewMixtureFile}) set(id, idle);

  uint32_t compositions = 0, assignments = 0;
  if (idle) {
    std::vector<uint32_t> compositionTotals, assignmentTotals;
    ReadChainTotals(*session_.run, compositionTotals, assignmentTotals);
    compositions = CommonCount(compositionTotals);
    assignments = CommonCount(assignmentTotals);
  }
  tool(kCmdConvertToAscii, compositions != 0 && assignments != 0 && compositions == assignments);

  const bool may = idle && commandsEnabled_ && model_->markedCount() > 0;
  const bool twoChains = run && session_.run->settings.NumberOfChains >= 2;
  set(kCmdCompositionsByPopulation, may && compositions != 0);
  set(kCmdCompositionsByRegion, may && compositions != 0);
  set(kCmdRafteryLewisByPopulation, may && compositions != 0);
  set(kCmdRafteryLewisByRegion, may && compositions != 0);
  set(kCmdGelmanRubinByPopulation, may && compositions != 0 && twoChains);
  set(kCmdGelmanRubinByRegion, may && compositions != 0 && twoChains);
  set(kCmdAssignments, may && assignments != 0);
  set(kCmdAllReports, may && compositions != 0 && assignments != 0 && twoChains);
  set(kCmdAbortReports, reportsRun);

  for (const char* name : {"Compositions", "Raftery && Lewis", "Gelman && Rubin"}) {
    QMenu* sub = menu(name);
    bool any = false;
    for (QAction* a : sub->actions()) any = any || a->isEnabled();
    sub->menuAction()->setEnabled(any);
  }

  for (int id : {kCmdGenepopToSpam, kCmdTcfToRcf, kCmdRcfToTcf, kCmdSpamToTcf, kCmdSimulations,
                 kCmdHelp, kCmdAbout, kCmdCite})
    tool(id, commandsEnabled_ || id == kCmdHelp || id == kCmdAbout || id == kCmdCite);

  action(kCmdQuietMode)->setChecked(ui_.quiet);
  const int current = CurrentPriorityClass();
  for (int c = 0; c < kProcessPriorityClassCount; ++c)
    action(kCmdPriorityHigh + c)->setChecked(c == current);

  const bool marks = run && runControlsEnabled_ && !reportsRun;
  for (int id : {kCmdMarkAll, kCmdUnmarkAll, kCmdToggleAllMarks}) set(id, marks);
}

}  // namespace mixora::gui
