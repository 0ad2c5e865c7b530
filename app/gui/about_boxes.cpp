#include "about_boxes.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "command_ids.h"
#include "file_pickers.h"

#ifndef MIXORA_MANUAL_SOURCE_DIR
#define MIXORA_MANUAL_SOURCE_DIR ""
#endif

namespace mixora::gui {

namespace {

constexpr const char* kProjectAddress = "https://github.com/mixora/mixora";

}  // namespace

QString AboutText() {
  return QString("%1 %2\r\nBuilt %3 %4 with Qt %5 (running on Qt %6)\r\n\r\n"
                 "Genetic mixed-stock analysis: stock compositions and individual assignments "
                 "by Gibbs sampling.\r\n\r\nProject: %7")
      .arg(kProgramName, kProgramVersion, __DATE__, __TIME__, QT_VERSION_STR, qVersion(), kProjectAddress);
}

QString CitationText() {
  return QString("Mixora %1: genetic mixed-stock analysis by Gibbs sampling. "
                 "Computer program. Available at %2")
      .arg(kProgramVersion, kProjectAddress);
}

QString CitationAddress() {
  static const QRegularExpression address("https?://\\S+");
  return address.match(CitationText()).captured(0);
}

QString ManualIndexPath() {
  // Installed: share/mixora/manual beside bin/; in a build tree the manual
  // is read from the sources it was built from.
  const QDir bin(QCoreApplication::applicationDirPath());
  for (const QString& candidate : {bin.filePath("../share/mixora/manual/index.html"),
                                   bin.filePath("manual/index.html"),
                                   QString(MIXORA_MANUAL_SOURCE_DIR) + "/index.html"}) {
    if (QFileInfo(candidate).isFile()) return QFileInfo(candidate).canonicalFilePath();
  }
  return "";
}

void OpenManual(const Interaction& ui) {
  const QString index = ManualIndexPath();
  if (index.isEmpty() || !Pickers().openExternally(index))
    ShowMessage(ui, kMbIconWarning, "Cannot Open %s",
                index.isEmpty() ? "the user manual (manual/index.html)" : index.toLocal8Bit().constData());
}

CitationDialog::CitationDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle("How to Cite");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  text_ = new QPlainTextEdit(CitationText(), this);
  text_->setObjectName("citation");
  text_->setReadOnly(true);
  layout->addWidget(text_);
  auto* buttons = new QHBoxLayout;
  auto* copyButton = new QPushButton("Copy", this);
  auto* gotoButton = new QPushButton("Goto", this);
  auto* done = new QPushButton("Done", this);
  buttons->addStretch();
  buttons->addWidget(copyButton);
  buttons->addWidget(gotoButton);
  buttons->addWidget(done);
  layout->addLayout(buttons);
  connect(copyButton, &QPushButton::clicked, this, &CitationDialog::copy);
  connect(gotoButton, &QPushButton::clicked, this, &CitationDialog::goTo);
  connect(done, &QPushButton::clicked, this, &QDialog::accept);
  resize(460, 180);
}

void CitationDialog::copy() { QApplication::clipboard()->setText(CitationText()); }

void CitationDialog::goTo() { Pickers().openExternally(CitationAddress()); }

}  // namespace mixora::gui
