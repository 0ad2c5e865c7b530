#pragma once
// "Mixora File Conversion": writes a loaded run as a run control file and,
// beside it, a control file, baseline and mixture in the formats chosen; or,
// opened with a run read from a run control file, writes those text files.
#include <QDialog>
#include <string>

#include "core/interaction.h"
#include "input/control.h"
#include "runfiles/run_record.h"
#include "formats/run_file_export.h"

class QButtonGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace mixora::gui {

class FileConversionDialog : public QDialog {
  Q_OBJECT
 public:
  // With a loaded and checked Control (from the load window).
  FileConversionDialog(QWidget* parent, const Interaction& ui, Control& control,
                       const std::string& controlPath);
  // With a run read from a run control file (from the run control file window).
  FileConversionDialog(QWidget* parent, const Interaction& ui, const RunRecord& run,
                       const std::string& rcfPath);

  // Runs "Convert" with what the window shows. Returns true when files were made.
  bool convert();
  bool filesMade() const { return filesMade_; }

  QLineEdit* outputName() const { return output_; }
  QCheckBox* box(int which) const { return boxes_[which]; }
  // which: 0 control, 1 baseline, 2 mixture; choice: index in the window's order.
  void choose(int which, int choice);
  QString statusText() const;

 private:
  void build(const QString& runName);
  void browse();
  void enableChoices();
  RunFileChoices choicesShown() const;
  // The names Convert would write, none of which may be an input of the run.
  std::string refusedOutput(const std::string& name) const;

  const Interaction& ui_;
  Control* control_ = nullptr;
  const RunRecord* run_ = nullptr;
  std::string inputPath_;
  bool filesMade_ = false;
  QLineEdit* output_ = nullptr;
  QCheckBox* boxes_[3] = {nullptr, nullptr, nullptr};
  QButtonGroup* choices_[3] = {nullptr, nullptr, nullptr};
  QLabel* status_ = nullptr;
  QPushButton* convert_ = nullptr;
};

}  // namespace mixora::gui
