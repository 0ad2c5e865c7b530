// The desktop and the chains' files: a refused restart file is explained
// when Start does nothing, and leaves no lock behind; an extension stopped
// part-way is shown and continued from the files alone.
#include <QTableView>
#include <QTest>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "chain_panel.h"
#include "command_ids.h"
#include "gui_test_support.h"
#include "main_window.h"
#include "mixture_list_model.h"
#include "sampler/chain_runner.h"
#include "sampler/mixture_runner.h"
#include "sampler/restart_file.h"

using namespace mixora;
using namespace mixora::gui;
using namespace mixora::gui_test;

namespace {

int LockFiles(const std::filesystem::path& folder) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == ".lock") ++count;
  return count;
}

}  // namespace

class ChainFilesTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void refusedRestartFileIsExplainedAndLeavesNoLock() {
    PreparedRun run = PrepareSmallRun("gui_refused_restart");
    QVERIFY2(!run.rcf.empty(), run.loadOutput.c_str());
    QCOMPARE(RunCli(run.folder, {"run", run.rcf.string(), "--quiet"}), 0);
    // The first chain's ThinIse check value no longer fits the run.
    const std::filesystem::path rst = run.rcf.parent_path() / "Small te_POP_01_01.Rst";
    std::string bytes = ReadBytes(rst);
    const int32_t thin = 7;
    bytes.replace(68, 4, reinterpret_cast<const char*>(&thin), 4);
    std::ofstream(rst, std::ios::binary | std::ios::trunc) << bytes;

    MainWindow window;
    window.show();
    ModalAnswerer answerer;
    QVERIFY(window.openRunFile(QString::fromStdString(run.rcf.string())));
    QVERIFY(answerer.sawText("Invalid Restart File:"));
    const int shown = answerer.texts.size();
    window.runCommand(ChainCommand(0, kOpStart));
    QTRY_COMPARE_WITH_TIMEOUT(window.session().liveThreads, 0, 10000);
    QCOMPARE(answerer.texts.size(), shown + 1);
    const QString said = answerer.texts.last();
    QVERIFY2(said.contains("THINISE: RST = 7, TCF = 1"), qPrintable(said));
    QVERIFY2(said.contains("Chain 1 was not started because its restart file was refused; "
                           "nothing of it was changed."),
             qPrintable(said));
    QVERIFY2(said.contains("Checking \"Rerun\" and pressing Start starts that chain afresh"),
             qPrintable(said));
    QCOMPARE(answerer.titles.last(), QString("Mixora - Chain 1"));
    QCOMPARE(LockFiles(run.rcf.parent_path()), 0);
    QVERIFY(window.mixtureList()->isEnabled());
    QCOMPARE(ReadBytes(rst), bytes);
    QVERIFY(window.closeRun());
    QCOMPARE(LockFiles(run.rcf.parent_path()), 0);
  }

  void reopenedExtensionShowsPartialAndStartAllFinishesIt() {
    PreparedRun run = PrepareSmallRun("gui_extension");
    QVERIFY2(!run.rcf.empty(), run.loadOutput.c_str());
    QCOMPARE(RunCli(run.folder, {"run", run.rcf.string(), "--quiet"}), 0);
    // An extension to 400, stopped at 250, as any front end leaves it.
    std::atomic<int> stop{0};
    MixtureRunOptions options;
    options.mixtures = {0};
    options.reps = 400;
    options.stopRequested = &stop;
    options.afterIteration = [&stop](Chain& chain) {
      // Each chain stops where it is, as Stop does, before the runner sees
    // the request.
    if (chain.iteration.load() < 250) return;
    chain.abortRequested.store(1);
    stop.store(1);
    };
    MixtureRunOutcome outcome;
    RunMixtures(run.rcf.string(), options, Interaction{}, {}, outcome);
    QVERIFY(outcome.stopped);

    MainWindow window;
    window.show();
    ModalAnswerer answerer;
    QVERIFY(window.openRunFile(QString::fromStdString(run.rcf.string())));
    MixtureListModel* model = window.mixtureModel();
    QCOMPARE(model->data(model->index(0, 4), Qt::DisplayRole).toString(), QString("Partial"));
    QCOMPARE(model->data(model->index(1, 4), Qt::DisplayRole).toString(), QString("Not Started"));
    const QString box = window.chainPanel()->runBoxText();
    QVERIFY2(box.startsWith("Iterations: 400\n"), qPrintable(box));
    SavePicture(window, "main_window_extension_partial");

    model->markAll(false);
    model->setData(model->index(0, 0), Qt::Checked, Qt::CheckStateRole);
    QStringList outcomes;
    connect(&window, &MainWindow::sequenceFinished, this,
            [&outcomes](const QString& o) { outcomes << o; });
    window.runCommand(ChainCommand(0, kOpStart));
    QTRY_VERIFY_WITH_TIMEOUT(!outcomes.isEmpty(), 60000);
    for (const char* name : {"Small te_POP_01_01.Rst", "Small te_POP_01_02.Rst"}) {
      RestartChainValues values;
      QCOMPARE(ReadRestartChainValues((run.rcf.parent_path() / name).string(), values), 1);
      QCOMPARE(values.iteration, 400);
    }
    QCOMPARE(model->data(model->index(0, 4), Qt::DisplayRole).toString(), QString("Finished"));
    QVERIFY(!answerer.guardFired());
  }
};

MIXORA_GUI_TEST(ChainFilesTest)
#include "chain_files_test.moc"
