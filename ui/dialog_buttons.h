#pragma once

#include <QString>
#include <functional>

class QDialog;
class QHBoxLayout;
class QPushButton;

// The OK and Cancel buttons at the foot of a dialog, named btnOK and
// btnCancel, right-aligned. OK is the default button and runs `onOk`;
// Cancel rejects the dialog.
struct DialogButtons {
  static QHBoxLayout* OkCancel(QDialog* dialog, QPushButton*& btnOK, QPushButton*& btnCancel,
                               const QString& cancelText, std::function<void()> onOk);
};
