#include "app/value_panel_model.h"

#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"

namespace {

namespace CV = ChannelValues;

// The last display message of a channel the device does not send.
constexpr std::uint32_t kNoValueMark = 0xFFFFFFFFu;
// FormatTemperature's raw word of the overflow code, which has a text.
constexpr std::int64_t kOverflowRaw = 32769;

TValuePanelModel::TText Plain(const QString& text) { return {text, false}; }

TValuePanelModel::TText Percent(float v) {
  return Plain(NumberText::FormatFixed(v, 1) + QStringLiteral("%"));
}

TValuePanelModel::TText Volt(float v, int decimals) {
  return Plain(NumberText::FormatFixed(v, decimals) + QStringLiteral(" V"));
}

}  // namespace

const QString& TValuePanelModel::NoValueText() {
  static const QString text = QStringLiteral("-----");
  return text;
}

TValuePanelModel::TText TValuePanelModel::TemperatureText(float celsius, bool fahrenheit, bool twoDecimals) {
  TText t;
  SentinelUtils::FormatTemperature(fahrenheit, twoDecimals, t.Text, celsius);
  const bool inRange = celsius >= -100.0f && celsius <= 3000.0f;
  t.NoValue = !inRange && NumberText::Round(static_cast<double>(celsius) * 10.0 + 1000.0) != kOverflowRaw;
  return t;
}

TValuePanelModel::TText TValuePanelModel::SampleText(int channel, float value, const TChannelSample& sample,
                                                     bool fahrenheit) {
  const bool hires = sample.HighResolution;
  const bool record = sample.Kind == TChannelSample::TKind::Record;
  switch (channel) {
    case CV::TObj:
      return sample.ObjectPercent ? Percent(value) : TemperatureText(value, fahrenheit, hires);
    case CV::TInt:
    case CV::TAct:
      return TemperatureText(value, fahrenheit, hires);
    case CV::TAmb:
      // A record's ambient temperature keeps one decimal.
      return TemperatureText(value, fahrenheit, hires && !record);
    case CV::Tau:
      return Percent(value);
    case CV::Epsilon:
      return Plain(NumberText::FormatFixed(value / 100.0f, 3));
    case CV::MVin:
      return Volt(value / 10.0f, 3);
    case CV::Vcc:
      // A reading's supply voltage shows one decimal, a record's three.
      return Volt(value / 10.0f, record ? 3 : 1);
    default:  // TBox, T2C, T1C
      return TemperatureText(value, fahrenheit, false);
  }
}

TValuePanelModel::TText TValuePanelModel::StartText(int channel, bool fahrenheit) {
  switch (channel) {
    case CV::Tau:
      return Percent(0.0f);
    case CV::Epsilon:
      return Plain(NumberText::FormatFixed(0.0, 3));
    case CV::MVin:
    case CV::Vcc:
      return Volt(0.0f, 1);
    default:
      return TemperatureText(0.0f, fahrenheit, false);
  }
}

TValuePanelModel::TText TValuePanelModel::FileText(int channel, float value, bool fahrenheit,
                                                   bool twoDecimals) {
  switch (channel) {
    case CV::Tau:
      return Percent(value);
    case CV::Epsilon:
      return Plain(NumberText::FormatFixed(value, 3));
    case CV::MVin:
    case CV::Vcc:
      return Volt(value, 1);
    default:
      return TemperatureText(value, fahrenheit, twoDecimals);
  }
}

void TValuePanelModel::Put(int channel, const TText& text) {
  if (!Valid(channel)) return;
  TPanel& p = panels_[Index(channel)];
  const bool delivered = (delivered_ & TChannelSample::Bit(channel)) != 0;
  const QString& shown = delivered ? text.Text : NoValueText();
  const bool noValue = delivered ? text.NoValue : true;
  p.NoValue = noValue;
  if (p.Text == shown) return;
  p.Text = shown;
  changes_.Texts |= TChannelSample::Bit(channel);
}

void TValuePanelModel::ShowSample(const TChannelSample& sample, bool fahrenheit) {
  for (int c = 0; c < kChannels; ++c) {
    if (sample.Has(c)) Put(c, SampleText(c, sample.Values[Index(c)], sample, fahrenheit));
    if ((sample.Hidden & TChannelSample::Bit(c)) != 0) Hide(c);
  }
}

void TValuePanelModel::ShowText(int channel, const TText& text) { Put(channel, text); }

void TValuePanelModel::ShowNoValue(int channel) { Put(channel, {NoValueText(), true}); }

void TValuePanelModel::HideNoValues(std::uint16_t channels) {
  for (int c = 0; c < kChannels; ++c) {
    if ((channels & TChannelSample::Bit(c)) != 0 && panels_[Index(c)].NoValue) Hide(c);
  }
}

void TValuePanelModel::Hide(int channel) {
  TPanel& p = panels_[Index(channel)];
  if (p.Hidden) return;
  p.Hidden = true;
  changes_.Visibility |= TChannelSample::Bit(channel);
}

void TValuePanelModel::Arrange(std::uint16_t shownChannels, bool top, bool right) {
  std::array<std::array<bool, 2>, ChannelValues::kCount> before{};
  for (int c = 0; c < kChannels; ++c) before[Index(c)] = {Visible(Top, c), Visible(Right, c)};
  shown_ = shownChannels;
  top_ = top;
  right_ = right;
  for (TPanel& p : panels_) p.Hidden = false;
  for (int c = 0; c < kChannels; ++c) {
    if (before[Index(c)][0] != Visible(Top, c) || before[Index(c)][1] != Visible(Right, c))
      changes_.Visibility |= TChannelSample::Bit(c);
  }
}

bool TValuePanelModel::Visible(TBar bar, int channel) const {
  if (!Valid(channel)) return false;
  const TPanel& p = panels_[Index(channel)];
  const bool onBar = bar == Top ? top_ : right_;
  return onBar && (shown_ & TChannelSample::Bit(channel)) != 0 && !p.Hidden;
}

TValuePanelModel::TChanges TValuePanelModel::TakeChanges() {
  const TChanges c = changes_;
  changes_ = {};
  return c;
}

TValuePanelModel::TDisplayFeed TValuePanelModel::FeedDisplay(int kind, float value,
                                                             const TDisplayValueContext& context) {
  TDisplayFeed feed;
  const int channel = CV::ChannelOfDisplayKind(kind);
  if (channel < 0) return feed;
  TDisplayValueMessage& last = displays_[static_cast<std::size_t>(kind)];
  if ((delivered_ & TChannelSample::Bit(channel)) == 0) {
    // The display shows no value, as the panel does (told once).
    if (last.HasValue || last.WParam != kNoValueMark) {
      last = TDisplayValueMessage{false, kNoValueMark};
      feed.What = TDisplayFeed::TWhat::NoValueText;
    }
    return feed;
  }
  last = DisplayValueEncoding::Encode(kind, value, context);
  // A channel without a number sends none.
  if (last.HasValue) {
    feed.What = TDisplayFeed::TWhat::Value;
    feed.WParam = last.WParam;
  }
  return feed;
}

TDisplayValueMessage TValuePanelModel::DisplayValue(int kind) const {
  return kind >= 1 && kind <= kChannels ? displays_[static_cast<std::size_t>(kind)] : TDisplayValueMessage{};
}
