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

}  // namespace ChannelConversion
