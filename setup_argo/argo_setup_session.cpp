#include "setup_argo/argo_setup_session.h"

#include <QStringList>

#include "drivers/argo/pyreon_argo.h"
#include "drivers/device_session.h"
#include "drivers/driver_timer.h"
#include "measurement/argo_family.h"

namespace {

// The device settles this long after a loaded file was written.
constexpr int kSettleAfterLoadMs = 1000;

void Wait(TpyreonArgo& d, int ms) {
  if (ms > 0) DriverTimer::Sleep(ms, [&d] { return d.Cancelled(); });
}

// Writes in order; stops at the first write the device did not confirm
// after all its tries, and when cancelled. Range rejections go on.
void RunWrites(TpyreonArgo& d, const ArgoSetupWrites& writes, TArgoWriteReport& report) {
  bool stopped = false;
  for (const ArgoSetupWrite& w : writes) {
    if (!stopped && d.Cancelled()) {
      report.Cancelled = true;
      stopped = true;
    }
    if (stopped) {
      report.Items.push_back({w.Key(), w.Name(), TArgoWriteResult::NotAttempted});
      continue;
    }
    const TArgoWriteResult result = w.Apply(d);
    report.Items.push_back({w.Key(), w.Name(), result});
    if (result.Result == TArgoWriteResult::Unconfirmed) {
      stopped = true;
      if (d.Cancelled())
        report.Cancelled = true;
      else
        report.DeviceLost = true;
    }
  }
}

}  // namespace

ArgoSetupSession::ArgoSetupSession(ArgoFamily& family) : family_(family) {}

// Reports still on their way find their counter gone and are dropped.
ArgoSetupSession::~ArgoSetupSession() = default;

void ArgoSetupSession::Post(std::function<void(TpyreonArgo&, TOutcome&)> job, Done done) {
  auto outcome = std::make_shared<TOutcome>();
  const std::weak_ptr<int> alive = pending_;
  ++*pending_;
  const bool posted = family_.PostDriverJob(
      [job = std::move(job), outcome](TpyreonArgo& d) {
        outcome->ran = true;
        job(d, *outcome);
        outcome->config = d.Config();
        outcome->connected = d.Connected() && d.PortOpen();
      },
      [alive, outcome, done = std::move(done)](bool) {
        const auto pending = alive.lock();
        if (!pending) return;
        --*pending;
        if (done) done(*outcome);
      });
  if (!posted) {
    --*pending_;
    if (done) done(*outcome);
  }
}

void ArgoSetupSession::ReadCache(Done done) {
  Post([](TpyreonArgo&, TOutcome&) {}, std::move(done));
}

void ArgoSetupSession::Write(ArgoSetupWrites writes, Done done, int waitMs) {
  Post(
      [writes = std::move(writes), waitMs](TpyreonArgo& d, TOutcome& o) {
        RunWrites(d, writes, o.report);
        if (!o.report.DeviceLost) Wait(d, waitMs);
      },
      std::move(done));
}

void ArgoSetupSession::WriteTag(int tag, double value, const ArgoSetupParamPlanner::TEdits& edits,
                                Done done) {
  Write(ArgoSetupParamPlanner::Plan(tag, value, edits), std::move(done));
}

void ArgoSetupSession::Restore(const TArgoConfig& configAtOpen, Done done) {
  Post([configAtOpen](TpyreonArgo& d, TOutcome& o) { o.report = d.WriteAllParameters(configAtOpen); },
       std::move(done));
}

void ArgoSetupSession::Save(const QString& fileName, Done done) {
  Post(
      [fileName](TpyreonArgo& d, TOutcome& o) {
        const ArgoSetupConfigFile::TSaveResult saved = ArgoSetupConfigFile::Save(d, d.Config(), fileName);
        o.saveFailed = !saved.ok;
        o.message = saved.message;
      },
      std::move(done));
}

void ArgoSetupSession::Load(const QString& fileName, Done done) {
  Post(
      [fileName](TpyreonArgo& d, TOutcome& o) {
        const ArgoSetupConfigFile::TLoadResult loaded = ArgoSetupConfigFile::Load(d, d.Config(), fileName);
        o.loadedAddress = loaded.address;
        o.loadStatus = loaded.status;
        if (loaded.status != ArgoSetupConfigFile::Loaded) {
          o.message = loaded.message;
          return;
        }
        o.fileLoaded = true;
        o.report = d.WriteAllParameters(loaded.config);
        if (!o.report.DeviceLost) Wait(d, kSettleAfterLoadMs);
      },
      std::move(done));
}

void ArgoSetupSession::CancelSequence() { family_.Session().CancelJobs(); }

QString ArgoSetupSession::NotWrittenNames(const TArgoWriteReport& report) {
  return report.Names(false).join(QStringLiteral(", "));
}

QString ArgoSetupSession::NotReached(const TOutcome& outcome, const ArgoSetupWrites& writes) {
  QStringList names;
  if (!outcome.ran) {
    for (const ArgoSetupWrite& w : writes) names << w.Name();
  }
  for (const TArgoWriteItem& item : outcome.report.Items) {
    const bool reached =
        item.Result.Result == TArgoWriteResult::Confirmed || item.Result.Result == TArgoWriteResult::Rejected;
    if (!reached) names << item.Name;
  }
  names.removeDuplicates();
  return names.join(QStringLiteral(", "));
}
