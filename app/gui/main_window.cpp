#include "main_window.h"

#include "tool_windows.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDockWidget>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTableView>
#include <QThread>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <thread>

#include "chain_panel.h"
#include "command_ids.h"
#include "message_box.h"
#include "mixture_list_model.h"
#include "processing_dialog.h"
#include "runfiles/run_control_reader.h"
#include "reports/report_runner.h"
#include "sampler/run_opening.h"
#include "sampler/chain_runner.h"
#include "sampler/mixture_rows.h"
#include "screen_scale.h"

namespace mixora::gui {

namespace {

QString NoRunTitle() { return QString("%1 - No Run Control File Loaded").arg(kProgramName); }

}  // namespace

MainWindow::MainWindow(QWidget* parent) : QMainWindow(parent) {
  setObjectName("mainWindow");
  setWindowTitle(NoRunTitle());
  makeInteraction();
  session_.ui = &ui_;
  chooseRunFile = [](QWidget* owner) {
    return QFileDialog::getOpenFileName(owner, "Open Control File", QString(),
                                        "Run Control Files (*.rcf);;All Files (*)", nullptr,
                                        QFileDialog::DontUseNativeDialog);
  };
  buildMenus();
  buildToolBar();
  buildStatusLine();
  buildCentre();
  setMinimumSize(Px(250), Px(200));
  resize(Px(528), Px(500));
  move(Px(160), Px(20));
  setStatus(0, QString("  Welcome to %1 %2").arg(kProgramName, kProgramVersion));

  noticeTimer_ = new QTimer(this);
  noticeTimer_->setInterval(20);
  connect(noticeTimer_, &QTimer::timeout, this, &MainWindow::drainNotices);
  refreshTimer_ = new QTimer(this);
  connect(refreshTimer_, &QTimer::timeout, this, &MainWindow::onTick);
  InstallToolWindows(*this);
  updateCommandStates();
}

MainWindow::~MainWindow() {
  if (session_.run != nullptr) CloseRun(session_);
}

QAction* MainWindow::addCommand(QMenu* menu, int id, const QString& text) {
  auto* action = new QAction(text, this);
  action->setData(id);
  action->setObjectName(QString("command_%1").arg(id));
  connect(action, &QAction::triggered, this, [this, id] { runCommand(id); });
  actions_[id] = action;
  if (menu != nullptr) menu->addAction(action);
  return action;
}

void MainWindow::buildMenus() {
  auto addMenu = [this](QMenu* parent, const QString& name) {
    QMenu* m = parent != nullptr ? parent->addMenu(name) : menuBar()->addMenu(name);
    m->setObjectName("menu_" + QString(name).remove('&').remove(' '));
    menus_[name] = m;
    connect(m, &QMenu::aboutToShow, this, &MainWindow::updateCommandStates);
    return m;
  };
  QMenu* file = addMenu(nullptr, "&File");
  menus_["File"] = file;
  addCommand(file, kCmdOpen, "&Open Control File...");
  addCommand(file, kCmdClose, "&Close Control File...");
  file->addSeparator();
  addCommand(file, kCmdExit, "E&xit");

  QMenu* reports = addMenu(nullptr, "&Reports");
  menus_["Reports"] = reports;
  QMenu* compositions = addMenu(reports, "Compositions");
  addCommand(compositions, kCmdCompositionsByPopulation, "By Population");
  addCommand(compositions, kCmdCompositionsByRegion, "By Region");
  addCommand(reports, kCmdAssignments, "Individual Stock Assignments");
  reports->addSeparator();
  addCommand(reports, kCmdAllReports, "All Reports && Diagnostics");
  addCommand(reports, kCmdAbortReports, "Abort Reports");

  QMenu* diagnostics = addMenu(nullptr, "&Diagnostics");
  menus_["Diagnostics"] = diagnostics;
  QMenu* rafteryLewis = addMenu(diagnostics, "Raftery && Lewis");
  addCommand(rafteryLewis, kCmdRafteryLewisByPopulation, "By Population");
  addCommand(rafteryLewis, kCmdRafteryLewisByRegion, "By Region");
  QMenu* gelmanRubin = addMenu(diagnostics, "Gelman && Rubin");
  addCommand(gelmanRubin, kCmdGelmanRubinByPopulation, "By Population");
  addCommand(gelmanRubin, kCmdGelmanRubinByRegion, "By Region");

  QMenu* tools = addMenu(nullptr, "&Tools");
  menus_["Tools"] = tools;
  QMenu* priority = addMenu(tools, "Priority");
  const char* const names[5] = {"High", "AboveNormal", "Normal", "BelowNormal", "Low"};
  for (int i = 0; i < 5; ++i) addCommand(priority, kCmdPriorityHigh + i, names[i])->setCheckable(true);
  tools->addSeparator();
  addCommand(tools, kCmdCheckDataFiles, "Check Data Files...");
  addCommand(tools, kCmdConvertToAscii, "Convert Output Files to ASCII...");
  addCommand(tools, kCmdGenepopToSpam, "Genepop to SPAM");
  addCommand(tools, kCmdTcfToRcf, "TCF to RCF...");
  addCommand(tools, kCmdRcfToTcf, "RCF to TCF...");
  addCommand(tools, kCmdSpamToTcf, "SPAM to TCF...");
  addCommand(tools, kCmdCleanup, "Cleanup...");
  addCommand(tools, kCmdQuietMode, "Quiet Mode")->setCheckable(true);
  tools->addSeparator();
  addCommand(tools, kCmdSimulations, "Simulations...");

  QMenu* view = addMenu(nullptr, "&View");
  menus_["View"] = view;
  addCommand(view, kCmdViewControlFile, "Control File...");
  addCommand(view, kCmdViewBaselineFile, "Baseline File...");
  addCommand(view, kCmdViewMixtureFile, "Mixture File...");

  QMenu* help = addMenu(nullptr, "&Help");
  menus_["Help"] = help;
  addCommand(help, kCmdHelp, "Help...");
  addCommand(help, kCmdAbout, "About...");
  addCommand(help, kCmdCite, "How to Cite...");

  // The mixture list's context menu; its shortcuts work anywhere in the window.
  addCommand(nullptr, kCmdMarkAll, "Mark All")->setShortcut(QKeySequence("Ctrl+M"));
  addCommand(nullptr, kCmdUnmarkAll, "UnMark All")->setShortcut(QKeySequence("Ctrl+U"));
  addCommand(nullptr, kCmdToggleAllMarks, "Toggle All Marks")->setShortcut(QKeySequence("Ctrl+T"));
  for (int id : {kCmdMarkAll, kCmdUnmarkAll, kCmdToggleAllMarks}) addAction(actions_[id]);
}

void MainWindow::buildToolBar() {
  toolBar_ = addToolBar("Toolbar");
  toolBar_->setObjectName("toolBar");
  toolBar_->setMovable(false);
  struct Button {
    int id;
    QStyle::StandardPixmap icon;
    const char* tip;
  };
  const Button buttons[] = {
      {kCmdOpen, QStyle::SP_DialogOpenButton, "Open Control File"},
      {kCmdClose, QStyle::SP_DialogCloseButton, "Close Control File"},
      {0, QStyle::SP_CustomBase, nullptr},
      {kCmdAllReports, QStyle::SP_FileDialogDetailedView, "All Reports and Diagnostics"},
      {0, QStyle::SP_CustomBase, nullptr},
      {kCmdTcfToRcf, QStyle::SP_ArrowRight, "TCF to RCF"},
      {kCmdRcfToTcf, QStyle::SP_ArrowLeft, "RCF to TCF"},
      {0, QStyle::SP_CustomBase, nullptr},
      {kCmdHelp, QStyle::SP_DialogHelpButton, "Help"},
      {kCmdAbortReports, QStyle::SP_BrowserStop, "Abort Reports"},
  };
  for (const Button& b : buttons) {
    if (b.id == 0) {
      toolBar_->addSeparator();
      continue;
    }
    QAction* command = actions_[b.id];
    command->setIcon(style()->standardIcon(b.icon));
    command->setToolTip(b.tip);
    if (b.id != kCmdAbortReports) {
      toolBar_->addAction(command);
      continue;
    }
    // The menu item stays; only the toolbar's button hides when no report runs.
    auto* abort = new QAction(command->icon(), command->text(), this);
    abort->setObjectName("toolAbortReports");
    abort->setData(kCmdAbortReports);
    abort->setToolTip(b.tip);
    abort->setVisible(false);
    connect(abort, &QAction::triggered, this, [this] { runCommand(kCmdAbortReports); });
    toolBar_->addAction(abort);
  }
  reports_.abortButton = [this](bool visible) {
    // Called on this thread: the sequence of reports runs here.
    for (QAction* a : toolBar_->actions())
      if (a->objectName() == "toolAbortReports") a->setVisible(visible);
  };
}

void MainWindow::buildStatusLine() {
  for (int part = 0; part < 3; ++part) {
    status_[part] = new QLabel(this);
    status_[part]->setObjectName(QString("status_%1").arg(part));
    status_[part]->setMinimumWidth(Px(20));
    statusBar()->addWidget(status_[part], 1);
  }
}

void MainWindow::buildCentre() {
  auto* centre = new QWidget(this);
  // The panel and the list are dense tables; a small face keeps their
  // columns at their pixel widths without cutting the texts.
  QFont small = centre->font();
  small.setPointSizeF(small.pointSizeF() * 0.85);
  centre->setFont(small);
  auto* layout = new QVBoxLayout(centre);
  layout->setContentsMargins(0, 0, 0, 0);
  panel_ = new ChainPanel(centre);
  layout->addWidget(panel_);
  connect(panel_, &ChainPanel::command, this, &MainWindow::runCommand);
  connect(panel_, &ChainPanel::priorityChosen, this, &MainWindow::chainPriority);
  connect(panel_, &ChainPanel::threadsPerChainChosen, this,
          [this](int threads) { session_.threadsPerChain = threads; });

  auto* row = new QHBoxLayout;
  model_ = new MixtureListModel(this);
  list_ = new QTableView(centre);
  list_->setObjectName("mixtureList");
  list_->setModel(model_);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->verticalHeader()->hide();
  list_->verticalHeader()->setDefaultSectionSize(Px(18));
  for (int c = 0; c < MixtureListModel::kColumnCount; ++c)
    list_->setColumnWidth(c, Px(MixtureListModel::kWidths[c]));
  list_->horizontalHeader()->setStretchLastSection(true);
  list_->setContextMenuPolicy(Qt::ActionsContextMenu);
  for (int id : {kCmdMarkAll, kCmdUnmarkAll, kCmdToggleAllMarks}) list_->addAction(actions_[id]);
  list_->setMinimumHeight(Px(90));
  row->addWidget(list_, 1);
  connect(model_, &MixtureListModel::marksChanged, this, &MainWindow::onMarksChanged);
  connect(list_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
          [this](const QModelIndex& current) { onCurrentRowChanged(current.row()); });

  auto* side = new QVBoxLayout;
  reps_ = new QPushButton("...", centre);
  reps_->setObjectName("repsButton");
  reps_->setToolTip("Set the number of iterations");
  reps_->setFixedWidth(Px(36));
  connect(reps_, &QPushButton::clicked, this, [this] { runCommand(kCmdNumberOfReps); });
  rerun_ = new QCheckBox("Rerun", centre);
  rerun_->setObjectName("rerunBox");
  rerun_->setToolTip("Start the checked mixtures from the beginning");
  side->addWidget(reps_);
  side->addWidget(rerun_);
  side->addStretch(1);
  row->addLayout(side);
  layout->addLayout(row, 1);
  setCentralWidget(centre);
  setRunControlsEnabled(true);
}

void MainWindow::makeInteraction() {
  ui_.message = [this](uint32_t type, const std::string& text) { return askUser(type, text); };
  ui_.status = [this](int part, const std::string& text) {
    const QString shown = QString::fromStdString(text);
    if (QThread::currentThread() == thread())
      setStatus(part, shown);
    else
      QMetaObject::invokeMethod(this, [this, part, shown] { setStatus(part, shown); },
                                Qt::QueuedConnection);
  };
  ui_.progress = [this](const std::string& caption, int64_t done, int64_t total) {
    const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 100;
    const QString shown = QString("%1 - %2%").arg(QString::fromStdString(caption)).arg(percent);
    if (QThread::currentThread() == thread())
      setStatus(2, shown);
    else
      QMetaObject::invokeMethod(this, [this, shown] { setStatus(2, shown); }, Qt::QueuedConnection);
  };
}

int MainWindow::askUser(uint32_t type, const std::string& text) {
  const std::thread::id caller = std::this_thread::get_id();
  auto show = [this, type, text, caller] {
    MessageBoxOptions options;
    options.quiet = ui_.quiet;
    options.shutdown = shutdown_;
    for (std::size_t c = 0; c < session_.slots.size(); ++c)
      if (session_.slots[c]->thread.get_id() == caller) options.threadChain = static_cast<int>(c) + 1;
    return ShowMessageBox(this, type, QString::fromStdString(text), options);
  };
  if (QThread::currentThread() == thread()) return show();
  // The window thread may be waiting for this thread to end: during a
  // shutdown nobody is asked.
  if (session_.shutdown.load() != 0) {
    const int answer = ShutdownAnswer(type);
    return answer != 0 ? answer : DefaultAnswer(type);
  }
  int answer = DefaultAnswer(type);
  QMetaObject::invokeMethod(this, [&answer, &show] { answer = show(); },
                            Qt::BlockingQueuedConnection);
  return answer;
}

void MainWindow::setStatus(int part, const QString& text) {
  if (part < 0 || part > 2) return;
  status_[part]->setText(text.left(511));
}

QString MainWindow::statusText(int part) const {
  return part >= 0 && part <= 2 ? status_[part]->text() : QString();
}

QAction* MainWindow::action(int id) const {
  auto found = actions_.find(id);
  return found != actions_.end() ? found->second : nullptr;
}

QMenu* MainWindow::menu(const QString& name) const {
  auto found = menus_.find(name);
  return found != menus_.end() ? found->second : nullptr;
}

void MainWindow::setCommandHandler(int id, std::function<void()> handler) {
  handlers_[id] = std::move(handler);
  updateCommandStates();
}

QDockWidget* MainWindow::addPane(QWidget* pane, const QString& title, Qt::DockWidgetArea area) {
  auto* dock = new QDockWidget(title, this);
  dock->setObjectName("pane_" + QString(title).remove(' '));
  dock->setWidget(pane);
  addDockWidget(area, dock);
  return dock;
}

void MainWindow::retitle() {
  if (session_.run == nullptr) {
    setWindowTitle(NoRunTitle());
    return;
  }
  setWindowTitle(QString("%1 - %2").arg(kProgramName, QString::fromStdString(session_.run->runTitle)));
}

void MainWindow::openRunCommand() {
  const QString path = chooseRunFile ? chooseRunFile(this) : QString();
  if (!path.isEmpty()) openRunFile(path);
}

bool MainWindow::openRunFile(const QString& path) {
  if (session_.run != nullptr && !closeRun()) return false;
  if (QFileInfo(path).suffix().compare("rcf", Qt::CaseInsensitive) != 0) {
    // Text and SPAM control files become runs through the load window.
    if (loadControlFile) {
      loadControlFile(path);
      return session_.run != nullptr;
    }
    ShowMessageBox(this, kMbIconInformation,
                   QString("%1\r\nis not a run control file (.rcf). Load it with Tools / TCF to "
                           "RCF... first, then open the run control file it writes.")
                       .arg(path),
                   MessageBoxOptions{ui_.quiet, shutdown_, 0});
    return false;
  }
  const std::string file = path.toStdString();
  // A number of reps asked for belongs to the run it was asked for.
  session_.requestedReps = 0;
  if (OpenRun(session_, ui_, file, 0) == nullptr) return false;
  std::unique_ptr<RunRecord> whole = ReadNewControl(file, ui_);
  if (whole == nullptr) {
    CloseRun(session_);
    return false;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
  rcfPath_ = path;
  whole_ = std::move(whole);
  const int chains = static_cast<int>(session_.chains.size());
  setStatus(0, "  Initializing...");
  retitle();
  panel_->build(&session_);
  std::vector<MixtureRow> rows;
  for (int p = 0; p < whole_->mixtureCount; ++p) {
    setStatus(0, QString("  Loading Mixture Sample %1").arg(p + 1));
    rows.push_back(ReadMixtureRow(*whole_, file, p, whole_->settings.NumberOfReps));
  }
  for (MixtureRow& row : rows) row.marked = true;
  openingMixture_ = true;
  model_->setRows(std::move(rows));
  list_->setCurrentIndex(model_->index(0, 0));
  openingMixture_ = false;
  resize(std::max(width(), Px(528)), std::max(height(), Px(chains > kVisibleChains ? 580 : 560)));
  noticeTimer_->start();
  setRunControlsEnabled(true);
  onMarksChanged();
  updateCommandStates();
  setStatus(0, "  Binary Control File Read.");
  QApplication::restoreOverrideCursor();
  Q_EMIT runOpened();
  return true;
}

bool MainWindow::closeRun() {
  if (session_.run == nullptr) return true;
  if (!runBusy(true).isEmpty()) return false;
  model_->clear();
  CloseRun(session_);
  whole_.reset();
  rcfPath_.clear();
  noticeTimer_->stop();
  refreshTimer_->stop();
  panel_->build(nullptr);
  setRunControlsEnabled(true);
  updateCommandStates();
  setStatus(0, "  Ready for new run");
  retitle();
  Q_EMIT runClosed();
  return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!shutdown_ && !runBusy(true).isEmpty()) {
    event->ignore();
    return;
  }
  if (session_.run != nullptr) CloseRun(session_);
  event->accept();
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() != QEvent::WindowStateChange) return;
  if (!isMinimized() && lastPercent_ != -1) {
    lastPercent_ = -1;
    retitle();
  }
}

