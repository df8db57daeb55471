#include "setup_argo/ratio_display_session.h"

#include "drivers/argo/pyreon_argo.h"

void RatioDisplaySession::WriteVisualAlarms(const TArgoVisualAlarms& rows, ArgoSetupSession::Done done) {
  session_.Post(
      [rows](TpyreonArgo& d, ArgoSetupSession::TOutcome& o) {
        const TArgoWriteResult result = d.SetVisualAlarmSettings(rows);
        o.report.Items.push_back(
            {QStringLiteral("VisualAlarm"), QStringLiteral("VISUAL ALARM SETTINGS"), result});
        o.report.DeviceLost = result.Result == TArgoWriteResult::Unconfirmed && !d.Cancelled();
      },
      std::move(done));
}

void RatioDisplaySession::SetStandardDisplay(ArgoSetupSession::Done done) {
  session_.Post(
      [](TpyreonArgo& d, ArgoSetupSession::TOutcome& o) {
        const TArgoWriteResult result = d.SetStandardDisplay();
        o.report.Items.push_back(
            {QStringLiteral("StandardDisplay"), QStringLiteral("STANDARD DISPLAY"), result});
        o.report.DeviceLost = result.Result == TArgoWriteResult::Unconfirmed && !d.Cancelled();
      },
      std::move(done));
}
