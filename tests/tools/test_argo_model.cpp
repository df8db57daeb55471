#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <ostream>
#include <thread>
#include <vector>

#include "host_tty.h"
#include "model_on_memory_line.h"
#include "platform/rfc2217_device.h"
#include "tools/devsim/argo_model.h"
#include "tools/devsim/argo_profiles.h"
#include "tools/devsim/argo_wire.h"
#include "tools/devsim/model_registry.h"
#include "tools/devsim/pty_server.h"
#include "tools/devsim/rfc2217_server.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Clock = DeviceModel::Clock;

// A single-colour model of a named profile on an in-memory line.
class Device : public ModelOnMemoryLine<ArgoModel> {
 public:
  explicit Device(const QString& profile, const ArgoOptions& options = {})
      : ModelOnMemoryLine(*ArgoProfiles::Find(profile), options) {}
};

using Step = ScriptStep<ArgoRequestOutcome>;

void RunScript(Device& d, const std::vector<Step>& steps) {
  for (const Step& s : steps) {
    SCOPED_TRACE(s.name);
    EXPECT_EQ(d.Ask(s.request), s.reply);
    ExpectLogged(d.LastRequest(), s);
    d.Wait(1ms);
  }
}

// Every command of a single-colour device (firmware 1500, model flags laser
// and alarm hysteresis, range -40..600 °C), each write followed by the read
// of the same value.
TEST(ArgoModelCommands, SingleColourTable) {
  Device d(QStringLiteral("argo-1500"));
  ArgoDeviceState s = d.model.State();
  s.objectTemp = 0x04E2;
  s.internalTemp = 0x0515;
  s.boxTemp = 0x0520;
  s.actualTemp = 0x04E6;
  d.model.SetState(s);

  const std::vector<Step> steps = {
      {{0x01}, {0x04, 0xE2}, "ReadObjectTemperature"},
      {{0x02}, {0x05, 0x15}, "ReadInternalTemperature"},
      {{0x03}, {0x05, 0x20}, "ReadBoxTemperature"},
      {{0x81}, {0x04, 0xE6}, "ReadActualTemperature"},
      {{0x0E}, {0x01, 0xC1, 0x38}, "GetSerialNumber"},
      {{0x0F}, {0x05, 0xDC}, "GetFirmwareRevision"},
      {{0x45}, {0x00, 0x81, 0x02, 0x58, 0x1B, 0x58}, "GetModelInfo"},
      {{0x84, 0x04, 0x4C, 0xCC}, {0x04, 0x4C}, "SetEmissivity"},
      {{0x04}, {0x04, 0x4C}, "GetEmissivity"},
      {{0x85, 0x03, 0x84, 0x02}, {0x03, 0x84}, "SetTransmission"},
      {{0x05}, {0x03, 0x84}, "GetTransmission"},
      {{0x86, 0x27, 0x0F, 0xAE}, {0x27, 0x0F}, "SetAverageTime"},
      {{0x06}, {0x27, 0x0F}, "GetAverageTime"},
      {{0x87, 0x00, 0x32, 0xB5}, {0x00, 0x32}, "SetValleyHoldTime"},
      {{0x07}, {0x00, 0x32}, "GetValleyHoldTime"},
      {{0x88, 0x80, 0x32, 0x3A}, {0x80, 0x32}, "SetPeakHoldTime"},
      {{0x08}, {0x80, 0x32}, "GetPeakHoldTime"},
      {{0x89, 0x00, 0x89}, {0x00}, "SetTemperatureUnit"},
      {{0x09}, {0x00}, "GetTemperatureUnit"},
      {{0x8A, 0x01, 0xF4, 0x7F}, {0x01, 0xF4}, "SetAlarm1"},
      {{0x0A}, {0x01, 0xF4}, "GetAlarm1"},
      {{0x8B, 0x27, 0x10, 0xBC}, {0x27, 0x10}, "SetAlarm2"},
      {{0x0B}, {0x27, 0x10}, "GetAlarm2"},
      {{0x8C, 0x13, 0x88, 0x17}, {0x13, 0x88}, "SetAlarm3"},
      {{0x0C}, {0x13, 0x88}, "GetAlarm3"},
      {{0x8D, 0x0B, 0xB8, 0x3E}, {0x0B, 0xB8}, "SetAlarm4"},
      {{0x0D}, {0x0B, 0xB8}, "GetAlarm4"},
      {{0x90, 0x05, 0x95}, {0x05}, "SetRS485Address"},
      {{0x10}, {0x05}, "GetRS485Address"},
      // An address beyond the bus's is refused: the echo keeps 5.
      {{0x90, 0x50, 0xC0}, {0x05}, "SetRS485Address"},
      {{0x91, 0x0F, 0xA0, 0x3E}, {0x0F, 0xA0}, "SetScaledOutputMin"},
      {{0x11}, {0x0F, 0xA0}, "GetScaledOutputMin"},
      {{0x92, 0x4E, 0x20, 0xFC}, {0x4E, 0x20}, "SetScaledOutputMax"},
      {{0x12}, {0x4E, 0x20}, "GetScaledOutputMax"},
      {{0x93, 0x03, 0x90}, {0x03}, "SetAmbientSource"},
      {{0x13}, {0x03}, "GetAmbientSource"},
      {{0x94, 0x04, 0xCE, 0x5E}, {0x04, 0xCE}, "SetAmbientValue"},
      {{0x14}, {0x04, 0xCE}, "GetAmbientValue"},
      {{0x95, 0x02, 0x97}, {0x02}, "SetEmissivitySource"},
      {{0x15}, {0x02}, "GetEmissivitySource"},
      {{0x96, 0x03, 0x95}, {0x03}, "SetIRFailsafe"},
      {{0x16}, {0x03}, "GetIRFailsafe"},
      {{0x97, 0x02, 0x95}, {0x02}, "SetAmbientFailsafe"},
      {{0x17}, {0x02}, "GetAmbientFailsafe"},
      {{0x98, 0x02, 0x58, 0xC2}, {0x02, 0x58}, "SetOutputTempMin"},
      {{0x18}, {0x02, 0x58}, "GetOutputTempMin"},
      {{0x99, 0x1B, 0x58, 0xDA}, {0x1B, 0x58}, "SetOutputTempMax"},
      {{0x19}, {0x1B, 0x58}, "GetOutputTempMax"},
      {{0x9A, 0x32, 0xA8}, {0x32}, "SetIRDacPercent"},
      {{0x1A}, {0x32}, "GetIRDacPercent"},
      {{0x8F}, {0x01}, "ResetLoopOutput"},
      {{0x9B, 0x64, 0xFF}, {0x64}, "SetAmbientDacPercent"},
      {{0x1B}, {0x64}, "GetAmbientDacPercent"},
      {{0x9C, 0x01, 0x9D}, {0x01}, "SetAverageMode"},
      {{0x1C}, {0x01}, "GetAverageMode"},
      {{0x9D, 0x02, 0x9F}, {0x02}, "SetAdvancedHoldMode"},
      {{0x1D}, {0x02}, "GetAdvancedHoldMode"},
      {{0x9E, 0x07, 0xD0, 0x49}, {0x07, 0xD0}, "SetAdvancedHoldThreshold"},
      {{0x1E}, {0x07, 0xD0}, "GetAdvancedHoldThreshold"},
      {{0x9F, 0x05, 0xDC, 0x46}, {0x05, 0xDC}, "StartEmissivityCalculation"},
      {{0xA0, 0x09, 0xC4, 0x6D}, {0x09, 0xC4}, "StartEmissivityCalculation"},
      {{0xA1, 0x01, 0xA0}, {0x01}, "StartEmissivityCalculation"},
      {{0xA2, 0x00, 0x1E, 0xBC}, {0x00, 0x1E}, "SetAdvancedHoldHysteresis"},
      {{0x22}, {0x00, 0x1E}, "GetAdvancedHoldHysteresis"},
      {{0xA3, 0x72, 0x03, 0x84, 0x56}, {0x72, 0x03, 0x84}, "SetMaterialTable"},
      {{0x23, 0x72}, {0x72, 0x03, 0x84}, "GetMaterialTable"},
      {{0xA3, 0x23, 0x00, 0x31, 0xB1}, {0x23, 0x00, 0x31}, "SetMaterialTable"},
      {{0x23, 0x23}, {0x23, 0x00, 0x31}, "GetMaterialTable"},
      {{0xA4, 0x02, 0x00, 0x40, 0x1F, 0xF9}, {0x02, 0x00, 0x40, 0x1F}, "SetHeadCodeShort"},
      {{0x24, 0x02}, {0x02, 0x00, 0x40, 0x1F}, "GetHeadCodeShort"},
      {{0xA5, 0x01, 0xA4}, {0x01}, "SetSpotIllumination"},
      {{0x25}, {0x01}, "GetSpotIllumination"},
      {{0xA6, 0x02, 0xBC, 0x18}, {0x02, 0xBC}, "SetTweakOffset"},
      {{0x26}, {0x02, 0xBC}, "GetTweakOffset"},
      {{0xA7, 0x80, 0x00, 0x27}, {0x80, 0x00}, "SetTweakGain"},
      {{0x27}, {0x80, 0x00}, "GetTweakGain"},
      {{0xA8, 0x03, 0x5D, 0xF6}, {0x03, 0x5D}, "SetAlarmMode"},
      {{0x28, 0x03}, {0x03, 0x5D}, "GetAlarmMode"},
      {{0xAB, 0x03, 0x20, 0x88}, {0x03, 0x20}, "SetF3Temp1"},
      {{0x2B}, {0x03, 0x20}, "GetF3Temp1"},
      {{0xAC, 0x2E, 0xE0, 0x62}, {0x2E, 0xE0}, "SetF3Temp2"},
      {{0x2C}, {0x2E, 0xE0}, "GetF3Temp2"},
      {{0x44, 0x01, 0x45}, {0x01}, "SetPanelLock"},
      {{0x43}, {0x01}, "GetPanelLock"},
      {{0x4A, 0x0F, 0x45}, {0x0F}, "SetAlarmHysteresis"},
      {{0x4A, 0xFF, 0xB5}, {0x0F}, "GetAlarmHysteresis"},
      {{0x51, 0x12, 0x34, 0x00, 0x00, 0x77}, {0x12, 0x34, 0x00, 0x00}, "SetBurstChannels"},
      {{0x50}, {0x12, 0x34, 0x00, 0x00}, "GetBurstChannels"},
      {{0x52, 0x01, 0x53}, {0x01}, "SetBurstMode"},
      {{0x52, 0x00, 0x52}, {0x00}, "SetBurstMode"},
  };
  RunScript(d, steps);

  const ArgoDeviceState after = d.model.State();
  EXPECT_EQ(after.emissivityCalcT1, 0x05DC);
  EXPECT_EQ(after.emissivityCalcT2, 0x09C4);
  EXPECT_EQ(after.emissivityCalcRuns, 1);
  EXPECT_FALSE(after.loopOutputFixed);
  EXPECT_EQ(after.loopResets, 1);
  EXPECT_EQ(after.material[7][2], 0x0384);
}

