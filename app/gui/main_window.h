#pragma once
// The main window: menus, toolbar and status line, the mixture list and the
// chain panel of the open run, and every command of the program. It is one
// more front end of the engine's interaction table: chain threads and report
// workers reach it only through the notice queue and queued calls.
#include <QMainWindow>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "core/interaction.h"
#include "reports/report_job.h"
#include "runfiles/run_record.h"
#include "sampler/run_session.h"

class QAction;
class QCheckBox;
class QDockWidget;
class QLabel;
class QMenu;
class QPushButton;
class QTableView;
class QTimer;
class QToolBar;

namespace mixora::gui {

class ChainPanel;
class MixtureListModel;
class ProcessingDialog;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(QWidget* parent = nullptr);
  ~MainWindow() override;

  // Runs command `id` as its menu item, button or shortcut would.
  void runCommand(int id);
  // Opens the run control file at path (command 1006 with a chosen file).
  bool openRunFile(const QString& path);

  // Asks for the run control file to open; tests replace it.
  std::function<QString(QWidget* parent)> chooseRunFile;

  // Extension points for further windows and panes.
  QAction* action(int id) const;
  // "File", "Reports", "Diagnostics", "Tools", "View", "Help" (and the
  // sub-menus "Compositions", "Raftery && Lewis", "Gelman && Rubin",
  // "Priority").
  QMenu* menu(const QString& name) const;
  // The operation of a command that has none here yet (tool windows, help).
  void setCommandHandler(int id, std::function<void()> handler);
  QDockWidget* addPane(QWidget* pane, const QString& title,
                       Qt::DockWidgetArea area = Qt::BottomDockWidgetArea);
  QToolBar* toolBar() const { return toolBar_; }

  // The enabling rules of every command, from the current state.
  void updateCommandStates();

  // Busy test of Close and Exit: "" when idle, else the refusal, which is
  // shown when tellUser is set.
  QString runBusy(bool tellUser);
  bool closeRun();
  // Abort everything, wait for every thread, close the run and quit.
  void honourShutdown();

  // State, for panes and tests.
  RunSession& session() { return session_; }
  ReportSession& reports() { return reports_; }
  const Interaction& interaction() const { return ui_; }
  MixtureListModel* mixtureModel() const { return model_; }
  QTableView* mixtureList() const { return list_; }
  ChainPanel* chainPanel() const { return panel_; }
  QCheckBox* rerunBox() const { return rerun_; }
  QPushButton* repsButton() const { return reps_; }
  QString statusText(int part) const;
  bool quietMode() const { return ui_.quiet; }
  bool reportsActive() const { return reportsActive_; }
  ProcessingDialog* processingDialog() const { return processing_; }
  // The status a message from another thread or a shown text reaches: the
  // main window's own status line.
  void setStatus(int part, const QString& text);

 Q_SIGNALS:
  // A mixture's chains all ended and the next marked one was opened, or the
  // sequence finished ("Complete" or "Aborted").
  void sequenceFinished(const QString& outcome);
  void runOpened();
  void runClosed();

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  void buildMenus();
  void buildToolBar();
  void buildStatusLine();
  void buildCentre();
  QAction* addCommand(QMenu* menu, int id, const QString& text);
  void makeInteraction();
  int askUser(uint32_t type, const std::string& text);

  void openRunCommand();
  void retitle();
  void drainNotices();
  void onTick();
  void onChainFinished(int chain);
  void onMixtureFinished();
  void onMarksChanged();
  void onCurrentRowChanged(int row);
  void selectMixtureRow(int row);
  void setRunControlsEnabled(bool enabled);
  void refreshMixtureRow(int p);
  void chainCommand(int id);
  void startChains(int first, int end);
  void chainPriority(int row, int priority);
  void singleReport(int kind, bool byRegion);
  void allReports();
  void abortReports();
  void setPriorityClass(int priorityClass);
  void viewFile(int id);
  void numberOfReps();
  void toggleQuiet();
  void updateRefreshTimer();
  int currentMixture() const;

  RunSession session_;
  ReportSession reports_;
  Interaction ui_;
  std::unique_ptr<RunRecord> whole_;  // every mixture of the open run's file
  QString rcfPath_;
  bool shutdown_ = false;
  bool pendingShutdown_ = false;
  bool reportsActive_ = false;  // the reports of the marked mixtures are being produced
  bool commandsEnabled_ = true;
  bool runControlsEnabled_ = true;
  bool openingMixture_ = false;
  int lastPercent_ = -1;
  ProcessingDialog* processing_ = nullptr;

  std::map<int, QAction*> actions_;
  std::map<QString, QMenu*> menus_;
  std::map<int, std::function<void()>> handlers_;
  QToolBar* toolBar_ = nullptr;
  QLabel* status_[3] = {nullptr, nullptr, nullptr};
  ChainPanel* panel_ = nullptr;
  MixtureListModel* model_ = nullptr;
  QTableView* list_ = nullptr;
  QPushButton* reps_ = nullptr;
  QCheckBox* rerun_ = nullptr;
  QTimer* noticeTimer_ = nullptr;
  QTimer* refreshTimer_ = nullptr;
};

}  // namespace mixora::gui
