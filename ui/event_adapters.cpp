#include "ui/event_adapters.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

bool IsInside(const QWidget* widget, const QWidget* control) {
  return widget && (widget == control || control->isAncestorOf(widget));
}

bool IsPopup(const QWidget* widget) { return widget && widget->window()->windowType() == Qt::Popup; }

// Watches the hiding of a combo box's drop-down list and runs the handler once
// the event that closed it (and the choice it commits) has been handled.
class CloseUpWatcher : public QObject {
 public:
  CloseUpWatcher(QComboBox* combo, std::function<void()> handler)
      : QObject(combo), combo_(combo), handler_(std::move(handler)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Hide) {
      QPointer<QComboBox> combo = combo_;
      auto handler = handler_;
      QTimer::singleShot(0, combo_, [combo, handler] {
        if (combo && handler) handler();
      });
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  QComboBox* combo_;
  std::function<void()> handler_;
};

}  // namespace

QMetaObject::Connection EventAdapters::OnComboChange(QComboBox* combo, std::function<void()> handler) {
  if (!combo) return {};
  auto connection = QObject::connect(combo, &QComboBox::activated, combo, [handler](int) {
    if (handler) handler();
  });
  // Typing into an editable combo box is a change too; text set by code is not
  // (textEdited is emitted for the user's edits only).
  if (QLineEdit* edit = combo->lineEdit()) {
    QObject::connect(edit, &QLineEdit::textEdited, combo, [handler](const QString&) {
      if (handler) handler();
    });
  }
  return connection;
}

QMetaObject::Connection EventAdapters::OnCheckClick(QAbstractButton* button, std::function<void()> handler) {
  if (!button) return {};
  return QObject::connect(button, &QAbstractButton::toggled, button, [handler](bool) {
    if (handler) handler();
  });
}

QMetaObject::Connection EventAdapters::OnEnter(QWidget* control, std::function<void()> handler) {
  if (!control) return {};
  return QObject::connect(qApp, &QApplication::focusChanged, control,
                          [control, handler](QWidget* old, QWidget* now) {
                            if (!IsInside(now, control) || IsInside(old, control)) return;
                            if (IsPopup(old)) return;  // back from a menu or drop-down list
                            if (handler) handler();
                          });
}

QMetaObject::Connection EventAdapters::OnExit(QWidget* control, std::function<void()> handler) {
  if (!control) return {};
  return QObject::connect(qApp, &QApplication::focusChanged, control,
                          [control, handler](QWidget* old, QWidget* now) {
                            if (!IsInside(old, control) || IsInside(now, control)) return;
                            // Only a move to another control of the same window leaves the control.
                            if (!now || IsPopup(now) || now->window() != control->window()) return;
                            if (handler) handler();
                          });
}

void EventAdapters::OnCloseUp(QComboBox* combo, std::function<void()> handler) {
  if (!combo) return;
  QWidget* popup = combo->view()->window();
  popup->installEventFilter(new CloseUpWatcher(combo, std::move(handler)));
}

bool EventAdapters::IsExitReason(Qt::FocusReason reason) {
  return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}

bool EventAdapters::IsEnterReason(Qt::FocusReason reason) {
  return reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason;
}