// Every command of the ratio model on firmware 5016 (0x1398).
TEST(ArgoModelCommands, RatioTable) {
  Device d(QStringLiteral("ratio"));
  ArgoDeviceState s = d.model.State();
  s.singleColourTemp = 0x0500;
  s.quotientTemp = 0x0510;
  s.tau = 0x0640;
  s.alarmValue[4][5] = 0x04BA;
  d.model.SetState(s);

  const Bytes visual = {0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A,
                        0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12, 0x13, 0x14};
  Bytes setVisual = {0x6F, 0x07};
  setVisual.insert(setVisual.end(), visual.begin(), visual.end());
  setVisual.push_back(0x7C);

  const std::vector<Step> steps = {
      {{0x0F}, {0x13, 0x98}, "GetFirmwareRevision"},
      {{0x62}, {0x05, 0x00}, "ReadSingleTemperature"},
      {{0x63}, {0x05, 0x10}, "ReadQuotientTemperature"},
      {{0x64}, {0x06, 0x40}, "ReadTau"},
      {{0x8A, 0x2E, 0xE0, 0x44}, {0x2E, 0xE0}, "SetAlarm1"},
      {{0x0A}, {0x2E, 0xE0}, "GetAlarm1"},
      {{0x8C, 0x00, 0x64, 0xE8}, {0x00, 0x64}, "SetRatioAlarmHysteresis"},
      {{0x0C}, {0x00, 0x64}, "GetRatioAlarmHysteresis"},
      {{0x8D, 0x05, 0x88}, {0x05}, "SetRatioAlarmMode"},
      {{0x0D}, {0x05}, "GetRatioAlarmMode"},
      {{0x4A, 0x01, 0x2C, 0x67}, {0x01, 0x2C}, "SetDeflection1"},
      {{0x4A, 0x80, 0x80, 0x4A}, {0x01, 0x2C}, "GetDeflection1"},
      {{0x4B, 0x00, 0x96, 0xDD}, {0x00, 0x96}, "SetDeflection2"},
      {{0x4B, 0x80, 0x80, 0x4B}, {0x00, 0x96}, "GetDeflection2"},
      {{0x4C, 0x00, 0x21, 0x6D}, {0x00, 0x21}, "SetAddTop"},
      {{0x4C, 0x80, 0x80, 0x4C}, {0x00, 0x21}, "GetAddTop"},
      {{0x4D, 0x20, 0x00, 0x6D}, {0x20, 0x00}, "SetMulTop"},
      {{0x4D, 0x00, 0x00, 0x4D}, {0x20, 0x00}, "GetMulTop"},
      {{0x4E, 0x00, 0x43, 0x0D}, {0x00, 0x43}, "SetAddQuot"},
      {{0x4E, 0x80, 0x80, 0x4E}, {0x00, 0x43}, "GetAddQuot"},
      {{0x4F, 0x08, 0x00, 0x47}, {0x08, 0x00}, "SetMulQuot"},
      {{0x4F, 0x00, 0x00, 0x4F}, {0x08, 0x00}, "GetMulQuot"},
      {{0x56, 0x01, 0x90, 0x13, 0x88, 0x5C}, {0x01, 0x90, 0x13, 0x88}, "SetLWLParameter"},
      {{0x56, 0x00, 0x00, 0x00, 0x00, 0x56}, {0x01, 0x90, 0x13, 0x88}, "GetLWLParameter"},
      {{0x57, 0x0B, 0xB8, 0x7D, 0x00, 0x99}, {0x0B, 0xB8, 0x7D, 0x00}, "SetMBRange"},
      {{0x57, 0x00, 0x00, 0x00, 0x00, 0x57}, {0x0B, 0xB8, 0x7D, 0x00}, "GetMBRange"},
      {{0x58, 0x04, 0x1A, 0x46}, {0x04, 0x1A}, "SetSlope"},
      {{0x58, 0x00, 0x00, 0x58}, {0x04, 0x1A}, "GetSlope"},
      {{0x59, 0x03, 0xE9, 0xB3}, {0x03, 0xE9}, "SetSlope2"},
      {{0x59, 0x00, 0x00, 0x59}, {0x03, 0xE9}, "GetSlope2"},
      {{0x5A, 0x03, 0x52, 0x0B}, {0x03, 0x52}, "SetEpsilon"},
      {{0x5A, 0xFF, 0xFE, 0x5B}, {0x03, 0x52}, "GetEpsilon"},
      {{0x5B, 0x04, 0x4C, 0x13}, {0x04, 0x4C}, "SetEpsilon2"},
      {{0x5B, 0x00, 0x00, 0x5B}, {0x04, 0x4C}, "GetEpsilon2"},
      {{0x5C, 0x4E, 0x20, 0x32}, {0x4E, 0x20}, "SetDetTop"},
      {{0x5C, 0x00, 0x00, 0x5C}, {0x4E, 0x20}, "GetDetTop"},
      {{0x5D, 0x04, 0x4C, 0x15}, {0x04, 0x4C}, "SetLimTau"},
      {{0x5D, 0xFF, 0xFF, 0x5D}, {0x04, 0x4C}, "GetLimTau"},
      {{0x5E, 0x00, 0x12, 0xD6, 0x87, 0x1D}, {0x00, 0x12, 0xD6, 0x87}, "SetItemNumber"},
      {{0x5E, 0x00, 0x00, 0x00, 0x00, 0x5E}, {0x00, 0x12, 0xD6, 0x87}, "GetItemNumber"},
      {{0x5F, 0x01, 0x02, 0x03, 0x04, 0x5B}, {0x01, 0x02, 0x03, 0x04}, "SetRatioSerialNumber"},
      {{0x5F, 0x00, 0x00, 0x00, 0x00, 0x5F}, {0x01, 0x02, 0x03, 0x04}, "GetRatioSerialNumber"},
      {{0x65, 0x01, 0x10, 0x20, 0x54}, {0x01}, "SendRatioCommand"},
      {{0x68, 0x01, 0x03, 0x6A}, {0x01, 0x03}, "SetDALFunction"},
      {{0x68, 0x01, 0xFF, 0x96}, {0x01, 0x03}, "GetDALFunction"},
      {{0x69, 0x04, 0x03, 0x6E}, {0x04, 0x03}, "SetAlarmSource"},
      {{0x69, 0x04, 0xFF, 0x92}, {0x04, 0x03}, "GetAlarmSource"},
      {{0x6A, 0x04, 0x12, 0x34, 0x48}, {0x04, 0x12, 0x34}, "SetAlarmValues"},
      {{0x6A, 0x04, 0x00, 0x00, 0x6E}, {0x04, 0x12, 0x34}, "GetAlarmValues"},
      // Register 0x6A follows the output's selected source.
      {{0x69, 0x04, 0x05, 0x68}, {0x04, 0x05}, "SetAlarmSource"},
      {{0x6A, 0x04, 0x00, 0x00, 0x6E}, {0x04, 0x04, 0xBA}, "GetAlarmValues"},
      {{0x6B, 0x02, 0x00, 0x69}, {0x02, 0x00}, "SetAlarmNormallyOpen"},
      {{0x6B, 0x02, 0xFF, 0x96}, {0x02, 0x00}, "GetAlarmNormallyOpen"},
      {{0x6C, 0x02, 0x6E}, {0x02}, "SetProcessSource"},
      {{0x6C, 0xFF, 0x93}, {0x02}, "GetProcessSource"},
      {{0x6D, 0x01, 0xF4, 0x98}, {0x01, 0xF4}, "SetSmartThreshold"},
      {{0x6D, 0x00, 0x00, 0x6D}, {0x01, 0xF4}, "GetSmartThreshold"},
      {setVisual, visual, "SetVisualAlarmSettings"},
      {{0x6E, 0x07, 0x69}, visual, "GetVisualAlarmSettings"},
      {{0x72, 0x04, 0x76}, {0x04}, "SetVisualAlarmSource"},
      {{0x72, 0xFF, 0x8D}, {0x04}, "GetVisualAlarmSource"},
      {{0x73, 0x03, 0x70}, {0x03}, "SetDisplayMainSource"},
      {{0x73, 0xFF, 0x8C}, {0x03}, "GetDisplayMainSource"},
      // The standard display brings the display settings back.
      {{0x80, 0x00, 0x80}, {0x01}, "SetStandardDisplay"},
      {{0x72, 0xFF, 0x8D}, {0x00}, "GetVisualAlarmSource"},
  };
  RunScript(d, steps);
  EXPECT_NE(d.model.State().visualAlarm[7][0], 0x01);
}

