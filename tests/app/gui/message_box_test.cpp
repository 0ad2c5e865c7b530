// The program's message box: button sets, answers, titles and colours, and
// the answers it gives by itself while a shutdown is honoured.
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "core/interaction.h"
#include "gui_colours.h"
#include "gui_test_support.h"
#include "message_box.h"

using namespace mixora;
using namespace mixora::gui;

class MessageBoxTest : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void buttonSetsShowTheirTextsAndAnswerTheirIdentifiers() {
    struct Case {
      uint32_t type;
      QStringList texts;
      int pressed;  // index of the button pressed
      int answer;
    } cases[] = {
        {kMbOk, {"OK"}, 0, kIdOk},
        {kMbOkCancel, {"OK", "Cancel"}, 1, kIdCancel},
        {kMbAbortRetryIgnore, {"&Abort", "&Retry", "&Ignore"}, 2, kIdIgnore},
        {kMbYesNoCancel, {"&Yes", "&No", "Cancel"}, 0, kIdYes},
        {kMbYesNo, {"&Yes", "&No"}, 1, kIdNo},
        {kMbRetryCancel, {"&Retry", "Cancel"}, 0, kIdRetry},
        {kMbNewRunUseRunCancel, {"New Run", "Use Run", "Cancel"}, 1, kIdUseRun},
        {kMbYesToAllYesNo, {"Yes to All", "&Yes", "&No"}, 0, kIdYesToAll},
    };
    for (const Case& c : cases) {
      MessageBoxDialog box(nullptr, c.type | kMbIconQuestion, "Question?", 0);
      QList<QPushButton*> buttons = box.findChildren<QPushButton*>();
      std::sort(buttons.begin(), buttons.end(),
                [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
      QStringList texts;
      for (QPushButton* b : buttons) texts << b->text();
      QCOMPARE(texts, c.texts);
      // The buttons sit left to right in the order of the set.
      box.show();
      QApplication::processEvents();
      std::sort(buttons.begin(), buttons.end(),
                [](QPushButton* a, QPushButton* b) { return a->x() < b->x(); });
      texts.clear();
      for (QPushButton* b : buttons) texts << b->text();
      QCOMPARE(texts, c.texts);
      buttons[c.pressed]->click();
      QCOMPARE(box.answer(), c.answer);
      if (c.type == kMbYesNo) mixora::gui_test::SavePicture(box, "message_box_yes_no");
    }
  }

  void chainBoxesCarryTheChainTitleAndColour() {
    MessageBoxDialog plain(nullptr, kMbIconWarning, "Still computing Chains", 0);
    QCOMPARE(plain.windowTitle(), QString("Mixora"));
    // The chain number in the type wins over the asking thread's chain.
    QCOMPARE(MessageChain(kMbIconError | MessageForChain(3), 2), 3);
    QCOMPARE(MessageChain(kMbIconError, 2), 2);
    MessageBoxDialog chain(nullptr, uint32_t{kMbYesNo} | kMbIconError | MessageForChain(3), "Abort Chain?",
                           MessageChain(uint32_t{kMbYesNo} | kMbIconError | MessageForChain(3), 0));
    QCOMPARE(chain.windowTitle(), QString("Mixora - Chain 3"));
    QCOMPARE(chain.palette().color(QPalette::Window), ColourOfChain(2));
    QCOMPARE(ColourOfChain(2), QColor(0xFF, 0xCC, 0xCC));  // 0xCCCCFF as 0x00BBGGRR
    mixora::gui_test::SavePicture(chain, "message_box_chain_3");
  }

  void textKeepsItsLinesWithoutCarriageReturns() {
    MessageBoxDialog box(nullptr, kMbIconError, "Cannot Open\r\nrun.Rst\r\nfor reading", 0);
    QCOMPARE(box.text(), QString("Cannot Open\nrun.Rst\nfor reading"));
    const QString system = SystemMessageText("Cannot start the chain", "run_01.log", ENOENT);
    QVERIFY(system.startsWith("System Message:\r\nCannot start the chain:\r\nrun_01.log\r\n"));
    QVERIFY(system.endsWith("No such file or directory"));
  }

  void shutdownAnswersWithoutShowing() {
    struct Case {
      uint32_t type;
      int answer;
    } cases[] = {{kMbOk, kIdOk}, {kMbYesNo, kIdYes}, {kMbNewRunUseRunCancel, kIdCancel},
                 {kMbYesToAllYesNo, kIdNo}, {kMbOkCancel, 0}, {kMbYesNoCancel, 0}};
    for (const Case& c : cases) QCOMPARE(ShutdownAnswer(c.type | kMbIconWarning), c.answer);
    MessageBoxOptions options;
    options.shutdown = true;
    // Shown types would block; the answered ones return at once.
    QCOMPARE(ShowMessageBox(nullptr, kMbYesToAllYesNo, "Overwrite x", options), int(kIdNo));
    QCOMPARE(ShowMessageBox(nullptr, kMbYesNo, "Abort All Chains?", options), int(kIdYes));
  }

  void closingTheBoxGivesCancelOrTheOnlyAnswer() {
    mixora::gui_test::ModalAnswerer answerer;
    // Closed without a button: the answerer's default is the close answer.
    QCOMPARE(ShowMessageBox(nullptr, kMbYesNoCancel, "Save?", MessageBoxOptions{true, false, 0}),
             int(kIdCancel));
    QCOMPARE(ShowMessageBox(nullptr, kMbOk, "Complete", MessageBoxOptions{true, false, 0}), int(kIdOk));
    QCOMPARE(answerer.texts, QStringList({"Save?", "Complete"}));
  }
};

MIXORA_GUI_TEST(MessageBoxTest)
#include "message_box_test.moc"
