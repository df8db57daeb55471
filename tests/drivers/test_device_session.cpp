// The device session: jobs in order on their own thread, reports on the
// owner's thread, cancellation, shutdown with a job running, and jobs
// posted after the end.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "drivers/device_session.h"
#include "tests/support/wait_for.h"

using test_support::WaitForEvents;

namespace {

// Records the thread it is deleted on.
class Root : public QObject {
 public:
  explicit Root(std::atomic<QThread*>& deletedOn) : deletedOn_(deletedOn) {}
  ~Root() override { deletedOn_ = QThread::currentThread(); }

 private:
  std::atomic<QThread*>& deletedOn_;
};

}  // namespace

TEST(DeviceSession, JobsRunInOrderOnTheSessionThreadAndReportOnTheOwners) {
  DeviceSession session;
  std::atomic<QThread*> deletedOn{nullptr};
  ASSERT_TRUE(session.Start([&] { return new Root(deletedOn); }));
  std::vector<int> ran;  // touched by the session thread only while jobs run
  std::vector<int> reported;
  std::atomic<bool> wrongThread{false};
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(session.Post(
        [&, i] {
          if (QThread::currentThread() != session.Thread()) wrongThread = true;
          ran.push_back(i);
        },
        [&, i](bool done) {
          if (QThread::currentThread() != QCoreApplication::instance()->thread() || !done) wrongThread = true;
          reported.push_back(i);
        }));
  }
  ASSERT_TRUE(WaitForEvents([&] { return reported.size() == 200; }));
  EXPECT_FALSE(wrongThread);
  for (int i = 0; i < 200; ++i) {
    EXPECT_EQ(ran[static_cast<std::size_t>(i)], i);
    EXPECT_EQ(reported[static_cast<std::size_t>(i)], i);
  }
  QThread* thread = session.Thread();
  EXPECT_TRUE(session.Shutdown());
  // The session's objects went with their own thread.
  EXPECT_EQ(deletedOn.load(), thread);
}

TEST(DeviceSession, CancelSkipsQueuedJobsAndStopsTheRunningOne) {
  DeviceSession session;
  ASSERT_TRUE(session.Start({}));
  std::atomic<bool> running{false};
  std::atomic<bool> sawCancel{false};
  std::atomic<int> laterRan{0};
  std::vector<bool> results;
  session.Post(
      [&] {
        running = true;
        QElapsedTimer t;
        t.start();
        // A long job checks between its steps.
        while (!session.Cancelled() && t.elapsed() < 5000) QThread::msleep(2);
        sawCancel = session.Cancelled();
      },
      [&](bool ran) { results.push_back(ran); });
  for (int i = 0; i < 3; ++i) session.Post([&] { ++laterRan; }, [&](bool ran) { results.push_back(ran); });
  ASSERT_TRUE(WaitForEvents([&] { return running.load(); }));
  QElapsedTimer t;
  t.start();
  session.CancelJobs();
  ASSERT_TRUE(WaitForEvents([&] { return results.size() == 4; }));
  EXPECT_LT(t.elapsed(), 1000);
  EXPECT_TRUE(sawCancel);
  EXPECT_EQ(laterRan.load(), 0);
  EXPECT_EQ(results, (std::vector<bool>{true, false, false, false}));
  // Jobs posted after the cancel run again.
  bool after = false;
  session.Post([] {}, [&](bool ran) { after = ran; });
  EXPECT_TRUE(WaitForEvents([&] { return after; }));
}

TEST(DeviceSession, ShutdownWithAJobRunningNeitherHangsNorRunsLaterJobs) {
  auto session = std::make_unique<DeviceSession>();
  std::atomic<QThread*> deletedOn{nullptr};
  ASSERT_TRUE(session->Start([&] { return new Root(deletedOn); }));
  std::atomic<bool> running{false};
  std::atomic<int> laterRan{0};
  int reports = 0;
  DeviceSession* s = session.get();
  session->Post([&] {
    running = true;
    while (!s->Cancelled()) QThread::msleep(2);
    QThread::msleep(50);  // a last step after the cancel, which still reports
    s->Notify([&] { ++reports; });
  });
  for (int i = 0; i < 5; ++i) session->Post([&] { ++laterRan; }, [&](bool) { ++reports; });
  ASSERT_TRUE(WaitForEvents([&] { return running.load(); }));
  QElapsedTimer t;
  t.start();
  EXPECT_TRUE(session->Shutdown(1500));
  EXPECT_LT(t.elapsed(), 1000);
  EXPECT_NE(deletedOn.load(), nullptr);
  // Nothing reaches the owner after the end.
  WaitForEvents([] { return false; }, 100);
  EXPECT_EQ(laterRan.load(), 0);
  EXPECT_EQ(reports, 0);
  EXPECT_FALSE(session->Running());

  // A job posted after the end fails at once and never reports.
  bool called = false;
  EXPECT_FALSE(session->Post([] {}, [&](bool) { called = true; }));
  WaitForEvents([] { return false; }, 50);
  EXPECT_FALSE(called);
  session.reset();
}

TEST(DeviceSession, AThrowingJobIsReportedAsNotRunAndTheSessionGoesOn) {
  DeviceSession session;
  ASSERT_TRUE(session.Start({}));
  std::vector<bool> results;
  session.Post([] { throw std::runtime_error("line failed"); }, [&](bool ran) { results.push_back(ran); });
  session.Post([] {}, [&](bool ran) { results.push_back(ran); });
  ASSERT_TRUE(WaitForEvents([&] { return results.size() == 2; }));
  EXPECT_EQ(results, (std::vector<bool>{false, true}));
}

// A factory still at work when Start's deadline passes: Start gives up and
// returns, the factory finishes afterwards (held on a latch until then),
// and what it made is deleted on the session thread, also when the session
// itself is gone by then. Nothing is written into Start's frame (the
// factory only ever holds shared state), which the sanitizer build checks.
TEST(DeviceSession, AFactoryThatOutlivesTheDeadlineLeaksNothingAndWritesNothingBack) {
  struct Latch {
    std::mutex mutex;
    std::condition_variable opened;
    bool open = false;
    std::atomic<QThread*> madeOn{nullptr};
    std::atomic<QThread*> deletedOn{nullptr};
  };
  for (const bool sessionGoesFirst : {false, true}) {
    SCOPED_TRACE(sessionGoesFirst ? "the session is deleted before the factory ends"
                                  : "the session lives on");
    const auto latch = std::make_shared<Latch>();
    auto session = std::make_unique<DeviceSession>();
    QElapsedTimer clock;
    clock.start();
    const bool started = session->Start(
        [latch]() -> QObject* {
          latch->madeOn = QThread::currentThread();
          std::unique_lock lock(latch->mutex);
          latch->opened.wait(lock, [&] { return latch->open; });
          return new Root(latch->deletedOn);
        },
        200);
    EXPECT_FALSE(started);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_EQ(session->Root(), nullptr);
    EXPECT_FALSE(session->Running());
    EXPECT_FALSE(session->Post([] {}));
    if (sessionGoesFirst) session.reset();
    {
      std::lock_guard lock(latch->mutex);
      latch->open = true;
    }
    latch->opened.notify_all();
    ASSERT_TRUE(WaitForEvents([&] { return latch->deletedOn.load() != nullptr; }))
        << "what the late factory made was never deleted";
    EXPECT_EQ(latch->deletedOn.load(), latch->madeOn.load());
    if (session) {
      EXPECT_EQ(session->Root(), nullptr);
      EXPECT_FALSE(session->Running());
    }
  }
}