TEST(ArgoModelCommands, IdentificationForTheSearchProbe) {
  Device d(QStringLiteral("argo-current"));
  const Bytes ident = d.Ask({0x2A});
  EXPECT_EQ(ident.size(), 18u);
  const Bytes first = d.Ask({0x0E});
  EXPECT_EQ(first, d.Ask({0x0E}));
  ASSERT_EQ(first.size(), 3u);
  const std::uint32_t serial = (first[0] << 16) | (first[1] << 8) | first[2];
  // The serial numbers the probe accepts.
  EXPECT_GE(serial, 10000u);
  EXPECT_LE(serial, 11129999u);
  EXPECT_LE((serial % 1000000) / 100000, 1u);
}

TEST(ArgoModelCommands, RatioFactoryValuesAreStoredAndRestored) {
  Device d(QStringLiteral("ratio"));
  EXPECT_EQ(d.Ask({0x58, 0x04, 0x1A, 0x46}), (Bytes{0x04, 0x1A}));
  // 127 / 151 stores the current values as factory values.
  EXPECT_EQ(d.Ask({0x65, 0x01, 0x7F, 0x97, 0x8C}), Bytes{0x01});
  EXPECT_EQ(d.Ask({0x58, 0x03, 0xE8, 0xB3}), (Bytes{0x03, 0xE8}));
  // 127 / 145 restores them.
  EXPECT_EQ(d.Ask({0x65, 0x01, 0x7F, 0x91, 0x8A}), Bytes{0x01});
  EXPECT_EQ(d.Ask({0x58, 0x00, 0x00, 0x58}), (Bytes{0x04, 0x1A}));
  // An index above 127 is refused.
  EXPECT_TRUE(d.Ask({0x65, 0x01, 0x80, 0x91, 0x75}).empty());
  EXPECT_EQ(d.LastRequest().outcome, ArgoRequestOutcome::BadArgument);
}

