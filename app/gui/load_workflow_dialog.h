#pragma once
// The load window ("TCF to RCF..."): a control file, its baseline and its
// mixture loaded step by step with their checks, the log of every step, and
// the run control file (or other files) written from what was loaded.
#include <QDialog>
#include <memory>
#include <string>

#include "core/interaction.h"
#include "input/control.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace mixora::gui {

class WorkflowPanes;

class LoadWorkflowDialog : public QDialog {
  Q_OBJECT
 public:
  // With a path the file is loaded at once and "Convert" writes the run
  // control file and closes the window; without one the file picker opens
  // at once and "Convert" opens the file conversion window.
  LoadWorkflowDialog(QWidget* parent, const Interaction& ui, const QString& path = QString());
  ~LoadWorkflowDialog() override;

  // The run control file written by "Convert" (opened with a path), else "".
  QString runControlFile() const { return rcfPath_; }

  // The window's buttons, as a user presses them.
  void load();
  void loadBaseline();
  void loadMixture();
  void convert();
  void saveLog();
  void clearLog();

  QLineEdit* pathField() const { return path_; }
  QPushButton* button(const QString& text) const;
  WorkflowPanes* panes() const { return panes_; }
  QString kindText() const;
  const Control& control() const { return *control_; }

 private:
  void browse();
  void pathEdited();
  void editFile(int which);
  void showControl();
  void showLog(int result);

  const Interaction& ui_;
  bool openedWithPath_ = false;
  bool loadedOnce_ = false;
  std::unique_ptr<Control> control_;
  std::string controlPath_;
  QString rcfPath_;
  int lastResult_ = 0;
  QLineEdit* path_ = nullptr;
  QLabel* kind_ = nullptr;
  QPushButton* browse_ = nullptr;
  QPushButton* load_ = nullptr;
  QPushButton* base_ = nullptr;
  QPushButton* mix_ = nullptr;
  QPushButton* convert_ = nullptr;
  QPushButton* editControl_ = nullptr;
  QPushButton* editBaseline_ = nullptr;
  QPushButton* editMixture_ = nullptr;
  QPushButton* saveLog_ = nullptr;
  QPushButton* clearLog_ = nullptr;
  WorkflowPanes* panes_ = nullptr;
};

}  // namespace mixora::gui
