// The chain panel of an open run: the cells of chains that have not run,
// the colours, and the scrolling of runs with more than ten chains.
#include <QComboBox>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTest>

#include "chain_panel.h"
#include "chain_panel_texts.h"
#include "command_ids.h"
#include "core/chain_colours.h"
#include "gui_test_support.h"
#include "main_window.h"
#include "sampler/chain_workers.h"

using namespace mixora;
using namespace mixora::gui;
using namespace mixora::gui_test;

class ChainPanelTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void aChainThatHasNotRunSaysSo() {
    PreparedRun run = PrepareSmallRun("gui_panel");
    QVERIFY2(!run.rcf.empty(), run.loadOutput.c_str());
    MainWindow window;
    QVERIFY(window.openRunFile(QString::fromStdString(run.rcf.string())));
    ChainPanel* panel = window.chainPanel();
    struct Cell {
      int row;
      QString text;
    } cells[] = {{0, "11"}, {4, "Press Start"}, {5, "0"}, {6, "100"}, {8, "None"},
                 {9, "Not Started"}, {10, "Init Done"}, {3, "0:00"}};
    for (const Cell& c : cells)
      QCOMPARE(panel->cellText(0, c.row), c.text);
    QCOMPARE(panel->button(ChainCommand(2, kOpStart))->text(), QString("Start 2"));
    QCOMPARE(panel->button(ChainCommand(2, kOpResume))->text(), QString("Resume 2"));
    QVERIFY(panel->button(ChainCommand(2, kOpStart))->isEnabled());
    QVERIFY(!panel->button(ChainCommand(2, kOpPause))->isEnabled());
    QCOMPARE(panel->prioritySelector(1)->currentText(), QString("Lower"));
    QCOMPARE(panel->prioritySelector(1)->count(), 4);
    QVERIFY(!panel->processCpuText().isEmpty());
    // One thread per chain unless the user asks for more; the choice is the
    // session's, for the chains started next.
    QSpinBox* threads = panel->threadsPerChainSelector();
    QCOMPARE(threads->value(), 1);
    QCOMPARE(threads->maximum(), kMaxThreadsPerChain);
    threads->setValue(2);
    QCOMPARE(window.session().threadsPerChain, 2);
    window.show();
    SavePicture(window, "main_window_threads_per_chain");
  }

  void chainColoursCycleThroughTheTable() {
    // Chains take colours 1..10 in turn; the "All" row keeps colour 0.
    const int expected[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 1, 2};
    for (int chain = 0; chain < 12; ++chain) QCOMPARE(ChainColourIndex(chain), expected[chain]);
    QCOMPARE(kChainColours[0], 0xFFFFFFu);
    QCOMPARE(kChainColours[10], 0x009999u);
  }

  void twelveChainsScrollTenAtATime() {
    PreparedRun run = PrepareSmallRun("gui_twelve", 12);
    QVERIFY2(!run.rcf.empty(), run.loadOutput.c_str());
    MainWindow window;
    window.show();
    QVERIFY(window.openRunFile(QString::fromStdString(run.rcf.string())));
    ChainPanel* panel = window.chainPanel();
    QScrollBar* scroll = panel->scrollBar();
    QVERIFY(scroll->isVisible());
    QCOMPARE(scroll->minimum(), 0);
    QCOMPARE(scroll->maximum(), 2);
    QVERIFY(panel->runBoxText().size() > 0);
    QCOMPARE(panel->cellText(10, 9), QString());  // chain 11 is out of view
    SavePicture(window, "main_window_twelve_chains");
    scroll->setValue(2);
    QCOMPARE(panel->firstVisible(), 2);
    QCOMPARE(panel->button(ChainCommand(1, kOpStart))->text(), QString("Start 3"));
    QCOMPARE(panel->button(ChainCommand(10, kOpPause))->text(), QString("Pause 12"));
    QCOMPARE(panel->cellText(11, 9), QString("Not Started"));
    QCOMPARE(panel->cellText(0, 9), QString());
    // Scrolling stops once the last chain is in view.
    panel->setFirstVisible(5);
    QCOMPARE(panel->firstVisible(), 2);
    SavePicture(window, "main_window_twelve_chains_scrolled");
  }
};

MIXORA_GUI_TEST(ChainPanelTest)
#include "chain_panel_test.moc"
