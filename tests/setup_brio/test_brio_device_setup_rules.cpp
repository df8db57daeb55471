// The first-generation setup dialog's model rules as tables: the four
// byte rules on the IN-pin and source bytes, the control states after a
// decode, the change timer's tick, and the fail-safe box at showing.

#include <gtest/gtest.h>

#include "setup_brio/brio_device_setup_rules.h"

namespace {

using Rules = TBrioDeviceSetupRules;
using Bytes = Rules::TInPinBytes;

enum class Rule { Emissivity, Ambient, Alarm, Trigger };

struct ByteCase {
  const char* what;
  Rule rule;
  int item;  // list item, or the alarm box ticked (1) or not (0)
  Bytes before;
  Bytes after;
};

Bytes ApplyRule(const ByteCase& c) {
  switch (c.rule) {
    case Rule::Emissivity:
      return Rules::EmissivitySource(c.before, c.item);
    case Rule::Ambient:
      return Rules::AmbientSource(c.before, c.item);
    case Rule::Alarm:
      return Rules::InPinAlarm(c.before, c.item != 0);
    case Rule::Trigger:
      return Rules::Trigger(c.before, c.item);
  }
  return {};
}

TEST(BrioDeviceSetupRules, ByteRules) {
  const ByteCase cases[] = {
      // Source rules free the IN pin (output-mode bits 0x88 stay).
      {"emissivity analog, ambient head", Rule::Emissivity, 1, {0x89, 0x24}, {0x88, 0x14}},
      {"emissivity analog takes the input from the ambient", Rule::Emissivity, 1, {0x02, 0x21}, {0x00, 0x14}},
      {"emissivity fixed", Rule::Emissivity, 0, {0x10, 0x12}, {0x00, 0x22}},
      {"ambient head", Rule::Ambient, 0, {0x01, 0x22}, {0x00, 0x24}},
      {"ambient analog, emissivity fixed", Rule::Ambient, 1, {0x02, 0x24}, {0x00, 0x21}},
      {"ambient analog takes the input from the emissivity", Rule::Ambient, 1, {0x00, 0x14}, {0x00, 0x21}},
      {"ambient fixed", Rule::Ambient, 2, {0x12, 0x11}, {0x00, 0x12}},
      // The alarm box: analog sources off.
      {"alarm ticked with an analog ambient", Rule::Alarm, 1, {0x02, 0x21}, {0x01, 0x24}},
      {"alarm ticked with an analog emissivity", Rule::Alarm, 1, {0x08, 0x14}, {0x09, 0x24}},
      {"alarm cleared", Rule::Alarm, 0, {0x01, 0x24}, {0x02, 0x24}},
      // Hold modes with trigger take the pin; the others give it back.
      {"peak hold, trigger off", Rule::Trigger, 5, {0x02, 0x21}, {0x10, 0x24}},
      {"valley hold, trigger off", Rule::Trigger, 6, {0x01, 0x14}, {0x10, 0x24}},
      {"plain peak hold after the trigger", Rule::Trigger, 1, {0x10, 0x24}, {0x02, 0x24}},
      {"plain hold leaves an alarm pin", Rule::Trigger, 0, {0x01, 0x24}, {0x01, 0x24}},
  };
  for (const ByteCase& c : cases) {
    const Bytes got = ApplyRule(c);
    EXPECT_EQ(got.InPin, c.after.InPin) << c.what;
    EXPECT_EQ(got.Sources, c.after.Sources) << c.what;
  }
}

// Choosing the analog input for both sources, one after the other, leaves
// only the later choice on it.
TEST(BrioDeviceSetupRules, BothSourcesAnalogLeavesTheLaterChoice) {
  Bytes b{0x02, 0x24};
  b = Rules::AmbientSource(b, Rules::kAmbAnalog);
  b = Rules::EmissivitySource(b, Rules::kEmissAnalog);
  EXPECT_EQ(Rules::AmbientItemOf(b.Sources), Rules::kAmbHead);
  EXPECT_EQ(Rules::EmissivityItemOf(b.Sources), Rules::kEmissAnalog);
  b = Rules::AmbientSource(b, Rules::kAmbAnalog);
  EXPECT_EQ(Rules::AmbientItemOf(b.Sources), Rules::kAmbAnalog);
  EXPECT_EQ(Rules::EmissivityItemOf(b.Sources), Rules::kEmissFixed);
}

struct StateCase {
  const char* what;
  std::int16_t variant;
  Bytes bytes;
  std::uint8_t inPin;
  bool alarmVisible, alarmTicked, groupEnabled;
  QSize groupSize;
  bool commEmissivity;
  int ambient, emissivity;
};

TEST(BrioDeviceSetupRules, ControlStates) {
  const StateCase cases[] = {
      {"alarm pin", 0, {0x01, 0x24}, 0x01, true, true, true, {225, 115}, false, 0, 0},
      {"communication pin", 0, {0x02, 0x24}, 0x02, true, false, false, {73, 19}, false, 0, 0},
      {"variant without alarm clears the bit, group stays",
       1,
       {0x01, 0x24},
       0x02,
       false,
       false,
       true,
       {225, 115},
       true,
       0,
       0},
      {"nothing on the pin: communication, bit set",
       0,
       {0x80, 0x22},
       0x82,
       true,
       false,
       false,
       {73, 19},
       true,
       2,
       0},
      {"an analog source is use enough", 0, {0x00, 0x21}, 0x00, true, false, false, {73, 19}, false, 1, 0},
      {"unknown nibbles keep the lists", -1, {0x10, 0x33}, 0x10, true, false, false, {73, 19}, false, -1, -1},
  };
  for (const StateCase& c : cases) {
    const Rules::TControlStates s = Rules::UpdateControlStates(c.variant, c.bytes);
    EXPECT_EQ(s.InPin, c.inPin) << c.what;
    EXPECT_EQ(s.AlarmVisible, c.alarmVisible) << c.what;
    EXPECT_EQ(s.AlarmTicked, c.alarmTicked) << c.what;
    EXPECT_EQ(s.AlarmGroupEnabled, c.groupEnabled) << c.what;
    EXPECT_EQ(s.AlarmGroupSize, c.groupSize) << c.what;
    EXPECT_EQ(s.CommEmissivityInput, c.commEmissivity) << c.what;
    EXPECT_EQ(s.AmbientItem, c.ambient) << c.what;
    EXPECT_EQ(s.EmissivityItem, c.emissivity) << c.what;
  }
}

TEST(BrioDeviceSetupRules, TickKeepsTheBurstListContiguous) {
  struct Case {
    std::array<int, 5> in, out;
  };
  const Case cases[] = {
      {{1, 0, 2, 0, 0}, {1, 0, 0, 0, 0}},  // process, none, internal -> process, none, none
      {{0, 2, 3, 4, 5}, {1, 2, 3, 4, 5}}, {{1, 2, 0, 4, 5}, {1, 2, 0, 0, 0}},
      {{1, 2, 3, 0, 6}, {1, 2, 3, 0, 0}}, {{1, 2, 3, 4, 0}, {1, 2, 3, 4, 0}},
  };
  for (const Case& c : cases) {
    Rules::TTickInput in;
    in.Burst = c.in;
    EXPECT_EQ(Rules::Tick(in).Burst, c.out);
  }
}

TEST(BrioDeviceSetupRules, TickStates) {
  struct Case {
    const char* what;
    int outMode, holdMode, emiss, amb;
    bool failsafe;
    bool burst, output, alarm, holdTime, threshold, emissEnabled, fixAmb;
    QSize failsafeSize;
    int ambAfter;
  };
  const Case cases[] = {
      {"mV output, fail-safe on",
       0,
       0,
       0,
       0,
       true,
       false,
       true,
       false,
       false,
       false,
       true,
       false,
       {345, 137},
       0},
      {"burst output", 2, 1, 0, 2, false, true, false, false, true, false, true, true, {137, 19}, 2},
      {"communication output",
       1,
       5,
       1,
       0,
       false,
       false,
       false,
       false,
       true,
       false,
       false,
       false,
       {137, 19},
       0},
      {"alarm output, advanced hold",
       3,
       3,
       0,
       0,
       false,
       false,
       false,
       true,
       false,
       true,
       true,
       false,
       {137, 19},
       0},
      {"valley hold trigger off",
       0,
       6,
       0,
       0,
       false,
       false,
       true,
       false,
       true,
       false,
       true,
       false,
       {137, 19},
       0},
      {"both sources analog", 0, 4, 1, 1, false, false, true, false, false, true, false, false, {137, 19}, 0},
  };
  for (const Case& c : cases) {
    Rules::TTickInput in;
    in.Burst = {1, 0, 0, 0, 0};
    in.OutMode = c.outMode;
    in.HoldMode = c.holdMode;
    in.EmissivitySource = c.emiss;
    in.AmbientSource = c.amb;
    in.Failsafe = c.failsafe;
    const Rules::TTickResult r = Rules::Tick(in);
    EXPECT_EQ(r.BurstGroupVisible, c.burst) << c.what;
    EXPECT_EQ(r.OutputGroupVisible, c.output) << c.what;
    EXPECT_EQ(r.AlarmOutputGroupVisible, c.alarm) << c.what;
    EXPECT_EQ(r.HoldTimeEnabled, c.holdTime) << c.what;
    EXPECT_EQ(r.ThresholdEnabled, c.threshold) << c.what;
    EXPECT_EQ(r.EmissivityEnabled, c.emissEnabled) << c.what;
    EXPECT_EQ(r.FixedAmbientShown, c.fixAmb) << c.what;
    EXPECT_EQ(r.FailsafeGroupEnabled, c.failsafe) << c.what;
    EXPECT_EQ(r.FailsafeGroupSize, c.failsafeSize) << c.what;
    EXPECT_EQ(r.AmbientSource, c.ambAfter) << c.what;
  }
}

// The box is ticked when either limit differs from its default, so a
// one-sided limit survives OK (which stores the defaults when unticked).
TEST(BrioDeviceSetupRules, FailsafeTickedWhenEitherLimitDiffers) {
  struct Case {
    const char* low;
    const char* high;
    bool fahrenheit;
    bool ticked;
  };
  const Case cases[] = {
      {"-100.0", "2000", false, false}, {"-148.0", "3632", true, false}, {"0.0", "2000", false, true},
      {"-100.0", "1500", false, true},  {"0.0", "1500", false, true},    {"-100,0", " 2000", false, false},
      {"-100.0", "2000", true, true},   {"32.0", "3632", true, true},    {"abc", "2000", false, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Rules::FailsafeTicked(QString::fromLatin1(c.low), QString::fromLatin1(c.high), c.fahrenheit),
              c.ticked)
        << c.low << " " << c.high << " F=" << c.fahrenheit;
}

}  // namespace
