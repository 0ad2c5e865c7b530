#include "genepop_dialog.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "core/log_buffer.h"
#include "core/text_file.h"
#include "file_pickers.h"
#include "core/file_helpers.h"
#include "input/genepop_convert.h"
#include "workflow_panes.h"

namespace mixora::gui {

namespace {

constexpr unsigned kGreen = 0x99FF66;
constexpr unsigned kOrange = 0x3399FF;

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, ec);
}

}  // namespace

GenepopDialog::GenepopDialog(QWidget* parent, const Interaction& ui) : QDialog(parent), ui_(ui) {
  setWindowTitle("Convert Genepop Label Files");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  const char* labels[kFieldCount] = {"Baseline Input", "Baseline Output", "Mixture Input",
                                     "Mixture Output", "Control File"};
  const char* names[kFieldCount] = {"baselineIn", "baselineOut", "mixtureIn", "mixtureOut", "controlFile"};
  for (int f = 0; f < kFieldCount; ++f) {
    fields_[f] = new QLineEdit(this);
    fields_[f]->setObjectName(names[f]);
    auto* browseButton = new QPushButton("Browse...", this);
    grid->addWidget(new QLabel(labels[f], this), f, 0);
    grid->addWidget(fields_[f], f, 1);
    grid->addWidget(browseButton, f, 2);
    connect(browseButton, &QPushButton::clicked, this, [this, f] { browse(static_cast<Field>(f)); });
  }
  makeControl_ = new QCheckBox("Generate TCF control file", this);
  grid->addWidget(makeControl_, kFieldCount, 1);
  layout->addLayout(grid);
  status_ = new QPlainTextEdit(this);
  status_->setObjectName("status");
  status_->setReadOnly(true);
  layout->addWidget(status_, 1);
  auto* buttons = new QHBoxLayout;
  auto* convertButton = new QPushButton("Convert", this);
  auto* close = new QPushButton("Close", this);
  buttons->addStretch();
  buttons->addWidget(convertButton);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  connect(convertButton, &QPushButton::clicked, this, [this] { convert(); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  setStatus("Please select Files", -1);
  resize(620, 420);
}

QString GenepopDialog::statusText() const { return status_->toPlainText(); }

void GenepopDialog::setStatus(const QString& text, int colour) {
  QString shown = text;
  shown.replace("\r\n", "\n");
  status_->setPlainText(shown);
  status_->setStyleSheet(colour < 0 ? QString()
                                    : QString("QPlainTextEdit { background: %1; color: black; }")
                                          .arg(ColourName(static_cast<unsigned>(colour))));
}

void GenepopDialog::browse(Field f) {
  QString chosen;
  if (f == kBaselineIn || f == kMixtureIn) {
    const bool baseline = f == kBaselineIn;
    chosen = Pickers().openFile(this, QString("Open %1 File").arg(baseline ? "Baseline" : "Mixture"),
                                fields_[f]->text(),
                                baseline ? "Baseline Files (*.bse);;All Files (*)"
                                         : "Mixture Files (*.mix);;All Files (*)");
    if (chosen.isEmpty()) return;
    fields_[f]->setText(chosen);
    QLineEdit* output = fields_[f == kBaselineIn ? kBaselineOut : kMixtureOut];
    if (output->text().trimmed().isEmpty())
      output->setText(QString::fromStdString(GenepopOutputName(chosen.toStdString())));
    return;
  }
  const char* what = f == kBaselineOut ? "Baseline" : f == kMixtureOut ? "Mixture" : "Control";
  const char* filter = f == kBaselineOut  ? "Baseline Files (*.bse);;All Files (*)"
                       : f == kMixtureOut ? "Mixture Files (*.mix);;All Files (*)"
                                          : "All Control Files (*.tcf *.ctl);;All Files (*)";
  chosen = Pickers().saveFile(this, QString("Save %1 File").arg(what), fields_[f]->text(), filter);
  if (!chosen.isEmpty()) fields_[f]->setText(chosen);
}

int GenepopDialog::convert() {
  std::string name[kFieldCount];
  for (int f = 0; f < kFieldCount; ++f) name[f] = TrimLine(fields_[f]->text().toStdString());
  const bool withControl = makeControl_->isChecked();
  for (Field f : {kBaselineIn, kMixtureIn}) {
    if (f == kMixtureIn && name[f].empty()) continue;
    if (!QFileInfo(QString::fromStdString(name[f])).isFile()) {
      setStatus(QString("Cannot read %1").arg(QString::fromStdString(name[f])), -1);
      return -1;
    }
  }
  std::vector<Field> outputs = {kBaselineOut};
  if (!name[kMixtureIn].empty()) outputs.push_back(kMixtureOut);
  if (withControl) outputs.push_back(kControl);
  for (Field out : outputs) {
    // An output written over an input would destroy the data it comes from.
    for (Field in : {kBaselineIn, kMixtureIn}) {
      if (SameFile(name[out], name[in])) {
        setStatus(QString("Cannot write to %1: it is the %2 input")
                      .arg(QString::fromStdString(name[out]), in == kBaselineIn ? "baseline" : "mixture"),
                  static_cast<int>(kOrange));
        return -1;
      }
    }
    if (name[out].empty() || !CheckWritable(nullptr, name[out])) {
      setStatus(QString("Cannot write to %1").arg(QString::fromStdString(name[out])), -1);
      return -1;
    }
  }
  LogBuffer log;
  const int status = ConvertGenepopLabel(name[kBaselineIn], name[kMixtureIn], name[kBaselineOut],
                                         name[kMixtureIn].empty() ? std::string() : name[kMixtureOut],
                                         withControl ? name[kControl] : std::string(), log);
  setStatus(QString::fromStdString(log.text), static_cast<int>(status == 0 ? kGreen : kOrange));
  return status;
}

}  // namespace mixora::gui
