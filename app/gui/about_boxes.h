#pragma once
// Help, About and How to Cite.
#include <QDialog>
#include <QString>

#include "core/interaction.h"

class QPlainTextEdit;

namespace mixora::gui {

// The text of the About box: the program, its version, when it was built,
// the Qt it runs on and where the project lives.
QString AboutText();

// The suggested citation of the program.
QString CitationText();
// The web address in the citation text.
QString CitationAddress();

// Where the user manual's first page lies beside the installed program (or
// in the source tree of a build), "" when it is nowhere.
QString ManualIndexPath();

// Opens the user manual in the default browser; says so when it is missing.
void OpenManual(const Interaction& ui);

// The citation box: the text, Copy, Goto and Done.
class CitationDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CitationDialog(QWidget* parent);
  void copy();
  void goTo();

 private:
  QPlainTextEdit* text_ = nullptr;
};

}  // namespace mixora::gui
