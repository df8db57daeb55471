#include "setup_argo/argo_setup_sequence.h"

#include "measurement/device_family.h"

ArgoSetupSequence::ArgoSetupSequence() : self_(std::make_shared<ArgoSetupSequence*>(this)) {}

// A chain still in place (the device outlived a sequence that was never
// ended) passes reports on to the old listener only.
ArgoSetupSequence::~ArgoSetupSequence() = default;

void ArgoSetupSequence::DeviceChanged() {
  jobs_ = 0;
  device_ = nullptr;
  saved_ = nullptr;
}

void ArgoSetupSequence::Begin(DeviceFamily* device, bool stoppable) {
  const bool chained = running_ && device_ != nullptr;
  running_ = true;
  if (SetInputEnabled) SetInputEnabled(false);
  if (ShowRunning) ShowRunning(true, stoppable);
  if (!device || chained) return;
  device_ = device;
  saved_ = device->OnProgress;
  const std::weak_ptr<ArgoSetupSequence*> self = self_;
  device->OnProgress = [saved = saved_, self](int percent, const QString& caption) {
    if (saved) saved(percent, caption);
    if (const auto alive = self.lock()) {
      if ((*alive)->Progress) (*alive)->Progress(percent, caption);
    }
  };
}

bool ArgoSetupSequence::End() {
  if (!running_) return false;
  if (device_) device_->OnProgress = saved_;
  device_ = nullptr;
  saved_ = nullptr;
  running_ = false;
  if (ShowRunning) ShowRunning(false, false);
  if (SetInputEnabled) SetInputEnabled(true);
  return true;
}

ArgoSetupSession::Done ArgoSetupSequence::Counted(ArgoSetupSession::Done done, bool ends) {
  JobStarted();
  const std::weak_ptr<ArgoSetupSequence*> self = self_;
  return [self, ends, done = std::move(done)](const ArgoSetupSession::TOutcome& outcome) {
    if (const auto alive = self.lock()) {
      (*alive)->JobDone();
      if (ends) (*alive)->End();
    }
    if (done) done(outcome);
  };
}

void ArgoSetupSequence::Write(ArgoSetupSession* session, const ArgoSetupWrites& writes,
                              const TArgoConfig& cache, ArgoSetupSession::Done done, int waitMs) {
  ArgoSetupSession::Done finish = Counted(std::move(done), false);
  if (writes.empty() || !session) {
    ArgoSetupSession::TOutcome outcome;
    outcome.ran = writes.empty();
    outcome.config = cache;
    finish(outcome);
    return;
  }
  session->Write(writes, std::move(finish), waitMs);
}

void ArgoSetupSequence::Run(DeviceFamily* device, bool stoppable,
                            const std::function<void(ArgoSetupSession::Done)>& start,
                            ArgoSetupSession::Done done) {
  Begin(device, stoppable);
  start(Counted(std::move(done), true));
}

void ArgoSetupSequence::Restore(DeviceFamily* device, ArgoSetupSession& session, const TArgoConfig& atOpen,
                                TArgoConfig& cache, const QString& whole, std::function<void()> close,
                                std::function<void(const QString& names)> notWritten,
                                std::function<void()> stay) {
  Run(
      device, true, [&](ArgoSetupSession::Done done) { session.Restore(atOpen, std::move(done)); },
      [&cache, whole, close = std::move(close), notWritten = std::move(notWritten),
       stay = std::move(stay)](const ArgoSetupSession::TOutcome& outcome) {
        if (outcome.ran) cache = outcome.config;
        const QString missed = ArgoSetupSession::NotReached(outcome, {});
        if (missed.isEmpty() && outcome.ran) {
          close();
          return;
        }
        notWritten(missed.isEmpty() ? whole : missed);
        if (outcome.report.Cancelled || !outcome.ran) {
          stay();
          return;
        }
        close();
      });
}

void ArgoSetupSequence::ReadCache(ArgoSetupSession* session, TArgoConfig& cache, std::function<void()> show) {
  if (!session) {
    if (show) show();
    return;
  }
  session->ReadCache(Counted(
      [&cache, show = std::move(show)](const ArgoSetupSession::TOutcome& outcome) {
        if (!outcome.ran) return;
        cache = outcome.config;
        if (show) show();
      },
      false));
}
