#include "setup_argo/slope_device_backend.h"

#include "drivers/argo/pyreon_argo.h"
#include "measurement/argo_family.h"

namespace {

constexpr int kOutputChannel1 = 3;

}  // namespace

QStringList SlopeDeviceBackend::OutputModeNames() const {
  return {QStringLiteral("0..10V"),  QStringLiteral("0..5V"), QStringLiteral("0..20mA"),
          QStringLiteral("4..20mA"), QStringLiteral("TCK"),   QStringLiteral("TCJ")};
}

void SlopeDeviceBackend::Open(std::function<void(const TState&)> done) { Read(-1, true, std::move(done)); }

void SlopeDeviceBackend::Refresh(int shownMode, std::function<void(const TState&)> done) {
  Read(shownMode, false, std::move(done));
}

void SlopeDeviceBackend::Read(int shownMode, bool opening, std::function<void(const TState&)> done) {
  auto state = std::make_shared<TState>();
  auto kept = opening_;
  const bool posted = family_.PostDriverJob(
      [state, kept, shownMode, opening](TpyreonArgo& d) {
        const TArgoAlarmMode record = d.GetAlarmMode(kOutputChannel1);
        int mode = record.OutMode;
        if (!opening && mode != shownMode) {
          // A different mode is believed only when two more reads agree.
          const int second = d.GetAlarmMode(kOutputChannel1).OutMode;
          const int third = d.GetAlarmMode(kOutputChannel1).OutMode;
          if (second != mode || third != mode) mode = shownMode;
        }
        state->mode = mode;
        state->fahrenheit = d.GetTemperatureUnit();
        // The process source is read live once at opening; refreshes use
        // the driver's cache of it.
        const int source = opening ? d.GetProcessSource() : d.Config().ProcessSource;
        state->percent = d.IsRatioFirmware() && source == 2;
        const float loTemp = d.GetOutputTempMin();
        const float hiTemp = d.GetOutputTempMax();
        const int loOutput = d.GetScaledOutputMin();
        const int hiOutput = d.GetScaledOutputMax();
        state->loTemp = loTemp;
        state->hiTemp = hiTemp;
        state->loOutput = loOutput;
        state->hiOutput = hiOutput;
        state->ok = d.Connected();
        if (opening) *kept = {record, loTemp, hiTemp, loOutput, hiOutput};
      },
      [state, done](bool ran) {
        if (!ran) state->ok = false;
        done(*state);
      });
  if (!posted) {
    TState failed;
    failed.ok = false;
    done(failed);
  }
}

void SlopeDeviceBackend::Write(std::vector<SlopeWritePlanner::TWrite> writes,
                               std::function<void(bool ok)> done) {
  auto ok = std::make_shared<bool>(false);
  const bool posted = family_.PostDriverJob(
      [writes = std::move(writes), ok](TpyreonArgo& d) {
        using Target = SlopeWritePlanner::Target;
        for (const auto& w : writes) {
          switch (w.target) {
            case Target::TempMin:
              d.SetOutputTempMin(static_cast<float>(w.temperature));
              break;
            case Target::TempMax:
              d.SetOutputTempMax(static_cast<float>(w.temperature));
              break;
            case Target::OutputMin:
              d.SetScaledOutputMin(w.output);
              break;
            case Target::OutputMax:
              d.SetScaledOutputMax(w.output);
              break;
          }
        }
        *ok = d.Connected();
      },
      [ok, done](bool ran) { done(ran && *ok); });
  if (!posted) done(false);
}

void SlopeDeviceBackend::Restore(std::function<void(bool ok)> done) {
  auto ok = std::make_shared<bool>(false);
  const TOpening o = *opening_;
  const bool posted = family_.PostDriverJob(
      [o, ok](TpyreonArgo& d) {
        d.SetAlarmMode(kOutputChannel1, o.mode);
        d.SetOutputTempMin(o.loTemp);
        d.SetOutputTempMax(o.hiTemp);
        d.SetScaledOutputMin(o.loOutput);
        d.SetScaledOutputMax(o.hiOutput);
        *ok = d.Connected();
      },
      [ok, done](bool ran) { done(ran && *ok); });
  if (!posted) done(false);
}
