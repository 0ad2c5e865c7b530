#pragma once
// "Check Data Files...": the header values of a chain's two sample files and
// the chain values of its restart file, chain by chain.
#include <QDialog>
#include <map>

#include "runfiles/run_record.h"

class QLabel;
class QSpinBox;

namespace mixora::gui {

class FileIdentificationDialog : public QDialog {
  Q_OBJECT
 public:
  FileIdentificationDialog(QWidget* parent, const RunRecord& run);

  QSpinBox* chainBox() const { return chain_; }
  // The value shown under a label ("ISE Stocks:", "STA Recs:", "Restart Seed1:", ...).
  QString value(const QString& key) const;

 private:
  void fill(int chain);

  const RunRecord& run_;
  QSpinBox* chain_ = nullptr;
  std::map<QString, QLabel*> values_;
};

}  // namespace mixora::gui