// --- Framing -----------------------------------------------------------------

struct FramingCase {
  const char* what;
  const char* profile;
  Bytes request;
  Bytes reply;
  ArgoRequestOutcome outcome;
};

void PrintTo(const FramingCase& c, std::ostream* os) { *os << c.what; }

class ArgoModelFraming : public ::testing::TestWithParam<FramingCase> {};

TEST_P(ArgoModelFraming, ChecksumRules) {
  const FramingCase& c = GetParam();
  Device d(QString::fromLatin1(c.profile));
  EXPECT_EQ(d.Ask(c.request), c.reply);
  EXPECT_EQ(d.LastRequest().outcome, c.outcome);
  EXPECT_EQ(d.LastRequest().bytes, c.request);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArgoModelFraming,
    ::testing::Values(
        FramingCase{"write with its checksum",
                    "argo-1500",
                    {0x84, 0x03, 0xE8, 0x6F},
                    {0x03, 0xE8},
                    ArgoRequestOutcome::Answered},
        FramingCase{"write with a wrong checksum",
                    "argo-1500",
                    {0x84, 0x03, 0xE8, 0x6E},
                    {},
                    ArgoRequestOutcome::BadChecksum},
        FramingCase{"0x4A is no bare read: its read carries a checksum",
                    "argo-1500",
                    {0x4A, 0xFF, 0xB5},
                    {0x05},
                    ArgoRequestOutcome::Answered},
        FramingCase{"bare read with an argument and no checksum",
                    "argo-1500",
                    {0x23, 0x23},
                    {0x23, 0x00, 0x23},
                    ArgoRequestOutcome::Answered},
        FramingCase{"material address is row * 16 + field: 0x2B is field 11",
                    "argo-1500",
                    {0x23, 0x2B},
                    {},
                    ArgoRequestOutcome::BadArgument},
        FramingCase{"bare read 0x28 with an argument",
                    "argo-1500",
                    {0x28, 0x00},
                    {0x00, 0x21},
                    ArgoRequestOutcome::Answered},
        FramingCase{"0x8F is a single byte without checksum",
                    "argo-1500",
                    {0x8F},
                    {0x01},
                    ArgoRequestOutcome::Answered},
        FramingCase{"0x62 is a single byte without checksum",
                    "ratio",
                    {0x62},
                    {0x3E, 0x73},
                    ArgoRequestOutcome::Answered},
        FramingCase{"burst off", "argo-1500", {0x52, 0x00, 0x52}, {0x00}, ArgoRequestOutcome::Answered},
        FramingCase{"standard display", "ratio", {0x80, 0x00, 0x80}, {0x01}, ArgoRequestOutcome::Answered},
        FramingCase{"material address beyond the table",
                    "argo-1500",
                    {0x23, 0x84},
                    {},
                    ArgoRequestOutcome::BadArgument},
        FramingCase{"short head code has three groups",
                    "argo-1500",
                    {0x24, 0x03},
                    {},
                    ArgoRequestOutcome::BadArgument},
        FramingCase{"large head code has five groups",
                    "argo-current",
                    {0x24, 0x04},
                    {0x04, 0x00, 0xAB, 0xCD},
                    ArgoRequestOutcome::Answered},
        FramingCase{"large head code keeps 20 bits",
                    "argo-current",
                    {0xA4, 0x01, 0xFF, 0xFF, 0xFF, 0x5A},
                    {0x01, 0x0F, 0xFF, 0xFF},
                    ArgoRequestOutcome::Answered}));

TEST(ArgoModelParser, RequestSplitAcrossChunks) {
  Device d(QStringLiteral("argo-1500"));
  EXPECT_TRUE(d.Ask({0x84}).empty());
  EXPECT_TRUE(d.Ask({0x03}).empty());
  EXPECT_EQ(d.Ask({0xE8, 0x6F}), (Bytes{0x03, 0xE8}));
  EXPECT_EQ(d.model.RequestCount(), 1u);
}

TEST(ArgoModelParser, IdleBytesAreNeverAnswered) {
  Device d(QStringLiteral("argo-1500"));
  EXPECT_TRUE(d.Ask(Bytes(15, 0x00)).empty());
  EXPECT_EQ(d.model.IdleBytes(), 15u);
  EXPECT_EQ(d.model.RequestCount(), 0u);
  // The connect stop sequence: ten idle bytes, then burst off.
  EXPECT_EQ(d.Ask({0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x52, 0x00, 0x52}), Bytes{0x00});
}

TEST(ArgoModelParser, ResyncAfterATruncatedWrite) {
  Device d(QStringLiteral("argo-1500"));
  // A write cut short, then the host's 50 idle bytes: the request ends with
  // a wrong checksum and the rest is idle filler.
  Bytes bytes = {0x84, 0x03};
  bytes.insert(bytes.end(), 50, 0x00);
  EXPECT_TRUE(d.Ask(bytes).empty());
  EXPECT_EQ(d.LastRequest().outcome, ArgoRequestOutcome::BadChecksum);
  EXPECT_EQ(d.Ask({0x0F}), (Bytes{0x05, 0xDC}));
}

TEST(ArgoModelParser, PartialRequestExpires) {
  Device d(QStringLiteral("argo-1500"));
  EXPECT_TRUE(d.Ask({0x84, 0x03}).empty());
  d.Wait(150ms);
  EXPECT_EQ(d.LastRequest().outcome, ArgoRequestOutcome::Incomplete);
  EXPECT_EQ(d.Ask({0x0F}), (Bytes{0x05, 0xDC}));
}

