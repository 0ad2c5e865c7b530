// Reports and diagnostics from the window: the whole sequence for the marked
// mixtures, with chains on three threads each, gives the very files the
// command line gives with one, Abort Reports stops
// it partway, one report runs in the "Processing" window, and Close is
// refused while reports run.
#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <filesystem>
#include <set>

#include "chain_panel.h"
#include "command_ids.h"
#include "core/interaction.h"
#include "gui_test_support.h"
#include "main_window.h"
#include "processing_dialog.h"

using namespace mixora;
using namespace mixora::gui;
using namespace mixora::gui_test;
namespace fs = std::filesystem;

namespace {

// Runs every marked mixture of the window's run to the end.
bool RunAllChains(MainWindow& window) {
  QStringList outcomes;
  QObject listener;  // ends the connection with this function
  QObject::connect(&window, &MainWindow::sequenceFinished, &listener,
                   [&outcomes](const QString& o) { outcomes << o; });
  window.runCommand(ChainCommand(0, kOpStart));
  return QTest::qWaitFor([&outcomes] { return !outcomes.isEmpty(); }, 120000) &&
         outcomes == QStringList({"Complete"});
}

// The files of the run's output folder, by name, without the summaries and
// chain logs whose times differ from run to run; the folder's own path, which
// reports name, is written as "<folder>".
std::map<std::string, std::string> Outputs(const fs::path& folder) {
  const std::string own = folder.string();
  std::map<std::string, std::string> files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    const std::string ext = entry.path().extension().string();
    // The window keeps its run open, and with it the lock of the chains it
    // ran; the command has let go of its own.
    if (ext == ".Sum" || ext == ".log" || ext == ".rcf" || ext == ".Log" || ext == ".LOG" ||
        ext == ".lock")
      continue;
    std::string bytes = ReadBytes(entry.path());
    for (std::size_t at = bytes.find(own); at != std::string::npos; at = bytes.find(own, at))
      bytes.replace(at, own.size(), "<folder>");
    files[entry.path().filename().string()] = bytes;
  }
  return files;
}

bool AbortButtonVisible(MainWindow& window) {
  for (QAction* a : window.toolBar()->actions())
    if (a->objectName() == "toolAbortReports") return a->isVisible();
  return false;
}

}  // namespace

class ReportTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void allReportsMatchTheCommandLineByteForByte() {
    PreparedRun gui = PrepareExampleRun("gui_reports");
    PreparedRun cli = PrepareExampleRun("gui_reports_cli");
    QVERIFY2(!gui.rcf.empty() && !cli.rcf.empty(), gui.loadOutput.c_str());
    std::string output;
    QCOMPARE(RunCli(cli.folder, {"run", cli.rcf.string(), "--all", "--quiet"}, &output), 0);
    QCOMPARE(RunCli(cli.folder, {"report", cli.rcf.string(), "--all", "--kind", "all", "--quiet"}, &output), 0);

