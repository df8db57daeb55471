#pragma once

#include <QString>
#include <functional>

#include "drivers/argo/argo_types.h"
#include "setup_argo/argo_setup_session.h"
#include "setup_common/setup_sequence.h"

// The single-colour half of a setup dialog's device work, on top of the
// family-neutral SetupSequence (job count, input held off, progress shown,
// the driver's progress listened to): counted writes, runs and Cancel's
// write-back on the setup session, and the snapshot of the driver's cache.
class ArgoSetupSequence : public SetupSequence {
 public:
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
};
