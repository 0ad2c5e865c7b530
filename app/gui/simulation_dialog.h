#pragma once
// "Mixora Mixture Simulation": a mixture of known composition drawn from a
// baseline, as a mixture simulation control file describes it.
#include <QDialog>

#include "core/interaction.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace mixora::gui {

class SimulationDialog : public QDialog {
  Q_OBJECT
 public:
  SimulationDialog(QWidget* parent, const Interaction& ui);

  QLineEdit* pathField() const { return path_; }
  QPushButton* editButton() const { return edit_; }
  QPushButton* makeButton() const { return make_; }
  QString statusText() const;
  // Runs "Make"; returns the simulation's result (0 success).
  int make();

 private:
  void pathEdited();

  const Interaction& ui_;
  QLineEdit* path_ = nullptr;
  QPushButton* edit_ = nullptr;
  QPushButton* make_ = nullptr;
  QPlainTextEdit* status_ = nullptr;
};

}  // namespace mixora::gui