TEST(ArgoModelParser, UnknownCommandIgnoresInputUntilAPause) {
  Device d(QStringLiteral("argo-1500"));
  // 0x56 is a ratio command; its arguments must not be read as requests.
  EXPECT_TRUE(d.Ask({0x56, 0x00, 0x00, 0x00, 0x00, 0x56, 0x0F}).empty());
  EXPECT_EQ(d.model.Requests().front().outcome, ArgoRequestOutcome::UnknownCommand);
  d.Wait(30ms);
  EXPECT_EQ(d.Ask({0x0F}), (Bytes{0x05, 0xDC}));
}

// --- RS485 -------------------------------------------------------------------

struct BusCase {
  const char* what;
  bool onBus;
  int address;
  Bytes request;
  Bytes reply;
  ArgoRequestOutcome outcome;
};

void PrintTo(const BusCase& c, std::ostream* os) { *os << c.what; }

class ArgoModelBus : public ::testing::TestWithParam<BusCase> {};

TEST_P(ArgoModelBus, Addressing) {
  const BusCase& c = GetParam();
  ArgoOptions options;
  options.onBus = c.onBus;
  Device d(QStringLiteral("argo-1500"), options);
  ArgoDeviceState s = d.model.State();
  s.busAddress = std::uint8_t(c.address);
  s.objectTemp = 0x04E2;
  d.model.SetState(s);
  EXPECT_EQ(d.Ask(c.request), c.reply);
  EXPECT_EQ(d.LastRequest().outcome, c.outcome);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ArgoModelBus,
    ::testing::Values(
        BusCase{"own address", true, 5, {0xB5, 0x01}, {0x04, 0xE2}, ArgoRequestOutcome::Answered},
        BusCase{"other address", true, 5, {0xB6, 0x01}, {}, ArgoRequestOutcome::OtherAddress},
        BusCase{"no prefix on a bus", true, 5, {0x01}, {}, ArgoRequestOutcome::OtherAddress},
        BusCase{"address 1", true, 1, {0xB1, 0x01}, {0x04, 0xE2}, ArgoRequestOutcome::Answered},
        BusCase{"address 79", true, 79, {0xFF, 0x01}, {0x04, 0xE2}, ArgoRequestOutcome::Answered},
        BusCase{"prefix outside the checksum",
                true,
                5,
                {0xB5, 0x84, 0x03, 0xE8, 0x6F},
                {0x03, 0xE8},
                ArgoRequestOutcome::Answered},
        BusCase{"prefix inside the checksum is wrong",
                true,
                5,
                {0xB5, 0x84, 0x03, 0xE8, 0xDA},
                {},
                ArgoRequestOutcome::BadChecksum},
        BusCase{"other address, whole write skipped",
                true,
                5,
                {0xB6, 0x84, 0x03, 0xE8, 0x6F},
                {},
                ArgoRequestOutcome::OtherAddress},
        BusCase{"off the bus, no prefix", false, 0, {0x01}, {0x04, 0xE2}, ArgoRequestOutcome::Answered},
        BusCase{
            "off the bus, own prefix", false, 7, {0xB7, 0x01}, {0x04, 0xE2}, ArgoRequestOutcome::Answered},
        BusCase{"off the bus, other prefix", false, 0, {0xB1, 0x01}, {}, ArgoRequestOutcome::OtherAddress}));

TEST(ArgoModelBusAddress, NewAddressTakesEffectAfterTheEcho) {
  ArgoOptions options;
  options.onBus = true;
  Device d(QStringLiteral("argo-1500"), options);
  ArgoDeviceState s = d.model.State();
  s.busAddress = 5;
  d.model.SetState(s);
  EXPECT_EQ(d.Ask({0xB5, 0x90, 0x07, 0x97}), Bytes{0x07});
  EXPECT_TRUE(d.Ask({0xB5, 0x10}).empty());
  EXPECT_EQ(d.Ask({0xB7, 0x10}), Bytes{0x07});
}

// --- Firmware boundaries -----------------------------------------------------

struct FirmwareCase {
  std::uint16_t firmware;
  std::uint8_t modelFlags;
  Bytes request;
  std::size_t replyLength;  // 0: the firmware does not know the command
};

void PrintTo(const FirmwareCase& c, std::ostream* os) {
  *os << "firmware " << c.firmware << " command 0x" << std::hex << int(c.request.front());
}

class ArgoModelFirmware : public ::testing::TestWithParam<FirmwareCase> {};

TEST_P(ArgoModelFirmware, CommandsFollowTheFirmware) {
  const FirmwareCase& c = GetParam();
  ArgoProfile profile = *ArgoProfiles::Find(QStringLiteral("argo-1500"));
  profile.state.firmware = c.firmware;
  profile.state.modelFlags = c.modelFlags;
  ArgoModel model(profile);
  MemoryLink link;
  model.OnReceived(c.request, link);
  EXPECT_EQ(link.out.size(), c.replyLength) << "firmware " << c.firmware;
  ASSERT_EQ(model.RequestCount(), 1u);
  EXPECT_EQ(model.Requests().front().outcome == ArgoRequestOutcome::Answered, c.replyLength > 0);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, ArgoModelFirmware,
    ::testing::Values(
        // Panel lock from 1011 (the ratio models have it too).
        FirmwareCase{1010, 0, {0x43}, 0}, FirmwareCase{1011, 0, {0x43}, 1}, FirmwareCase{1999, 0, {0x43}, 1},
        FirmwareCase{2000, 0, {0x43}, 1}, FirmwareCase{5016, 0, {0x43}, 1},
        // Model information from 1023, not 2000..2022.
        FirmwareCase{1022, 0, {0x45}, 0}, FirmwareCase{1023, 0, {0x45}, 6}, FirmwareCase{2000, 0, {0x45}, 0},
        FirmwareCase{2022, 0, {0x45}, 0}, FirmwareCase{2023, 0, {0x45}, 6},
        // Ratio commands 5001..5999.
        FirmwareCase{5000, 0, {0x62}, 0}, FirmwareCase{5001, 0, {0x62}, 2}, FirmwareCase{5999, 0, {0x62}, 2},
        FirmwareCase{6000, 0, {0x62}, 0},
        // 0x0D is alarm 4 (a word) on single-colour firmware, the ratio alarm
        // mode (a byte) with extended alarms 5013..5099, unknown between.
        FirmwareCase{5000, 0, {0x0D}, 2}, FirmwareCase{5012, 0, {0x0D}, 0}, FirmwareCase{5013, 0, {0x0D}, 1},
        FirmwareCase{5099, 0, {0x0D}, 1}, FirmwareCase{5100, 0, {0x0D}, 0}, FirmwareCase{5012, 0, {0x0A}, 0},
        FirmwareCase{5013, 0, {0x0A}, 2},
        // AddTop .. MulQuot from 5014, deflections from 5016.
        FirmwareCase{5013, 0, {0x4C, 0x80, 0x80, 0x4C}, 0},
        FirmwareCase{5014, 0, {0x4C, 0x80, 0x80, 0x4C}, 2},
        FirmwareCase{5015, 0, {0x4A, 0x80, 0x80, 0x4A}, 0},
        FirmwareCase{5016, 0, {0x4A, 0x80, 0x80, 0x4A}, 2},
        // Single-colour 0x4A (one byte) only with the alarm-hysteresis flag.
        FirmwareCase{1500, 0x00, {0x4A, 0xFF, 0xB5}, 0}, FirmwareCase{1500, 0x80, {0x4A, 0xFF, 0xB5}, 1},
        // Large head code on firmware 2000..2999 or with the model flag.
        FirmwareCase{1999, 0x00, {0x24, 0x04}, 0}, FirmwareCase{2000, 0x00, {0x24, 0x04}, 4},
        FirmwareCase{1500, 0x02, {0x24, 0x04}, 4}));

