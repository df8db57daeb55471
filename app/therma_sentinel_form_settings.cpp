// The main window's settings dialogs: view settings, options and
// measurement settings. Each launcher hands the dialog a copy of what it
// edits, and on OK takes the result back, stores it in the settings file at
// once and applies it to the window, the chart and the displays.

#include <QAction>
#include <algorithm>
#include <array>

#include "app/measurement_settings_dlg.h"
#include "app/modal_result.h"
#include "app/options_dlg.h"
#include "app/therma_sentinel_form.h"
#include "app/view_settings_dlg.h"
#include "drivers/device_type.h"
#include "platform/number_text.h"
#include "ui/diagram.h"

void TThermaSentinelForm::mViewSettingsClick(QObject*) {
  TViewSettings& view = ViewSettingsDlg->View;
  FillViewSettings(view);
  view.RowsEnabled = state_ < csMeasuring;
  if (ViewSettingsDlg->ShowModal() != mrOk) return;
  TakeViewSettings(view);
}

void TThermaSentinelForm::mDiagramSettingsClick(QObject*) {
  TViewSettings& view = ViewSettingsDlg->View;
  FillViewSettings(view);
  view.RowsEnabled = true;
  // The time window the chart shows now, when it changed since the last
  // time (a start, or the user moved it).
  const double span = Diagram_->XMax() - Diagram_->XMin();
  if (xWindowFromChart_ && span > 0.0) view.InitialTime = static_cast<float>(span);
  if (ViewSettingsDlg->ShowModal() != mrOk) return;
  xWindowFromChart_ = false;
  useInitialTime_ = true;
  // The ratio model has no internal or actual temperature in its chart.
  const bool ratio = deviceTypeCode_ == DeviceType::ArgoRatio;
  if (ratio) {
    view.Graphs[ChannelValues::TInt].ShowDiagram = false;
    view.Graphs[ChannelValues::TAct].ShowDiagram = false;
  }
  TakeViewSettings(view);
  for (QAction* item : {mTInt, mTAct}) {
    if (ratio) item->setChecked(false);
    item->setVisible(!ratio);
  }
  CopyChecksToTwins();
  // The device's range, reaching down to -50 at least while an internal or
  // box temperature is drawn.
  float low = deviceTmin_;
  if (graph_[ChannelValues::TInt].ShowDiagram || graph_[ChannelValues::TBox].ShowDiagram)
    low = std::min(low, -50.0f);
  Diagram_->SetYRangeMin(low);
  Diagram_->SetYRangeMax(deviceTmax_);
  Diagram_->update();
}

void TThermaSentinelForm::FillViewSettings(TViewSettings& view) const {
  view.ScaleMode = static_cast<std::uint8_t>(std::clamp(scale_, 0, 2));
  view.SmoothCycles = smoothCycles_;
  view.Graphs = graph_;
  view.InitialTime = initialTime_;
  view.Argo1ms = argo1ms_;
  view.DeviceType = deviceTypeCode_;
  view.Measuring = state_;
  view.FastBurstPossible = CanUseFastBurst();
}

void TThermaSentinelForm::TakeViewSettings(const TViewSettings& view) {
  scale_ = view.ScaleMode;
  smoothCycles_ = view.SmoothCycles;
  graph_ = view.Graphs;
  initialTime_ = view.InitialTime;
  argo1ms_ = view.Argo1ms;
  {
    const TConfig::Batch batch(*config_);
    config_->WriteScale(scale_);
    config_->WriteSmoothCycles(smoothCycles_);
    WriteGraphSettings();
    config_->WriteInitialTime(initialTime_);
    config_->WriteArgo1ms(argo1ms_);
  }

  Diagram_->SetYScaleMode(static_cast<TDiagramScaleMode>(scale_));
  for (int c = 0; c < 11; ++c) Diagram_->SetGraph(c, graph_[c]);
  const std::array<QAction*, 11> items{mTObj, mTInt, mTBox, mTAct, mTQuot, mTSingle,
                                       mTau,  mEps,  mmVin, mVcc,  mTamb};
  for (int c = 0; c < 11; ++c) items[c]->setChecked(graph_[c].ShowDigital);
  CopyChecksToTwins();
  // The ring keeps its mean through the resize.
  const float mean = smoothRing_.Average();
  smoothRing_.SetSize(smoothCycles_);
  smoothRing_.Fill(mean);
  UpdateState();
  ArrangePanels();
  pnlControlResize();
}

