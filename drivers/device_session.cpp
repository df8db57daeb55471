#include "drivers/device_session.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QMetaObject>
#include <QSemaphore>
#include <QThread>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>

#include "platform/logger.h"

namespace {

const QString kSource = QStringLiteral("device session");

void LogJobFailure(const QString& what) {
  Logger::Error(kSource, QStringLiteral("device job failed: ") + what);
}

// What Start and its factory share. Whichever of the two lets go last frees
// it, so a factory that finishes after Start gave up writes here, never
// into Start's stack frame.
struct FactoryOutcome {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;       // the factory returned (or threw)
  bool abandoned = false;  // Start stopped waiting: the objects are nobody's
  QObject* root = nullptr;
};

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

  // The factory is copied into the job: the caller's may be gone by the
  // time a slow factory runs.
  const auto outcome = std::make_shared<FactoryOutcome>();
  QMetaObject::invokeMethod(
      context_,
      [factory, outcome] {
        QObject* root = nullptr;
        try {
          if (factory) root = factory();
        } catch (const std::exception& e) {
          LogJobFailure(QString::fromLocal8Bit(e.what()));
        } catch (...) {
          LogJobFailure(QStringLiteral("unknown exception while making the device's objects"));
        }
        std::unique_lock lock(outcome->mutex);
        if (outcome->abandoned) {
          lock.unlock();
          // Start gave up on them: they are deleted here, on the thread
          // they were made on, before anything else runs there.
          if (root != nullptr) {
            Logger::Warning(kSource, QStringLiteral("the device's objects came after the start had given up; "
                                                    "deleted"));
            delete root;
          }
          return;
        }
        outcome->root = root;
        outcome->done = true;
        outcome->finished.notify_all();
      },
      Qt::QueuedConnection);
  bool done = false;
  QObject* root = nullptr;
  {
    std::unique_lock lock(outcome->mutex);
    done = outcome->finished.wait_for(lock, std::chrono::milliseconds(std::max(deadlineMs, 0)),
                                      [&outcome] { return outcome->done; });
    if (!done) outcome->abandoned = true;
    root = outcome->root;
  }
  if (!done) {
    Logger::Warning(kSource,
                    QStringLiteral("the device's objects were not made within %1 ms").arg(deadlineMs));
  }
  if (!done || (factory && root == nullptr)) {
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
      LogJobFailure(QString::fromLocal8Bit(e.what()));
    } catch (...) {
      LogJobFailure(QStringLiteral("unknown exception"));
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
          Logger::Error(kSource, QStringLiteral("closing the device failed"));
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
  Logger::Warning(
      kSource, QStringLiteral("the device thread did not end within %1 ms; left to finish").arg(deadlineMs));
  // Deleted once it finishes; the process may end before that.
  connect(thread, &QThread::finished, thread, &QObject::deleteLater);
  stuck_ = true;
  thread_ = nullptr;
  context_ = nullptr;
  return false;
}
