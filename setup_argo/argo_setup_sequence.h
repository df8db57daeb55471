#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "drivers/argo/argo_types.h"
#include "setup_argo/argo_setup_session.h"

class DeviceFamily;

// The device work a setup dialog has under way: the jobs it posted to its
// setup session and has not heard back from, and at most one sequence of
// writes (Cancel's write-back, a file, a preset ...) that holds the user's
// input off and shows the driver's progress.
//
// While a sequence runs, the device's OnProgress is chained: whoever
// listened before still hears every report, and `Progress` hears it too.
// Ending the sequence gives the device its own callback back, whether the
// sequence succeeded, failed or was stopped. Widget-free: the owner says
// through the hooks how input is held off and how the sequence shows.
class ArgoSetupSequence {
 public:
  using ProgressFn = std::function<void(int percent, const QString& caption)>;

  ArgoSetupSequence();
  ~ArgoSetupSequence();
  ArgoSetupSequence(const ArgoSetupSequence&) = delete;
  ArgoSetupSequence& operator=(const ArgoSetupSequence&) = delete;

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

  // --- Jobs on the setup session -------------------------------------------------------
  // `writes` as one counted job on `session` (ArgoSetupSession::Write);
  // `done` hears the outcome after the count went down. Nothing to write
  // reports at once as run, on `cache`; no session, at once as never run.
  void Write(ArgoSetupSession* session, const ArgoSetupWrites& writes, const TArgoConfig& cache,
             ArgoSetupSession::Done done, int waitMs = 0);
  // A sequence as one counted job: Begin, then `start` posts the job with
  // the callback it is handed. Its report ends the count and the sequence
  // (unless that ended already) before `done` hears it.
  void Run(DeviceFamily* device, bool stoppable, const std::function<void(ArgoSetupSession::Done)>& start,
           ArgoSetupSession::Done done);
  // Cancel's write-back: `atOpen` restored on `session` as a stoppable
  // sequence; `cache` takes what the device holds afterwards. All written:
  // `close`. Otherwise `notWritten` hears the names of what was not
  // written (`whole` when the device gave no account of single values),
  // then `stay` follows when the user stopped it or it never ran, `close`
  // when it ran to its end.
  void Restore(DeviceFamily* device, ArgoSetupSession& session, const TArgoConfig& atOpen, TArgoConfig& cache,
               const QString& whole, std::function<void()> close,
               std::function<void(const QString& names)> notWritten, std::function<void()> stay);

  // --- The snapshot --------------------------------------------------------------------
  // The driver's cache copied into `cache` by one job on `session`, then
  // `show`; with no session `show` runs at once on `cache` as it is. A job
  // that never ran (session ended, cancelled while queued) shows nothing.
  // `cache` must outlive the session.
  void ReadCache(ArgoSetupSession* session, TArgoConfig& cache, std::function<void()> show);

 private:
  // Counts a job; the callback for its report takes the count down (and
  // ends the sequence when `ends`) while this object lives, then calls `done`.
  ArgoSetupSession::Done Counted(ArgoSetupSession::Done done, bool ends);

  int jobs_ = 0;
  bool running_ = false;
  DeviceFamily* device_ = nullptr;  // whose progress is chained
  ProgressFn saved_;                // its callback before the chain
  // The chain reaches `Progress` only while this object lives.
  std::shared_ptr<ArgoSetupSequence*> self_;
};
