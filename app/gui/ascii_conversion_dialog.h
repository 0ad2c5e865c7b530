#pragma once
// "Convert Files to ASCII": which sample files of the open run to convert,
// into which folder, how many trailing records, ASCII or binary graph.
#include <QDialog>

#include "reports/report_job.h"
#include "runfiles/run_record.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace mixora::gui {

class AsciiConversionDialog : public QDialog {
  Q_OBJECT
 public:
  // run: the open run; rcfPath: its run control file.
  AsciiConversionDialog(QWidget* parent, RunRecord& run, const QString& rcfPath);

  // The choices after OK.
  const ConversionSettings& settings() const { return settings_; }

  QCheckBox* kindBox(int which) const { return kinds_[which]; }
  QRadioButton* binaryGraph() const { return binary_; }
  QLineEdit* folderField() const { return folder_; }
  QSpinBox* keepField() const { return keep_; }
  QLineEdit* totalField() const { return total_; }
  // OK as the button does: false (window stays open) without a folder or kind.
  bool confirm();

 private:
  ConversionSettings settings_;
  QCheckBox* kinds_[3] = {nullptr, nullptr, nullptr};
  QRadioButton* ascii_ = nullptr;
  QRadioButton* binary_ = nullptr;
  QLineEdit* folder_ = nullptr;
  QLineEdit* total_ = nullptr;
  QSpinBox* keep_ = nullptr;
};

}  // namespace mixora::gui
