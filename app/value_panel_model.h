#pragma once

#include <QString>
#include <array>
#include <cstdint>

#include "measurement/channel_sample.h"
#include "measurement/channel_values.h"
#include "measurement/display_value_encoding.h"

// What the main window's value panels show, free of any widget: one text
// per channel (both panel sets show the same), whether it stands for no
// value, which panels are hidden, and what the external displays of each
// DisplayKind were last given. The panels (TValuePanels) only copy what
// changed here onto their labels and boxes.
//
// Rules:
// - A channel the connected device does not send (SetDelivered) shows
//   "-----", whatever value or text it is given; so does ShowNoValue.
// - A temperature outside what the program shows (-100..3000 °C, the
//   overflow code aside) shows "-----" as well and counts as no value.
// - A panel is visible on a bar when its channel is shown there (Arrange:
//   the channel's ShowDigital and the bar) and no rule hid it since: a
//   stream that leaves a channel out, or HideNoValues after a poll.
class TValuePanelModel {
 public:
  static constexpr int kChannels = static_cast<int>(ChannelValues::kCount);
  static constexpr std::uint16_t kAllChannels = (1u << kChannels) - 1;
  // The two panel sets: the top bar and the right column.
  enum TBar : int { Top = 0, Right = 1 };

  struct TText {
    QString Text;
    bool NoValue = false;
  };

  // What a display of one DisplayKind is to be sent for a value.
  struct TDisplayFeed {
    enum class TWhat { Nothing, Value, NoValueText } What = TWhat::Nothing;
    std::uint32_t WParam = 0;
  };

  // Channels the connected device sends (bit c: channel c); all by default.
  void SetDelivered(std::uint16_t channels) { delivered_ = channels; }
  std::uint16_t Delivered() const { return delivered_; }

  // The texts of the channels `sample` carries, in the unit the window
  // shows (`fahrenheit`); the channels it leaves out are hidden.
  void ShowSample(const TChannelSample& sample, bool fahrenheit);
  // A text made elsewhere (the start texts, the first row of a file).
  void ShowText(int channel, const TText& text);
  void ShowNoValue(int channel);
  // Hides the panels of `channels` that show no value.
  void HideNoValues(std::uint16_t channels);
  // Which channels each bar shows; clears what the rules hid.
  void Arrange(std::uint16_t shownChannels, bool top, bool right);

  const QString& Text(int channel) const { return panels_[Index(channel)].Text; }
  bool ShowsNoValue(int channel) const { return panels_[Index(channel)].NoValue; }
  bool Visible(TBar bar, int channel) const;

  // Changes since the last TakeChanges (bit c: channel c): texts, visibility.
  struct TChanges {
    std::uint16_t Texts = 0;
    std::uint16_t Visibility = 0;
  };
  TChanges TakeChanges();

  // The value for the displays of DisplayKind `kind` (1..11): a channel
  // not delivered is told "-----" once; a value that is no number is not
  // sent (the display keeps its last one).
  TDisplayFeed FeedDisplay(int kind, float value, const TDisplayValueContext& context);
  // What the displays of `kind` were last given.
  TDisplayValueMessage DisplayValue(int kind) const;

  // --- Texts ---
  // A channel's value of `sample` as its panel shows it.
  static TText SampleText(int channel, float value, const TChannelSample& sample, bool fahrenheit);
  // The texts before any value: zero in each channel's unit.
  static TText StartText(int channel, bool fahrenheit);
  // A value of a measurement data file (temperatures with two decimals
  // when the chart shows two).
  static TText FileText(int channel, float value, bool fahrenheit, bool twoDecimals);
  static TText TemperatureText(float celsius, bool fahrenheit, bool twoDecimals);
  static const QString& NoValueText();

 private:
  struct TPanel {
    QString Text;
    bool NoValue = false;
    bool Hidden = false;  // by a rule, until the next Arrange
  };
  static std::size_t Index(int channel) { return static_cast<std::size_t>(channel); }
  static bool Valid(int channel) { return channel >= 0 && channel < kChannels; }
  void Put(int channel, const TText& text);
  void Hide(int channel);

  std::array<TPanel, ChannelValues::kCount> panels_{};
  std::uint16_t delivered_ = kAllChannels;
  std::uint16_t shown_ = 0;
  bool top_ = false;
  bool right_ = false;
  TChanges changes_;
  // Index: DisplayKind (0 unused).
  std::array<TDisplayValueMessage, ChannelValues::kCount + 1> displays_{};
};
