#pragma once

#include <QMetaObject>
#include <Qt>
#include <functional>

class QAbstractButton;
class QComboBox;
class QWidget;

// The event semantics that the program's forms are written for, mapped once
// onto Qt's signals:
//
// - a combo box's change event fires on a choice by the user only (picking an
//   item, keys or wheel, typing into an editable combo), never when code sets
//   the index or the text;
// - a check box's or radio button's click event fires whenever its checked
//   state changes, also when code sets it;
// - "enter" and "exit" are the focus arriving at or leaving a control (or any
//   part of it) for another control of the same window; opening a popup
//   (menu, drop-down list) or switching to another window is neither;
// - a combo box's close-up event runs after the item chosen in the drop-down
//   list has been committed (Qt hides the list before it commits).
//
// Each function connects `handler` for the lifetime of the control.
struct EventAdapters {
  static QMetaObject::Connection OnComboChange(QComboBox* combo, std::function<void()> handler);
  static QMetaObject::Connection OnCheckClick(QAbstractButton* button, std::function<void()> handler);
  static QMetaObject::Connection OnEnter(QWidget* control, std::function<void()> handler);
  static QMetaObject::Connection OnExit(QWidget* control, std::function<void()> handler);
  static void OnCloseUp(QComboBox* combo, std::function<void()> handler);

  // For controls that handle their own focus events: true when a focus-out
  // with this reason counts as leaving the control.
  static bool IsExitReason(Qt::FocusReason reason);
  // True when a focus-in with this reason counts as entering the control.
  static bool IsEnterReason(Qt::FocusReason reason);
};
