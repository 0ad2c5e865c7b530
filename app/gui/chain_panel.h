#pragma once
// The chain panel of the main window: the run box, and for the "All" row and
// up to ten visible chains a coloured column with the chain's cells, its
// priority selector and its Start, Stop, Pause and Resume buttons; a
// horizontal scroll bar brings further chains into view. Below them, the
// number of threads each chain's iterations are shared among.
#include <QWidget>
#include <vector>

#include "sampler/run_session.h"

class QComboBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QPushButton;
class QScrollBar;
class QSpinBox;

namespace mixora::gui {

inline constexpr int kVisibleChains = 10;

class ChainPanel : public QWidget {
  Q_OBJECT
 public:
  explicit ChainPanel(QWidget* parent = nullptr);

  // Builds the columns for the session's run (none: an empty panel).
  void build(const RunSession* session);
  // The run box and every visible column; full = false redraws only the
  // cells that change while chains run.
  void refresh(bool full);
  void refreshRunBox();
  // Texts and enabled states of every visible row's buttons and selectors.
  void updateButtons();
  void setMarks(int markedCount, bool currentMarked);

  int firstVisible() const { return firstVisible_; }
  void setFirstVisible(int first);

  QPushButton* button(int commandId) const;
  QComboBox* prioritySelector(int row) const;
  QScrollBar* scrollBar() const { return scroll_; }
  QSpinBox* threadsPerChainSelector() const { return threads_; }
  QString cellText(int chainIndex, int rowLabel) const;  // "" for a hidden chain
  QString runBoxText() const;                             // every text, one per line
  QString processCpuText() const;

 Q_SIGNALS:
  void command(int commandId);
  void priorityChosen(int row, int priority);
  // Threads each chain started from now on shares its fish among.
  void threadsPerChainChosen(int threads);

 private:
  struct Column {
    QWidget* frame = nullptr;
    QLabel* header = nullptr;
    std::vector<QLabel*> cells;
    QComboBox* priority = nullptr;
    QPushButton* buttons[4] = {nullptr, nullptr, nullptr, nullptr};
  };
  Column makeColumn(int row);
  void fillColumn(int row, bool full);

  const RunSession* session_ = nullptr;
  int firstVisible_ = 0;
  int markedCount_ = 0;
  bool currentMarked_ = false;
  QGroupBox* runBox_ = nullptr;
  QWidget* threadsRow_ = nullptr;
  QSpinBox* threads_ = nullptr;
  QGridLayout* runBoxLayout_ = nullptr;
  std::vector<QLabel*> runBoxLabels_;
  QWidget* table_ = nullptr;
  QGridLayout* tableLayout_ = nullptr;
  std::vector<Column> columns_;  // [0] is "All"
  QLabel* processCpu_ = nullptr;
  QLabel* chainCount_ = nullptr;
  QScrollBar* scroll_ = nullptr;
};

}  // namespace mixora::gui
