// The chart pane in the window: it follows the open mixture while its chains
// run, never finds a damaged file on the way, and the Reports menu writes
// the same pictures the command line draws.
#include <QAction>
#include <QDockWidget>
#include <QTest>
#include <filesystem>

#include "chart_pane.h"
#include "chart_pane_hookup.h"
#include "command_ids.h"
#include "file_pickers.h"
#include "gui_test_support.h"
#include "main_window.h"
#include "support/temp_folder.h"

using namespace mixora;
using namespace mixora::gui;
using namespace mixora::gui_test;
namespace fs = std::filesystem;

class ChartHookupTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void paneFollowsRunningChainsAndTheMenuSavesThePictures() {
    PreparedRun run = PrepareRun(fs::path(MIXORA_EXAMPLES_DIR) / "tavrin", "tavrin.tcf",
                                 {{"NumberOfReps", "3000"},
                                  {"NumberOfChains", "3"},
                                  {"SaveEvery", "100"},
                                  {"Timer", "100"}},
                                 "charts");
    QVERIFY2(!run.rcf.empty(), run.loadOutput.c_str());
    // Declared before the window: its connections may fire until it is gone.
    int refreshes = 0, unsound = 0, midRun = 0;
    QStringList outcomes;
    ModalAnswerer answerer;
    MainWindow window;
    const ChartHookup hookup = AttachChartPane(window);
    QVERIFY(hookup.pane != nullptr && hookup.saveCharts != nullptr);
    QObject::connect(hookup.pane, &charts::ChartPane::refreshed, &window, [&](bool sound) {
      ++refreshes;
      if (!sound) ++unsound;
      const uint32_t records = hookup.pane->CommonRecords();
      if (records > 0 && records < 3000) ++midRun;
    });
    window.show();
    QVERIFY(window.openRunFile(QString::fromStdString(run.rcf.string())));
    QObject::connect(&window, &MainWindow::sequenceFinished, &window,
                     [&outcomes](const QString& o) { outcomes << o; });
    window.runCommand(ChainCommand(0, kOpStart));
    QVERIFY(QTest::qWaitFor([&outcomes] { return !outcomes.isEmpty(); }, 120000));
    hookup.pane->Refresh();
    QCOMPARE(unsound, 0);
    QVERIFY2(refreshes > 1, qPrintable(QString::number(refreshes)));
    QVERIFY(hookup.pane->GelmanRubinText().startsWith("Gelman-Rubin (live): "));
    SavePicture(window, "window_with_charts");

    hookup.saveCharts->trigger();
    for (const char* name : {"Compositions", "Compositions_Chains", "Traces", "Convergence",
                             "Assignments"}) {
      bool found = false;
      for (const auto& entry : fs::directory_iterator(run.rcf.parent_path()))
        found = found || entry.path().filename().string().find(std::string("_") + name + ".svg") !=
                             std::string::npos;
      QVERIFY2(found, name);
    }
    // The end of the sequence is the only box: the pane and the pictures ask nothing.
    QCOMPARE(answerer.texts, QStringList({"Complete"}));
    QVERIFY(window.closeRun());
    Q_UNUSED(midRun);
  }

  // Reports draws the charts of a baseline assessment from the tables that
  // mixora assess wrote, with no run open.
  void menuDrawsTheAssessmentOfTheTablesAssessWrote() {
    testing_support::ScopedTempFolder folder("gui_assessment");
    const fs::path baseline =
        fs::path(MIXORA_EXAMPLES_DIR) / "tavrin_label" / "tavrin_label_baseline.gen";
    std::string output;
    QCOMPARE(RunCli(folder.path(),
                    {"assess", baseline.string(), "-o", (folder.path() / "tavrin").string(), "--quiet"},
                    &output),
             0);
    const fs::path table = folder.path() / "tavrin_selfassign.csv";
    Pickers().openFile = [&table](QWidget*, const QString&, const QString&, const QString&) {
      return QString::fromStdString(table.string());
    };
    ModalAnswerer answerer;
    MainWindow window;
    const ChartHookup hookup = AttachChartPane(window);
    QVERIFY(hookup.saveAssessmentCharts != nullptr);
    hookup.saveAssessmentCharts->trigger();
    ResetPickers();
    QVERIFY(fs::file_size(folder.path() / "tavrin_SelfAssign_Stocks.svg") > 1000);
    QVERIFY(fs::file_size(folder.path() / "tavrin_SelfAssign_Grp1.svg") > 1000);
    QVERIFY2(answerer.texts.isEmpty(), qPrintable(answerer.texts.join("; ")));
  }
};

MIXORA_GUI_TEST(ChartHookupTest)
#include "chart_hookup_test.moc"
