#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "drivers/argo/argo_types.h"
#include "setup_argo/argo_setup_config_file.h"
#include "setup_argo/argo_setup_param_planner.h"
#include "setup_argo/argo_setup_write.h"

class ArgoFamily;

// The device work of the single-colour setup dialog, each piece one job on
// the device's session (the dialog never waits on the line): the change
// timer's write of one Tag, the writes of the selections, presets, reset,
// panel lock, material table and head code, Cancel's write-back of the
// configuration at opening, and saving and loading a configuration file.
//
// Every job reports back once, on the dialog's thread, with what it wrote
// (a write-all report: each parameter with what became of it), the driver's
// cache after it and, for the files, a message for the user. A sequence
// stops at the first write the device does not confirm after all its tries
// (the rest is listed as not attempted) and between exchanges when the
// dialog cancels it. Nothing is reported after the object is destroyed.
class ArgoSetupSession {
 public:
  struct TOutcome {
    bool ran = false;         // false: the job never ran (session ended, cancelled while queued)
    TArgoWriteReport report;  // the writes made, in order
    TArgoConfig config;       // the driver's cache after the job
    bool connected = false;   // the device still answers
    QString message;          // for the user: a failed save or load; empty otherwise
    bool fileLoaded = false;  // Load: the file loaded (and its differences were written)
    ArgoSetupConfigFile::TLoadStatus loadStatus = ArgoSetupConfigFile::Loaded;  // Load: why it did not
    bool saveFailed = false;  // Save: the file could not be written
    int loadedAddress = 0;    // Load: the file's bus address, for the address edit
  };
  using Done = std::function<void(const TOutcome&)>;

  explicit ArgoSetupSession(ArgoFamily& family);
  ~ArgoSetupSession();
  ArgoSetupSession(const ArgoSetupSession&) = delete;
  ArgoSetupSession& operator=(const ArgoSetupSession&) = delete;

  // The driver's cache, with no exchange.
  void ReadCache(Done done);
  // `writes` in order; then waits `waitMs` (the panel lock's 100 ms).
  void Write(ArgoSetupWrites writes, Done done, int waitMs = 0);
  // The change timer: Tag `tag` with the edited control's `value`.
  void WriteTag(int tag, double value, const ArgoSetupParamPlanner::TEdits& edits, Done done);
  // Cancel: every parameter that differs from `configAtOpen` written back
  // (the driver's write-all with its "WRITE ..." progress).
  void Restore(const TArgoConfig& configAtOpen, Done done);
  // Saves the driver's cache to `fileName`; a failure comes back as message.
  void Save(const QString& fileName, Done done);
  // Loads `fileName` into a copy of the cache; only when it loaded, writes
  // the parameters that differ and waits 1000 ms for the device to settle.
  // A file that does not load writes nothing and comes back as message.
  void Load(const QString& fileName, Done done);

  // Stops the running sequence between exchanges and drops the queued jobs
  // of the device's session.
  void CancelSequence();
  // A job of this object is queued or running.
  bool Busy() const { return *pending_ > 0; }

  // The names of the parameters a report says the device did not confirm
  // (a value refused as out of range too), joined by ", " (empty when all
  // were confirmed).
  static QString NotWrittenNames(const TArgoWriteReport& report);
  // What the dialogs report as not written: the names of the parameters an
  // outcome says did not reach the device, joined by ", " without repeats.
  // Every one of `writes` when the job never ran, then each write of the
  // report that was neither confirmed nor refused as out of range (a
  // refused value is no failure: the control shows the unchanged cache).
  static QString NotReached(const TOutcome& outcome, const ArgoSetupWrites& writes);

  // Runs `job` on the device's session; `done` gets its outcome (with the
  // cache and connected state after it) on the dialog's thread. The other
  // setup pages' device work goes through here too.
  void Post(std::function<void(TpyreonArgo&, TOutcome&)> job, Done done);

 private:

  ArgoFamily& family_;
  std::shared_ptr<int> pending_ = std::make_shared<int>(0);
};
