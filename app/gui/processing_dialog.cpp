#include "processing_dialog.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include "message_box.h"
#include "reports/report_runner.h"
#include "screen_scale.h"

namespace mixora::gui {

ProcessingDialog::ProcessingDialog(QWidget* parent, RunRecord& run, const Interaction& ui,
                                   ReportSession& session, int kind, bool byRegion,
                                   const bool& shutdown)
    : QDialog(parent), kind_(kind), byRegion_(byRegion), shutdown_(shutdown) {
  setObjectName("processingDialog");
  setModal(true);
  setWindowTitle(ReportDisplayName(kind));
  setMinimumWidth(Px(360));

  auto* layout = new QVBoxLayout(this);
  auto* grid = new QGridLayout;
  label_ = new QLabel("What:", this);
  currentFile_ = new QLabel(this);
  currentFile_->setObjectName("currentFile");
  currentFile_->setWordWrap(true);
  grid->addWidget(label_, 0, 0);
  grid->addWidget(currentFile_, 0, 1, 1, 4);
  unit_ = new QLabel("Record", this);
  done_ = new QLabel("0", this);
  done_->setObjectName("doneCount");
  total_ = new QLabel("0", this);
  total_->setObjectName("totalCount");
  grid->addWidget(unit_, 1, 0);
  grid->addWidget(done_, 1, 1);
  grid->addWidget(new QLabel("of", this), 1, 2);
  grid->addWidget(total_, 1, 3);
  grid->setColumnStretch(4, 1);
  layout->addLayout(grid);
  bar_ = new QProgressBar(this);
  bar_->setRange(0, 100);
  bar_->setValue(0);
  layout->addWidget(bar_);
  status_ = new QLabel(this);
  status_->setObjectName("status");
  layout->addWidget(status_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  view_ = new QPushButton("View", this);
  view_->setObjectName("view");
  view_->hide();
  abort_ = new QPushButton("&Abort", this);
  abort_->setObjectName("abort");
  buttons->addWidget(view_);
  buttons->addWidget(abort_);
  layout->addLayout(buttons);
  connect(abort_, &QPushButton::clicked, this, &ProcessingDialog::onAbortOrClose);
  connect(view_, &QPushButton::clicked, this,
          [this] { QDesktopServices::openUrl(QUrl::fromLocalFile(outputPath_)); });

  job_.run = &run;
  job_.ui = ui;
  job_.session = &session;
  job_.withWindow = true;
  job_.ui.progress = [this](const std::string&, int64_t done, int64_t total) {
    post([this, done, total] { onProgress(done, total); });
  };
  job_.display.label = [this](const std::string& t) {
    post([this, t] { label_->setText(QString::fromStdString(t)); });
  };
  job_.display.unit = [this](const std::string& t) {
    post([this, t] { unit_->setText(QString::fromStdString(t)); });
  };
  job_.display.currentFile = [this](const std::string& t) {
    post([this, t] { currentFile_->setText(QString::fromStdString(t)); });
  };
  job_.display.status = [this](const std::string& t) {
    post([this, t] { status_->setText(QString::fromStdString(t)); });
  };
  job_.display.finished = [this](int result) { post([this, result] { onFinished(result); }); };
}

ProcessingDialog::~ProcessingDialog() {
  job_.abort.store(1);
  WaitReport(job_);
}

void ProcessingDialog::post(std::function<void()> f) {
  QMetaObject::invokeMethod(this, std::move(f), Qt::QueuedConnection);
}

void ProcessingDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (started_) return;
  started_ = true;
  // The worker starts once the window is up, so its first news has a window.
  QTimer::singleShot(0, this, &ProcessingDialog::start);
}

void ProcessingDialog::start() {
  if (StartReport(job_, kind_, byRegion_) == 0) onFinished(0);
}

void ProcessingDialog::onProgress(qint64 done, qint64 total) {
  total_->setText(QString::number(total));
  done_->setText(QString::number(done));
  bar_->setValue(total > 0 ? static_cast<int>(done * 100 / total) : 0);
}

void ProcessingDialog::onFinished(int result) {
  (void)result;
  WaitReport(job_);
  finished_ = true;
  if (shutdown_) {
    done(job_.failed);
    return;
  }
  if (!job_.ui.quiet) QApplication::beep();
  abort_->setText("&Close");
  if (KindHasTextFile(kind_) && job_.failed == 0) {
    outputPath_ = QString::fromStdString(job_.outPath);
    view_->setVisible(QFileInfo::exists(outputPath_));
  }
  if (job_.failed == 0) bar_->setValue(100);
}

void ProcessingDialog::onAbortOrClose() {
  if (finished_) {
    if (parentWidget() != nullptr) parentWidget()->show();
    done(job_.failed);
    return;
  }
  MessageBoxOptions options;
  options.quiet = job_.ui.quiet;
  QPointer<ProcessingDialog> self(this);
  if (ShowMessageBox(this, uint32_t{kMbYesNo} | kMbIconQuestion, "Abort?", options) == kIdYes && self)
    job_.abort.store(1);
}

void ProcessingDialog::abortNow() { job_.abort.store(1); }

void ProcessingDialog::reject() { onAbortOrClose(); }

QString ProcessingDialog::statusText() const { return status_->text(); }

}  // namespace mixora::gui
