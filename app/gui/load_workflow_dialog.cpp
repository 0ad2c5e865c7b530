#include "load_workflow_dialog.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <cerrno>
#include <filesystem>

#include "core/log_buffer.h"
#include "core/paths.h"
#include "file_conversion_dialog.h"
#include "file_pickers.h"
#include "input/control_file_kind.h"
#include "input/control_summary.h"
#include "input/data_checks.h"
#include "input/load_control.h"
#include "input/load_data.h"
#include "input/run_paths.h"
#include "runfiles/run_control_writer.h"
#include "sampler/chain_lock.h"
#include "core/file_helpers.h"
#include "workflow_panes.h"
#include "core/system_error.h"

namespace mixora::gui {

namespace {

constexpr const char* kControlFilter = "Control Files (*.tcf *.ctl);;All Files (*)";

QString Native(const std::string& s) { return QString::fromStdString(s); }

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t from = 0;
  while (from < text.size()) {
    std::size_t end = text.find('\n', from);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(from, end - from);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) lines.push_back(line);
    from = end + 1;
  }
  return lines;
}

}  // namespace

LoadWorkflowDialog::LoadWorkflowDialog(QWidget* parent, const Interaction& ui, const QString& path)
    : QDialog(parent), ui_(ui), openedWithPath_(!path.isEmpty()), control_(std::make_unique<Control>()) {
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* fileRow = new QHBoxLayout;
  path_ = new QLineEdit(this);
  path_->setObjectName("controlPath");
  path_->setMinimumWidth(300);
  browse_ = new QPushButton("Browse..:", this);
  browse_->setToolTip("Choose a text (.tcf) or SPAM (.ctl) control file");
  kind_ = new QLabel(this);
  kind_->setObjectName("kind");
  kind_->setMinimumWidth(110);
  load_ = new QPushButton("Load", this);
  load_->setToolTip("Read the control file and check its blocks");
  editControl_ = new QPushButton("Edit", this);
  editControl_->setToolTip("Open the control file in the text editor");
  fileRow->addWidget(new QLabel("Control file:", this));
  fileRow->addWidget(path_, 1);
  fileRow->addWidget(browse_);
  fileRow->addWidget(kind_);
  fileRow->addWidget(load_);
  fileRow->addWidget(editControl_);
  layout->addLayout(fileRow);

  auto* steps = new QHBoxLayout;
  base_ = new QPushButton("Base", this);
  base_->setToolTip("Read the baseline and check it against the control file");
  editBaseline_ = new QPushButton("Edit", this);
  editBaseline_->setToolTip("Open the baseline in the text editor");
  mix_ = new QPushButton("Mix", this);
  mix_->setToolTip("Read the mixture and check it against the baseline");
  editMixture_ = new QPushButton("Edit", this);
  editMixture_->setToolTip("Open the mixture in the text editor");
  convert_ = new QPushButton("Convert", this);
  convert_->setToolTip("Write the run control file");
  steps->addWidget(new QLabel("Baseline:", this));
  steps->addWidget(base_);
  steps->addWidget(editBaseline_);
  steps->addSpacing(16);
  steps->addWidget(new QLabel("Mixture:", this));
  steps->addWidget(mix_);
  steps->addWidget(editMixture_);
  steps->addStretch();
  steps->addWidget(convert_);
  layout->addLayout(steps);

  panes_ = new WorkflowPanes(this);
  layout->addWidget(panes_, 1);

  auto* bottom = new QHBoxLayout;
  saveLog_ = new QPushButton("Save Logfile", this);
  saveLog_->setToolTip("Save the log to a file");
  clearLog_ = new QPushButton("Clear Log", this);
  clearLog_->setToolTip("Empty the log");
  auto* close = new QPushButton("Close", this);
  bottom->addWidget(saveLog_);
  bottom->addWidget(clearLog_);
  bottom->addStretch();
  bottom->addWidget(close);
  layout->addLayout(bottom);

  for (QPushButton* b : {base_, mix_, convert_, editBaseline_, editMixture_, saveLog_, clearLog_})
    b->setEnabled(false);
  connect(browse_, &QPushButton::clicked, this, &LoadWorkflowDialog::browse);
  connect(load_, &QPushButton::clicked, this, &LoadWorkflowDialog::load);
  connect(base_, &QPushButton::clicked, this, &LoadWorkflowDialog::loadBaseline);
  connect(mix_, &QPushButton::clicked, this, &LoadWorkflowDialog::loadMixture);
  connect(convert_, &QPushButton::clicked, this, &LoadWorkflowDialog::convert);
  connect(saveLog_, &QPushButton::clicked, this, &LoadWorkflowDialog::saveLog);
  connect(clearLog_, &QPushButton::clicked, this, &LoadWorkflowDialog::clearLog);
  connect(close, &QPushButton::clicked, this, &QDialog::reject);
  connect(editControl_, &QPushButton::clicked, this, [this] { editFile(0); });
  connect(editBaseline_, &QPushButton::clicked, this, [this] { editFile(1); });
  connect(editMixture_, &QPushButton::clicked, this, [this] { editFile(2); });
  connect(path_, &QLineEdit::textChanged, this, &LoadWorkflowDialog::pathEdited);
  resize(760, 620);

  if (openedWithPath_) {
    setWindowTitle(QString("Mixora - %1").arg(path));
    path_->setText(path);
    // Loaded once the window shows, unless the user was quicker.
    QTimer::singleShot(0, this, [this] {
      if (!loadedOnce_) load();
    });
  } else {
    setWindowTitle("Mixora - No Control File Loaded");
    pathEdited();
    QTimer::singleShot(0, this, [this] {
      const QString chosen = Pickers().openFile(this, "Open Control File", QString(), kControlFilter);
      if (chosen.isEmpty()) return;
      path_->setText(chosen);
      load();
    });
  }
}

