#include "file_conversion_dialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <filesystem>

#include "core/paths.h"
#include "core/text_file.h"
#include "file_pickers.h"
#include "input/run_paths.h"
#include "runfiles/run_control_writer.h"
#include "core/file_helpers.h"

namespace mixora::gui {

namespace {

const char* const kBoxTexts[3] = {"Control", "Baseline", "Mixture"};
const QStringList kChoiceTexts[3] = {{"Mixora", "SPAM"},
                                     {"SPAM", "Talmo", "Oncor", "Genepop"},
                                     {"SPAM", "Talmo", "Genepop", "Oncor"}};

QString Native(const std::string& s) { return QString::fromStdString(s); }

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  return !a.empty() && !b.empty() && std::filesystem::equivalent(a, b, ec);
}

}  // namespace

FileConversionDialog::FileConversionDialog(QWidget* parent, const Interaction& ui, Control& control,
                                           const std::string& controlPath)
    : QDialog(parent), ui_(ui), control_(&control), inputPath_(controlPath) {
  build(Native(std::string(ControlKindName(control.controlKind)) + ", " +
               BaselineFormatName(control.baselineFormat) + ", " +
               MixtureFormatName(control.mixtureFormat)));
  output_->setText(Native(ReplaceExtension(controlPath, "rcf")));
  status_->setText("\r\nEnter RCF file then select any options above");
}

FileConversionDialog::FileConversionDialog(QWidget* parent, const Interaction& ui, const RunRecord& run,
                                           const std::string& rcfPath)
    : QDialog(parent), ui_(ui), run_(&run), inputPath_(rcfPath) {
  build(Native(rcfPath));
  for (QCheckBox* box : boxes_) box->setChecked(true);
  enableChoices();
  status_->setText("\r\nEnter control file then select any options above");
}

