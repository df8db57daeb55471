#pragma once

#include <array>
#include <cstdint>

#include "measurement/channel_sample.h"
#include "measurement/channel_values.h"

// Conversions of the drivers' raw channel words into the main window's
// current values, free of any widget so they can be checked on their own.
namespace ChannelConversion {

// The ratio model's display main source 2 (attenuation): the device then
// gives its object value as a percentage instead of a temperature.
inline constexpr std::uint8_t kRatioPercentDisplayMode = 2;

// True when the object value of a device of this family is a percentage:
// only the ratio model (family 2) with display mode 2.
constexpr bool ObjectIsPercent(int family, std::uint8_t ratioDisplayMode) {
  return family == 2 && ratioDisplayMode == kRatioPercentDisplayMode;
}

// A standard-resolution temperature word: (raw - 1000) / 10 degrees Celsius.
float RawToCelsius(std::uint16_t raw);
// A percentage word: raw / 10 - 100.
float RawToPercent(std::uint16_t raw);

// Which channels the eight burst slots of the single-colour family carry.
enum class TArgoBurstLayout {
  Standard,  // family 1: TObj, TInt, TBox, TAct
  Ratio,     // family 2: TObj, T2C, TBox, Tau/TAct, T1C
  Fast,      // 1 ms bursts: TObj, TAct
};

// The current values of one burst record of the single-colour family; the
// channels the layout does not carry are 0. `objectPercent` reads the ratio
// model's object slot as a percentage.
TChannelValues ConvertArgoBurstRecord(const std::array<std::uint16_t, 8>& slots, TArgoBurstLayout layout,
                                      bool objectPercent);

// A Brio temperature word: (raw - 1000) / 10, or (raw - 10000) / 100 at
// high resolution (second generation).
float BrioRawToCelsius(std::uint16_t raw, bool highResolution);

// What a Brio burst streams: the number of channel words per frame (the
// channel list up to its first 0), and for the second generation the
// model's resolution, whether slot 4 is the box temperature and whether
// slots 5 to 8 carry the input inspection.
struct TBrioBurstLayout {
  int Channels = 0;
  bool HighResolution = false;
  bool HasBox = false;
  bool InputInspection = false;
};

// The current values of one Brio burst record: TObj, TInt and TAct from
// slots 1 to 3, TBox from slot 4 where the model has it (else no value),
// and the input inspection (Epsilon slot 5 / 10, mVin slot 6 / 100, Vcc
// slot 7 / 100, TAmb slot 8). A slot the frame does not carry gives no value.
TChannelValues ConvertBrioBurstRecord(const std::array<std::uint16_t, 8>& slots,
                                      const TBrioBurstLayout& layout);

// The channels before the first 0 of a channel list.
int ChannelsBeforeZero(const std::uint16_t* codes, int count);

// --- Samples: what a family hands to the window ---

// A burst record of the single-colour family at `time`: every channel of
// ConvertArgoBurstRecord, the panels of TObj to Tau carried.
TChannelSample ArgoRecordSample(const std::array<std::uint16_t, 8>& slots, TArgoBurstLayout layout,
                                bool objectPercent, double time);

// A Brio burst record at `time`: TObj, TInt, TAct and TBox carried, the input
// inspection's channels too when the layout streams them (else their panels
// are hidden); the box temperature is limited.
TChannelSample BrioRecordSample(const std::array<std::uint16_t, 8>& slots, const TBrioBurstLayout& layout,
                                double time);

// The temperature types of the single-colour and first-generation Brio
// drivers' value reads (OnNewTemp).
enum class TReadType : std::uint8_t {
  Object = 1,
  Internal = 2,
  Box = 3,
  Actual = 4,
  Quotient = 5,  // T2C
  Single = 6,    // T1C
  Tau = 7,
};

// One value read by a single-colour or first-generation Brio driver, of its
// temperature type `type` (an unknown type carries nothing). A poll ends
// with the internal temperature (single-colour model, first generation) or
// Tau (ratio model).
TChannelSample ReadingOfType(std::uint8_t type, float value, bool objectPercent, double time);

// The value types of the second generation's new-value notification (the
// high word of its wParam).
enum class TBrioValueType : std::uint8_t {
  Object = 1,
  Internal = 2,
  Actual = 4,
  Box = 5,
  Epsilon = 6,
  Vcc = 7,
  Ambient = 8,
};

// One second-generation new-value notification: `value` is the scaled
// integer (lParam). Temperatures are hundredths at high resolution, else
// tenths, the box temperature always tenths; Epsilon and Vcc thousandths.
// The object temperature is the one a poll-mode chart sample waits for.
TChannelSample BrioV2Reading(int valueType, std::int32_t value, bool highResolution, double time);

}  // namespace ChannelConversion
