#pragma once

#include <cstdint>

// The value word of the message that hands a channel value to an external
// display: the raw number in bits 0-15 and display flags in bits 16-23.
namespace DisplayValueFlags {
inline constexpr std::uint8_t TwoDecimals = 0x01;    // raw / 100 - 100
inline constexpr std::uint8_t Fahrenheit = 0x02;     // convert to degrees Fahrenheit
inline constexpr std::uint8_t MilliVolt = 0x04;      // raw is mV
inline constexpr std::uint8_t Volt = 0x08;           // raw / 1000 in V
inline constexpr std::uint8_t Percent = 0x10;        // raw / 10 - 100 in percent
inline constexpr std::uint8_t ThreeDecimals = 0x20;  // raw / 1000, three decimals, no unit
}  // namespace DisplayValueFlags

// One encoded value. `HasValue` is false when the channel holds no number
// (the "no value" marker 32768, a reader's failure value, not a number):
// such a value is never sent as a number.
struct TDisplayValueMessage {
  bool HasValue = false;
  std::uint32_t WParam = 0;

  std::uint16_t Raw() const { return static_cast<std::uint16_t>(WParam & 0xFFFFu); }
  std::uint8_t Flags() const { return static_cast<std::uint8_t>((WParam >> 16) & 0xFFu); }
  bool operator==(const TDisplayValueMessage&) const = default;
};

// How the main window shows its values at the moment.
struct TDisplayValueContext {
  bool Fahrenheit = false;      // the main window shows degrees Fahrenheit
  bool HighResolution = false;  // second-generation Brio device at high resolution
  bool ObjectPercent = false;   // the object value is a percentage (ratio display mode 2)
};

namespace DisplayValueEncoding {

// Values at or beyond these bounds are not numbers of the channel: the
// marker of a channel the device does not have, and the failure value of
// the drivers' readers.
inline constexpr float kNoValueMarker = 32768.0f;
inline constexpr float kFailureValue = -9999.0f;

// True when `value` is a number that may be shown.
bool IsShowable(float value);

// Packs raw and flags: raw clamped to 0..65535, so it never reaches the
// flag byte.
std::uint32_t Pack(double raw, std::uint8_t flags);

// The message for the value (current value: degrees Celsius, percent, V or
// the emissivity scale of its channel) of DisplayKind 1..11. An unknown
// kind gives no value.
TDisplayValueMessage Encode(int kind, float value, const TDisplayValueContext& context);

}  // namespace DisplayValueEncoding
