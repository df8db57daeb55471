#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

class DeviceFamily;

// The device work a setup dialog has under way, for any device family: the
// jobs it posted and has not heard back from, and at most one sequence of
// writes (Cancel's write-back, a file, a preset ...) that holds the user's
// input off and shows the driver's progress.
//
// While a sequence runs, it listens to the device's progress through a
// listener of its own, beside whoever else listens (the main window's
// OnProgress): `Progress` hears every report. Ending the sequence removes
// that listener, whether the sequence succeeded, failed or was stopped; no
// one else's callback is ever touched. Widget-free: the owner says through
// the hooks how input is held off and how the sequence shows.
class SetupSequence {
 public:
  using ProgressFn = std::function<void(int percent, const QString& caption)>;

  SetupSequence();
  ~SetupSequence();
  SetupSequence(const SetupSequence&) = delete;
  SetupSequence& operator=(const SetupSequence&) = delete;

  // Input is held off (false) when a sequence begins and given back (true)
  // when it ends.
  std::function<void(bool enabled)> SetInputEnabled;
  // The sequence begins to show (with a way to stop it when `stoppable`)
  // or no longer shows.
  std::function<void(bool running, bool stoppable)> ShowRunning;
  // The driver's progress while the sequence listens.
  ProgressFn Progress;

  // --- Jobs ------------------------------------------------------------------------
  void JobStarted() { ++jobs_; }
  // A job reported back (reports of a session dropped by DeviceChanged
  // never come).
  void JobDone() {
    if (jobs_ > 0) --jobs_;
  }
  int JobsInFlight() const { return jobs_; }

  // The dialog was bound to another device (or none): the old session's
  // reports never come, and End no longer removes the listener from the
  // old device (it is not touched: it may be gone; a listener left there
  // hears nothing once this object is gone or a new sequence runs).
  void DeviceChanged();

  // --- The sequence ------------------------------------------------------------------
  // Holds input off, shows the sequence and listens to `device`'s progress
  // (none when `device` is null). A second Begin while one runs shows
  // again but keeps the one listener it has.
  void Begin(DeviceFamily* device, bool stoppable = true);
  // Stops listening to the device, shows no more and gives input back;
  // false when no sequence ran (e.g. ended already when the dialog closed).
  bool End();
  bool Running() const { return running_; }

  // Counts a job; the callback for its report takes the count down (and
  // ends the sequence when `ends`) while this object lives, then calls
  // `done` (which may be empty), whatever became of this object.
  template <class Outcome>
  std::function<void(const Outcome&)> Counted(std::function<void(const Outcome&)> done, bool ends) {
    JobStarted();
    return [alive = Alive(), ends, done = std::move(done)](const Outcome& outcome) {
      Report(alive, ends);
      if (done) done(outcome);
    };
  }

 private:
  std::weak_ptr<SetupSequence*> Alive() const { return self_; }
  static void Report(const std::weak_ptr<SetupSequence*>& alive, bool ends);

  int jobs_ = 0;
  bool running_ = false;
  DeviceFamily* device_ = nullptr;  // whose progress is listened to
  std::uint64_t listener_ = 0;      // the token of that listener
  // The listener and the counted callbacks reach this object only while it
  // lives, and the listener only while its sequence runs.
  std::shared_ptr<SetupSequence*> self_;
};
