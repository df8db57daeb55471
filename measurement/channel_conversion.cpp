#include "measurement/channel_conversion.h"

namespace ChannelConversion {

float RawToCelsius(std::uint16_t raw) { return (static_cast<float>(raw) - 1000.0f) / 10.0f; }

float RawToPercent(std::uint16_t raw) { return static_cast<float>(raw) / 10.0f - 100.0f; }

TChannelValues ConvertArgoBurstRecord(const std::array<std::uint16_t, 8>& slots, TArgoBurstLayout layout,
                                      bool objectPercent) {
  TChannelValues v{};
  switch (layout) {
    case TArgoBurstLayout::Fast:
      v[ChannelValues::TObj] = RawToCelsius(slots[0]);
      v[ChannelValues::TAct] = RawToCelsius(slots[1]);
      break;
    case TArgoBurstLayout::Ratio:
      v[ChannelValues::TObj] = objectPercent ? RawToPercent(slots[0]) : RawToCelsius(slots[0]);
      v[ChannelValues::T2C] = RawToCelsius(slots[1]);
      v[ChannelValues::T1C] = RawToCelsius(slots[4]);
      v[ChannelValues::Tau] = RawToPercent(slots[3]);
      v[ChannelValues::TBox] = RawToCelsius(slots[2]);
      v[ChannelValues::TAct] = RawToCelsius(slots[3]);
      break;
    case TArgoBurstLayout::Standard:
      v[ChannelValues::TObj] = RawToCelsius(slots[0]);
      v[ChannelValues::TInt] = RawToCelsius(slots[1]);
      v[ChannelValues::TBox] = RawToCelsius(slots[2]);
      v[ChannelValues::TAct] = RawToCelsius(slots[3]);
      break;
  }
  return v;
}

float BrioRawToCelsius(std::uint16_t raw, bool highResolution) {
  return highResolution ? (static_cast<float>(raw) - 10000.0f) / 100.0f : RawToCelsius(raw);
}

TChannelValues ConvertBrioBurstRecord(const std::array<std::uint16_t, 8>& slots,
                                      const TBrioBurstLayout& layout) {
  TChannelValues v{};
  const auto slot = [&](int n, auto convert) {
    return n <= layout.Channels ? convert(slots[static_cast<std::size_t>(n - 1)]) : ChannelValues::kNoValue;
  };
  const auto temperature = [&](std::uint16_t raw) { return BrioRawToCelsius(raw, layout.HighResolution); };
  v[ChannelValues::TObj] = slot(1, temperature);
  v[ChannelValues::TInt] = slot(2, temperature);
  v[ChannelValues::TAct] = slot(3, temperature);
  v[ChannelValues::TBox] = layout.HasBox ? slot(4, temperature) : ChannelValues::kNoValue;
  if (layout.InputInspection) {
    v[ChannelValues::Epsilon] = slot(5, [](std::uint16_t raw) { return raw / 10.0f; });
    v[ChannelValues::MVin] = slot(6, [](std::uint16_t raw) { return raw / 100.0f; });
    v[ChannelValues::Vcc] = slot(7, [](std::uint16_t raw) { return raw / 100.0f; });
    v[ChannelValues::TAmb] = slot(8, temperature);
  }
  return v;
}

int ChannelsBeforeZero(const std::uint16_t* codes, int count) {
  int n = 0;
  while (n < count && codes[n] != 0) ++n;
  return n;
}

namespace {

constexpr std::uint16_t kInspectionChannels =
    TChannelSample::Bit(ChannelValues::Epsilon) | TChannelSample::Bit(ChannelValues::MVin) |
    TChannelSample::Bit(ChannelValues::Vcc) | TChannelSample::Bit(ChannelValues::TAmb);

}  // namespace

TChannelSample ArgoRecordSample(const std::array<std::uint16_t, 8>& slots, TArgoBurstLayout layout,
                                bool objectPercent, double time) {
  TChannelSample s;
  s.Kind = TChannelSample::TKind::Record;
  s.Values = ConvertArgoBurstRecord(slots, layout, objectPercent);
  for (int c = ChannelValues::TObj; c <= ChannelValues::Tau; ++c) s.Channels |= TChannelSample::Bit(c);
  s.ObjectPercent = objectPercent && layout == TArgoBurstLayout::Ratio;
  s.Time = time;
  return s;
}

TChannelSample BrioRecordSample(const std::array<std::uint16_t, 8>& slots, const TBrioBurstLayout& layout,
                                double time) {
  TChannelSample s;
  s.Kind = TChannelSample::TKind::Record;
  s.Values = ConvertBrioBurstRecord(slots, layout);
  for (int c : {ChannelValues::TObj, ChannelValues::TInt, ChannelValues::TAct, ChannelValues::TBox})
    s.Channels |= TChannelSample::Bit(c);
  if (layout.InputInspection)
    s.Channels |= kInspectionChannels;
  else
    s.Hidden = kInspectionChannels;
  s.HighResolution = layout.HighResolution;
  s.BoxLimited = true;
  s.Time = time;
  return s;
}

TChannelSample ReadingOfType(std::uint8_t type, float value, bool objectPercent, double time) {
  TChannelSample s;
  s.Time = time;
  switch (static_cast<TReadType>(type)) {
    case TReadType::Object:
      s.Set(ChannelValues::TObj, value);
      s.ObjectPercent = objectPercent;
      break;
    case TReadType::Internal:
      s.Set(ChannelValues::TInt, value);
      s.ClosesPoll = true;
      break;
    case TReadType::Box:
      s.Set(ChannelValues::TBox, value);
      break;
    case TReadType::Actual:
      s.Set(ChannelValues::TAct, value);
      break;
    case TReadType::Quotient:
      s.Set(ChannelValues::T2C, value);
      break;
    case TReadType::Single:
      s.Set(ChannelValues::T1C, value);
      break;
    case TReadType::Tau:
      s.Set(ChannelValues::Tau, value);
      s.ClosesPoll = true;
      break;
  }
  return s;
}

TChannelSample BrioV2Reading(int valueType, std::int32_t value, bool highResolution, double time) {
  TChannelSample s;
  s.Time = time;
  const auto v = static_cast<float>(value);
  const float temperature = v / (highResolution ? 100.0f : 10.0f);
  switch (static_cast<TBrioValueType>(valueType)) {
    case TBrioValueType::Object:
      s.Set(ChannelValues::TObj, temperature);
      s.ClosesPoll = true;
      break;
    case TBrioValueType::Internal:
      s.Set(ChannelValues::TInt, temperature);
      break;
    case TBrioValueType::Actual:
      s.Set(ChannelValues::TAct, temperature);
      break;
    case TBrioValueType::Ambient:
      s.Set(ChannelValues::TAmb, temperature);
      break;
    case TBrioValueType::Box:
      s.Set(ChannelValues::TBox, v / 10.0f);
      break;
    case TBrioValueType::Epsilon:
      // Thousandths to the per cent of a burst record.
      s.Set(ChannelValues::Epsilon, v / 10.0f);
      break;
    case TBrioValueType::Vcc:
      // Millivolts to the tenths of a volt of a burst record.
      s.Set(ChannelValues::Vcc, v / 100.0f);
      break;
  }
  s.HighResolution = highResolution;
  return s;
}

}  // namespace ChannelConversion
