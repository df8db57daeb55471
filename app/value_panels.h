#pragma once

#include <array>
#include <cstdint>

#include "app/value_panel_model.h"

class QBoxLayout;
class QGroupBox;
class QLabel;
class QWidget;
class TDisplayLink;

// One value panel: a group box with its label, on the top bar or in the
// right column.
struct TValuePanel {
  QGroupBox* Box = nullptr;
  QLabel* Label = nullptr;
};

// The main window's two value panel sets (the top bar's and the right
// column's, by channel 0..10) and the external displays' values, driven
// from one TValuePanelModel: every change goes to the model first, and
// only what changed there reaches a widget. A label repaints only when its
// text changes, and never re-lays the window: its size is fixed by the
// window's fitting (FitLabel), not by its text.
class TValuePanels {
 public:
  static constexpr int kChannels = TValuePanelModel::kChannels;
  // Order of the panels on both bars: TObj, TAct, T2C, T1C, Tau, TInt,
  // TBox, Epsilon, Vcc, TAmb, then mV input.
  static constexpr std::array<int, 11> kOrder{0, 3, 4, 5, 6, 1, 2, 7, 9, 10, 8};

  // Makes both sets, in kOrder, into `top` and `right`.
  void Create(QWidget* topParent, QBoxLayout* top, QWidget* rightParent, QBoxLayout* right);
  void SetDisplayLink(TDisplayLink* link) { displayLink_ = link; }

  std::array<TValuePanel, 11> First{};
  std::array<TValuePanel, 11> Second{};

  const TValuePanelModel& Model() const { return model_; }
  void SetDelivered(std::uint16_t channels) { model_.SetDelivered(channels); }
  const QString& Text(int channel) const { return model_.Text(channel); }

  void ShowSample(const TChannelSample& sample, bool fahrenheit);
  void ShowText(int channel, const TValuePanelModel::TText& text);
  void ShowNoValue(int channel);
  void HideNoValues(std::uint16_t channels);
  // Which channels the bars show (bit c: ShowDigital of channel c).
  void Arrange(std::uint16_t shownChannels, bool top, bool right);

  // Hands the value of DisplayKind `kind` to its external displays.
  void FeedDisplay(int kind, float value, const TDisplayValueContext& context);
  TDisplayValueMessage DisplayValue(int kind) const { return model_.DisplayValue(kind); }

  // Fixes a label's size, so a new text repaints the label alone.
  static void FitLabel(QLabel* label, int width, int height);

 private:
  // Puts what changed in the model onto the widgets.
  void Apply();

  TValuePanelModel model_;
  TDisplayLink* displayLink_ = nullptr;
};
