#include "setup_argo/ratio_calibration_session.h"

#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

#include "drivers/argo/pyreon_argo.h"
#include "drivers/driver_timer.h"

namespace {

// Waits `ms`; ends early when `stop` says so. True when it waited it out.
bool Wait(int ms, const std::function<bool()>& stop) {
  if (ms > 0) DriverTimer::Sleep(ms, stop);
  return !stop();
}

struct TStep {
  const char* key;   // the grid's key (the first of a pair)
  const char* name;  // as in the driver's progress captions
  std::function<TArgoWriteResult(TpyreonArgo&)> apply;
};

std::vector<TStep> Steps(const RatioCalibrationModel::TValues& v) {
  return {
      {"r_MB_anf", "RATIO MB ANF_END", [v](TpyreonArgo& d) { return d.SetMBRange(v.MbStart, v.MbEnd); }},
      {"r_LWL_dia", "RATIO LWL DIA",
       [v](TpyreonArgo& d) { return d.SetLWLParameter(v.LwlDiameter, v.LwlLength); }},
      {"r_ItemNumber", "RATIO ITEM_NUMBER", [v](TpyreonArgo& d) { return d.SetItemNumber(v.ItemNumber); }},
      {"r_SerialNumber", "RATIO SERIAL_NUMBER",
       [v](TpyreonArgo& d) { return d.SetRatioSerialNumber(v.SerialNumber); }},
      {"r_addTop", "RATIO ADDTOP", [v](TpyreonArgo& d) { return d.SetAddTop(v.AddTop); }},
      {"r_mulTop", "RATIO MULTOP", [v](TpyreonArgo& d) { return d.SetMulTop(v.MulTop); }},
      {"r_addQuot", "RATIO ADDQUOT", [v](TpyreonArgo& d) { return d.SetAddQuot(v.AddQuot); }},
      {"r_mulQuot", "RATIO MULQUOT", [v](TpyreonArgo& d) { return d.SetMulQuot(v.MulQuot); }},
      {"r_deflection1", "RATIO DEFLECTION 1",
       [v](TpyreonArgo& d) { return d.SetDeflection1(v.Deflection1); }},
      {"r_deflection2", "RATIO DEFLECTION 2",
       [v](TpyreonArgo& d) { return d.SetDeflection2(v.Deflection2); }},
  };
}

// Restores the factory values and reads them back. The configuration-
// loaded event stays off during the read, so the main window does not
// refill its own views from a half-read cache.
// True when the whole configuration was read.
bool RestoreAndRead(TpyreonArgo& d) {
  d.SendRatioCommand(RatioCalibrationSession::kFactoryIndex, RatioCalibrationSession::kRestoreFactory);
  Wait(RatioCalibrationSession::kAfterCommandMs, [] { return false; });
  TargoReadEvent loaded = std::exchange(d.OnLoadConfigData, nullptr);
  const bool read = d.ReadAllParameters(true);
  d.OnLoadConfigData = std::move(loaded);
  return read;
}

}  // namespace

RatioCalibrationSession::RatioCalibrationSession(ArgoSetupSession& session, int settleMs)
    : session_(session), settleMs_(settleMs) {}

void RatioCalibrationSession::Read(Done done) {
  readCancelled_->store(false);
  session_.Post(
      [settle = settleMs_, cancelled = readCancelled_](TpyreonArgo& d, TOutcome& o) {
        if (!Wait(settle, [&] { return cancelled->load() || d.Cancelled(); })) {
          o.report.Cancelled = true;
          return;
        }
        // From the reset on the read runs to its end.
        const bool read = RestoreAndRead(d);
        o.report.Items.push_back({QStringLiteral("ReadAllParameters"), QStringLiteral("READ ALL PARAMETERS"),
                                  read ? TArgoWriteResult::Confirmed : TArgoWriteResult::Unconfirmed});
        if (!read) {
          o.report.DeviceLost = true;
          return;
        }
        Wait(settle, [] { return false; });
      },
      std::move(done));
}

void RatioCalibrationSession::CancelRead() { readCancelled_->store(true); }

void RatioCalibrationSession::Refill(Done done) {
  session_.Post(
      [settle = settleMs_](TpyreonArgo& d, TOutcome&) { Wait(settle, [&] { return d.Cancelled(); }); },
      std::move(done));
}

void RatioCalibrationSession::Write(const RatioCalibrationModel::TValues& values, Done done) {
  session_.Post(
      [settle = settleMs_, steps = Steps(values)](TpyreonArgo& d, TOutcome& o) {
        const auto stop = [&] { return d.Cancelled(); };
        bool stopped = !Wait(settle, stop);
        o.report.Cancelled = stopped;
        for (const TStep& step : steps) {
          const QString key = QString::fromLatin1(step.key);
          const QString name = QString::fromLatin1(step.name);
          if (!stopped && d.Cancelled()) stopped = o.report.Cancelled = true;
          if (stopped) {
            o.report.Items.push_back({key, name, TArgoWriteResult::NotAttempted});
            continue;
          }
          const TArgoWriteResult result = step.apply(d);
          o.report.Items.push_back({key, name, result});
          if (result.Result == TArgoWriteResult::Unconfirmed) {
            stopped = true;
            (d.Cancelled() ? o.report.Cancelled : o.report.DeviceLost) = true;
          }
        }
        if (stopped) return;
        if (Wait(kAfterCommandMs, stop)) Wait(settle, stop);
      },
      std::move(done));
}

void RatioCalibrationSession::SaveAsFactoryDefault(Done done) {
  session_.Post(
      [settle = settleMs_](TpyreonArgo& d, TOutcome& o) {
        const auto stop = [&] { return d.Cancelled(); };
        if (!Wait(settle, stop)) {
          o.report.Cancelled = true;
          return;
        }
        d.SendRatioCommand(kFactoryIndex, kStoreFactory);
        // The reply byte carries no meaning of its own; an answer is what counts.
        const bool answered = d.Connected() && d.PortOpen();
        o.report.Items.push_back({QStringLiteral("FactoryDefault"), QStringLiteral("STORE FACTORY DEFAULT"),
                                  answered ? TArgoWriteResult::Confirmed : TArgoWriteResult::Unconfirmed});
        o.report.DeviceLost = !answered;
        Wait(kAfterCommandMs, stop);
      },
      std::move(done));
}

QStringList RatioCalibrationSession::WriteKeys() {
  QStringList keys;
  for (const TStep& s : Steps({})) keys.push_back(QString::fromLatin1(s.key));
  return keys;
}
