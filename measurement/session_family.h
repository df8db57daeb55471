#pragma once

#include <QObject>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <utility>

#include "drivers/device_session.h"
#include "drivers/driver_timer.h"
#include "measurement/device_family.h"
#include "transport/com_port.h"

// What every family shares behind the family interface: one driver of type
// `Driver` made on its own device session thread, jobs on that driver run in
// the order posted with their results handed back on the owner's thread,
// the snapshot of the driver's caches published after every job (and
// whenever a driver event says the device changed), the bounded queue the
// streamed records leave the session through, and the removed-port report.
//
// A family derives from this, makes its driver in MakeDriver (on the session
// thread, where it also wires the driver's events) and fills the snapshot in
// FillSnapshot (also on the session thread). Reports are delivered only
// while the session runs: after Shutdown nothing reaches the owner.
template <class Driver>
class SessionFamily : public DeviceFamily {
 public:
  const TDeviceSnapshot& Snapshot() const override { return snapshot_; }
  bool Busy() const override { return pending_ > 0; }
  RecordQueue& Records() override { return records_; }
  std::uint64_t BytesLost() const override { return bytesLost_.load(); }

  bool Shutdown(int drainMs, int deadlineMs) override {
    if (session_->Running()) session_->Drain(drainMs);
    return session_->Shutdown(deadlineMs);
  }

  // Runs `job` on the driver, on the session thread, after what is queued;
  // `done(ran)` on the owner's thread with the snapshot already updated.
  // False when the session has ended.
  bool PostDriverJob(std::function<void(Driver&)> job, std::function<void(bool ran)> done = {}) {
    ++pending_;
    const bool posted = session_->Post(
        [this, job = std::move(job)] {
          job(*driver_);
          Publish();
        },
        [this, done = std::move(done)](bool ran) {
          --pending_;
          if (done) done(ran);
        });
    if (!posted) --pending_;
    return posted;
  }
  DeviceSession& Session() { return *session_; }

  // Closes the port; queued jobs are dropped.
  void Close() override {
    // Whatever was still to be done on this device is moot.
    session_->CancelJobs();
    snapshot_.PortOpen = false;
    snapshot_.Connected = false;
    snapshot_.Streaming = false;
    PostDriverJob([this](Driver& d) {
      if (recordTimer_ != nullptr) recordTimer_->stop();
      d.ClosePort();
    });
  }

 protected:
  explicit SessionFamily(QObject* owner) : session_(std::make_unique<DeviceSession>(owner)) {}
  // The derived family shuts the session down in its own destructor, before
  // its members go; this is the last guard.
  ~SessionFamily() override { session_->Shutdown(1500); }

  // Starts the session thread and makes the driver there (MakeDriver).
  void StartSession() {
    // The driver is taken only from a start that succeeded: a factory that
    // finished after the start gave up made a driver the session deletes.
    const bool started = session_->Start([this]() -> QObject* {
      Driver* driver = MakeDriver();
      driver->SetCancelCheck([session = session_.get()] { return session->Cancelled(); });
      return driver;
    });
    if (started) driver_ = static_cast<Driver*>(session_->Root());
  }

  // On the session thread: makes and wires the driver (owned by the session).
  virtual Driver* MakeDriver() = 0;
  // On the session thread: the driver's caches as the window sees them.
  virtual void FillSnapshot(const Driver& driver, TDeviceSnapshot& snapshot) const = 0;

  // On the session thread: copies the driver's caches to the owner. Queued
  // before any report the caller sends after it, so a report always finds
  // the snapshot that goes with it.
  void Publish() {
    TDeviceSnapshot s;
    FillSnapshot(*driver_, s);
    session_->Notify([this, s] { snapshot_ = s; });
  }

  // On the session thread: `call` runs on the owner's thread.
  void Report(std::function<void()> call) { session_->Notify(std::move(call)); }

