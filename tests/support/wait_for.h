#pragma once

// Bounded waits for tests: a condition is polled until it holds or the
// deadline passes, never a fixed sleep alone.

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <functional>
#include <thread>

namespace test_support {

// Polls `done` every millisecond until it holds or `timeout` passed, without
// running an event loop: for conditions that other threads make true.
// Returns done().
template <typename Pred>
bool WaitFor(Pred done, std::chrono::milliseconds timeout = std::chrono::milliseconds(2000)) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!done()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

// How WaitForEvents keeps the event loop going.
enum class EventPump {
  ProcessEvents,  // handles what is queued, waiting up to 10 ms for more
  EventLoop,      // runs a real loop in 20 ms slices, so idle handlers run too
};

// Runs the event loop until `done` holds or `timeoutMs` passed; returns done().
inline bool WaitForEvents(const std::function<bool()>& done, int timeoutMs = 5000,
                          EventPump pump = EventPump::ProcessEvents) {
  QDeadlineTimer deadline(timeoutMs);
  while (!done()) {
    if (deadline.hasExpired()) return false;
    if (pump == EventPump::EventLoop) {
      QEventLoop loop;
      QTimer::singleShot(20, &loop, &QEventLoop::quit);
      loop.exec();
    } else {
      QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
  }
  return true;
}

}  // namespace test_support
