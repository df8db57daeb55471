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

}  // namespace ChannelConversion
