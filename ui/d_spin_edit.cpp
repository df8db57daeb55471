#include "ui/d_spin_edit.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QToolButton>
#include <cmath>

#include "platform/number_text.h"
#include "ui/event_adapters.h"

namespace {

constexpr int kButtonWidth = 15;
constexpr int kButtonHeight = 17;
constexpr ushort kBackspace = 8;
constexpr ushort kCarriageReturn = 13;
constexpr ushort kDelete = 127;

QToolButton* MakeButton(QWidget* parent, Qt::ArrowType arrow) {
  auto* button = new QToolButton(parent);
  button->setArrowType(arrow);
  button->setAutoRepeat(true);
  button->setFocusPolicy(Qt::NoFocus);
  button->setCursor(Qt::ArrowCursor);
  button->setAutoRaise(false);
  button->resize(kButtonWidth, kButtonHeight / 2);
  return button;
}

bool IsDeletion(const QKeyEvent* event) {
  return event->key() == Qt::Key_Delete || event->matches(QKeySequence::Delete) ||
         event->matches(QKeySequence::DeleteEndOfWord) || event->matches(QKeySequence::DeleteStartOfWord) ||
         event->matches(QKeySequence::DeleteEndOfLine) || event->matches(QKeySequence::DeleteCompleteLine);
}

}  // namespace

TDSpinEdit::TDSpinEdit(QWidget* parent) : QLineEdit(parent) {
  upButton_ = MakeButton(this, Qt::UpArrow);
  downButton_ = MakeButton(this, Qt::DownArrow);
  for (QToolButton* button : {upButton_, downButton_}) {
    // The buttons pass the focus to the edit.
    connect(button, &QToolButton::pressed, this, [this] {
      if (!hasFocus()) setFocus(Qt::OtherFocusReason);
    });
  }
  connect(upButton_, &QToolButton::clicked, this, [this] { StepUp(); });
  connect(downButton_, &QToolButton::clicked, this, [this] { StepDown(); });
  connect(this, &QLineEdit::textChanged, this, [this](const QString&) {
    if (OnChange) OnChange(this);
  });
  setTextMargins(0, 0, kButtonWidth + 2, 0);
  setText(QStringLiteral("0.0"));
  PlaceButtons();
}

TDSpinEdit::~TDSpinEdit() = default;

bool TDSpinEdit::TryValue(double& value) const { return NumberText::TryStrToFloat(text(), value); }

double TDSpinEdit::Value() const {
  double value = 0.0;
  return TryValue(value) ? value : minValue_;
}

void TDSpinEdit::SetValue(double value) {
  // Not-a-number, and infinity with nothing to clamp it to, would show as text
  // that reads back as something else: they stand for the lower limit.
  if (std::isnan(value) || (std::isinf(value) && maxValue_ == minValue_)) value = minValue_;
  setText(NumberText::FloatToStrF(CheckValue(value), NumberText::FloatFormat::Fixed, decimal_ + 4, decimal_));
}

double TDSpinEdit::CheckValue(double value) const {
  if (maxValue_ == minValue_) return value;
  if (value < minValue_) return minValue_;
  if (value > maxValue_) return maxValue_;
  return value;
}

bool TDSpinEdit::AcceptsChar(QChar key) const {
  const ushort code = key.unicode();
  bool accepted = (key >= QLatin1Char('0') && key <= QLatin1Char('9')) || key == QLatin1Char('+') ||
                  key == QLatin1Char('-') || key == NumberText::DecimalSeparator() ||
                  (code < 32 && code != kCarriageReturn);
  if (!editorEnabled_) accepted = accepted && code < 32 && code != kBackspace;
  return accepted;
}

void TDSpinEdit::StepUp() {
  if (isReadOnly()) {
    Beep();
    return;
  }
  SetValue(Value() + increment_);
}

void TDSpinEdit::StepDown() {
  if (isReadOnly()) {
    Beep();
    return;
  }
  SetValue(Value() - increment_);
}

void TDSpinEdit::Beep() { QApplication::beep(); }