void TThermaSentinelForm::WriteGraphSettings() {
  config_->WriteTObjGraph(graph_[0]);
  config_->WriteTIntGraph(graph_[1]);
  config_->WriteTBoxGraph(graph_[2]);
  config_->WriteTActGraph(graph_[3]);
  config_->WriteTQuotGraph(graph_[4]);
  config_->WriteTSingleGraph(graph_[5]);
  config_->WriteTauGraph(graph_[6]);
  config_->WriteEpsGraph(graph_[7]);
  config_->WritemVinGraph(graph_[8]);
  config_->WriteVccGraph(graph_[9]);
  config_->WriteAmbientGraph(graph_[10]);
}

void TThermaSentinelForm::mOptionsClick(QObject*) {
  OptionsDlg->Options = options_;
  OptionsDlg->TempUnit = fahrenheit_ ? 1 : 0;
  // A single-colour device keeps its unit itself.
  OptionsDlg->TempUnitEnabled = DeviceType::IsBrio(deviceTypeCode_);
  OptionsDlg->DeviceType = deviceTypeCode_;
  if (OptionsDlg->ShowModal() == mrOk) {
    options_ = OptionsDlg->Options;
    NumberText::SetDecimalSeparator(TConfig::DecimalSeparatorOf(options_, systemDecimalSeparator_));
    decimalSeparatorInUse_ = NumberText::DecimalSeparator();
    caption_ =
        options_.Has(TOption::ApplicationTitle_Mode) ? options_.ApplicationTitle_Title : defaultCaption_;
    setWindowTitle(caption_);
    fahrenheit_ = OptionsDlg->TempUnit != 0;
    {
      const TConfig::Batch batch(*config_);
      config_->WriteOptions(options_);
      config_->WritePriority(static_cast<std::uint8_t>(OptionsDlg->Priority));
      config_->WriteTemperatureUnit(fahrenheit_);
    }
    SendDisplayTexts();
    // The chart shows its temperatures in the unit chosen.
    Diagram_->update();
  }
  UpdateState();
}

void TThermaSentinelForm::mMeasurementSettingsClick(QObject*) {
  TMeasurementSettingsDlg& dlg = *MeasurementSettingsDlg;
  dlg.MaxData = config_->ReadMaxData();
  // Through 0, so the interval's texts are always shown afresh.
  dlg.SetResolution(0.0f);
  dlg.SetResolution(config_->ReadResolution());
  dlg.OnMaxData = config_->ReadOnMaxData();
  dlg.CommMode = config_->ReadCommunicationMode();
  if (dlg.ShowModal() != mrOk) return;
  // The chart starts afresh with the new settings: recorded data that are
  // not saved yet get the unsaved-data question first, and a cancel keeps
  // them (and the old settings).
  if (!AskSaveUnsavedData()) return;
  {
    const TConfig::Batch batch(*config_);
    config_->WriteMaxData(dlg.MaxData);
    config_->WriteOnMaxData(dlg.OnMaxData);
    config_->WriteResolution(dlg.Resolution());
    config_->WriteCommunicationMode(dlg.CommMode);
  }
  Diagram_->SetMaxData(dlg.MaxData);
  Diagram_->SetMemoryMode(dlg.OnMaxData == 1 ? dmmOverwrite : dmmStop);
  Diagram_->SetResolution(dlg.Resolution());
  PrepareChart();
}
