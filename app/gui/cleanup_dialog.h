#pragma once
// "Cleanup Mixora files": the files the open run's folder holds, counted and
// sized kind by kind, and the checked kinds deleted.
#include <QDialog>
#include <array>
#include <string>

#include "tools/cleanup.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace mixora::gui {

class CleanupDialog : public QDialog {
  Q_OBJECT
 public:
  CleanupDialog(QWidget* parent, const std::string& folder);

  void refresh();
  // "Clean": deletes the checked kinds, then counts again.
  void clean();

  QCheckBox* box(int kind) const { return boxes_[kind]; }
  QPushButton* cleanButton() const { return clean_; }
  // The count and size shown in a row; rows kCleanupKindCount and + 1 are
  // "Total:" and "Total to clean:".
  QString countText(int row) const;
  QString sizeText(int row) const;
  // The line naming running chains whose files are left alone; hidden when
  // none runs.
  QLabel* runningNote() const { return running_; }

 private:
  std::string folder_;
  std::array<QCheckBox*, kCleanupKindCount> boxes_{};
  std::array<QLabel*, kCleanupKindCount + 2> counts_{};
  std::array<QLabel*, kCleanupKindCount + 2> sizes_{};
  QPushButton* clean_ = nullptr;
  QLabel* running_ = nullptr;
};

}  // namespace mixora::gui
