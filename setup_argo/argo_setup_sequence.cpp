#include "setup_argo/argo_setup_sequence.h"

#include "measurement/device_family.h"

void ArgoSetupSequence::Write(ArgoSetupSession* session, const ArgoSetupWrites& writes,
                              const TArgoConfig& cache, ArgoSetupSession::Done done, int waitMs) {
  ArgoSetupSession::Done finish = Counted<ArgoSetupSession::TOutcome>(std::move(done), false);
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
  start(Counted<ArgoSetupSession::TOutcome>(std::move(done), true));
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
  session->ReadCache(Counted<ArgoSetupSession::TOutcome>(
      [&cache, show = std::move(show)](const ArgoSetupSession::TOutcome& outcome) {
        if (!outcome.ran) return;
        cache = outcome.config;
        if (show) show();
      },
      false));
}