struct TimeCase {
  std::uint16_t firmware;
  std::uint8_t flags;
  std::uint16_t word;
  double seconds;
};

TEST(ArgoWireTime, DeviceReadsTimeWordsByFirmwareAndModel) {
  const TimeCase cases[] = {
      {5000, 0, 250, 2.5},    {5003, 0, 32767, 327.67},   {5003, 0, 0x8000, -327.68}, {5004, 0, 25, 2.5},
      {1500, 0, 9999, 999.9}, {2510, 0x04, 0x8032, 0.05}, {2510, 0x08, 0x8032, 0.05}, {1500, 0, 0x8001, 0.1},
  };
  for (const TimeCase& c : cases) {
    SCOPED_TRACE(c.firmware);
    EXPECT_DOUBLE_EQ(ArgoWire::DecodeTime(c.word, c.firmware, c.flags), c.seconds);
  }
  EXPECT_EQ(ArgoWire::EncodeTime(2.5, 5001, 0), 250);
  EXPECT_EQ(ArgoWire::EncodeTime(0.05, 2510, 0x04), 0x8032);
}

// --- Burst -------------------------------------------------------------------

// Cuts a stream into frames of `channels` words after each double sync.
std::vector<std::vector<std::uint16_t>> SplitFrames(const Bytes& stream, int channels, bool tripleSync) {
  std::vector<std::vector<std::uint16_t>> frames;
  const std::size_t sync = tripleSync ? 3 : 2;
  const std::size_t length = sync + 2 * std::size_t(channels);
  for (std::size_t at = 0; at + length <= stream.size(); at += length) {
    for (std::size_t k = 0; k < sync; ++k) EXPECT_EQ(stream[at + k], 0xAA) << "at " << at;
    std::vector<std::uint16_t> values;
    for (int c = 0; c < channels; ++c) {
      values.push_back(std::uint16_t((stream[at + sync + 2 * c] << 8) | stream[at + sync + 2 * c + 1]));
    }
    frames.push_back(values);
  }
  return frames;
}

TEST(ArgoModelBurst, StreamsTheSelectedChannelsAndStops) {
  for (const bool triple : {false, true}) {
    SCOPED_TRACE(triple);
    ArgoOptions options;
    options.tripleSync = triple;
    Device d(QStringLiteral("argo-1500"), options);
    ArgoDeviceState s = d.model.State();
    s.objectTemp = 0x04E2;
    s.internalTemp = 0x0515;
    d.model.SetState(s);
    // Slots 1, 2, 0, 5: two channels (the slot after the empty one does not count).
    EXPECT_EQ(d.Ask({0x51, 0x12, 0x05, 0x00, 0x00, 0x46}), (Bytes{0x12, 0x05, 0x00, 0x00}));
    EXPECT_EQ(d.Ask({0x52, 0x01, 0x53}), Bytes{0x01});
    EXPECT_TRUE(d.model.Streaming());

    const Bytes stream = d.Wait(10ms);
    const auto frames = SplitFrames(stream, 2, triple);
    ASSERT_EQ(frames.size() * (triple ? 7 : 6), stream.size());
    const auto sent = d.model.SentFrames();
    ASSERT_EQ(sent.size(), frames.size());
    EXPECT_GE(frames.size(), 9u);
    for (std::size_t i = 0; i < frames.size(); ++i) {
      EXPECT_EQ(sent[i].channels, 2);
      EXPECT_EQ(frames[i][0], sent[i].values[0]);
      EXPECT_EQ(frames[i][1], sent[i].values[1]);
      // Values rise by one per frame above the live values.
      EXPECT_EQ(frames[i][0], 0x04E2 + sent[i].index % 100);
      EXPECT_EQ(frames[i][1], 0x0515 + sent[i].index % 100);
    }
    EXPECT_EQ(d.model.FramesSent(), sent.size());
    EXPECT_EQ(d.model.StreamBytesSent(), stream.size());

    EXPECT_EQ(d.Ask({0x52, 0x00, 0x52}), Bytes{0x00});
    EXPECT_FALSE(d.model.Streaming());
    EXPECT_TRUE(d.Wait(10ms).empty());
  }
}

TEST(ArgoModelBurst, DataNeverContainsTheSyncByte) {
  Device d(QStringLiteral("argo-1500"));
  ArgoDeviceState s = d.model.State();
  s.objectTemp = 0xAA50;  // rises through 0xAAAA and 0xAA.. on the ramp
  s.burstSlots = {0x10, 0x00, 0x00, 0x00};
  d.model.SetState(s);
  EXPECT_EQ(d.Ask({0x52, 0x01, 0x53}), Bytes{0x01});
  const Bytes stream = d.Wait(100ms);
  const auto frames = SplitFrames(stream, 1, false);
  ASSERT_FALSE(frames.empty());
  for (const auto& f : frames) {
    EXPECT_NE(f[0] >> 8, 0xAA);
    EXPECT_NE(f[0] & 0xFF, 0xAA);
  }
}

TEST(ArgoModelBurst, NoChannelsNoStream) {
  Device d(QStringLiteral("argo-1500"));
  EXPECT_EQ(d.Ask({0x51, 0x00, 0x00, 0x00, 0x00, 0x51}), (Bytes{0x00, 0x00, 0x00, 0x00}));
  EXPECT_EQ(d.Ask({0x52, 0x01, 0x53}), Bytes{0x00});
  EXPECT_TRUE(d.Wait(10ms).empty());
}

TEST(ArgoModelBurst, BusyLineHoldsFramesBack) {
  Device d(QStringLiteral("argo-1500"));
  EXPECT_EQ(d.Ask({0x52, 0x01, 0x53}), Bytes{0x01});
  // Four channels: ten bytes per frame. While ten bytes are still queued,
  // samples are skipped instead of piling up.
  d.link.pending = 10;
  EXPECT_TRUE(d.Wait(20ms).empty());
  d.link.pending = 9;
  EXPECT_EQ(d.Wait(1ms).size(), 10u);
}

