#include "simulation_dialog.h"

#include <QApplication>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "core/log_buffer.h"
#include "file_pickers.h"
#include "tools/mixture_simulation.h"
#include "workflow_panes.h"

namespace mixora::gui {

namespace {

constexpr unsigned kGreen = 0x99FF66;
constexpr unsigned kOrange = 0x3399FF;

}  // namespace

SimulationDialog::SimulationDialog(QWidget* parent, const Interaction& ui) : QDialog(parent), ui_(ui) {
  setWindowTitle("Mixora Mixture Simulation");
  setModal(true);
  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  path_ = new QLineEdit(this);
  path_->setObjectName("mixtureControlPath");
  auto* browse = new QPushButton("Browse...", this);
  edit_ = new QPushButton("Edit...", this);
  row->addWidget(new QLabel("Mixture control file:", this));
  row->addWidget(path_, 1);
  row->addWidget(browse);
  row->addWidget(edit_);
  layout->addLayout(row);
  status_ = new QPlainTextEdit(this);
  status_->setObjectName("status");
  status_->setReadOnly(true);
  layout->addWidget(status_, 1);
  auto* buttons = new QHBoxLayout;
  make_ = new QPushButton("Make", this);
  auto* close = new QPushButton("Close", this);
  buttons->addStretch();
  buttons->addWidget(make_);
  buttons->addWidget(close);
  layout->addLayout(buttons);

  connect(browse, &QPushButton::clicked, this, [this] {
    const QString chosen = Pickers().openFile(this, "Open Mixture Control File", path_->text(),
                                              "Mixture simulation Control Files (*.mcf);;All Files (*)");
    if (!chosen.isEmpty()) path_->setText(chosen);
  });
  connect(edit_, &QPushButton::clicked, this, [this] { OpenInTextEditor(ui_, path_->text().trimmed()); });
  connect(make_, &QPushButton::clicked, this, [this] { make(); });
  connect(close, &QPushButton::clicked, this, &QDialog::accept);
  connect(path_, &QLineEdit::textChanged, this, &SimulationDialog::pathEdited);
  status_->setPlainText("Please select a Mixture Control File");
  pathEdited();
  resize(560, 380);
}

QString SimulationDialog::statusText() const { return status_->toPlainText(); }

void SimulationDialog::pathEdited() {
  const bool exists = QFileInfo(path_->text().trimmed()).isFile();
  edit_->setEnabled(exists);
  make_->setEnabled(exists);
}

int SimulationDialog::make() {
  LogBuffer log;
  // The log is shown as it grows, so a long simulation shows where it is.
  log.echo = [this, &log](const std::string&) {
    QString text = QString::fromStdString(log.text);
    text.replace("\r\n", "\n");
    status_->setPlainText(text);
    status_->verticalScrollBar()->setValue(status_->verticalScrollBar()->maximum());
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  };
  const int result = SimulateMixtures(path_->text().trimmed().toStdString(), ui_, log);
  log.echo = nullptr;
  QString text = QString::fromStdString(log.text);
  text.replace("\r\n", "\n");
  status_->setPlainText(text);
  status_->verticalScrollBar()->setValue(status_->verticalScrollBar()->maximum());
  status_->setStyleSheet(QString("QPlainTextEdit { background: %1; color: black; }")
                             .arg(ColourName(result == 0 ? kGreen : kOrange)));
  return result;
}

}  // namespace mixora::gui