void FileConversionDialog::build(const QString& runName) {
  setWindowTitle("Mixora File Conversion");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* nameRow = new QHBoxLayout;
  output_ = new QLineEdit(this);
  output_->setObjectName("outputName");
  output_->setToolTip("The name the written files take; each gets its own extension");
  auto* browse = new QPushButton("Browse...", this);
  browse->setToolTip("Choose where to write the files");
  nameRow->addWidget(new QLabel("Output:", this));
  nameRow->addWidget(output_, 1);
  nameRow->addWidget(browse);
  layout->addLayout(nameRow);

  auto* grid = new QGridLayout;
  for (int which = 0; which < 3; ++which) {
    boxes_[which] = new QCheckBox(kBoxTexts[which], this);
    boxes_[which]->setToolTip(QString("Write the %1 file").arg(QString(kBoxTexts[which]).toLower()));
    grid->addWidget(boxes_[which], which, 0);
    choices_[which] = new QButtonGroup(this);
    for (int c = 0; c < kChoiceTexts[which].size(); ++c) {
      auto* button = new QRadioButton(kChoiceTexts[which][c], this);
      choices_[which]->addButton(button, c);
      grid->addWidget(button, which, c + 1);
    }
    choices_[which]->button(0)->setChecked(true);
    connect(boxes_[which], &QCheckBox::toggled, this, &FileConversionDialog::enableChoices);
  }
  layout->addLayout(grid);
  auto* runLabel = new QLabel(runName, this);
  runLabel->setObjectName("runName");
  runLabel->setFrameShape(QFrame::StyledPanel);
  layout->addWidget(runLabel);
  status_ = new QLabel(this);
  status_->setObjectName("status");
  status_->setWordWrap(true);
  status_->setMinimumHeight(48);
  status_->setFrameShape(QFrame::StyledPanel);
  layout->addWidget(status_);
  auto* buttons = new QHBoxLayout;
  convert_ = new QPushButton("Convert", this);
  convert_->setToolTip("Write the chosen files");
  auto* close = new QPushButton("Close", this);
  buttons->addStretch();
  buttons->addWidget(convert_);
  buttons->addWidget(close);
  layout->addLayout(buttons);
  connect(browse, &QPushButton::clicked, this, &FileConversionDialog::browse);
  connect(convert_, &QPushButton::clicked, this, [this] { convert(); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  enableChoices();
  resize(520, 240);
}

void FileConversionDialog::choose(int which, int choice) {
  if (QAbstractButton* button = choices_[which]->button(choice)) button->setChecked(true);
}

QString FileConversionDialog::statusText() const { return status_->text(); }

void FileConversionDialog::enableChoices() {
  // Checking a box offers its first two formats; the others have no writer
  // of their own and stay offered as they are.
  for (int which = 0; which < 3; ++which)
    for (int c = 0; c < 2; ++c) choices_[which]->button(c)->setEnabled(boxes_[which]->isChecked());
}

void FileConversionDialog::browse() {
  const bool rcf = control_ != nullptr;
  const QString name = Pickers().saveFile(
      this, rcf ? "Run Control File" : "Control File", output_->text().isEmpty() ? Native(FolderOf(inputPath_)) : output_->text(),
      rcf ? "Run Control Files (*.rcf)" : "Control Files (*.tcf *.ctl)");
  if (!name.isEmpty()) output_->setText(name);
}

RunFileChoices FileConversionDialog::choicesShown() const {
  RunFileChoices c;
  c.control = boxes_[0]->isChecked();
  c.controlFormat = choices_[0]->checkedId() == 1 ? ControlChoice::kSpam : ControlChoice::kMixora;
  c.baseline = boxes_[1]->isChecked();
  c.baselineFormat = static_cast<BaselineChoice>(choices_[1]->checkedId());
  c.mixture = boxes_[2]->isChecked();
  c.mixtureFormat = static_cast<MixtureChoice>(choices_[2]->checkedId());
  return c;
}

std::string FileConversionDialog::refusedOutput(const std::string& name) const {
  const RunFileChoices c = choicesShown();
  std::vector<std::string> outputs;
  if (control_ != nullptr) outputs.push_back(ReplaceExtension(name, "rcf"));
  if (c.control) outputs.push_back(ReplaceExtension(name, c.controlFormat == ControlChoice::kSpam ? "ctl" : "tcf"));
  if (c.baseline) outputs.push_back(ReplaceExtension(name, "bse"));
  if (c.mixture) outputs.push_back(ReplaceExtension(name, "mix"));
  for (const std::string& out : outputs) {
    if (control_ != nullptr) {
      const std::string role = InputRoleOf(*control_, inputPath_, out);
      if (!role.empty()) return out + " is " + role + " of the run";
    } else {
      if (SameFile(out, inputPath_)) return out + " is the run control file";
      for (const std::string& input : {GetField(run_->settings.ControlFilePath), GetField(run_->settings.BaselineFile),
                                       GetField(run_->settings.MixtureFile)})
        if (SameFile(out, input)) return out + " is an input of the run";
    }
  }
  return "";
}

bool FileConversionDialog::convert() {
  const std::string name = TrimLine(output_->text().toStdString());
  if (name.empty()) {
    status_->setText("\r\nEnter an output name first");
    return false;
  }
  const std::string refused = refusedOutput(name);
  if (!refused.empty()) {
    // Writing over an input would destroy the very data of the run.
    ShowMessage(ui_, kMbIconWarning, "Cannot write %s: it would replace an input", refused.c_str());
    status_->setText(Native("Conversion Failed: " + refused));
    return false;
  }
  const RunFileChoices choices = choicesShown();
  bool overwriteAll = false;
  if (control_ != nullptr) {
    const std::string rcf = ReplaceExtension(name, "rcf");
    if (!CheckWritable(&ui_, rcf)) return false;
    RunSettings& settings = *control_->settings;
    settings.FileKinds[0] = static_cast<uint8_t>(control_->controlKind);
    settings.FileKinds[1] = static_cast<uint8_t>(control_->baselineFormat);
    settings.FileKinds[2] = static_cast<uint8_t>(control_->mixtureFormat);
    settings.FileKinds[3] = 0;
    const bool any = choices.control || choices.baseline || choices.mixture;
    const int ok = GenerateRunControlFile(ui_, *control_, rcf, [&](const RunRecord& record, const std::string&) {
      if (any) ConvertRunFiles(ui_, choices, record, name, overwriteAll);
    });
    status_->setText(Native(std::string("Conversion ") + (ok ? "Succeed" : "Fail") + "ed: " + rcf));
    filesMade_ = filesMade_ || ok;
    return ok != 0;
  }
  if (!CheckWritable(&ui_, name)) return false;
  const int ok = run_ != nullptr ? ConvertRunFiles(ui_, choices, *run_, name, overwriteAll) : 0;
  status_->setText(QString("Conversion %1ed").arg(run_ != nullptr ? "Succeed" : "Fail"));
  filesMade_ = filesMade_ || ok;
  return ok != 0;
}

}  // namespace mixora::gui
