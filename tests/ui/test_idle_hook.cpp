// The idle service the main window pulls burst records from.

#include <gtest/gtest.h>

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include "ui/idle_hook.h"

namespace {

// Runs a real event loop for `ms` milliseconds (it goes idle in between).
void RunLoop(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

TEST(MainWindowIdleHook, HandlersRunWhenTheLoopGoesIdle) {
  IdleHook hook;
  int calls = 0;
  const int id = hook.Attach([&] { ++calls; });
  RunLoop(50);
  EXPECT_GT(calls, 0);
  hook.Detach(id);
  const int before = calls;
  RunLoop(50);
  EXPECT_EQ(calls, before);
  EXPECT_EQ(hook.HandlerCount(), 0);
}

// A handler that runs an event loop of its own does not run the handlers
// again inside it, and may detach itself while running.
TEST(MainWindowIdleHook, NoReentryAndSelfDetach) {
  IdleHook hook;
  int depth = 0;
  int maxDepth = 0;
  int calls = 0;
  int id = 0;
  id = hook.Attach([&] {
    ++depth;
    maxDepth = std::max(maxDepth, depth);
    ++calls;
    RunLoop(5);  // goes idle inside the handler
    if (calls == 3) hook.Detach(id);
    --depth;
  });
  RunLoop(100);
  EXPECT_EQ(maxDepth, 1);
  EXPECT_EQ(calls, 3);
  EXPECT_FALSE(hook.Attached(id));
}

// An exception in one handler neither stops the others nor escapes.
TEST(MainWindowIdleHook, ThrowingHandlerIsContained) {
  IdleHook hook;
  int calls = 0;
  hook.Attach([] { throw std::runtime_error("broken handler"); });
  hook.Attach([&] { ++calls; });
  EXPECT_NO_THROW(hook.RunHandlers());
  EXPECT_EQ(calls, 1);
}
