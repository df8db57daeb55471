#include "drivers/brio/brio_notify.h"

#include <QCoreApplication>

TBrioNotifyEvent::TBrioNotifyEvent(std::uint16_t msg, std::uint32_t wParam, std::int32_t lParam)
    : QEvent(Type()), Msg(msg), WParam(wParam), LParam(lParam) {}

QEvent::Type TBrioNotifyEvent::Type() {
  static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

bool PostBrioNotify(const TBrioNotify& record, std::uint32_t wParam, std::int32_t lParam) {
  if (!record.Enabled) return false;
  QObject* receiver = record.Window.data();
  if (receiver == nullptr) return false;
  // postEvent is thread-safe and delivers on the receiver's thread.
  QCoreApplication::postEvent(receiver, new TBrioNotifyEvent(record.Msg, wParam, lParam));
  return true;
}