TEST(ArgoModelBurst, StreamsFromPowerUp) {
  ArgoOptions options;
  options.burstAtStart = true;
  Device d(QStringLiteral("argo-1500"), options);
  EXPECT_TRUE(d.model.Streaming());
  const Bytes stream = d.Wait(5ms);
  EXPECT_EQ(SplitFrames(stream, 4, false).size() * 10, stream.size());
  EXPECT_FALSE(stream.empty());
}

TEST(ArgoModelBurst, RepliesGoBetweenFrames) {
  Device d(QStringLiteral("argo-1500"));
  EXPECT_EQ(d.Ask({0x52, 0x01, 0x53}), Bytes{0x01});
  EXPECT_EQ(d.Wait(3ms).size() % 10, 0u);
  EXPECT_EQ(d.Ask({0x0F}), (Bytes{0x05, 0xDC}));
}

// --- Faults ------------------------------------------------------------------

TEST(ArgoModelFaults, ReplyFaults) {
  struct Case {
    const char* what;
    ArgoFaults faults;
    std::size_t length;  // bytes the request for the serial number brings
  };
  ArgoFaults silent;
  silent.silent = true;
  ArgoFaults shortReply;
  shortReply.shortReplyBytes = 1;
  ArgoFaults extra;
  extra.extraReplyBytes = 2;
  ArgoFaults noise;
  noise.noiseBeforeReply = 3;
  const Case cases[] = {
      {"silent", silent, 0}, {"short", shortReply, 2}, {"extra", extra, 5}, {"noise", noise, 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Device d(QStringLiteral("argo-1500"));
    d.model.SetFaults(c.faults);
    const Bytes reply = d.Ask({0x0E});
    EXPECT_EQ(reply.size(), c.length);
    if (c.length >= 3 && c.faults.noiseBeforeReply > 0) {
      EXPECT_EQ(Bytes(reply.end() - 3, reply.end()), (Bytes{0x01, 0xC1, 0x38}));
    } else if (c.length >= 2) {
      EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 2), (Bytes{0x01, 0xC1}));
    }
    EXPECT_EQ(d.LastRequest().reply, (Bytes{0x01, 0xC1, 0x38}));
  }
}

TEST(ArgoModelFaults, NoiseInsideAReply) {
  Device d(QStringLiteral("argo-1500"));
  ArgoFaults f;
  f.noiseInsideReply = 2;
  d.model.SetFaults(f);
  const Bytes reply = d.Ask({0x0E});
  ASSERT_EQ(reply.size(), 5u);
  EXPECT_EQ(reply[0], 0x01);
  EXPECT_EQ(Bytes(reply.begin() + 3, reply.end()), (Bytes{0xC1, 0x38}));
}

TEST(ArgoModelFaults, LateReplyComesAfterItsDelay) {
  Device d(QStringLiteral("argo-1500"));
  ArgoFaults f;
  f.lateReplyMs = 50;
  d.model.SetFaults(f);
  EXPECT_TRUE(d.Ask({0x0F}).empty());
  EXPECT_TRUE(d.Wait(49ms).empty());
  EXPECT_EQ(d.Wait(1ms), (Bytes{0x05, 0xDC}));
}

TEST(ArgoModelFaults, FaultLimitAndIgnoredRequestsCountDown) {
  Device d(QStringLiteral("argo-1500"));
  ArgoFaults f;
  f.shortReplyBytes = 1;
  f.replyFaultLimit = 1;
  f.ignoreRequests = 2;
  d.model.SetFaults(f);
  EXPECT_TRUE(d.Ask({0x0F}).empty());
  EXPECT_TRUE(d.Ask({0x0F}).empty());
  EXPECT_EQ(d.LastRequest().outcome, ArgoRequestOutcome::NotAnswered);
  EXPECT_EQ(d.Ask({0x0F}), Bytes{0x05});
  EXPECT_EQ(d.Ask({0x0F}), (Bytes{0x05, 0xDC}));
}

TEST(ArgoModelFaults, StreamThatIgnoresStop) {
  Device d(QStringLiteral("argo-1500"));
  ArgoFaults f;
  f.ignoreBurstStop = true;
  d.model.SetFaults(f);
  EXPECT_EQ(d.Ask({0x52, 0x01, 0x53}), Bytes{0x01});
  d.Wait(5ms);
  EXPECT_EQ(d.Ask({0x52, 0x00, 0x52}), Bytes{0x00});
  EXPECT_TRUE(d.model.Streaming());
  EXPECT_FALSE(d.Wait(5ms).empty());
}

TEST(ArgoModelFaults, VanishesMidStream) {
  Device d(QStringLiteral("argo-1500"));
  ArgoFaults f;
  f.vanishAfterStreamBytes = 25;  // two frames of ten bytes and half a third
  d.model.SetFaults(f);
  EXPECT_EQ(d.Ask({0x52, 0x01, 0x53}), Bytes{0x01});
  const Bytes stream = d.Wait(20ms);
  EXPECT_EQ(stream.size(), 25u);
  EXPECT_TRUE(d.link.vanished);
  EXPECT_TRUE(d.model.HasVanished());
  const auto frames = d.model.SentFrames();
  ASSERT_EQ(frames.size(), 3u);
  EXPECT_FALSE(frames[1].truncated);
  EXPECT_TRUE(frames[2].truncated);
  EXPECT_TRUE(d.Ask({0x0F}).empty());
}

// A byte limit set below what the running stream has already sent makes
// the device vanish at its next frame, sending nothing more.
TEST(ArgoModelFaults, StreamLimitBelowWhatWasSentVanishesAtOnce) {
  Device d(QStringLiteral("argo-1500"));
  EXPECT_EQ(d.Ask({0x52, 0x01, 0x53}), Bytes{0x01});
  EXPECT_GE(d.Wait(5ms).size(), 20u);
  ArgoFaults f;
  f.vanishAfterStreamBytes = 5;
  d.model.SetFaults(f);
  EXPECT_TRUE(d.Wait(5ms).empty());
  EXPECT_TRUE(d.link.vanished);
  EXPECT_TRUE(d.model.HasVanished());
  EXPECT_TRUE(d.model.SentFrames().back().truncated);
}

TEST(ArgoModelFaults, VanishesOnARequest) {
  Device d(QStringLiteral("argo-1500"));
  ArgoFaults f;
  f.vanishAfterRequests = 2;
  d.model.SetFaults(f);
  EXPECT_EQ(d.Ask({0x0F}), (Bytes{0x05, 0xDC}));
  EXPECT_TRUE(d.Ask({0x0F}).empty());
  EXPECT_TRUE(d.link.vanished);
  EXPECT_EQ(d.LastRequest().outcome, ArgoRequestOutcome::Vanished);
}

