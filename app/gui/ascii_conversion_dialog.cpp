#include "ascii_conversion_dialog.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <filesystem>

#include "core/paths.h"
#include "file_pickers.h"
#include "reports/report_runner.h"

namespace mixora::gui {

AsciiConversionDialog::AsciiConversionDialog(QWidget* parent, RunRecord& run, const QString& rcfPath)
    : QDialog(parent) {
  setWindowTitle("Convert Files to ASCII");
  setModal(true);
  // L and D as the reports count them, from the first chain's files.
  ReportJob probe;
  probe.run = &run;
  PrepareReportJob(probe);

  auto* layout = new QVBoxLayout(this);
  auto* kindsBox = new QGroupBox("Files", this);
  auto* kindsLayout = new QVBoxLayout(kindsBox);
  const char* texts[3] = {"Stock Assignments (.sta)", "Individual Estimates (.ise)", "Group Estimates (.grp)"};
  for (int i = 0; i < 3; ++i) {
    kinds_[i] = new QCheckBox(texts[i], kindsBox);
    kindsLayout->addWidget(kinds_[i]);
  }
  kinds_[1]->setChecked(true);
  kinds_[2]->setChecked(true);
  auto* formatBox = new QGroupBox("Format", this);
  auto* formatLayout = new QVBoxLayout(formatBox);
  ascii_ = new QRadioButton("ASCII", formatBox);
  binary_ = new QRadioButton("Binary Graph(gse)", formatBox);
  ascii_->setChecked(true);
  formatLayout->addWidget(ascii_);
  formatLayout->addWidget(binary_);
  auto* choices = new QHBoxLayout;
  choices->addWidget(kindsBox);
  choices->addWidget(formatBox);
  layout->addLayout(choices);

  auto* grid = new QGridLayout;
  folder_ = new QLineEdit(this);
  folder_->setObjectName("outputFolder");
  const std::string rcf = rcfPath.toStdString();
  const std::string output = GetField(run.settings.OutputFolder);
  std::string folder = FolderOf(rcf);
  if (!output.empty())
    folder = std::filesystem::path(output).is_absolute() ? output : JoinPath(FolderOf(rcf), output);
  // A run control file written by a load lies in OutputFolder already; its
  // own folder is where the run's files are.
  if (!std::filesystem::is_directory(folder)) folder = FolderOf(rcf);
  folder_->setText(QString::fromStdString(folder));
  auto* browse = new QPushButton("Browse...", this);
  total_ = new QLineEdit(QString::number(probe.length), this);
  total_->setObjectName("total");
  total_->setReadOnly(true);
  keep_ = new QSpinBox(this);
  keep_->setObjectName("keep");
  keep_->setRange(0, std::max(0, probe.length));
  keep_->setValue(std::max(0, probe.length - probe.discard));
  grid->addWidget(new QLabel("Output folder:", this), 0, 0);
  grid->addWidget(folder_, 0, 1);
  grid->addWidget(browse, 0, 2);
  grid->addWidget(new QLabel("Total:", this), 1, 0);
  grid->addWidget(total_, 1, 1);
  grid->addWidget(new QLabel("Keep:", this), 2, 0);
  grid->addWidget(keep_, 2, 1);
  layout->addLayout(grid);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  layout->addWidget(buttons);
  connect(browse, &QPushButton::clicked, this, [this] {
    const QString chosen = Pickers().folder(this, "Enter output folder", folder_->text());
    if (!chosen.isEmpty()) folder_->setText(chosen);
  });
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (confirm()) accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

bool AsciiConversionDialog::confirm() {
  const QString folder = folder_->text().trimmed();
  uint32_t flags = (kinds_[0]->isChecked() ? kConvertAssignments : 0u) |
                   (kinds_[1]->isChecked() ? kConvertComposition : 0u) |
                   (kinds_[2]->isChecked() ? kConvertGroups : 0u);
  if (folder.isEmpty() || !QFileInfo(folder).isDir() || flags == 0) return false;
  if (binary_->isChecked()) flags |= kConvertBinaryGraph;
  settings_.flags = flags;
  settings_.folder = folder.toStdString();
  settings_.keep = keep_->value();
  return true;
}

}  // namespace mixora::gui
