#pragma once
// The "Processing" window: runs one report on a worker thread, shows its
// progress and offers Abort, then Close and View.
#include <QDialog>
#include <memory>

#include "core/interaction.h"
#include "reports/report_job.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace mixora::gui {

class ProcessingDialog : public QDialog {
  Q_OBJECT
 public:
  // ui: the main window's interaction; its progress is shown here instead.
  // shutdown: read when the report ends; while a shutdown is honoured the
  // window closes by itself.
  ProcessingDialog(QWidget* parent, RunRecord& run, const Interaction& ui, ReportSession& session,
                   int kind, bool byRegion, const bool& shutdown);
  ~ProcessingDialog() override;

  ReportJob& job() { return job_; }
  bool finished() const { return finished_; }
  // The Abort (before the end) or Close (after) button.
  QPushButton* abortButton() const { return abort_; }
  QString statusText() const;
  QString outputPath() const { return outputPath_; }
  // Asks the worker to stop without a question (shutdown).
  void abortNow();

 protected:
  void showEvent(QShowEvent* event) override;
  void reject() override;

 private:
  void start();
  void onAbortOrClose();
  void onFinished(int result);
  void onProgress(qint64 done, qint64 total);
  // Runs f on this window's thread (the worker calls from its own).
  void post(std::function<void()> f);

  ReportJob job_;
  int kind_;
  bool byRegion_;
  const bool& shutdown_;
  bool started_ = false;
  bool finished_ = false;
  QString outputPath_;
  QProgressBar* bar_ = nullptr;
  QPushButton* abort_ = nullptr;
  QPushButton* view_ = nullptr;
  QLabel* label_ = nullptr;
  QLabel* currentFile_ = nullptr;
  QLabel* done_ = nullptr;
  QLabel* total_ = nullptr;
  QLabel* unit_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace mixora::gui
