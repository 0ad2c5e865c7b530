#include "message_box.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>
#include <cstring>

#include "command_ids.h"
#include "core/interaction.h"
#include "gui_colours.h"
#include "screen_scale.h"

namespace mixora::gui {

int ShutdownAnswer(uint32_t type) {
  switch (type & 0xF) {
    case kMbOk: return kIdOk;
    case kMbYesNo: return kIdYes;
    case kMbNewRunUseRunCancel: return kIdCancel;
    case kMbYesToAllYesNo: return kIdNo;
    default: return 0;
  }
}

int MessageButtonsOf(uint32_t type, MessageButton out[3]) {
  static const MessageButton kSets[8][3] = {
      {{"OK", kIdOk}, {nullptr, 0}, {nullptr, 0}},
      {{"OK", kIdOk}, {"Cancel", kIdCancel}, {nullptr, 0}},
      {{"&Abort", kIdAbort}, {"&Retry", kIdRetry}, {"&Ignore", kIdIgnore}},
      {{"&Yes", kIdYes}, {"&No", kIdNo}, {"Cancel", kIdCancel}},
      {{"&Yes", kIdYes}, {"&No", kIdNo}, {nullptr, 0}},
      {{"&Retry", kIdRetry}, {"Cancel", kIdCancel}, {nullptr, 0}},
      {{"New Run", kIdNewRun}, {"Use Run", kIdUseRun}, {"Cancel", kIdCancel}},
      {{"Yes to All", kIdYesToAll}, {"&Yes", kIdYes}, {"&No", kIdNo}},
  };
  const uint32_t set = type & 0xF;
  int count = 0;
  for (int i = 0; i < 3; ++i) {
    out[i] = set < 8 ? kSets[set][i] : MessageButton{nullptr, 0};
    if (out[i].text != nullptr) ++count;
  }
  if (set >= 8) {
    out[0] = {"OK", kIdOk};
    count = 1;
  }
  return count;
}

int MessageChain(uint32_t type, int threadChain) {
  const int fromType = static_cast<int>(type >> 16);
  return fromType != 0 ? fromType : threadChain;
}

namespace {

QStyle::StandardPixmap IconOf(uint32_t type) {
  switch (type & 0xF0) {
    case kMbIconError: return QStyle::SP_MessageBoxCritical;
    case kMbIconQuestion: return QStyle::SP_MessageBoxQuestion;
    case kMbIconWarning: return QStyle::SP_MessageBoxWarning;
    case kMbIconInformation: return QStyle::SP_MessageBoxInformation;
    default: return QStyle::SP_CustomBase;
  }
}

// The answer when the box is closed without a button: Cancel where there is
// one, else the only answer a box without choice has.
int CloseAnswer(const MessageButton buttons[3]) {
  for (int i = 0; i < 3; ++i)
    if (buttons[i].id == kIdCancel) return kIdCancel;
  return buttons[0].id == kIdOk ? kIdOk : (buttons[2].id != 0 ? buttons[2].id : buttons[1].id);
}

}  // namespace

MessageBoxDialog::MessageBoxDialog(QWidget* parent, uint32_t type, const QString& text, int chain)
    : QDialog(parent) {
  setObjectName("messageBox");
  setModal(true);
  if (chain > 0) {
    setWindowTitle(QString("%1 - Chain %2").arg(kProgramName).arg(chain));
    QPalette colours = palette();
    colours.setColor(QPalette::Window, ColourOfChain(chain - 1));
    setPalette(colours);
    setAutoFillBackground(true);
  } else {
    setWindowTitle(kProgramName);
  }

  auto* layout = new QVBoxLayout(this);
  auto* row = new QHBoxLayout;
  const QStyle::StandardPixmap icon = IconOf(type);
  if (icon != QStyle::SP_CustomBase) {
    auto* iconLabel = new QLabel(this);
    iconLabel->setObjectName("icon");
    const int size = Px(32);
    iconLabel->setPixmap(style()->standardIcon(icon).pixmap(size, size));
    iconLabel->setAlignment(Qt::AlignTop);
    row->addWidget(iconLabel);
  }
  QString shown = text;
  shown.replace("\r\n", "\n");
  textLabel_ = new QLabel(shown, this);
  textLabel_->setObjectName("text");
  textLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  textLabel_->setMinimumWidth(Px(180));
  row->addWidget(textLabel_, 1);
  layout->addLayout(row);

  MessageButton buttons[3];
  MessageButtonsOf(type, buttons);
  auto* buttonRow = new QHBoxLayout;
  buttonRow->addStretch(1);
  bool first = true;
  for (const MessageButton& b : buttons) {
    if (b.text == nullptr) continue;
    auto* button = new QPushButton(b.text, this);
    button->setObjectName(QString("button_%1").arg(b.id));
    const int id = b.id;
    connect(button, &QPushButton::clicked, this, [this, id] {
      answer_ = id;
      accept();
    });
    if (first) button->setDefault(true);
    first = false;
    buttonRow->addWidget(button);
  }
  buttonRow->addStretch(1);
  layout->addLayout(buttonRow);
  answer_ = CloseAnswer(buttons);
}

QString MessageBoxDialog::text() const { return textLabel_->text(); }

int ShowMessageBox(QWidget* parent, uint32_t type, const QString& text,
                   const MessageBoxOptions& options) {
  if (options.shutdown) {
    const int answer = ShutdownAnswer(type);
    if (answer != 0) return answer;
  }
  MessageBoxDialog box(parent, type, text, MessageChain(type, options.threadChain));
  // The desktop offers one system sound, so every icon shares it.
  if (!options.quiet) QApplication::beep();
  box.exec();
  return box.answer();
}

QString SystemMessageText(const QString& what, const QString& detail, int err) {
  return QString("System Message:\r\n%1:\r\n%2\r\n%3").arg(what, detail, QString::fromLocal8Bit(std::strerror(err)));
}

}  // namespace mixora::gui
