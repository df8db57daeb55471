#include "setup_brio/brio_device_setup_rules.h"

#include <cmath>

#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"

namespace {

constexpr std::uint8_t kPinAlarm = 0x01;
constexpr std::uint8_t kPinComm = 0x02;
constexpr std::uint8_t kPinTrigger = 0x10;
constexpr std::uint8_t kPinBits = kPinAlarm | kPinComm | kPinTrigger;

constexpr std::uint8_t kAmbMask = 0x0F;
constexpr std::uint8_t kAmbientAnalogBits = 0x01;
constexpr std::uint8_t kAmbientFixedBits = 0x02;
constexpr std::uint8_t kAmbientHeadBits = 0x04;
constexpr std::uint8_t kEmissMask = 0xF0;
constexpr std::uint8_t kEmissAnalogBits = 0x10;
constexpr std::uint8_t kEmissFixedBits = 0x20;

bool AmbientIsAnalog(std::uint8_t sources) { return (sources & kAmbMask) == kAmbientAnalogBits; }
bool EmissivityIsAnalog(std::uint8_t sources) { return (sources & kEmissAnalogBits) != 0; }

std::uint8_t WithAmbient(std::uint8_t sources, std::uint8_t nibble) {
  return static_cast<std::uint8_t>((sources & kEmissMask) | nibble);
}
std::uint8_t WithEmissivity(std::uint8_t sources, std::uint8_t nibble) {
  return static_cast<std::uint8_t>((sources & kAmbMask) | nibble);
}
std::uint8_t WithPin(std::uint8_t inPin, std::uint8_t pin) {
  return static_cast<std::uint8_t>((inPin & ~kPinBits) | pin);
}

}  // namespace

std::uint8_t TBrioDeviceSetupRules::AnalogSourcesOff(std::uint8_t sources) {
  if (AmbientIsAnalog(sources)) sources = WithAmbient(sources, kAmbientHeadBits);
  if (EmissivityIsAnalog(sources)) sources = WithEmissivity(sources, kEmissFixedBits);
  return sources;
}

TBrioDeviceSetupRules::TInPinBytes TBrioDeviceSetupRules::EmissivitySource(TInPinBytes b, int item) {
  b.InPin = WithPin(b.InPin, 0);
  if (item == kEmissAnalog)
    b.Sources = AmbientIsAnalog(b.Sources) ? static_cast<std::uint8_t>(kEmissAnalogBits | kAmbientHeadBits)
                                           : WithEmissivity(b.Sources, kEmissAnalogBits);
  else
    b.Sources = WithEmissivity(b.Sources, kEmissFixedBits);
  return b;
}

TBrioDeviceSetupRules::TInPinBytes TBrioDeviceSetupRules::AmbientSource(TInPinBytes b, int item) {
  b.InPin = WithPin(b.InPin, 0);
  switch (item) {
    case kAmbHead:
      b.Sources = WithAmbient(b.Sources, kAmbientHeadBits);
      break;
    case kAmbAnalog:
      b.Sources = EmissivityIsAnalog(b.Sources)
                      ? static_cast<std::uint8_t>(kAmbientAnalogBits | kEmissFixedBits)
                      : WithAmbient(b.Sources, kAmbientAnalogBits);
      break;
    case kAmbFixed:
      b.Sources = WithAmbient(b.Sources, kAmbientFixedBits);
      break;
    default:
      break;
  }
  return b;
}

TBrioDeviceSetupRules::TInPinBytes TBrioDeviceSetupRules::InPinAlarm(TInPinBytes b, bool ticked) {
  b.InPin = WithPin(b.InPin, ticked ? kPinAlarm : kPinComm);
  b.Sources = AnalogSourcesOff(b.Sources);
  return b;
}

TBrioDeviceSetupRules::TInPinBytes TBrioDeviceSetupRules::Trigger(TInPinBytes b, int holdItem) {
  if (holdItem == 5 || holdItem == 6) {
    b.InPin = WithPin(b.InPin, kPinTrigger);
    b.Sources = AnalogSourcesOff(b.Sources);
  } else if ((b.InPin & kPinBits) == kPinTrigger) {
    b.InPin = WithPin(b.InPin, kPinComm);
  }
  return b;
}

