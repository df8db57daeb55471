#include "drivers/device_session.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QSemaphore>
#include <QThread>
#include <cstdio>
#include <exception>
#include <memory>

namespace {

void LogJobFailure(const char* what) {
  std::fprintf(stderr, "ThermaSentinel: device job failed: %s\n", what);
}

}  // namespace

DeviceSession::DeviceSession(QObject* owner) : QObject(owner) {}

DeviceSession::~DeviceSession() {
  if (started_ && !ended_.load()) Shutdown();
}

bool DeviceSession::Start(const Factory& factory, int deadlineMs) {
  if (started_) return false;
  started_ = true;
  thread_ = new QThread();
  thread_->setObjectName(QStringLiteral("device session"));
  context_ = new QObject();
  context_->moveToThread(thread_);
  // The context goes with the thread's end.
  connect(thread_, &QThread::finished, context_, &QObject::deleteLater);
  thread_->start();

  QSemaphore made;
  QObject* root = nullptr;
  QMetaObject::invokeMethod(
      context_,
      [&factory, &root, &made] {
        try {
          if (factory) root = factory();
        } catch (const std::exception& e) {
          LogJobFailure(e.what());
          root = nullptr;
        }
        made.release();
      },
      Qt::QueuedConnection);
  if (!made.tryAcquire(1, deadlineMs) || (factory && root == nullptr)) {
    // The factory did not finish in time or failed: nothing is usable.
    Shutdown(deadlineMs);
    return false;
  }
  root_ = root;
  return true;
}

bool DeviceSession::Post(Job job, std::function<void(bool ran)> done) {
  if (!started_ || ended_.load() || context_ == nullptr) return false;
  const std::uint64_t generation = cancelGeneration_.load();
  return QMetaObject::invokeMethod(
      context_,
      [this, job = std::move(job), generation, done = std::move(done)] { RunJob(job, generation, done); },
      Qt::QueuedConnection);
}

void DeviceSession::RunJob(const Job& job, std::uint64_t generation, const std::function<void(bool)>& done) {
  bool ran = false;
  if (!ended_.load() && generation == cancelGeneration_.load()) {
    runningGeneration_.store(generation);
    try {
      job();
      ran = true;
      jobsRun_.fetch_add(1);
    } catch (const std::exception& e) {
      LogJobFailure(e.what());
    } catch (...) {
      LogJobFailure("unknown exception");
    }
  }
  if (done) Notify([done, ran] { done(ran); });
}

void DeviceSession::Notify(std::function<void()> call) {
  if (ended_.load()) return;
  QMetaObject::invokeMethod(
      this,
      [this, call = std::move(call)] {
        if (!ended_.load()) call();
      },
      Qt::QueuedConnection);
}

bool DeviceSession::Drain(int deadlineMs) {
  if (!Running() || context_ == nullptr) return true;
  if (deadlineMs <= 0) return false;
  auto reached = std::make_shared<QSemaphore>();
  QMetaObject::invokeMethod(
      context_, [reached] { reached->release(); }, Qt::QueuedConnection);
  return reached->tryAcquire(1, deadlineMs);
}

void DeviceSession::CancelJobs() { cancelGeneration_.fetch_add(1); }

bool DeviceSession::Cancelled() const {
  return ended_.load() || runningGeneration_.load() != cancelGeneration_.load();
}

bool DeviceSession::Shutdown(int deadlineMs) {
  if (stuck_) return false;
  if (!started_ || thread_ == nullptr) return true;
  if (ended_.exchange(true)) return !thread_->isRunning();
  CancelJobs();
  const QDeadlineTimer deadline(deadlineMs);
  QObject* root = root_;
  root_ = nullptr;
  QThread* thread = thread_;
  // Runs after the job in progress (every queued one is skipped): the
  // session's objects are deleted on their own thread, then the thread ends.
  QMetaObject::invokeMethod(
      context_,
      [root, thread] {
        try {
          delete root;
        } catch (...) {
          LogJobFailure("while closing the device");
        }
        thread->quit();
      },
      Qt::QueuedConnection);
  if (thread->wait(deadline)) {
    delete thread;
    thread_ = nullptr;
    context_ = nullptr;
    return true;
  }
  std::fprintf(stderr, "ThermaSentinel: the device thread did not end within %d ms; left to finish\n",
               deadlineMs);
  // Deleted once it finishes; the process may end before that.
  connect(thread, &QThread::finished, thread, &QObject::deleteLater);
  stuck_ = true;
  thread_ = nullptr;
  context_ = nullptr;
  return false;
}
