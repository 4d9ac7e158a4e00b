#include "adjust/panels/MessageArea.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

namespace vantor {

namespace {
namespace text {
constexpr const char* kWaitingForPrinter = "Waiting for the printer";
constexpr const char* kWaiting = "%1: %2 s";
constexpr const char* kWaitingOf = "%1: %2 s of about %3 s";
}  // namespace text
}  // namespace

MessageArea::MessageArea(Clock& clock, QWidget* parent) : QWidget(parent), clock_(clock) {
  memo_ = new QPlainTextEdit(this);
  memo_->setObjectName("StatusMemo");
  memo_->setReadOnly(true);
  memo_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont memoFont = memo_->font();
  memoFont.setBold(true);
  memo_->setFont(memoFont);
  memo_->setMinimumHeight(110);
  memo_->setMaximumHeight(140);
  SetColor(Qt::black);

  waitLbl_ = new QLabel(this);
  waitLbl_->setObjectName("WaitLbl");
  // Its room is kept while hidden, so showing it moves nothing.
  QSizePolicy waitPolicy = waitLbl_->sizePolicy();
  waitPolicy.setRetainSizeWhenHidden(true);
  // Nor does its text widen the window where the window is narrower than it would like.
  waitPolicy.setHorizontalPolicy(QSizePolicy::Ignored);
  waitLbl_->setSizePolicy(waitPolicy);
  KeepWaitLineReadable();
  waitTick_ = new QTimer(this);
  waitTick_->setInterval(1000);
  connect(waitTick_, &QTimer::timeout, this, &MessageArea::ShowWaitTime);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(memo_);
  layout->addWidget(waitLbl_);
}

void MessageArea::SetColor(const QColor& color) {
  color_ = color;
  QPalette palette = memo_->palette();
  // The same colour while the window is disabled by a busy message.
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    palette.setColor(group, QPalette::Text, color);
  }
  memo_->setPalette(palette);
}

void MessageArea::SetText(const QString& text) {
  memo_->setPlainText(text);
  memo_->moveCursor(QTextCursor::End);
}

void MessageArea::Append(const QString& text) {
  QTextCursor cursor(memo_->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(text);
  memo_->moveCursor(QTextCursor::End);
}

void MessageArea::AddLine(const QString& text) {
  if (Empty()) return SetText(text);
  QTextCursor cursor(memo_->document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertBlock();
  cursor.insertText(text);
  memo_->moveCursor(QTextCursor::End);
}

bool MessageArea::Empty() const {
  return memo_->document()->isEmpty();
}

void MessageArea::ShowMemo(bool shown) {
  memo_->setVisible(shown);
}

void MessageArea::StartWait(bool ownWait) {
  ownWait_ = ownWait;
  busySinceMs_ = clock_.NowMs();
  ShowWaitTime();
  waitLbl_->setVisible(!held_);
  waitTick_->start();
}

void MessageArea::HoldWaitLine(bool held) {
  held_ = held;
  waitLbl_->setVisible(!held_ && waitTick_->isActive());
}

void MessageArea::ShowWaitTime() {
  const std::int64_t seconds = (clock_.NowMs() - busySinceMs_) / 1000;
  const QString activity = activity_.isEmpty() ? QString(text::kWaitingForPrinter) : activity_;
  QString line = expected_.seconds > 0
                     ? QString(text::kWaitingOf).arg(activity).arg(seconds).arg(expected_.seconds)
                     : QString(text::kWaiting).arg(activity).arg(seconds);
  if (!expected_.context.empty()) line += "  -  " + QString::fromStdString(expected_.context);
  waitLbl_->setText(line);
}

void MessageArea::Expect(const ExpectedWork& work) {
  expected_ = work;
  if (waitTick_->isActive()) ShowWaitTime();
  if (work.seconds == 0 && work.context.empty() && ownWait_) EndWait();
}

void MessageArea::EndWait() {
  expected_ = {};
  activity_.clear();
  ownWait_ = false;
  waitTick_->stop();
  KeepWaitLineReadable();
}

// Readable while the window is disabled by the busy message it belongs to.
void MessageArea::KeepWaitLineReadable() {
  waitLbl_->hide();
  QPalette waitPalette = waitLbl_->palette();
  waitPalette.setColor(QPalette::Disabled, QPalette::WindowText,
                       waitPalette.color(QPalette::Active, QPalette::WindowText));
  waitLbl_->setPalette(waitPalette);
}

}  // namespace vantor
