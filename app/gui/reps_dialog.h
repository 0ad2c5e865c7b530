#pragma once
// The "New number of reps:" window: a new end for every chain resumed from
// now on, never below the run's current number of reps.
#include <QDialog>
#include <cstdint>

class QLineEdit;
class QLabel;

namespace mixora::gui {

class RepsDialog : public QDialog {
  Q_OBJECT
 public:
  RepsDialog(QWidget* parent, int32_t current);
  int32_t value() const { return value_; }
  QLineEdit* edit() const { return edit_; }

 public Q_SLOTS:
  void accept() override;

 private:
  int32_t current_;
  int32_t value_;
  QLineEdit* edit_ = nullptr;
  QLabel* refusal_ = nullptr;
};

}  // namespace mixora::gui
