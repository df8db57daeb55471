#pragma once

#include <functional>

class QObject;
class QTimer;

// The repeating timers the device drivers poll, parse and watch with.
class DriverTimer {
 public:
  // A stopped timer owned by `owner` that runs `onTimeout` (in `owner`'s
  // thread) every `intervalMs`.
  static QTimer* Create(QObject* owner, int intervalMs, std::function<void()> onTimeout);

  // Waits `ms` in slices of at most 10 ms, ending early once `cancelled` says so.
  static void Sleep(int ms, const std::function<bool()>& cancelled);
};
