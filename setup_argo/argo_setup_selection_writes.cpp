#include "setup_argo/argo_setup_selection_writes.h"

namespace {

using W = ArgoSetupWrite;

// Takes the control's item where it has one.
void Take(int item, std::uint8_t& field) {
  if (item >= 0) field = static_cast<std::uint8_t>(item);
}

// Both visual alarms on the object temperature, open or closed, then the
// two thresholds (degrees C, as stored).
ArgoSetupWrites VisualAlarmPreset(const TArgoConfig& cached, int openClose, float alarm1, float alarm2) {
  ArgoSetupWrites writes;
  for (int m = 0; m < 2; ++m) {
    ArgoSetupSelectionWrites::TAlarmControls c;
    c.source = 0;
    c.openClose = openClose;
    writes.push_back(W::OfAlarmMode(
        m, ArgoSetupSelectionWrites::AlarmModeRecord(c, cached.AlarmMode[static_cast<std::size_t>(m)])));
  }
  writes.push_back(W::Of(W::Alarm1, alarm1));
  writes.push_back(W::Of(W::Alarm2, alarm2));
  return writes;
}

}  // namespace

ArgoSetupWrites ArgoSetupSelectionWrites::EmissivitySource(int item) {
  // Items: fixed value, external, table; sources: external, fixed, table.
  static constexpr float kSource[] = {1.0f, 0.0f, 2.0f};
  if (item < 0 || item > 2) return {};
  return {W::Of(W::EmissivitySource, kSource[item])};
}

ArgoSetupWrites ArgoSetupSelectionWrites::AmbientSource(int item) {
  // Items: internal, external, fixed value; sources: external, fixed, internal.
  static constexpr float kSource[] = {2.0f, 0.0f, 1.0f};
  if (item < 0 || item > 2) return {};
  return {W::Of(W::AmbientSource, kSource[item])};
}

ArgoSetupWrites ArgoSetupSelectionWrites::SmartAveraging(bool ticked) {
  return {W::Of(W::AverageMode, ticked ? 1.0f : 0.0f)};
}

TArgoAlarmMode ArgoSetupSelectionWrites::AlarmModeRecord(const TAlarmControls& c,
                                                         const TArgoAlarmMode& cached) {
  TArgoAlarmMode m = cached;
  Take(c.source, m.Source);
  Take(c.openClose, m.OpenClose);
  Take(c.digiAna, m.DigiAna);
  Take(c.outMode, m.OutMode);
  return m;
}

ArgoSetupWrites ArgoSetupSelectionWrites::AlarmMode(int index, const TAlarmControls& controls,
                                                    const TArgoAlarmMode& cached) {
  if (index < 0 || index > 3) return {};
  return {W::OfAlarmMode(index, AlarmModeRecord(controls, cached))};
}

ArgoSetupWrites ArgoSetupSelectionWrites::PresetBlue(const TArgoConfig& cached, float rangeLow,
                                                     float rangeHigh) {
  return VisualAlarmPreset(cached, 0, rangeLow, rangeHigh);
}

ArgoSetupWrites ArgoSetupSelectionWrites::PresetStandard(const TArgoConfig& cached) {
  return VisualAlarmPreset(cached, 1, 25.0f, 30.0f);
}

ArgoSetupWrites ArgoSetupSelectionWrites::ResetOffsetGain() {
  return {W::Of(W::TweakOffset, 0.0f), W::Of(W::TweakGain, 1.0f)};
}

ArgoSetupWrites ArgoSetupSelectionWrites::TogglePanelLock(const TArgoConfig& cached) {
  return {W::Of(W::PanelLock, cached.PanelLock ? 0.0f : 1.0f)};
}

ArgoSetupWrites ArgoSetupSelectionWrites::Address(int shown, int loaded) {
  if (shown == loaded) return {};
  return {W::Of(W::RS485Address, static_cast<float>(shown))};
}
