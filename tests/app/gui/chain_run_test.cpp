// Running chains from the window: Start All through every marked mixture,
// pause and resume, stopping a chain, and Close refused while chains run.
#include <QAction>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTest>
#include <thread>

#include "chain_panel.h"
#include "command_ids.h"
#include "core/interaction.h"
#include "gui_test_support.h"
#include "main_window.h"
#include "mixture_list_model.h"
#include "sampler/chain_runner.h"
#include "sampler/restart_file.h"

using namespace mixora;
using namespace mixora::gui;
using namespace mixora::gui_test;

namespace {

// Which of a panel row's four buttons are enabled, as "SPPR" letters or ".".
QString Enabled(ChainPanel* panel, int row) {
  QString text;
  const char letters[] = "SpPR";
  for (int op = 0; op < 4; ++op)
    text += panel->button(ChainCommand(row, op))->isEnabled() ? QChar(letters[op]) : QChar('.');
  return text;
}

}  // namespace

class ChainRunTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void startAllRunsEveryMarkedMixtureToComplete() {
    PreparedRun run = PrepareExampleRun("gui_start_all");
    QVERIFY2(!run.rcf.empty(), run.loadOutput.c_str());
    MainWindow window;
    window.show();
    QVERIFY(window.openRunFile(QString::fromStdString(run.rcf.string())));
    ModalAnswerer answerer;
    QStringList outcomes;
    connect(&window, &MainWindow::sequenceFinished, this,
            [&outcomes](const QString& o) { outcomes << o; });
    window.runCommand(ChainCommand(0, kOpStart));
    QVERIFY(window.session().liveThreads > 0);
    QVERIFY(!window.mixtureList()->isEnabled());
    SavePicture(window, "main_window_chains_running");
    QTRY_VERIFY_WITH_TIMEOUT(!outcomes.isEmpty(), 120000);
    QCOMPARE(outcomes, QStringList({"Complete"}));
    QVERIFY(answerer.sawText("Complete"));
    QCOMPARE(window.session().run->mixtureIndex, 1);  // the second mixture followed
    MixtureListModel* model = window.mixtureModel();
    for (int row = 0; row < 2; ++row) {
      QCOMPARE(model->data(model->index(row, 4), Qt::DisplayRole).toString(), QString("Finished"));
      QCOMPARE(model->rows()[static_cast<std::size_t>(row)].iterations, 200);
    }
    QVERIFY(window.mixtureList()->isEnabled());
    QCOMPARE(window.chainPanel()->cellText(0, 9), QString("Finished"));
    QVERIFY(window.chainPanel()->cellText(0, 10).endsWith("M"));
    // Finished chains start no more; the reports may now run.
    QCOMPARE(Enabled(window.chainPanel(), 1), QString("S..."));
    window.updateCommandStates();
    QVERIFY(window.action(kCmdAllReports)->isEnabled());
    SavePicture(window, "main_window_complete");
    QVERIFY(!answerer.guardFired());
  }

  void pauseResumeAndStopOneChain() {
    PreparedRun run = PrepareExampleRun("gui_pause", 200, 2);
    QVERIFY2(!run.rcf.empty(), run.loadOutput.c_str());
    MainWindow window;
    window.show();
    QVERIFY(window.openRunFile(QString::fromStdString(run.rcf.string())));
    // Slow chains, so that the test acts while they run.
    window.session().afterIteration = [](Chain&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    };
    ModalAnswerer answerer;
    answerer.answer("Abort Chain?", kIdYes);
    ChainPanel* panel = window.chainPanel();
    QCOMPARE(Enabled(panel, 1), QString("S..."));
    window.runCommand(ChainCommand(0, kOpStart));
    QCOMPARE(Enabled(panel, 1), QString(".pP."));
    QCOMPARE(Enabled(panel, 0), QString(".pP."));

    window.runCommand(ChainCommand(1, kOpPause));
    QCOMPARE(Enabled(panel, 1), QString("...R"));
    QCOMPARE(Enabled(panel, 2), QString(".pP."));
    QCOMPARE(Enabled(panel, 0), QString(".pPR"));
    QTRY_COMPARE_WITH_TIMEOUT(panel->cellText(0, 9), QString("Paused"), 5000);
    // The chain finishes the iteration it is in, then waits.
    QTest::qWait(200);
    const int paused = window.session().chains[0]->iteration.load();
    QTest::qWait(300);
    QCOMPARE(window.session().chains[0]->iteration.load(), paused);
    SavePicture(window, "main_window_chain_paused");

    window.runCommand(ChainCommand(1, kOpResume));
    QCOMPARE(Enabled(panel, 1), QString(".pP."));
    QTRY_VERIFY_WITH_TIMEOUT(window.session().chains[0]->iteration.load() > paused, 5000);

    // Stop chain 2: asked for that chain, it ends as aborted, the other runs on.
    window.runCommand(ChainCommand(2, kOpStop));
    QCOMPARE(answerer.texts.value(0), QString("Abort Chain?"));
    QCOMPARE(answerer.titles.value(0), QString("Mixora - Chain 2"));
    QTRY_VERIFY_WITH_TIMEOUT(!ChainHasThread(window.session(), 1), 10000);
    QCOMPARE(window.session().chains[1]->phase.load(), int(kPhaseAborted));
    QCOMPARE(Enabled(panel, 2), QString("S..."));
    QVERIFY(ChainHasThread(window.session(), 0));
    QVERIFY(window.session().chains[1]->iteration.load() < 200);

    // Close is refused while a chain runs, and the run stays open.
    window.runCommand(kCmdClose);
    QCOMPARE(answerer.texts.last(), QString("Still computing Chains"));
    QVERIFY(window.session().run != nullptr);
    QVERIFY(!window.close());
    QCOMPARE(answerer.texts.last(), QString("Still computing Chains"));

    answerer.answer("Abort All Chains?", kIdYes);
    window.runCommand(ChainCommand(0, kOpStop));
    QTRY_COMPARE_WITH_TIMEOUT(window.session().liveThreads, 0, 10000);
    QVERIFY(window.mixtureList()->isEnabled());
    QVERIFY(window.closeRun());
    QVERIFY(!answerer.sawText("Complete"));
  }

  // Stopped from the window partway through a block and started again, the
  // chains end with the very files of a command-line run that never stopped.
  void stoppedAndStartedAgainGivesTheFilesOfAnUninterruptedRun() {
    PreparedRun straight = PrepareExampleRun("gui_resume_straight", 400, 2);
    QVERIFY2(!straight.rcf.empty(), straight.loadOutput.c_str());
    std::string output;
    QCOMPARE(RunCli(straight.folder, {"run", straight.rcf.string(), "--quiet"}, &output), 0);

    PreparedRun run = PrepareExampleRun("gui_resume", 400, 2);
    QVERIFY2(!run.rcf.empty(), run.loadOutput.c_str());
    MainWindow window;
    window.show();
    QVERIFY(window.openRunFile(QString::fromStdString(run.rcf.string())));
    // Each chain waits at an iteration inside a block until Stop is pressed,
    // so the stop lands where the test knows.
    window.session().afterIteration = [](Chain& chain) {
      if (chain.iteration.load() != (chain.index == 0 ? 237 : 151)) return;
      for (int i = 0; i < 4000 && chain.abortRequested.load() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    };
    ModalAnswerer answerer;
    answerer.answer("Abort All Chains?", kIdYes);
    QStringList outcomes;
    connect(&window, &MainWindow::sequenceFinished, this,
            [&outcomes](const QString& o) { outcomes << o; });
    window.runCommand(ChainCommand(0, kOpStart));
    QTRY_VERIFY_WITH_TIMEOUT(window.session().chains[0]->iteration.load() == 237 &&
                                 window.session().chains[1]->iteration.load() == 151,
                             60000);
    window.runCommand(ChainCommand(0, kOpStop));
    QTRY_COMPARE_WITH_TIMEOUT(window.session().liveThreads, 0, 60000);
    QCOMPARE(window.session().chains[0]->iteration.load(), 237);
    QCOMPARE(window.session().chains[1]->iteration.load(), 151);
    window.session().afterIteration = nullptr;

    window.runCommand(ChainCommand(0, kOpStart));
    QTRY_VERIFY_WITH_TIMEOUT(outcomes.contains("Complete"), 120000);
    for (const char* name : {"Tavrin25_POP_01_01.Sta", "Tavrin25_POP_01_01.Ise",
                             "Tavrin25_POP_01_01.Rst", "Tavrin25_POP_01_02.Sta",
                             "Tavrin25_POP_01_02.Ise", "Tavrin25_POP_01_02.Rst"}) {
      const std::string want = ReadBytes(straight.rcf.parent_path() / name);
      QVERIFY2(!want.empty(), name);
      QVERIFY2(ReadBytes(run.rcf.parent_path() / name) == want, name);
    }
    QVERIFY(!answerer.guardFired());
  }

  void minimisedWindowShowsProgressInItsTitle() {
    PreparedRun run = PrepareExampleRun("gui_minimised", 200, 2);
    QVERIFY2(!run.rcf.empty(), run.loadOutput.c_str());
    MainWindow window;
    window.show();
    QVERIFY(window.openRunFile(QString::fromStdString(run.rcf.string())));
    window.session().afterIteration = [](Chain&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
    ModalAnswerer answerer;
    answerer.answer("Abort All Chains?", kIdYes);
    window.runCommand(ChainCommand(0, kOpStart));
    window.showMinimized();
    const QRegularExpression progress("^[0-9]+% of Tavrin25_POP_01$");
    QTRY_VERIFY_WITH_TIMEOUT(progress.match(window.windowTitle()).hasMatch(), 10000);
    window.showNormal();
    QCOMPARE(window.windowTitle(), QString("Mixora - Tavrin25_POP_01"));
    window.runCommand(ChainCommand(0, kOpStop));
    QTRY_COMPARE_WITH_TIMEOUT(window.session().liveThreads, 0, 10000);
  }

  void shutdownStopsEveryChainWithItsSamplesSaved() {
    PreparedRun run = PrepareExampleRun("gui_shutdown", 200, 2);
    QVERIFY2(!run.rcf.empty(), run.loadOutput.c_str());
    MainWindow window;
    window.show();
    QVERIFY(window.openRunFile(QString::fromStdString(run.rcf.string())));
    window.session().afterIteration = [](Chain&) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
    ModalAnswerer answerer;
    window.runCommand(ChainCommand(0, kOpStart));
    QTRY_VERIFY_WITH_TIMEOUT(window.session().chains[0]->iteration.load() > 3 &&
                                 window.session().chains[1]->iteration.load() > 3,
                             10000);
    window.honourShutdown();
    QVERIFY(window.session().run == nullptr);
    QCOMPARE(window.statusText(0), QString(" All threads finished"));
    // Nobody was asked anything, and each chain saved where it stopped.
    QVERIFY(answerer.texts.isEmpty());
    for (const char* name : {"Tavrin25_POP_01_01.Rst", "Tavrin25_POP_01_02.Rst"}) {
      RestartChainValues values;
      QCOMPARE(ReadRestartChainValues((run.rcf.parent_path() / name).string(), values), 1);
      QVERIFY(values.iteration > 3 && values.iteration < 200);
    }
  }
};

MIXORA_GUI_TEST(ChainRunTest)
#include "chain_run_test.moc"
