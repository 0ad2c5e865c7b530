#include "file_identification_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>
#include <cstdio>

#include "runfiles/run_file_names.h"
#include "runfiles/sample_file_header.h"
#include "sampler/restart_file.h"

namespace mixora::gui {

namespace {

// A file that cannot be opened or is not a sample file leaves its fields
// empty, as nothing trustworthy can be shown.
bool ReadHeader(const std::string& path, SampleFileHeader& header) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  const bool ok = CheckSampleMagic(file, header) != 0;
  std::fclose(file);
  return ok;
}

}  // namespace

FileIdentificationDialog::FileIdentificationDialog(QWidget* parent, const RunRecord& run)
    : QDialog(parent), run_(run) {
  setWindowTitle("Check Data Files");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* top = new QHBoxLayout;
  chain_ = new QSpinBox(this);
  chain_->setObjectName("chain");
  chain_->setRange(1, std::max(1, run.settings.NumberOfChains));
  top->addWidget(new QLabel("Chain:", this));
  top->addWidget(chain_);
  top->addStretch();
  layout->addLayout(top);
  auto* groups = new QHBoxLayout;
  auto group = [&](const QString& title, const QStringList& labels) {
    auto* box = new QGroupBox(title, this);
    auto* form = new QFormLayout(box);
    for (const QString& label : labels) {
      auto* value = new QLabel(box);
      value->setMinimumWidth(80);
      value->setTextInteractionFlags(Qt::TextSelectableByMouse);
      form->addRow(label, value);
      values_[title + " " + label] = value;
    }
    groups->addWidget(box);
  };
  group("ISE", {"Stocks:", "Thin:", "Recs:"});
  group("STA", {"Fish:", "Thin:", "Recs:"});
  group("Restart", {"Iter:", "IterEnd:", "Seed1:", "Seed2:", "nSta:", "nIse:"});
  layout->addLayout(groups);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  layout->addWidget(buttons);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(chain_, &QSpinBox::valueChanged, this, &FileIdentificationDialog::fill);
  fill(1);
}

QString FileIdentificationDialog::value(const QString& key) const {
  auto found = values_.find(key);
  return found == values_.end() ? QString() : found->second->text();
}

void FileIdentificationDialog::fill(int chain) {
  for (auto& [key, label] : values_) label->clear();
  const int index = chain - 1;
  auto set = [this](const QString& key, qint64 v) { values_[key]->setText(QString::number(v)); };
  SampleFileHeader header;
  if (ReadHeader(BuildRunFileName(run_, index, -1, -1, kExtComposition), header)) {
    set("ISE Stocks:", header.valuesPerRecord);
    set("ISE Thin:", header.thinning);
    set("ISE Recs:", header.recordCount);
  }
  if (ReadHeader(BuildRunFileName(run_, index, -1, -1, kExtAssignments), header)) {
    set("STA Fish:", header.valuesPerRecord);
    set("STA Thin:", header.thinning);
    set("STA Recs:", header.recordCount);
  }
  RestartChainValues values;
  if (ReadRestartChainValues(BuildRunFileName(run_, index, -1, -1, kExtRestart), values)) {
    set("Restart Iter:", values.iteration);
    set("Restart IterEnd:", values.endIteration);
    set("Restart Seed1:", values.seed1);
    set("Restart Seed2:", values.seed2);
    set("Restart nSta:", values.assignmentTotal);
    set("Restart nIse:", values.compositionTotal);
  }
}

}  // namespace mixora::gui