int TBrioDeviceSetupRules::AmbientItemOf(std::uint8_t sources) {
  switch (sources & kAmbMask) {
    case kAmbientAnalogBits:
      return kAmbAnalog;
    case kAmbientFixedBits:
      return kAmbFixed;
    case kAmbientHeadBits:
      return kAmbHead;
    default:
      return -1;
  }
}

int TBrioDeviceSetupRules::EmissivityItemOf(std::uint8_t sources) {
  switch (sources & kEmissMask) {
    case kEmissAnalogBits:
      return kEmissAnalog;
    case kEmissFixedBits:
      return kEmissFixed;
    default:
      return -1;
  }
}

TBrioDeviceSetupRules::TControlStates TBrioDeviceSetupRules::UpdateControlStates(std::int16_t variant,
                                                                                 TInPinBytes bytes) {
  TControlStates s;
  s.InPin = bytes.InPin;
  if (variant > 0) {
    s.InPin = static_cast<std::uint8_t>(s.InPin & ~kPinAlarm);
    s.AlarmVisible = false;
  } else {
    s.AlarmVisible = true;
    s.AlarmTicked = (s.InPin & kPinAlarm) != 0;
  }
  s.AlarmGroupEnabled = (s.AlarmVisible && s.AlarmTicked) || variant >= 1;
  s.AlarmGroupSize = s.AlarmGroupEnabled ? QSize(225, 115) : QSize(73, 19);
  if ((s.InPin & kPinBits) == 0 && (bytes.Sources & (kAmbientAnalogBits | kEmissAnalogBits)) == 0) {
    s.CommEmissivityInput = true;
    s.InPin = static_cast<std::uint8_t>(s.InPin | kPinComm);
  }
  s.AmbientItem = AmbientItemOf(bytes.Sources);
  s.EmissivityItem = EmissivityItemOf(bytes.Sources);
  return s;
}

TBrioDeviceSetupRules::TTickResult TBrioDeviceSetupRules::Tick(const TTickInput& in) {
  TTickResult r;
  r.Burst = in.Burst;
  if (r.Burst[0] == 0) r.Burst[0] = 1;
  for (int i = 1; i < 4; ++i)
    if (r.Burst[i] == 0)
      for (int j = i + 1; j < 5; ++j) r.Burst[j] = 0;

  r.BurstGroupVisible = in.OutMode == kOutBurst;
  r.OutputGroupVisible = in.OutMode == kOutMillivolt;
  r.AlarmOutputGroupVisible = in.OutMode == kOutAlarm;

  const int h = in.HoldMode;
  r.HoldTimeEnabled = h == 1 || h == 2 || h == 5 || h == 6;
  r.ThresholdEnabled = h == 3 || h == 4;

  r.EmissivityEnabled = in.EmissivitySource == kEmissFixed;
  r.FixedAmbientShown = in.AmbientSource == kAmbFixed;

  r.FailsafeGroupEnabled = in.Failsafe;
  r.FailsafeGroupSize = in.Failsafe ? QSize(345, 137) : QSize(137, 19);

  r.AmbientSource = in.AmbientSource;
  if (in.EmissivitySource == kEmissAnalog && in.AmbientSource == kAmbAnalog) r.AmbientSource = kAmbHead;
  return r;
}

bool TBrioDeviceSetupRules::FailsafeTicked(const QString& lowText, const QString& highText, bool fahrenheit) {
  // The fields show the defaults as the decode formats them (one decimal
  // below 1000, none from 1000 up), so half a tenth tells them apart.
  const auto differs = [fahrenheit](const QString& text, float celsius) {
    const std::optional<double> shown = NumberText::ParseFloatTolerant(text.trimmed());
    if (!shown) return true;
    return std::fabs(*shown - SentinelUtils::CelsiusToUnit(fahrenheit, celsius)) >= 0.05;
  };
  return differs(lowText, -100.0f) || differs(highText, 2000.0f);
}
