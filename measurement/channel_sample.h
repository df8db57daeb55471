#pragma once

#include <chrono>
#include <cstdint>

#include "measurement/channel_values.h"

// Values of the connected device as its family hands them to the window,
// whatever they came from: a streamed record, a value read on request (a
// poll, a dialog's read, a second-generation notification). Temperatures
// in degrees Celsius; Epsilon, mVin and Vcc in the units of a burst record
// (Epsilon in per cent, mVin and Vcc in tenths of a volt), so a channel has
// one unit wherever its value came from.
struct TChannelSample {
  enum class TKind : std::uint8_t {
    Record,   // one streamed record: Values holds every channel
    Reading,  // values read on request: only the carried channels count
  };

  TKind Kind = TKind::Reading;
  // Bit c set: channel c is carried (a record's panels show these).
  std::uint16_t Channels = 0;
  // kNoValue (or 0 in a single-colour record) where the device gives none.
  TChannelValues Values{};
  // Seconds. A record: since the burst's first frame (the driver's count);
  // a reading: on the steady clock, when the value arrived.
  double Time = 0.0;
  // Temperatures come in hundredths (second-generation Brio): TObj, TInt and
  // TAct (and TAmb of a reading) show two decimals.
  bool HighResolution = false;
  // The object value is a percentage (ratio model, display mode 2).
  bool ObjectPercent = false;
  // In poll mode the chart takes its sample when this reading arrives (the
  // family's last, or for the second generation its object, value of a poll).
  bool ClosesPoll = false;
  // A Brio record: a box temperature above kBoxReadingLimit is no reading for
  // the chart and the displays (its panel still shows it).
  bool BoxLimited = false;
  // Channels of the model that this stream leaves out: their panels are
  // hidden while it runs.
  std::uint16_t Hidden = 0;

  static constexpr float kBoxReadingLimit = 200.0f;

  // The time base of a reading: seconds on the steady clock.
  static double Now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
  }

  static constexpr std::uint16_t Bit(int channel) { return static_cast<std::uint16_t>(1u << channel); }
  bool Has(int channel) const { return (Channels & Bit(channel)) != 0; }
  void Set(int channel, float value) {
    Channels |= Bit(channel);
    Values[static_cast<std::size_t>(channel)] = value;
  }

  // The window's current values after this sample: a record replaces them
  // (a limited box temperature becomes 0), a reading sets what it carries.
  void ApplyTo(TChannelValues& current) const {
    if (Kind == TKind::Record) {
      current = Values;
      float& box = current[ChannelValues::TBox];
      if (BoxLimited && box > kBoxReadingLimit && box != ChannelValues::kNoValue) box = 0.0f;
      return;
    }
    for (std::size_t c = 0; c < ChannelValues::kCount; ++c) {
      if (Has(static_cast<int>(c))) current[c] = Values[c];
    }
  }
};
