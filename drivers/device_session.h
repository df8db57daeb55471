#pragma once

#include <QObject>
#include <atomic>
#include <cstdint>
#include <functional>

class QThread;

// One connected device's own thread. The session owns the objects made for
// it on that thread (a driver with its port and timers) and runs the jobs
// its owner posts there, one after the other in the order posted, so no
// wait on a serial line ever blocks the owner's (GUI) thread.
//
// What a job reports goes back as queued calls on the owner's thread
// (Notify, and the `done` of Post). Cancelling skips the jobs still queued
// and tells the running one through Cancelled(), which long jobs check
// between exchanges. Shutdown cancels, lets the objects of the session be
// deleted on its thread and waits for the thread with a deadline; no job
// starts and no report is delivered after it. A job posted after the
// session ended is refused (Post returns false and `done` is never called).
//
// All methods except Cancelled() and Notify() are called on the owner's
// thread; those two may be called from either thread.
class DeviceSession : public QObject {
  Q_OBJECT

 public:
  using Job = std::function<void()>;
  // Makes the session's objects on the session thread and returns their
  // root (deleted on that thread at Shutdown), or nullptr.
  using Factory = std::function<QObject*()>;

  explicit DeviceSession(QObject* owner = nullptr);
  // Shuts down (with the default deadline) when still running.
  ~DeviceSession() override;
  DeviceSession(const DeviceSession&) = delete;
  DeviceSession& operator=(const DeviceSession&) = delete;

  // Starts the thread and runs (a copy of) `factory` there; waits for it
  // (at most `deadlineMs`). False when the session already ran, or the
  // factory failed or did not finish in time; a factory that finishes
  // later has what it made deleted on the session thread at once.
  bool Start(const Factory& factory, int deadlineMs = 5000);
  bool Running() const { return started_ && !ended_.load(); }
  QThread* Thread() const { return thread_; }
  // The root object made by the factory (lives on the session thread).
  QObject* Root() const { return root_; }

  // Queues `job`; `done(ran)` follows on the owner's thread: `ran` is false
  // when the job was skipped (cancelled) or failed with an exception.
  bool Post(Job job, std::function<void(bool ran)> done = {});
  // Runs `call` on the owner's thread (queued), unless the session ended
  // before it is delivered.
  void Notify(std::function<void()> call);

  // Skips every job queued so far and asks the running one to stop.
  void CancelJobs();
  // True inside a job that was cancelled, and once the session is ending.
  bool Cancelled() const;

  // Waits at most `deadlineMs` for the jobs queued so far to finish; false
  // when they did not.
  bool Drain(int deadlineMs);

  // Ends the session: cancels, deletes the session's objects on its thread
  // and stops the thread. Waits at most `deadlineMs`; false when the thread
  // did not end in time (it is then left to finish on its own, and nothing
  // it still does reaches the owner).
  bool Shutdown(int deadlineMs = 1500);

  // Jobs run so far (for tests and figures).
  std::uint64_t JobsRun() const { return jobsRun_.load(); }

 private:
  void RunJob(const Job& job, std::uint64_t generation, const std::function<void(bool)>& done);

  QThread* thread_ = nullptr;
  QObject* context_ = nullptr;  // lives on the session thread; target of posted jobs
  QObject* root_ = nullptr;
  bool started_ = false;
  // The thread missed its shutdown deadline (it may still use the objects).
  bool stuck_ = false;
  std::atomic<bool> ended_{false};
  std::atomic<std::uint64_t> cancelGeneration_{0};
  // Generation the running job was posted under (session thread only; read
  // through Cancelled by that thread).
  std::atomic<std::uint64_t> runningGeneration_{0};
  std::atomic<std::uint64_t> jobsRun_{0};
};
