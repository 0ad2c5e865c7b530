#pragma once
// "Convert Genepop Label Files": a Genepop baseline and mixture whose fish
// carry their stock labels, converted into a SPAM baseline, a recoded
// mixture and, when asked, a text control file.
#include <QDialog>

#include "core/interaction.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;

namespace mixora::gui {

class GenepopDialog : public QDialog {
  Q_OBJECT
 public:
  GenepopDialog(QWidget* parent, const Interaction& ui);

  enum Field { kBaselineIn, kBaselineOut, kMixtureIn, kMixtureOut, kControl, kFieldCount };
  QLineEdit* field(Field f) const { return fields_[f]; }
  QCheckBox* controlBox() const { return makeControl_; }
  QString statusText() const;
  // Runs "Convert"; returns the conversion's status, or -1 when a name was
  // refused before converting.
  int convert();

 private:
  void browse(Field f);
  void setStatus(const QString& text, int colour);

  const Interaction& ui_;
  QLineEdit* fields_[kFieldCount] = {};
  QCheckBox* makeControl_ = nullptr;
  QPlainTextEdit* status_ = nullptr;
};

}  // namespace mixora::gui
