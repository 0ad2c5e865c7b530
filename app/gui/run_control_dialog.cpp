#include "run_control_dialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cerrno>

#include "core/paths.h"
#include "file_conversion_dialog.h"
#include "file_pickers.h"
#include "input/control_summary.h"
#include "runfiles/run_control_reader.h"
#include "workflow_panes.h"
#include "core/system_error.h"

namespace mixora::gui {

namespace {

std::vector<std::string> RunCounts(const RunRecord& run) {
  const RunSettings& s = run.settings;
  std::vector<std::string> lines = {
      std::string("Control file:    ") + ControlKindName(s.FileKinds[0]),
      std::string("Baseline format: ") + BaselineFormatName(s.FileKinds[1]),
      std::string("Mixture format:  ") + MixtureFormatName(s.FileKinds[2]),
      "Characters:      " + std::to_string(s.NumberOfChars) + " (largest allele count " +
          std::to_string(run.maxAlleles) + ")",
      "Stocks:          " + std::to_string(s.NumberOfStocks),
      "Levels:          " + std::to_string(s.Levels),
      "Groups:          " + std::to_string(run.groupCount),
      "Mixtures:        " + std::to_string(run.mixtureCount),
      "Fish:            " + std::to_string(run.fishCount),
      "Fish left out:   " + std::to_string(run.badCount)};
  return lines;
}

}  // namespace

RunControlDialog::RunControlDialog(QWidget* parent, const Interaction& ui) : QDialog(parent), ui_(ui) {
  setWindowTitle("Mixora - No Rcf File Loaded");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  path_ = new QLineEdit(this);
  path_->setObjectName("rcfPath");
  auto* browse = new QPushButton("Browse", this);
  auto* load = new QPushButton("Load", this);
  convert_ = new QPushButton("Convert", this);
  convert_->setEnabled(false);
  row->addWidget(new QLabel("Run control file:", this));
  row->addWidget(path_, 1);
  row->addWidget(browse);
  row->addWidget(load);
  row->addWidget(convert_);
  layout->addLayout(row);
  panes_ = new WorkflowPanes(this);
  layout->addWidget(panes_, 1);
  auto* bottom = new QHBoxLayout;
  auto* save = new QPushButton("Save Logfile", this);
  auto* clear = new QPushButton("Clear Log", this);
  auto* close = new QPushButton("Close", this);
  bottom->addWidget(save);
  bottom->addWidget(clear);
  bottom->addStretch();
  bottom->addWidget(close);
  layout->addLayout(bottom);
  LogAppend(log_, "Click 'Browse'\r\nThen 'Load'");
  showLog();
  panes_->colourLog(WorkflowPanes::kUncoloured);

  connect(browse, &QPushButton::clicked, this, [this] {
    const QString chosen = Pickers().openFile(this, "Open Run Control File", path_->text(),
                                              "Run Control Files (*.rcf);;All Files (*)");
    if (!chosen.isEmpty()) path_->setText(chosen);
  });
  connect(load, &QPushButton::clicked, this, &RunControlDialog::load);
  connect(convert_, &QPushButton::clicked, this, &RunControlDialog::convert);
  connect(save, &QPushButton::clicked, this, [this] {
    const QString proposed = QString::fromStdString(ReplaceExtension(path_->text().toStdString(), "log"));
    const QString chosen = Pickers().saveFile(this, "Save Logfile", proposed, "Log Files (*.log);;All Files (*)");
    if (chosen.isEmpty()) return;
    bool yesToAll = false;
    const std::string file = chosen.toStdString();
    if (FileExists(file) && !AskOverwrite(ui_, file, yesToAll)) return;
    if (!SaveLog(log_, file)) ShowMessage(ui_, kMbIconWarning, "Cannot Open %s: %s", file.c_str(), SystemErrorText(errno).c_str());
  });
  connect(clear, &QPushButton::clicked, this, [this] {
    LogClear(log_);
    LogAppend(log_, "Log cleared");
    showLog();
  });
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  resize(720, 560);
}

void RunControlDialog::showLog() { panes_->showLog(log_.text); }

void RunControlDialog::load() {
  const std::string path = path_->text().trimmed().toStdString();
  LogClear(log_);
  run_ = FileExists(path) ? ReadNewControl(path, ui_) : nullptr;
  convert_->setEnabled(run_ != nullptr);
  if (run_ == nullptr) {
    LogAppend(log_, "Load Failed");
    showLog();
    panes_->colourLog(WorkflowPanes::kFailed);
    return;
  }
  setWindowTitle(QString("Mixora - %1").arg(QString::fromStdString(path)));
  panes_->showSettings(FormatSettingsSummary(run_->settings));
  panes_->showCounts(RunCounts(*run_));
  LogAppend(log_, "Load success");
  showLog();
  panes_->colourLog(WorkflowPanes::kSucceeded);
}

void RunControlDialog::convert() {
  if (run_ == nullptr) return;
  FileConversionDialog conversion(this, ui_, *run_, path_->text().trimmed().toStdString());
  conversion.exec();
}

}  // namespace mixora::gui
