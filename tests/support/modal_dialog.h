#pragma once

// Acting on a dialog that code shows modally (exec): the test arranges the
// action before the call that opens the dialog; it runs once the dialog is
// visible, inside the dialog's own event loop.

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>

namespace test_support {

// Runs `act` on `dialog` as soon as it is shown; gives up (and closes the
// dialog with reject, so exec returns) after `timeoutMs`.
inline void WhenShown(QDialog* dialog, std::function<void()> act, int timeoutMs = 10000) {
  auto* timer = new QTimer(dialog);
  timer->setInterval(5);
  auto remaining = std::make_shared<int>(timeoutMs / 5);
  QObject::connect(timer, &QTimer::timeout, dialog, [dialog, timer, act = std::move(act), remaining] {
    if (dialog->isVisible()) {
      timer->stop();
      timer->deleteLater();
      act();
    } else if (--*remaining <= 0) {
      timer->stop();
      timer->deleteLater();
    }
  });
  timer->start();
}

}  // namespace test_support
