#include "drivers/driver_timer.h"

#include <QThread>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "platform/clock.h"

QTimer* DriverTimer::Create(QObject* owner, int intervalMs, std::function<void()> onTimeout) {
  auto* timer = new QTimer(owner);
  timer->setInterval(intervalMs);
  QObject::connect(timer, &QTimer::timeout, owner, std::move(onTimeout));
  return timer;
}

void DriverTimer::Sleep(int ms, const std::function<bool()>& cancelled) {
  const auto start = Clock::Now();
  for (double left = ms; left > 0 && !cancelled(); left = ms - Clock::MillisecondsSince(start))
    QThread::msleep(static_cast<unsigned long>(std::min(left, 10.0) + 0.5));
}