  // For the driver's events, on the session thread: one that changed the
  // device publishes the snapshot before `event` is called on the owner's
  // thread; the others only pass their values on.
  std::function<void(QObject*)> Forward(std::function<void()> DeviceFamily::*event) {
    return [this, event](QObject*) {
      Publish();
      Report([this, event] {
        if (this->*event) (this->*event)();
      });
    };
  }
  void ReportError(int code) {
    Report([this, code] {
      if (OnError) OnError(code);
    });
  }
  void ReportProgress(int percent, const QString& caption) {
    Report([this, percent, caption] { DeliverProgress(percent, caption); });
  }
  void ReportValues(const TChannelSample& reading) {
    Report([this, reading] {
      if (OnChannelValues) OnChannelValues(reading);
    });
  }

  // Runs `job` and hands its result to `done` (see PostDriverJob).
  template <typename R>
  void Run(std::function<R(Driver&)> job, std::function<void(R)> done) {
    auto result = std::make_shared<R>();
    PostDriverJob([job = std::move(job), result](Driver& d) { *result = job(d); },
                  [done = std::move(done), result](bool) {
                    if (done) done(*result);
                  });
  }

  // On the session thread, after a successful open: the port's device
  // vanishing is reported once to OnPortRemoved. The family listens on the
  // port with one listener of its own: the one an earlier open left on the
  // same port goes first (a port the driver made anew since never had it).
  void WatchPortRemoval(TComPort* port) {
    if (port == nullptr) return;
    port->RemoveRemovedListener(removalToken_);
    removalToken_ = port->AddRemovedListener([this](QObject*) {
      Report([this] {
        if (OnPortRemoved) OnPortRemoved();
      });
    });
  }

  // Opens port "COM<port>" after `prepare` set the driver's line up;
  // `done(opened)`.
  void OpenPort(int port, std::function<void(Driver&)> prepare, std::function<void(bool opened)> done) {
    snapshot_.ComPort = port;
    Run<bool>(
        [this, port, prepare = std::move(prepare)](Driver& d) {
          if (recordTimer_ != nullptr) recordTimer_->stop();
          if (prepare) prepare(d);
          d.SetComPort(port);
          const bool opened = d.OpenPort();
          if (opened) WatchPortRemoval(d.Port());
          return opened && d.PortOpen();
        },
        std::move(done));
  }

  // For drivers that queue their burst entries without telling: on the
  // session thread, a timer (child of `parent`) moves them to Records()
  // through TakeBurstRecords while a burst is taken.
  void MakeRecordTimer(QObject* parent) {
    recordTimer_ = DriverTimer::Create(parent, kRecordTakeMs, [this] { TakeBurstRecords(); });
  }
  virtual void TakeBurstRecords() {}
  // On the session thread.
  void StartTakingRecords() { recordTimer_->start(); }
  bool TakingRecords() const { return recordTimer_ != nullptr && recordTimer_->isActive(); }
  // No more records are taken; `done` follows on the owner's thread.
  void StopTakingRecords(std::function<void()> done) {
    snapshot_.Streaming = false;
    PostDriverJob(
        [this](Driver&) {
          if (recordTimer_ != nullptr) recordTimer_->stop();
        },
        [done = std::move(done)](bool) {
          if (done) done();
        });
  }

  // On the session thread: the port's state in the snapshot.
  void FillPortState(const Driver& d, TDeviceSnapshot& s) const {
    s.PortOpen = d.PortOpen();
    s.Connected = d.Connected();
    s.ComPort = d.ComPort();
    s.Streaming = TakingRecords();
  }

  Driver* driver_ = nullptr;  // lives on the session thread
  TDeviceSnapshot snapshot_;
  RecordQueue records_;
  std::atomic<std::uint64_t> bytesLost_{0};

 private:
  // How often streamed entries move from the driver to the record queue
  // (the Brio drivers parse every 100 ms).
  static constexpr int kRecordTakeMs = 50;

  std::unique_ptr<DeviceSession> session_;
  QTimer* recordTimer_ = nullptr;                                                          // session thread
  TComPort::RemovedListeners::Token removalToken_ = TComPort::RemovedListeners::kNoToken;  // session thread
  int pending_ = 0;
};
