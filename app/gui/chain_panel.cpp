#include "chain_panel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

#include "chain_panel_texts.h"
#include "command_ids.h"
#include "gui_colours.h"
#include "runfiles/summary_file.h"
#include "sampler/chain_runner.h"
#include "sampler/chain_workers.h"
#include "screen_scale.h"

namespace mixora::gui {

namespace {

const char* const kOpNames[4] = {"Start", "Stop", "Pause", "Resume"};
constexpr int kRunBoxColumns = 4;
// The cells that change while a chain runs; the others are drawn in full only.
constexpr bool kChangesWhileRunning[kChainRowCount - 1] = {false, true, true, true, true, true,
                                                           false, true, true, true, true};

int RowHeight() { return Px(16); }
int ControlHeight() { return Px(22); }
int ColumnWidth() { return Px(72); }

QLabel* CellLabel(QWidget* parent, const QString& text, Qt::Alignment align) {
  auto* label = new QLabel(text, parent);
  label->setFixedHeight(RowHeight());
  label->setAlignment(align | Qt::AlignVCenter);
  return label;
}

void Paint(QWidget* widget, const QColor& colour) {
  QPalette colours = widget->palette();
  colours.setColor(QPalette::Window, colour);
  widget->setPalette(colours);
  widget->setAutoFillBackground(true);
}

// Whether bit op of a run state allows the operation: 1 Start, 6 Stop and
// Pause, 8 Resume.
bool StateAllows(int32_t runState, int op) { return (runState >> op) & 1; }

}  // namespace

ChainPanel::ChainPanel(QWidget* parent) : QWidget(parent) {
  setObjectName("chainPanel");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(Px(4), Px(4), Px(4), Px(4));
  runBox_ = new QGroupBox(this);
  runBox_->setObjectName("runBox");
  runBoxLayout_ = new QGridLayout(runBox_);
  runBoxLayout_->setHorizontalSpacing(Px(12));
  runBoxLayout_->setVerticalSpacing(0);
  layout->addWidget(runBox_);
  scroll_ = new QScrollBar(Qt::Horizontal, this);
  scroll_->setObjectName("chainScroll");
  scroll_->hide();
  connect(scroll_, &QScrollBar::valueChanged, this, [this](int value) { setFirstVisible(value); });
  layout->addWidget(scroll_);

  threadsRow_ = new QWidget(this);
  auto* threadsLayout = new QHBoxLayout(threadsRow_);
  threadsLayout->setContentsMargins(0, Px(4), 0, 0);
  auto* threadsLabel = new QLabel("Threads per chain:", threadsRow_);
  threads_ = new QSpinBox(threadsRow_);
  threads_->setObjectName("threadsPerChain");
  threads_->setRange(1, kMaxThreadsPerChain);
  threads_->setFixedHeight(ControlHeight());
  threadsLabel->setBuddy(threads_);
  const QString tip =
      "Each chain started from now on shares the work of its iterations among this many "
      "threads. The sample and restart files are the same for any number; more threads "
      "than free cores only slow the chains down.";
  threads_->setToolTip(tip);
  threadsLabel->setToolTip(tip);
  connect(threads_, &QSpinBox::valueChanged, this,
          [this](int value) { Q_EMIT threadsPerChainChosen(value); });
  threadsLayout->addWidget(threadsLabel);
  threadsLayout->addWidget(threads_);
  threadsLayout->addStretch(1);
  layout->addWidget(threadsRow_);
  layout->addStretch(1);
  build(nullptr);
}

ChainPanel::Column ChainPanel::makeColumn(int row) {
  Column column;
  column.frame = new QWidget(table_);
  column.frame->setFixedWidth(ColumnWidth());
  auto* box = new QVBoxLayout(column.frame);
  box->setContentsMargins(Px(2), 0, Px(2), Px(2));
  box->setSpacing(0);
  column.header = CellLabel(column.frame, row == 0 ? "All" : "", Qt::AlignHCenter);
  QFont bold = column.header->font();
  bold.setBold(true);
  column.header->setFont(bold);
  box->addWidget(column.header);
  for (int r = 0; r < kChainRowCount - 1; ++r) {
    column.cells.push_back(CellLabel(column.frame, "", Qt::AlignRight));
    box->addWidget(column.cells.back());
  }
  column.priority = new QComboBox(column.frame);
  column.priority->setObjectName(QString("priority_%1").arg(row));
  for (const char* name : kPriorityNames) column.priority->addItem(name);
  column.priority->setCurrentIndex(1);
  column.priority->setFixedHeight(ControlHeight());
  connect(column.priority, &QComboBox::activated, this,
          [this, row](int index) { Q_EMIT priorityChosen(row, index); });
  box->addWidget(column.priority);
  for (int op = 0; op < 4; ++op) {
    const int id = ChainCommand(row, op);
    auto* button = new QPushButton(row == 0 ? QString("%1 All").arg(kOpNames[op]) : QString(),
                                   column.frame);
    button->setObjectName(QString("chainButton_%1").arg(id));
    button->setFixedHeight(ControlHeight());
    button->setEnabled(false);
    connect(button, &QPushButton::clicked, this, [this, id] { Q_EMIT command(id); });
    column.buttons[op] = button;
    box->addWidget(button);
  }
  return column;
}

void ChainPanel::build(const RunSession* session) {
  session_ = session != nullptr && session->run != nullptr ? session : nullptr;
  firstVisible_ = 0;
  // A fresh table each time: the run decides how many columns there are.
  delete table_;
  columns_.clear();
  table_ = new QWidget(this);
  table_->setObjectName("chainTable");
  tableLayout_ = new QGridLayout(table_);
  tableLayout_->setContentsMargins(0, 0, 0, 0);
  tableLayout_->setHorizontalSpacing(Px(1));
  tableLayout_->setVerticalSpacing(0);
  static_cast<QVBoxLayout*>(layout())->insertWidget(1, table_, 0, Qt::AlignLeft);

  const int chains = session_ != nullptr ? static_cast<int>(session_->chains.size()) : 0;
  runBox_->setVisible(session_ != nullptr);
  table_->setVisible(session_ != nullptr);
  threadsRow_->setVisible(session_ != nullptr);
  if (session_ != nullptr) {
    threads_->blockSignals(true);
    threads_->setValue(session_->threadsPerChain);
    threads_->blockSignals(false);
  }

  auto* labels = new QWidget(table_);
  auto* labelBox = new QVBoxLayout(labels);
  labelBox->setContentsMargins(0, 0, Px(4), Px(2));
  labelBox->setSpacing(0);
  chainCount_ = CellLabel(labels, "", Qt::AlignLeft);
  chainCount_->setObjectName("chainCount");
  labelBox->addWidget(chainCount_);
  for (int r = 0; r < kChainRowCount; ++r) {
    QLabel* label = CellLabel(labels, kChainRowLabels[r], Qt::AlignLeft);
    if (r == kChainRowCount - 1) label->setFixedHeight(ControlHeight());
    labelBox->addWidget(label);
  }
  processCpu_ = CellLabel(labels, "", Qt::AlignLeft);
  processCpu_->setObjectName("processCpu");
  processCpu_->setFixedHeight(ControlHeight());
  labelBox->addWidget(processCpu_);
  labelBox->addStretch(1);
  tableLayout_->addWidget(labels, 0, 0);

  if (session_ != nullptr) {
    const int visible = std::min(chains, kVisibleChains);
    for (int row = 0; row <= visible; ++row) {
      columns_.push_back(makeColumn(row));
      Paint(columns_.back().frame, ChainColour(0));
      tableLayout_->addWidget(columns_.back().frame, 0, row + 1);
    }
    for (int c = 1; c < static_cast<int>(columns_.size()); ++c)
      columns_[static_cast<std::size_t>(c)].cells[0]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  scroll_->blockSignals(true);
  scroll_->setRange(0, std::max(0, chains - kVisibleChains));
  scroll_->setPageStep(kVisibleChains);
  scroll_->setValue(0);
  scroll_->blockSignals(false);
  scroll_->setVisible(chains > kVisibleChains);
  chainCount_->setText(chains > kVisibleChains ? QString("%1 Chains").arg(chains) : QString());
  refresh(true);
  updateButtons();
}

void ChainPanel::setFirstVisible(int first) {
  const int chains = session_ != nullptr ? static_cast<int>(session_->chains.size()) : 0;
  first = std::clamp(first, 0, std::max(0, chains - kVisibleChains));
  if (first == firstVisible_) return;
  firstVisible_ = first;
  if (scroll_->value() != first) scroll_->setValue(first);
  refresh(true);
  updateButtons();
}

void ChainPanel::setMarks(int markedCount, bool currentMarked) {
  markedCount_ = markedCount;
  currentMarked_ = currentMarked;
  refreshRunBox();
  updateButtons();
}

void ChainPanel::refreshRunBox() {
  if (session_ == nullptr) return;
  const QStringList texts = RunBoxTexts(*session_, markedCount_);
  while (runBoxLabels_.size() < static_cast<std::size_t>(texts.size())) {
    const int at = static_cast<int>(runBoxLabels_.size());
    auto* label = new QLabel(runBox_);
    label->setObjectName(QString("runBox_%1").arg(at));
    runBoxLabels_.push_back(label);
  }
  // Long paths take a line each; the short settings share rows.
  int row = 0, column = 0;
  for (std::size_t i = 0; i < runBoxLabels_.size(); ++i) {
    QLabel* label = runBoxLabels_[i];
    runBoxLayout_->removeWidget(label);
    if (i >= static_cast<std::size_t>(texts.size())) {
      label->hide();
      continue;
    }
    const QString& text = texts[static_cast<int>(i)];
    label->setText(text);
    label->show();
    const bool wide = i >= 1 && i <= 6;
    if (text.endsWith("selected")) {
      QPalette colours = label->palette();
      colours.setColor(QPalette::WindowText, markedCount_ == 0 ? QColor(Qt::red) : ColourOfWord(0x006600));
      label->setPalette(colours);
    }
    if (wide || i == 0) {
      if (column != 0) ++row;
      runBoxLayout_->addWidget(label, row, 0, 1, kRunBoxColumns);
      ++row;
      column = 0;
      continue;
    }
    runBoxLayout_->addWidget(label, row, column);
    if (++column == kRunBoxColumns) {
      column = 0;
      ++row;
    }
  }
}

void ChainPanel::fillColumn(int row, bool full) {
  Column& column = columns_[static_cast<std::size_t>(row)];
  const int chain = firstVisible_ + row - 1;
  const QStringList cells = ChainColumnTexts(*session_, chain);
  if (cells.isEmpty()) return;
  if (full) {
    column.header->setText(QString("Chain %1").arg(chain + 1));
    Paint(column.frame, ColourOfChain(chain));
  }
  for (int r = 0; r < static_cast<int>(cells.size()) && r < kChainRowCount - 1; ++r)
    if (full || kChangesWhileRunning[r]) column.cells[static_cast<std::size_t>(r)]->setText(cells[r]);
}

void ChainPanel::refresh(bool full) {
  if (session_ == nullptr) return;
  if (full) refreshRunBox();
  for (int row = 1; row < static_cast<int>(columns_.size()); ++row) fillColumn(row, full);
  processCpu_->setText(QString::fromStdString(FormatDuration(static_cast<uint64_t>(ProcessCpuHundredths()))));
}

void ChainPanel::updateButtons() {
  if (session_ == nullptr || columns_.empty()) return;
  const bool allowed = markedCount_ > 0 && currentMarked_;
  // The "All" row may do what any chain may.
  int32_t anyState = 0;
  for (int c = 0; c < static_cast<int>(session_->chains.size()); ++c)
    anyState |= session_->chains[static_cast<std::size_t>(c)]->runState.load();
  for (int op = 0; op < 4; ++op)
    columns_[0].buttons[op]->setEnabled(allowed && StateAllows(anyState, op));
  for (int row = 1; row < static_cast<int>(columns_.size()); ++row) {
    const int chain = firstVisible_ + row - 1;
    const Chain& record = *session_->chains[static_cast<std::size_t>(chain)];
    Column& column = columns_[static_cast<std::size_t>(row)];
    column.priority->setCurrentIndex(record.priority & 3);
    const int32_t state = record.runState.load();
    for (int op = 0; op < 4; ++op) {
      column.buttons[op]->setText(QString("%1 %2").arg(kOpNames[op]).arg(chain + 1));
      column.buttons[op]->setEnabled(allowed && StateAllows(state, op));
    }
  }
}

QPushButton* ChainPanel::button(int commandId) const {
  const int x = commandId - kCmdChainFirst;
  const std::size_t row = static_cast<std::size_t>(x / 4);
  if (x < 0 || row >= columns_.size()) return nullptr;
  return columns_[row].buttons[x % 4];
}

QComboBox* ChainPanel::prioritySelector(int row) const {
  return row >= 0 && static_cast<std::size_t>(row) < columns_.size()
             ? columns_[static_cast<std::size_t>(row)].priority
             : nullptr;
}

QString ChainPanel::cellText(int chainIndex, int rowLabel) const {
  const int row = chainIndex - firstVisible_ + 1;
  if (row < 1 || row >= static_cast<int>(columns_.size()) || rowLabel < 0 ||
      rowLabel >= kChainRowCount - 1)
    return {};
  return columns_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(rowLabel)]->text();
}

QString ChainPanel::runBoxText() const {
  QStringList texts;
  for (QLabel* label : runBoxLabels_)
    if (!label->isHidden()) texts << label->text();
  return texts.join('\n');
}

QString ChainPanel::processCpuText() const { return processCpu_->text(); }

}  // namespace mixora::gui