void MainWindow::honourShutdown() {
  if (session_.run == nullptr) {
    shutdown_ = true;
    QApplication::quit();
    return;
  }
  setStatus(0, " Honouring Shutdown Request");
  refreshTimer_->stop();
  noticeTimer_->stop();
  shutdown_ = true;
  session_.shutdown.store(1);
  AbortRunningReports(reports_);
  if (processing_ != nullptr) processing_->abortNow();
  int threads = 0;
  for (std::size_t c = 0; c < session_.chains.size(); ++c) {
    if (!ChainHasThread(session_, static_cast<int>(c))) continue;
    session_.chains[c]->abortRequested.store(1);
    ++threads;
  }
  // An inline report sequence or a "Processing" window is still on the
  // stack; it ends at its next check and the shutdown is finished then.
  if (reportsActive_ || processing_ != nullptr) {
    pendingShutdown_ = true;
    return;
  }
  setStatus(0, QString(" Waiting for %1 threads to end").arg(threads));
  // A chain thread may be waiting for an answer from this thread, so keep
  // answering until every thread has finished its work.
  for (;;) {
    bool running = false;
    for (const auto& slot : session_.slots)
      running = running || (slot->thread.joinable() && slot->finalCpu.load() < 0);
    if (!running) break;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QThread::msleep(5);
  }
  CloseRun(session_);
  setStatus(0, " All threads finished");
  QApplication::quit();
}

}  // namespace mixora::gui
