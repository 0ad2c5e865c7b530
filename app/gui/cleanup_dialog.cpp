#include "cleanup_dialog.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "workflow_panes.h"

namespace mixora::gui {

CleanupDialog::CleanupDialog(QWidget* parent, const std::string& folder) : QDialog(parent), folder_(folder) {
  setWindowTitle("Cleanup Mixora files");
  setModal(true);
  setWindowIcon(QApplication::windowIcon());
  // The texts stand on the first chain colour, as the rest of the program's
  // panels do.
  setStyleSheet(QString("QDialog { background: %1; }").arg(ColourName(0xFFFFFF)));
  auto* layout = new QVBoxLayout(this);
  auto* folderLabel = new QLabel(QString("Folder: %1").arg(QString::fromStdString(folder)), this);
  folderLabel->setObjectName("folder");
  folderLabel->setWordWrap(true);
  layout->addWidget(folderLabel);
  auto* grid = new QGridLayout;
  grid->addWidget(new QLabel("<b>Description</b>", this), 0, 0);
  grid->addWidget(new QLabel("<b># Files</b>", this), 0, 1, Qt::AlignRight);
  grid->addWidget(new QLabel("<b>Size</b>", this), 0, 2, Qt::AlignRight);
  const CleanupChecks checks = DefaultCleanupChecks();
  for (int k = 0; k < kCleanupKindCount + 2; ++k) {
    const int row = k + 1;
    if (k < kCleanupKindCount) {
      boxes_[k] = new QCheckBox(kCleanupKinds[k].label, this);
      boxes_[k]->setChecked(checks[k]);
      // The run key kind is counted but never deleted: no box to check.
      boxes_[k]->setVisible(kCleanupKinds[k].deletable);
      connect(boxes_[k], &QCheckBox::toggled, this, &CleanupDialog::refresh);
      if (kCleanupKinds[k].deletable)
        grid->addWidget(boxes_[k], row, 0);
      else
        grid->addWidget(new QLabel(QString("    ") + kCleanupKinds[k].label, this), row, 0);
    } else {
      grid->addWidget(new QLabel(k == kCleanupKindCount ? "Total:" : "Total to clean:", this), row, 0);
    }
    counts_[k] = new QLabel(this);
    sizes_[k] = new QLabel(this);
    counts_[k]->setMinimumWidth(60);
    sizes_[k]->setMinimumWidth(80);
    grid->addWidget(counts_[k], row, 1, Qt::AlignRight);
    grid->addWidget(sizes_[k], row, 2, Qt::AlignRight);
  }
  layout->addLayout(grid);
  running_ = new QLabel(this);
  running_->setObjectName("runningChains");
  running_->setWordWrap(true);
  layout->addWidget(running_);
  auto* buttons = new QHBoxLayout;
  clean_ = new QPushButton("Clean", this);
  auto* close = new QPushButton("Close", this);
  buttons->addStretch();
  buttons->addWidget(clean_);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  connect(clean_, &QPushButton::clicked, this, &CleanupDialog::clean);
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  refresh();
}

QString CleanupDialog::countText(int row) const { return counts_[row]->text(); }
QString CleanupDialog::sizeText(int row) const { return sizes_[row]->text(); }

void CleanupDialog::refresh() {
  CleanupChecks checked{};
  for (int k = 0; k < kCleanupKindCount; ++k) checked[k] = boxes_[k]->isChecked() && kCleanupKinds[k].deletable;
  const CleanupTable table = RefreshCleanup(folder_, checked);
  auto show = [this](int row, const FileTally& tally) {
    counts_[row]->setText(QString::number(tally.count));
    sizes_[row]->setText(QString::fromStdString(FormatSizeText(tally.bytes)));
  };
  for (int k = 0; k < kCleanupKindCount; ++k) show(k, table.rows[k]);
  show(kCleanupKindCount, table.total);
  show(kCleanupKindCount + 1, table.toClean);
  clean_->setEnabled(table.toClean.count != 0);
  const std::string note = RunningChainsNote(table);
  running_->setText(QString::fromStdString(note));
  running_->setVisible(!note.empty());
}

void CleanupDialog::clean() {
  CleanupChecks checked{};
  for (int k = 0; k < kCleanupKindCount; ++k) checked[k] = boxes_[k]->isChecked() && kCleanupKinds[k].deletable;
  CleanFiles(folder_, checked);
  refresh();
}

}  // namespace mixora::gui