    MainWindow window;
    window.show();
    QVERIFY(window.openRunFile(QString::fromStdString(gui.rcf.string())));
    // The window's chains share their fish among three threads; the command
    // line ran one thread per chain, and the files must not tell them apart.
    window.chainPanel()->threadsPerChainSelector()->setValue(3);
    QCOMPARE(window.session().threadsPerChain, 3);
    ModalAnswerer answerer;
    answerer.answer("Produce Reports?", kIdYes);
    QVERIFY(RunAllChains(window));
    bool abortShown = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] { abortShown = abortShown || AbortButtonVisible(window); });
    watch.start(5);
    window.updateCommandStates();
    QVERIFY(window.action(kCmdAllReports)->isEnabled());
    window.runCommand(kCmdAllReports);
    QVERIFY(answerer.sawText("Produce Reports?"));
    QCOMPARE(window.statusText(1), QString("All Reports complete"));
    QVERIFY(abortShown);
    QVERIFY(!AbortButtonVisible(window));
    SavePicture(window, "main_window_reports_complete");

    const auto mine = Outputs(gui.rcf.parent_path());
    const auto theirs = Outputs(cli.rcf.parent_path());
    std::set<std::string> names;
    for (const auto& [name, bytes] : theirs) names.insert(name);
    for (const auto& [name, bytes] : mine) names.insert(name);
    int reports = 0;
    for (const std::string& name : names) {
      QVERIFY2(mine.count(name) && theirs.count(name), name.c_str());
      QVERIFY2(mine.at(name) == theirs.at(name), name.c_str());
      reports += name.find(".Txt") != std::string::npos ? 1 : 0;
    }
    // Both mixtures: RL, RL_Grp, IDs, SCs, SCs_Grp, GR, GR_Grp.
    QCOMPARE(reports, 14);
    QVERIFY(mine.count("Tavrin25_POP_02_01.Sta") && mine.count("Tavrin25_POP_02_04.Rst"));
    QVERIFY(!answerer.guardFired());
  }

  void abortReportsStopsTheSequencePartway() {
    PreparedRun run = PrepareExampleRun("gui_abort_reports");
    QVERIFY2(!run.rcf.empty(), run.loadOutput.c_str());
    MainWindow window;
    window.show();
    QVERIFY(window.openRunFile(QString::fromStdString(run.rcf.string())));
    ModalAnswerer answerer;
    answerer.answer("Produce Reports?", kIdYes);
    QVERIFY(RunAllChains(window));

    // Once the assignments report is under way: Close is refused, then the
    // reports are aborted.
    bool tried = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, [&] {
      if (tried || !window.statusText(1).startsWith("Producing: Stock Assignments")) return;
      tried = true;
      window.runCommand(kCmdClose);
      window.updateCommandStates();
      QVERIFY(window.action(kCmdAbortReports)->isEnabled());
      QVERIFY(!window.action(kCmdAllReports)->isEnabled());
      SavePicture(window, "main_window_reports_running");
      window.runCommand(kCmdAbortReports);
    });
    watch.start(1);
    window.runCommand(kCmdAllReports);
    watch.stop();
    QVERIFY(tried);
    QVERIFY(answerer.sawText("Still producing reports"));
    QCOMPARE(window.statusText(1), QString("Reports aborted"));
    QVERIFY(window.session().run != nullptr);
    const fs::path out = run.rcf.parent_path();
    QVERIFY(fs::exists(out / "Tavrin25_POP_01_RL.Txt"));
    QVERIFY(!fs::exists(out / "Tavrin25_POP_01_GR.Txt"));
    QVERIFY(!fs::exists(out / "Tavrin25_POP_02_RL.Txt"));  // the second mixture was not begun
    QVERIFY(!AbortButtonVisible(window));
    // The next request runs in full: the abort does not linger.
    window.runCommand(kCmdAllReports);
    QCOMPARE(window.statusText(1), QString("All Reports complete"));
    QVERIFY(fs::exists(out / "Tavrin25_POP_02_GR_Grp.Txt"));
    QVERIFY(!answerer.guardFired());
  }

  void oneReportRunsInTheProcessingWindow() {
    PreparedRun run = PrepareExampleRun("gui_one_report", 200, 2);
    QVERIFY2(!run.rcf.empty(), run.loadOutput.c_str());
    MainWindow window;
    window.show();
    QVERIFY(window.openRunFile(QString::fromStdString(run.rcf.string())));
    ModalAnswerer answerer;
    QVERIFY(RunAllChains(window));
    QString status, title, file;
    int step = 0;  // 0 running, 1 Close asked for, 2 Close refused
    answerer.onModal([&](QWidget* modal) {
      auto* dialog = qobject_cast<ProcessingDialog*>(modal);
      if (dialog == nullptr || !dialog->finished()) return false;
      if (step == 0) {
        status = dialog->statusText();
        title = dialog->windowTitle();
        file = dialog->findChild<QLabel*>("currentFile")->text();
        SavePicture(*dialog, "processing_dialog_finished");
        // Asked from outside this poll, so that its refusal can be answered.
        step = 1;
        QTimer::singleShot(0, &window, [&] {
          window.runCommand(kCmdClose);
          step = 2;
        });
      } else if (step == 2) {
        dialog->abortButton()->click();
      }
      return true;
    });
    QElapsedTimer clock;
    clock.start();
    window.runCommand(kCmdCompositionsByRegion);
    qInfo("report window %lld ms", static_cast<long long>(clock.elapsed()));
    QCOMPARE(title, QString("Stock Compositions"));
    QCOMPARE(status, QString("Finished"));
    // Start All ended on the second mixture, which stays open.
    QVERIFY2(file.endsWith("Tavrin25_POP_02_SCs_Grp.Txt"), qPrintable(file));
    QVERIFY(answerer.sawText("Still working"));
    QVERIFY(fs::exists(run.rcf.parent_path() / "Tavrin25_POP_02_SCs_Grp.Txt"));
    QVERIFY(window.processingDialog() == nullptr);
    QVERIFY(window.closeRun());
    QVERIFY(!answerer.guardFired());
  }
};

MIXORA_GUI_TEST(ReportTest)
#include "report_test.moc"