LoadWorkflowDialog::~LoadWorkflowDialog() { ReleaseControl(*control_); }

QPushButton* LoadWorkflowDialog::button(const QString& text) const {
  for (QPushButton* b : findChildren<QPushButton*>())
    if (b->text() == text) return b;
  return nullptr;
}

QString LoadWorkflowDialog::kindText() const { return kind_->text(); }

void LoadWorkflowDialog::browse() {
  const QString chosen = Pickers().openFile(this, "Open Control File", path_->text(), kControlFilter);
  if (chosen.isEmpty()) return;
  path_->setText(chosen);
  kind_->setText(ControlKindName(ClassifyControlFile(chosen.toStdString())));
}

void LoadWorkflowDialog::pathEdited() {
  const bool exists = QFileInfo(path_->text().trimmed()).isFile();
  load_->setEnabled(exists);
  editControl_->setEnabled(exists);
}

void LoadWorkflowDialog::editFile(int which) {
  QString file = path_->text().trimmed();
  if (which > 0 && control_->settings)
    file = Native(GetField(which == 1 ? control_->settings->BaselineFile : control_->settings->MixtureFile));
  OpenInTextEditor(ui_, file);
}

void LoadWorkflowDialog::showControl() {
  if (control_->settings) panes_->showSettings(FormatSettingsSummary(*control_->settings));
  std::vector<std::string> counts = FormatFileKindsSummary(*control_);
  for (const std::string& line : FormatBlocksSummary(*control_)) counts.push_back(line);
  if (base_->isEnabled() || mix_->isEnabled() || convert_->isEnabled()) {
    if (control_->baseline && control_->baseline->stockCount > 0)
      for (const std::string& line : SplitLines(FormatBaselineSummary(*control_))) counts.push_back(line);
  }
  panes_->showCounts(counts);
}

void LoadWorkflowDialog::showLog(int result) {
  lastResult_ = result;
  panes_->showLog(control_->log.text);
  panes_->colourLog(result == 0 ? WorkflowPanes::kSucceeded : WorkflowPanes::kFailed);
}

void LoadWorkflowDialog::load() {
  loadedOnce_ = true;
  controlPath_ = path_->text().trimmed().toStdString();
  const int32_t kind = ClassifyControlFile(controlPath_);
  kind_->setText(kind < 0 ? "Not Found" : ControlKindName(kind));
  for (QPushButton* b : {base_, mix_, convert_, editBaseline_, editMixture_}) b->setEnabled(false);
  if (kind != kControlSpam && kind != kControlMixora) return;
  // Every Load starts from a fresh run definition, so a corrected file is
  // read as if for the first time.
  ReleaseControl(*control_);
  control_ = std::make_unique<Control>();
  control_->controlKind = kind;
  LogClear(control_->log);
  const ErrorFlags flags = LoadControlFile(controlPath_, *control_);
  saveLog_->setEnabled(true);
  clearLog_->setEnabled(true);
  base_->setEnabled(flags == 0);
  editBaseline_->setEnabled(control_->baselineFormat > 0);
  editMixture_->setEnabled(control_->mixtureFormat > 0);
  showControl();
  showLog(static_cast<int>(flags));
}

