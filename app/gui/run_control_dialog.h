#pragma once
// The run control file window ("RCF to TCF..."): a run control file read
// back and shown, from which the file conversion window writes text files.
#include <QDialog>
#include <memory>

#include "core/interaction.h"
#include "core/log_buffer.h"
#include "runfiles/run_record.h"

class QLineEdit;
class QPushButton;

namespace mixora::gui {

class WorkflowPanes;

class RunControlDialog : public QDialog {
  Q_OBJECT
 public:
  RunControlDialog(QWidget* parent, const Interaction& ui);

  void load();
  void convert();
  QLineEdit* pathField() const { return path_; }
  WorkflowPanes* panes() const { return panes_; }
  const RunRecord* run() const { return run_.get(); }

 private:
  void showLog();

  const Interaction& ui_;
  std::unique_ptr<RunRecord> run_;
  LogBuffer log_;
  QLineEdit* path_ = nullptr;
  QPushButton* convert_ = nullptr;
  WorkflowPanes* panes_ = nullptr;
};

}  // namespace mixora::gui
