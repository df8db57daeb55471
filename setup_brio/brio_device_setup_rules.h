#pragma once

#include <QSize>
#include <array>
#include <cstdint>

// The first-generation setup dialog's model rules, without widgets: the
// rules that change the IN-pin and source bytes (configuration data bytes
// 44 and 45) when a source, the alarm box or the hold mode is chosen, the
// control states after a decode, the change timer's tick, and when the
// fail-safe box is ticked at showing.
//
// Byte 44: IN pin use 0x01 alarm output, 0x02 communication input, 0x10
// external trigger input (bits 0x88 are the output mode). Byte 45: low
// nibble ambient source 1 analog input, 2 fixed value, 4 head temperature;
// high nibble emissivity source 0x10 analog input, 0x20 fixed value. A
// source chosen replaces its nibble (the encoder writes each nibble from
// its list, so nothing else could reach the device).
class TBrioDeviceSetupRules {
 public:
  struct TInPinBytes {
    std::uint8_t InPin = 0;    // byte 44
    std::uint8_t Sources = 0;  // byte 45
    friend bool operator==(const TInPinBytes&, const TInPinBytes&) = default;
  };

  // Items of the source lists.
  static constexpr int kEmissFixed = 0, kEmissAnalog = 1;
  static constexpr int kAmbHead = 0, kAmbAnalog = 1, kAmbFixed = 2;
  // Items of the output-mode list.
  static constexpr int kOutMillivolt = 0, kOutComm = 1, kOutBurst = 2, kOutAlarm = 3;

  // cbEmissSrc chosen: the IN pin is freed; the analog input takes the
  // emissivity (an ambient source on it moves to the head temperature), or
  // the emissivity becomes the fixed value.
  static TInPinBytes EmissivitySource(TInPinBytes bytes, int item);
  // cbAmbSrc chosen: the IN pin is freed; head temperature, analog input (an
  // emissivity on it becomes the fixed value) or the fixed value.
  static TInPinBytes AmbientSource(TInPinBytes bytes, int item);
  // cbAlarm clicked: the IN pin is the alarm output when ticked, else the
  // communication input; the analog sources are switched off.
  static TInPinBytes InPinAlarm(TInPinBytes bytes, bool ticked);
  // cbHoldMode chosen: the hold modes with trigger (items 5 and 6) take the
  // IN pin as trigger input and switch the analog sources off; any other
  // item gives a trigger input back to communication.
  static TInPinBytes Trigger(TInPinBytes bytes, int holdItem);
  // The analog sources off: an analog ambient becomes the head temperature,
  // an analog emissivity the fixed value.
  static std::uint8_t AnalogSourcesOff(std::uint8_t sources);

  // What the control states are after a decode.
  struct TControlStates {
    std::uint8_t InPin = 0;  // byte 44 as the rule leaves it
    bool AlarmVisible = true;
    bool AlarmTicked = false;
    bool AlarmGroupEnabled = false;
    QSize AlarmGroupSize;
    // True when the IN pin is neither used nor an analog source: it is the
    // communication input and the label says so ("communication emissivity
    // input"); else the label follows the decode's rule.
    bool CommEmissivityInput = false;
    int AmbientItem = -1;     // -1: the list keeps its item
    int EmissivityItem = -1;  // -1: the list keeps its item
  };
  // `variant`: the calibration's model-variant word (above 0: no alarm on
  // the IN pin).
  static TControlStates UpdateControlStates(std::int16_t variant, TInPinBytes bytes);
  // The list items the source nibbles of byte 45 decode to (-1: keep).
  static int AmbientItemOf(std::uint8_t sources);
  static int EmissivityItemOf(std::uint8_t sources);

  // The change timer's tick: what the lists hold and what it makes of them.
  struct TTickInput {
    std::array<int, 5> Burst{};
    int OutMode = -1;
    int HoldMode = -1;
    int EmissivitySource = -1;
    int AmbientSource = -1;
    bool Failsafe = false;
  };
  struct TTickResult {
    std::array<int, 5> Burst{};  // contiguous burst list
    bool BurstGroupVisible = false;
    bool OutputGroupVisible = false;  // also the fail-safe group and its box
    bool AlarmOutputGroupVisible = false;
    bool HoldTimeEnabled = false;   // hold time, its label and remark
    bool ThresholdEnabled = false;  // threshold and hysteresis with labels
    bool EmissivityEnabled = false;
    bool FixedAmbientShown = false;  // the field visible, its label enabled
    bool FailsafeGroupEnabled = false;
    QSize FailsafeGroupSize;
    int AmbientSource = -1;  // both sources analog: the ambient goes to the head
  };
  static TTickResult Tick(const TTickInput& in);

  // Whether the fail-safe box is ticked at showing: when either limit shown
  // (in the display unit) differs from its default (-100 °C below, 2000 °C
  // above). A limit that is not a number counts as changed.
  static bool FailsafeTicked(const QString& lowText, const QString& highText, bool fahrenheit);
};
