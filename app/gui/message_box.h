#pragma once
// The program's own modal message box: the button sets and icons of the
// message type word, the beep of its icon, and the title and colour of the
// chain it speaks for.
#include <QDialog>
#include <QString>
#include <cstdint>

class QLabel;

namespace mixora::gui {

struct MessageBoxOptions {
  bool quiet = false;     // no beep
  bool shutdown = false;  // a shutdown is being honoured: answer without asking
  int threadChain = 0;    // the chain (from 1) whose thread asks, 0 for none
};

// The answer a box gives without being shown while a shutdown is honoured:
// OK for type 0, Yes for 4, Cancel for 6 and No for 7; 0 for the types that
// must still be shown.
int ShutdownAnswer(uint32_t type);

// Button texts of a type, left to right, and their identifiers.
struct MessageButton {
  const char* text;
  int id;
};
int MessageButtonsOf(uint32_t type, MessageButton out[3]);

// The chain a box is titled for: the number in the high 16 bits of the type,
// else the asking chain thread's, else 0.
int MessageChain(uint32_t type, int threadChain);

class MessageBoxDialog : public QDialog {
  Q_OBJECT
 public:
  MessageBoxDialog(QWidget* parent, uint32_t type, const QString& text, int chain);
  int answer() const { return answer_; }
  QString text() const;

 private:
  int answer_ = 0;
  QLabel* textLabel_ = nullptr;
};

// Shows the box modally and returns the identifier of the pressed button
// (Cancel's, or OK's for a box without Cancel, when it is closed otherwise).
int ShowMessageBox(QWidget* parent, uint32_t type, const QString& text,
                   const MessageBoxOptions& options);

// The text of a failure of the operating system: the caller's two texts and
// the system's description of error number err.
QString SystemMessageText(const QString& what, const QString& detail, int err);

}  // namespace mixora::gui
