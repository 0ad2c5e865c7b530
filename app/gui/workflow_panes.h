#pragma once
// The panes the load window and the run control file window share: every
// keyword value as its formatter writes it, the file kinds and counts, and
// the log, drawn green after a step that succeeded and orange otherwise.
#include <QWidget>
#include <string>
#include <vector>

class QPlainTextEdit;
class QTableWidget;

namespace mixora::gui {

class WorkflowPanes : public QWidget {
  Q_OBJECT
 public:
  explicit WorkflowPanes(QWidget* parent = nullptr);

  // Lines "<keyword> = <value>".
  void showSettings(const std::vector<std::string>& lines);
  void showCounts(const std::vector<std::string>& lines);
  // The whole log text (CR LF line ends), scrolled to its end.
  void showLog(const std::string& text);
  // Green (0x99FF66) after a step that succeeded, orange (0x3399FF) after one
  // that failed, uncoloured before any step.
  void colourLog(int state);
  enum { kUncoloured = -1, kSucceeded = 0, kFailed = 1 };

  QString logText() const;
  QString countsText() const;
  QTableWidget* settingsTable() const { return settings_; }
  QPlainTextEdit* logPane() const { return log_; }

 private:
  QTableWidget* settings_ = nullptr;
  QPlainTextEdit* counts_ = nullptr;
  QPlainTextEdit* log_ = nullptr;
};

// 0x00BBGGRR as the program's colours are written, to a Qt colour name.
QString ColourName(unsigned bbggrr);

}  // namespace mixora::gui