TEST(ArgoModelFaults, StreamNoiseSpoilsTheFrameAhead) {
  Device d(QStringLiteral("argo-1500"));
  ArgoFaults f;
  f.streamNoiseEveryFrames = 2;
  f.streamNoiseBytes = 3;
  d.model.SetFaults(f);
  EXPECT_EQ(d.Ask({0x52, 0x01, 0x53}), Bytes{0x01});
  const Bytes stream = d.Wait(4ms);
  const auto frames = d.model.SentFrames();
  ASSERT_EQ(frames.size(), 4u);
  EXPECT_EQ(stream.size(), 4 * 10 + 2 * 3u);
  EXPECT_FALSE(frames[0].spoiled);
  EXPECT_TRUE(frames[1].spoiled);
  EXPECT_TRUE(frames[3].spoiled);
  // The noise never holds a sync byte, so only the frame ahead is lost.
  EXPECT_EQ(std::count(stream.begin(), stream.end(), 0xAA), 8);
}

// --- Options -----------------------------------------------------------------

TEST(ArgoModelOptions, CreateFromCommandLine) {
  QString error;
  auto model = ArgoModel::Create(
      {QStringLiteral("--profile"), QStringLiteral("ratio"), QStringLiteral("--address=5"),
       QStringLiteral("--baud"), QStringLiteral("9600"), QStringLiteral("--late"), QStringLiteral("20")},
      &error);
  ASSERT_TRUE(model) << error.toStdString();
  EXPECT_EQ(model->BaudRate(), 9600);
  EXPECT_EQ(model->State().firmware, 5016);
  EXPECT_EQ(model->State().busAddress, 5);
  EXPECT_TRUE(model->Options().onBus);
  EXPECT_EQ(model->Faults().lateReplyMs, 20);

  auto older = ArgoModel::Create({QStringLiteral("--firmware"), QStringLiteral("5002")}, &error);
  ASSERT_TRUE(older);
  EXPECT_EQ(older->State().firmware, 5002);
  // 0.1 s in hundredths on this firmware.
  EXPECT_EQ(older->State().averageTime, 10);

  const QStringList bad[] = {{QStringLiteral("--profile"), QStringLiteral("nope")},
                             {QStringLiteral("--address"), QStringLiteral("80")},
                             {QStringLiteral("--baud"), QStringLiteral("1234")},
                             {QStringLiteral("--late")},
                             {QStringLiteral("--bogus")}};
  for (const QStringList& options : bad) {
    error.clear();
    EXPECT_FALSE(ArgoModel::Create(options, &error)) << options.join(' ').toStdString();
    EXPECT_FALSE(error.isEmpty());
  }
  for (const QString& name : ArgoProfiles::Names())
    EXPECT_TRUE(ArgoProfiles::Find(name)) << name.toStdString();
}

// --- Over a pseudo-terminal --------------------------------------------------

TEST(ArgoModelPty, AnswersAndStreamsAtTheLineRate) {
  auto model = std::make_shared<ArgoModel>(*ArgoProfiles::Find(QStringLiteral("argo-1500")));
  model->SetBaudRate(9600);
  PtyServer server(model);
  QString error;
  ASSERT_TRUE(server.Start(&error)) << error.toStdString();
  HostTty host;
  ASSERT_TRUE(host.Open(server.SlavePath(), 9600));

  const Bytes ask = {0x0F};
  ASSERT_EQ(host.Write(ask), 1u);
  EXPECT_EQ(host.Read(2, 2000ms), (Bytes{0x05, 0xDC}));

  // At another rate the device hears nothing.
  ASSERT_TRUE(host.SetBaud(19200));
  ASSERT_EQ(host.Write(ask), 1u);
  EXPECT_TRUE(host.Read(1, 200ms).empty());
  ASSERT_TRUE(host.SetBaud(9600));

  // Four channels, ten bytes a frame: at 9600 Bd about 96 frames a second.
  const Bytes start = {0x52, 0x01, 0x53};
  ASSERT_EQ(host.Write(start), 3u);
  EXPECT_EQ(host.Read(1, 2000ms), Bytes{0x01});
  const auto begin = std::chrono::steady_clock::now();
  const Bytes stream = host.Read(300, 5000ms);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  ASSERT_EQ(stream.size(), 300u);
  EXPECT_GT(seconds, 0.2);  // 300 bytes cannot arrive faster than the line carries them
  const auto frames = SplitFrames(stream, 4, false);
  const auto sent = model->SentFrames();
  ASSERT_GE(sent.size(), frames.size());
  for (std::size_t i = 0; i < frames.size(); ++i) {
    for (int c = 0; c < 4; ++c) EXPECT_EQ(frames[i][std::size_t(c)], sent[i].values[std::size_t(c)]);
  }

  const Bytes stop = {0x52, 0x00, 0x52};
  ASSERT_EQ(host.Write(stop), 3u);
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  while (model->Streaming() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(5ms);
  EXPECT_FALSE(model->Streaming());
  host.Read(100000, 300ms);  // what was on the line before the stop
  EXPECT_TRUE(host.Read(1, 200ms).empty());

  // Vanishing on the next request hangs the line up.
  ArgoFaults f;
  f.vanishAfterRequests = 1;
  model->SetFaults(f);
  ASSERT_EQ(host.Write(ask), 1u);
  EXPECT_TRUE(host.WaitHangUp(3000ms));
  EXPECT_TRUE(server.Vanished());
}

TEST(ArgoModelRfc2217, RegisteredModelAnswersOverTheNetwork) {
  ASSERT_TRUE(RegisterArgoModel());
  QString error;
  std::shared_ptr<DeviceModel> model =
      ModelRegistry::Create(QStringLiteral("argo"),
                            {QStringLiteral("--profile"), QStringLiteral("argo-5003"),
                             QStringLiteral("--baud"), QStringLiteral("19200")},
                            &error);
  ASSERT_TRUE(model) << error.toStdString();
  Rfc2217Server server(model);
  ASSERT_TRUE(server.Start(0, &error)) << error.toStdString();

  Rfc2217Device port;
  ASSERT_EQ(port.Open(server.Url()), SerialStatus::Ok);
  SerialLineSettings settings;
  settings.baudRate = 19200;
  ASSERT_EQ(port.Configure(settings), SerialStatus::Ok);
  SerialTimeouts timeouts;
  timeouts.readInterval = 0;
  timeouts.readTotalMultiplier = 0;
  timeouts.readTotalConstant = 3000;
  ASSERT_EQ(port.SetTimeouts(timeouts), SerialStatus::Ok);

  const Bytes ask = {0x0F};
  int written = 0;
  ASSERT_EQ(port.Write(ask, written), SerialStatus::Ok);
  EXPECT_EQ(written, 1);
  Bytes reply(2);
  int got = 0;
  ASSERT_EQ(port.Read(reply, got), SerialStatus::Ok);
  EXPECT_EQ(got, 2);
  EXPECT_EQ(reply, (Bytes{0x13, 0x8B}));  // firmware 5003
  port.Close();
  server.Stop();
}

}  // namespace