void LoadWorkflowDialog::loadBaseline() {
  ErrorFlags flags = LoadBaseline(*control_);
  if (flags == 0) flags = CheckBaseline(*control_);
  mix_->setEnabled(flags == 0);
  std::vector<std::string> counts = FormatFileKindsSummary(*control_);
  for (const std::string& line : FormatBlocksSummary(*control_)) counts.push_back(line);
  for (const std::string& line : SplitLines(FormatBaselineSummary(*control_))) counts.push_back(line);
  panes_->showCounts(counts);
  showLog(static_cast<int>(flags));
}

void LoadWorkflowDialog::loadMixture() {
  ErrorFlags flags = LoadMixture(*control_);
  const bool loaded = flags == 0;
  if (loaded) flags = CheckMixture(*control_);
  std::vector<std::string> counts = FormatFileKindsSummary(*control_);
  for (const std::string& line : FormatBlocksSummary(*control_)) counts.push_back(line);
  for (const std::string& line : SplitLines(FormatBaselineSummary(*control_))) counts.push_back(line);
  // Also counts the fish left out, which the run control file stores.
  for (const std::string& line : SplitLines(FormatMixtureSummary(*control_))) counts.push_back(line);
  panes_->showCounts(counts);
  convert_->setEnabled(loaded && (flags & (kErrAlleleNotSeen | kErrNoAlleles)) == 0);
  showLog(static_cast<int>(flags));
}

void LoadWorkflowDialog::convert() {
  RunSettings& settings = *control_->settings;
  settings.FileKinds[0] = static_cast<uint8_t>(control_->controlKind);
  settings.FileKinds[1] = static_cast<uint8_t>(control_->baselineFormat);
  settings.FileKinds[2] = static_cast<uint8_t>(control_->mixtureFormat);
  settings.FileKinds[3] = 0;
  if (!openedWithPath_) {
    FileConversionDialog conversion(this, ui_, *control_, controlPath_);
    conversion.exec();
    if (conversion.filesMade()) accept();
    return;
  }
  const std::string rcf = DefaultRunControlPath(controlPath_, GetField(settings.OutputFolder));
  const std::string role = InputRoleOf(*control_, controlPath_, rcf);
  if (!role.empty()) {
    ShowMessage(ui_, kMbIconWarning, "Cannot write %s: it is %s of the run", rcf.c_str(), role.c_str());
    return;
  }
  std::error_code ec;
  const std::string folder = FolderOf(rcf);
  if (!folder.empty()) std::filesystem::create_directories(folder, ec);
  if (!CheckWritable(&ui_, rcf)) return;
  if (const std::string lock = RunningChainLock(rcf); !lock.empty()) {
    ShowMessage(ui_, kMbIconWarning,
                "Cannot replace %s: its chains are running (%s is held); stop them first, or "
                "write this run to another output folder",
                rcf.c_str(), lock.c_str());
    return;
  }
  bool yesToAll = false;
  if (FileExists(rcf) && !AskOverwrite(ui_, rcf, yesToAll)) return;
  const int ok = GenerateRunControlFile(ui_, *control_, rcf);
  LogAppend(control_->log, "Conversion %sed: %s", ok ? "Succeed" : "Fail", rcf.c_str());
  showLog(ok ? 0 : 1);
  rcfPath_ = Native(rcf);
  accept();
}

void LoadWorkflowDialog::saveLog() {
  const QString proposed = Native(ReplaceExtension(controlPath_, "log"));
  const QString chosen = Pickers().saveFile(this, "Save Logfile", proposed, "Log Files (*.log);;All Files (*)");
  if (chosen.isEmpty()) return;
  const std::string path = chosen.toStdString();
  const std::string role = InputRoleOf(*control_, controlPath_, path);
  if (!role.empty()) {
    ShowMessage(ui_, kMbIconWarning, "Cannot write %s: it is %s of the run", path.c_str(), role.c_str());
    return;
  }
  bool yesToAll = false;
  if (FileExists(path) && !AskOverwrite(ui_, path, yesToAll)) return;
  if (!SaveLog(control_->log, path)) ShowMessage(ui_, kMbIconWarning, "Cannot Open %s: %s", path.c_str(), SystemErrorText(errno).c_str());
}

void LoadWorkflowDialog::clearLog() {
  LogClear(control_->log);
  panes_->showLog("Log cleared");
}

}  // namespace mixora::gui
