#include "workflow_panes.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace mixora::gui {

namespace {

constexpr unsigned kLogGreen = 0x99FF66;
constexpr unsigned kLogOrange = 0x3399FF;

QString PlainLines(const std::string& text) {
  QString out = QString::fromStdString(text);
  out.replace("\r\n", "\n");
  return out;
}

}  // namespace

QString ColourName(unsigned bbggrr) {
  return QColor(bbggrr & 0xFF, (bbggrr >> 8) & 0xFF, (bbggrr >> 16) & 0xFF).name();
}

WorkflowPanes::WorkflowPanes(QWidget* parent) : QWidget(parent) {
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  settings_ = new QTableWidget(0, 2, this);
  settings_->setObjectName("settings");
  settings_->setHorizontalHeaderLabels({"Keyword", "Value"});
  settings_->verticalHeader()->hide();
  settings_->horizontalHeader()->setStretchLastSection(true);
  settings_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  settings_->setSelectionMode(QAbstractItemView::NoSelection);
  counts_ = new QPlainTextEdit(this);
  counts_->setObjectName("counts");
  counts_->setReadOnly(true);
  counts_->setFont(fixed);
  log_ = new QPlainTextEdit(this);
  log_->setObjectName("log");
  log_->setReadOnly(true);
  log_->setFont(fixed);
  log_->setLineWrapMode(QPlainTextEdit::NoWrap);

  auto* top = new QSplitter(Qt::Horizontal, this);
  top->addWidget(settings_);
  top->addWidget(counts_);
  top->setStretchFactor(0, 3);
  top->setStretchFactor(1, 2);
  auto* all = new QSplitter(Qt::Vertical, this);
  all->addWidget(top);
  all->addWidget(log_);
  all->setStretchFactor(0, 1);
  all->setStretchFactor(1, 1);
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(all);
}

void WorkflowPanes::showSettings(const std::vector<std::string>& lines) {
  settings_->setRowCount(static_cast<int>(lines.size()));
  for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
    const std::string& line = lines[i];
    const std::size_t mark = line.find(" = ");
    const std::string name = mark == std::string::npos ? line : line.substr(0, mark);
    const std::string value = mark == std::string::npos ? "" : line.substr(mark + 3);
    settings_->setItem(i, 0, new QTableWidgetItem(QString::fromStdString(name)));
    settings_->setItem(i, 1, new QTableWidgetItem(QString::fromStdString(value)));
  }
  settings_->resizeColumnToContents(0);
  settings_->resizeRowsToContents();
}

void WorkflowPanes::showCounts(const std::vector<std::string>& lines) {
  QStringList text;
  for (const std::string& line : lines) text << QString::fromStdString(line);
  counts_->setPlainText(text.join('\n'));
}

void WorkflowPanes::showLog(const std::string& text) {
  log_->setPlainText(PlainLines(text));
  log_->verticalScrollBar()->setValue(log_->verticalScrollBar()->maximum());
}

void WorkflowPanes::colourLog(int state) {
  if (state == kUncoloured) {
    log_->setStyleSheet("");
    return;
  }
  log_->setStyleSheet(QString("QPlainTextEdit { background: %1; color: black; }")
                          .arg(ColourName(state == kSucceeded ? kLogGreen : kLogOrange)));
}

QString WorkflowPanes::logText() const { return log_->toPlainText(); }
QString WorkflowPanes::countsText() const { return counts_->toPlainText(); }

}  // namespace mixora::gui