void TDSpinEdit::keyPressEvent(QKeyEvent* event) {
  if (event->matches(QKeySequence::Paste) || event->matches(QKeySequence::Cut)) {
    if (TextChangesAllowed()) {
      QLineEdit::keyPressEvent(event);
    } else {
      event->accept();  // dropped silently
    }
    return;
  }
  switch (event->key()) {
    case Qt::Key_Up:
      StepUp();
      event->accept();
      return;
    case Qt::Key_Down:
      StepDown();
      event->accept();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // Never typed into the text; the form may use it for its default button.
      QLineEdit::keyPressEvent(event);
      return;
    default:
      break;
  }
  if (!editorEnabled_ && IsDeletion(event)) {
    Beep();
    event->accept();
    return;
  }
  const QString typed = event->text();
  if (!typed.isEmpty() && !(typed.size() == 1 && typed.at(0).unicode() == kDelete)) {
    for (QChar key : typed) {
      if (!AcceptsChar(key)) {
        Beep();
        event->accept();
        return;
      }
    }
  }
  QLineEdit::keyPressEvent(event);
}

void TDSpinEdit::inputMethodEvent(QInputMethodEvent* event) {
  for (QChar key : event->commitString()) {
    if (!AcceptsChar(key)) {
      Beep();
      event->accept();
      return;
    }
  }
  QLineEdit::inputMethodEvent(event);
}

void TDSpinEdit::contextMenuEvent(QContextMenuEvent* event) {
  QMenu* menu = createStandardContextMenu();
  if (!TextChangesAllowed()) {
    for (QAction* action : menu->actions()) {
      const QString name = action->objectName();
      if (name == QLatin1String("edit-paste") || name == QLatin1String("edit-cut") ||
          name == QLatin1String("edit-delete") || name == QLatin1String("edit-undo") ||
          name == QLatin1String("edit-redo"))
        action->setEnabled(false);
    }
  }
  menu->setAttribute(Qt::WA_DeleteOnClose);
  menu->popup(event->globalPos());
}

void TDSpinEdit::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::MiddleButton && !TextChangesAllowed()) {
    event->accept();
    return;
  }
  QLineEdit::mousePressEvent(event);
}

void TDSpinEdit::mouseReleaseEvent(QMouseEvent* event) {
  // A middle click pastes the selection on X11.
  if (event->button() == Qt::MiddleButton && !TextChangesAllowed()) {
    event->accept();
    return;
  }
  QLineEdit::mouseReleaseEvent(event);
}

void TDSpinEdit::dragEnterEvent(QDragEnterEvent* event) {
  if (!TextChangesAllowed()) {
    event->ignore();
    return;
  }
  QLineEdit::dragEnterEvent(event);
}

void TDSpinEdit::dropEvent(QDropEvent* event) {
  if (!TextChangesAllowed()) {
    event->ignore();
    return;
  }
  QLineEdit::dropEvent(event);
}

void TDSpinEdit::focusInEvent(QFocusEvent* event) {
  QLineEdit::focusInEvent(event);
  const bool leftButtonOnMe =
      event->reason() == Qt::MouseFocusReason && (QApplication::mouseButtons() & Qt::LeftButton);
  if (autoSelect_ && !leftButtonOnMe) selectAll();
  if (EventAdapters::IsEnterReason(event->reason()) && OnEnter) OnEnter(this);
}

void TDSpinEdit::focusOutEvent(QFocusEvent* event) {
  QLineEdit::focusOutEvent(event);
  if (!EventAdapters::IsExitReason(event->reason())) return;
  if (OnExit) OnExit(this);
  // An out-of-range text is clamped and reformatted; an in-range text keeps
  // its typed form.
  const double value = Value();
  if (CheckValue(value) != value) SetValue(value);
}

void TDSpinEdit::resizeEvent(QResizeEvent* event) {
  QLineEdit::resizeEvent(event);
  PlaceButtons();
}

int TDSpinEdit::MinimumHeight() const {
  const int fontHeight = fontMetrics().height();
  const int systemHeight = QFontMetrics(QApplication::font()).height();
  return fontHeight + std::min(systemHeight, fontHeight) / 4 + 4 * 1 + 2;
}

QSize TDSpinEdit::minimumSizeHint() const {
  QSize size = QLineEdit::minimumSizeHint();
  size.setHeight(std::max(size.height(), MinimumHeight()));
  size.setWidth(size.width() + kButtonWidth + 2);
  return size;
}

void TDSpinEdit::PlaceButtons() {
  const int x = width() - kButtonWidth - 1;
  const int total = std::max(2, height() - 3);
  const int upper = total / 2;
  upButton_->setGeometry(x, 1, kButtonWidth, upper);
  downButton_->setGeometry(x, 1 + upper, kButtonWidth, total - upper);
}
