#pragma once

#include <QString>
#include <functional>
#include <memory>

class DeviceFamily;

// The device work a setup dialog has under way, for any device family: the
// jobs it posted and has not heard back from, and at most one sequence of
// writes (Cancel's write-back, a file, a preset ...) that holds the user's
// input off and shows the driver's progress.
//
// While a sequence runs, the device's OnProgress is chained: whoever
// listened before still hears every report, and `Progress` hears it too.
// Ending the sequence gives the device its own callback back, whether the
// sequence succeeded, failed or was stopped. Widget-free: the owner says
// through the hooks how input is held off and how the sequence shows.
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
  // The driver's progress while the sequence's chain is in place.
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
  // reports never come, and the old device's progress is no longer given
  // back by End (it is not touched: it may be gone).
  void DeviceChanged();

  // --- The sequence ------------------------------------------------------------------
  // Holds input off, shows the sequence and chains `device`'s progress
  // (none when `device` is null). A second Begin while one runs shows
  // again but keeps the chain it has.
  void Begin(DeviceFamily* device, bool stoppable = true);
  // Gives `device` its progress back, shows no more and gives input back;
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
  DeviceFamily* device_ = nullptr;  // whose progress is chained
  ProgressFn saved_;                // its callback before the chain
  // The chain and the counted callbacks reach this object only while it lives.
  std::shared_ptr<SetupSequence*> self_;
};
