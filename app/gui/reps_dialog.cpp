#include "reps_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

#include "command_ids.h"
#include "sampler/restart_file.h"

namespace mixora::gui {

RepsDialog::RepsDialog(QWidget* parent, int32_t current)
    : QDialog(parent), current_(current), value_(current) {
  setObjectName("repsDialog");
  setWindowTitle(kProgramName);
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  auto* shown = new QLabel(QString::number(current), this);
  shown->setObjectName("current");
  form->addRow("Current number of reps:", shown);
  edit_ = new QLineEdit(QString::number(current), this);
  edit_->setObjectName("newReps");
  edit_->setValidator(new QIntValidator(1, kMaxNumberOfReps, edit_));
  form->addRow("New number of reps:", edit_);
  layout->addLayout(form);
  refusal_ = new QLabel(this);
  refusal_->setObjectName("refusal");
  refusal_->hide();
  layout->addWidget(refusal_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &RepsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &RepsDialog::reject);
  layout->addWidget(buttons);
}

void RepsDialog::accept() {
  bool number = false;
  const qlonglong wanted = edit_->text().toLongLong(&number);
  // A smaller value would cut off iterations the chains have already saved;
  // the window stays open so the value can be corrected.
  if (!number || wanted > kMaxNumberOfReps ||
      !AcceptNumberOfReps(static_cast<int32_t>(wanted), current_)) {
    refusal_->setText(QString("At least %1").arg(current_));
    refusal_->show();
    return;
  }
  value_ = static_cast<int32_t>(wanted);
  QDialog::accept();
}

}  // namespace mixora::gui
