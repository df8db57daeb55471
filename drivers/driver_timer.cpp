#include "drivers/driver_timer.h"

#include <QTimer>
#include <utility>

QTimer* DriverTimer::Create(QObject* owner, int intervalMs, std::function<void()> onTimeout) {
  auto* timer = new QTimer(owner);
  timer->setInterval(intervalMs);
  QObject::connect(timer, &QTimer::timeout, owner, std::move(onTimeout));
  return timer;
}
