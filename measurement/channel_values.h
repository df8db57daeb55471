#pragma once

#include <array>
#include <cstddef>

// The eleven current values of the main window, one per channel, in the
// column order of the measurement data file. Temperatures are held in degrees
// Celsius; Epsilon, mVin and Vcc in their own units. The value 32768.0 in a
// channel means that the device gives no such value.
using TChannelValues = std::array<float, 11>;

namespace ChannelValues {

inline constexpr std::size_t kCount = 11;

// Index of each channel in TChannelValues (and in the chart's graphs).
enum Channel : int {
  TObj = 0,
  TInt = 1,
  TBox = 2,
  TAct = 3,
  T2C = 4,
  T1C = 5,
  Tau = 6,  // ATTENUATION
  Epsilon = 7,
  MVin = 8,
  Vcc = 9,
  TAmb = 10,
};

// The value a device gives for a channel it does not have.
inline constexpr float kNoValue = 32768.0f;

// Channels whose values are temperatures, converted between degrees Celsius
// and the display unit (Tau included, as the data file has always done).
// Epsilon, mVin and Vcc are never converted.
constexpr bool IsTemperature(int channel) { return (channel >= TObj && channel <= Tau) || channel == TAmb; }

// The channel a DisplayKind 1..11 (the Tag of the value panels and of the
// external displays) stands for; -1 for any other kind.
constexpr int ChannelOfDisplayKind(int kind) {
  constexpr int kChannels[] = {TObj, TInt, TAct, TBox, T1C, T2C, Tau, MVin, Vcc, TAmb, Epsilon};
  return kind >= 1 && kind <= 11 ? kChannels[kind - 1] : -1;
}

// The DisplayKind of a channel 0..10; 0 for any other index.
constexpr int DisplayKindOfChannel(int channel) {
  for (int kind = 1; kind <= 11; ++kind) {
    if (ChannelOfDisplayKind(kind) == channel) return kind;
  }
  return 0;
}

}  // namespace ChannelValues
