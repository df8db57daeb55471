// Every command of the single-colour driver against the device emulator:
// the bytes on the line and the decoded values.

#include <gtest/gtest.h>

#include <QString>
#include <functional>
#include <vector>

#include "drivers/argo/argo_codec.h"
#include "fixtures/argo_pty_fixture.h"

namespace argotest {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Driver = TpyreonArgo;

// The request with its XOR checksum appended.
Bytes Ck(Bytes b) {
  std::uint8_t x = 0;
  for (auto v : b) x ^= v;
  b.push_back(x);
  return b;
}

std::uint16_t TWord(double t) { return static_cast<std::uint16_t>(t * 10 + 1000 + 0.5); }

// The device state as it is when called.
struct LiveState {
  std::function<ArgoDeviceState()> get;
  ArgoDeviceState operator()() const { return get(); }
};

struct CommandCase {
  const char* name;
  std::function<void(ArgoDeviceState&)> prepare;
  std::function<void(Driver&, const LiveState&)> run;
  std::vector<Bytes> requests;
};

void ExpectTableNear(const TArgoMaterialTable& a, const TArgoMaterialTable& b) {
  for (std::size_t r = 0; r < 8; ++r) {
    EXPECT_NEAR(a[r].Emiss, b[r].Emiss, 1e-6);
    EXPECT_FLOAT_EQ(a[r].LoAlarm, b[r].LoAlarm);
    EXPECT_FLOAT_EQ(a[r].HiAlarm, b[r].HiAlarm);
    EXPECT_EQ(a[r].DevLo, b[r].DevLo);
    EXPECT_EQ(a[r].DevHi, b[r].DevHi);
  }
}

class ArgoCommandTest : public ArgoPtyTest {
 protected:
  void RunTable(const QString& profile, const std::vector<CommandCase>& cases) {
    StartDevice(profile);
    SetState([](ArgoDeviceState& s) {
      s.rangeLow = TWord(-50);
      s.rangeHigh = TWord(1000);
    });
    OpenAndConnect();
    for (const CommandCase& c : cases) {
      SCOPED_TRACE(c.name);
      if (c.prepare) SetState(c.prepare);
      model_->ClearRequests();
      events_ = EventLog();
      c.run(*driver_, LiveState{[this] { return State(); }});
      EXPECT_EQ(HexRequests(RequestBytes()).toStdString(), HexRequests(c.requests).toStdString());
      EXPECT_TRUE(events_.errors.empty()) << events_.errors.front();
      for (const auto& r : model_->Requests()) EXPECT_EQ(r.outcome, ArgoRequestOutcome::Answered);
    }
  }
};

TEST_F(ArgoCommandTest, SingleColourTable) {
  const std::vector<CommandCase> cases = {
      {"ReadObjectTemperature", [](auto& s) { s.objectTemp = TWord(25.5); },
       [this](Driver& d, auto&) {
         EXPECT_FLOAT_EQ(d.ReadObjectTemperature(), 25.5f);
         ASSERT_EQ(events_.temps.size(), 1u);
         EXPECT_EQ(events_.temps[0].first, 1);
       },
       {{0x01}}},
      {"ReadInternalTemperature", [](auto& s) { s.internalTemp = TWord(30); },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.ReadInternalTemperature(), 30.0f); }, {{0x02}}},
      {"ReadBoxTemperature", [](auto& s) { s.boxTemp = TWord(-20); },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.ReadBoxTemperature(), -20.0f); }, {{0x03}}},
      {"ReadActualTemperature", [](auto& s) { s.actualTemp = TWord(812.3); },
       [](Driver& d, auto&) { EXPECT_NEAR(d.ReadActualTemperature(), 812.3f, 1e-3); }, {{0x81}}},
      {"GetSerialNumber", [](auto& s) { s.serial = 10234567; },
       [](Driver& d, auto&) { EXPECT_EQ(d.GetSerialNumber(), 10234567); }, {{0x0E}}},
      {"GetFirmwareRevision", nullptr, [](Driver& d, auto&) { EXPECT_EQ(d.GetFirmwareRevision(), 2510); }, {{0x0F}}},
      {"GetModelInfo", nullptr,
       [](Driver& d, auto&) {
         const TArgoModelInfo m = d.GetModelInfo();
         EXPECT_FLOAT_EQ(m.LoRangeTemp, -50.0f);
         EXPECT_FLOAT_EQ(m.HiRangeTemp, 1000.0f);
         EXPECT_TRUE(m.Time_in_ms);
         EXPECT_EQ(m.FWrev, 2510);
         EXPECT_FLOAT_EQ(d.AllowedRangeHi(), 1000.0f);
       },
       {{0x45}}},
      {"GetEmissivity", [](auto& s) { s.emissivity = 950; },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.GetEmissivity(), 0.95f); }, {{0x04}}},
      {"SetEmissivity 1.1", nullptr,
       [](Driver& d, auto& s) {
         d.SetEmissivity(1.1f);
         EXPECT_EQ(s().emissivity, 1100);
         EXPECT_FLOAT_EQ(d.Config().Emissivity, 1.1f);
       },
       {{0x84, 0x04, 0x4C, 0xCC}}},
      {"SetEmissivity 0.1", nullptr, [](Driver& d, auto&) { d.SetEmissivity(0.1f); }, {Ck({0x85 - 1, 0x00, 0x64})}},
      {"GetTransmission", [](auto& s) { s.transmission = 800; },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.GetTransmission(), 0.8f); }, {{0x05}}},
      {"SetTransmission", nullptr, [](Driver& d, auto&) { d.SetTransmission(0.5f); }, {Ck({0x85, 0x01, 0xF4})}},
      {"GetAverageTime ms word", [](auto& s) { s.averageTime = 0x8032; },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.GetAverageTime(), 0.05f); }, {{0x06}}},
      {"SetAverageTime 999.9", nullptr,
       [](Driver& d, auto& s) {
         d.SetAverageTime(999.9f);
         EXPECT_EQ(s().averageTime, 9999);
       },
       {Ck({0x86, 0x27, 0x0F})}},
      {"SetAverageTime 0.05 in ms", nullptr, [](Driver& d, auto&) { d.SetAverageTime(0.05f); }, {Ck({0x86, 0x80, 0x32})}},
      {"GetValleyHoldTime", [](auto& s) { s.valleyHoldTime = 100; },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.GetValleyHoldTime(), 10.0f); }, {{0x07}}},
      {"SetValleyHoldTime", nullptr, [](Driver& d, auto&) { d.SetValleyHoldTime(2.5f); }, {Ck({0x87, 0x00, 0x19})}},
      {"GetPeakHoldTime", [](auto& s) { s.peakHoldTime = 0; },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.GetPeakHoldTime(), 0.0f); }, {{0x08}}},
      {"SetPeakHoldTime", nullptr, [](Driver& d, auto&) { d.SetPeakHoldTime(0.0f); }, {Ck({0x88, 0x00, 0x00})}},
      {"GetTemperatureUnit", [](auto& s) { s.unit = 0; },
       [](Driver& d, auto&) { EXPECT_TRUE(d.GetTemperatureUnit()); }, {{0x09}}},
      {"SetTemperatureUnit", nullptr,
       [](Driver& d, auto& s) {
         d.SetTemperatureUnit(0);
         EXPECT_EQ(s().unit, 1);
         EXPECT_FALSE(d.Config().TempUnitFahrenheit);
       },
       {{0x89, 0x01, 0x88}}},
      {"GetAlarm1", [](auto& s) { s.alarm[0] = TWord(150); },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.GetAlarm1(), 150.0f); }, {{0x0A}}},
      {"SetAlarm1 -50", nullptr, [](Driver& d, auto&) { d.SetAlarm1(-50.0f); }, {{0x8A, 0x01, 0xF4, 0x7F}}},
      {"GetAlarm2", nullptr, [](Driver& d, auto&) { d.GetAlarm2(); }, {{0x0B}}},
      {"SetAlarm2", nullptr, [](Driver& d, auto&) { d.SetAlarm2(100.0f); }, {Ck({0x8B, 0x07, 0xD0})}},
      {"GetAlarm3", nullptr, [](Driver& d, auto&) { d.GetAlarm3(); }, {{0x0C}}},
      {"SetAlarm3", nullptr, [](Driver& d, auto&) { d.SetAlarm3(1000.0f); }, {Ck({0x8C, 0x2A, 0xF8})}},
      {"GetAlarm4", nullptr, [](Driver& d, auto&) { d.GetAlarm4(); }, {{0x0D}}},
      {"SetAlarm4", nullptr, [](Driver& d, auto&) { d.SetAlarm4(0.0f); }, {Ck({0x8D, 0x03, 0xE8})}},
      {"GetRS485Address", [](auto& s) { s.busAddress = 0; },
       [](Driver& d, auto&) { EXPECT_EQ(d.GetRS485Address(), 0); }, {{0x10}}},
      {"SetRS485Address", nullptr,
       [](Driver& d, auto& s) {
         d.SetRS485Address(0);
         EXPECT_EQ(s().busAddress, 0);
       },
       {{0x90, 0x00, 0x90}}},
      {"ResetLoopOutput", nullptr, [](Driver& d, auto& s) {
         d.ResetLoopOutput();
         EXPECT_EQ(s().loopResets, 1);
       },
       {{0x8F}}},
      {"GetScaledOutputMin", [](auto& s) { s.scaledOutMin = 4000; },
       [](Driver& d, auto&) { EXPECT_EQ(d.GetScaledOutputMin(), 4000); }, {{0x11}}},
      {"SetScaledOutputMin", nullptr, [](Driver& d, auto&) { d.SetScaledOutputMin(4000); }, {Ck({0x91, 0x0F, 0xA0})}},
      {"GetScaledOutputMax", nullptr, [](Driver& d, auto&) { d.GetScaledOutputMax(); }, {{0x12}}},
      {"SetScaledOutputMax", nullptr, [](Driver& d, auto&) { d.SetScaledOutputMax(20000); }, {Ck({0x92, 0x4E, 0x20})}},
      {"GetAmbientSource byte 7", [](auto& s) { s.ambientSource = 7; },
       [](Driver& d, auto&) { EXPECT_EQ(d.GetAmbientSource(), 3); }, {{0x13}}},
      {"SetAmbientSource", nullptr,
       [](Driver& d, auto&) {
         d.SetAmbientSource(1);
         EXPECT_EQ(d.Config().AmbientSource, 1);
       },
       {{0x93, 0x02, 0x91}}},
      {"GetAmbientValue", [](auto& s) { s.ambientValue = TWord(23.4); },
       [](Driver& d, auto&) { EXPECT_NEAR(d.GetAmbientValue(), 23.4f, 1e-4); }, {{0x14}}},
      {"SetAmbientValue", nullptr, [](Driver& d, auto&) { d.SetAmbientValue(25.0f); }, {Ck({0x94, 0x04, 0xE2})}},
      {"GetEmissivitySource", [](auto& s) { s.emissivitySource = 2; },
       [](Driver& d, auto&) { EXPECT_EQ(d.GetEmissivitySource(), 1); }, {{0x15}}},
      {"SetEmissivitySource", nullptr, [](Driver& d, auto&) { d.SetEmissivitySource(0); }, {{0x95, 0x01, 0x94}}},
      {"GetIRFailsafe byte 9", [](auto& s) { s.irFailsafe = 9; },
       [](Driver& d, auto&) { EXPECT_EQ(d.GetIRFailsafe(), 4); }, {{0x16}}},
      {"SetIRFailsafe", nullptr, [](Driver& d, auto&) { d.SetIRFailsafe(2); }, {{0x96, 0x02, 0x94}}},
      {"GetAmbientFailsafe", [](auto& s) { s.ambientFailsafe = 3; },
       [](Driver& d, auto&) { EXPECT_EQ(d.GetAmbientFailsafe(), 3); }, {{0x17}}},
      {"SetAmbientFailsafe", nullptr, [](Driver& d, auto&) { d.SetAmbientFailsafe(3); }, {{0x97, 0x03, 0x94}}},
      {"GetOutputTempMin", nullptr, [](Driver& d, auto&) { d.GetOutputTempMin(); }, {{0x18}}},
      {"SetOutputTempMin", nullptr, [](Driver& d, auto&) { d.SetOutputTempMin(0.0f); }, {Ck({0x98, 0x03, 0xE8})}},
      {"GetOutputTempMax", nullptr, [](Driver& d, auto&) { d.GetOutputTempMax(); }, {{0x19}}},
      {"SetOutputTempMax", nullptr, [](Driver& d, auto&) { d.SetOutputTempMax(500.0f); }, {Ck({0x99, 0x17, 0x70})}},
      {"GetIRDacPercent", [](auto& s) { s.irDacPercent = 42; },
       [](Driver& d, auto&) { EXPECT_EQ(d.GetIRDacPercent(), 42); }, {{0x1A}}},
      {"SetIRDacPercent", nullptr, [](Driver& d, auto&) { d.SetIRDacPercent(50); }, {{0x9A, 0x32, 0xA8}}},
      {"GetAmbientDacPercent", nullptr, [](Driver& d, auto&) { d.GetAmbientDacPercent(); }, {{0x1B}}},
      {"SetAmbientDacPercent", nullptr, [](Driver& d, auto&) { d.SetAmbientDacPercent(100); }, {{0x9B, 0x64, 0xFF}}},
      {"GetAverageMode", [](auto& s) { s.averageMode = 2; },
       [](Driver& d, auto&) { EXPECT_TRUE(d.GetAverageMode()); }, {{0x1C}}},
      {"SetAverageMode", nullptr, [](Driver& d, auto&) { d.SetAverageMode(true); }, {{0x9C, 0x01, 0x9D}}},
      {"GetAdvancedHoldMode byte 9", [](auto& s) { s.advancedHoldMode = 9; },
       [](Driver& d, auto&) { EXPECT_EQ(d.GetAdvancedHoldMode(), 3); }, {{0x1D}}},
      {"SetAdvancedHoldMode", nullptr, [](Driver& d, auto&) { d.SetAdvancedHoldMode(2); }, {{0x9D, 0x02, 0x9F}}},
      {"GetAdvancedHoldThreshold", nullptr, [](Driver& d, auto&) { d.GetAdvancedHoldThreshold(); }, {{0x1E}}},
      {"SetAdvancedHoldThreshold", nullptr, [](Driver& d, auto&) { d.SetAdvancedHoldThreshold(100.0f); },
       {Ck({0x9E, 0x07, 0xD0})}},
      {"StartEmissivityCalculation", nullptr,
       [](Driver& d, auto& s) {
         d.StartEmissivityCalculation(100.0f, 200.0f);
         EXPECT_EQ(s().emissivityCalcRuns, 1);
       },
       {Ck({0x9F, 0x07, 0xD0}), Ck({0xA0, 0x0B, 0xB8}), {0xA1, 0x01, 0xA0}}},
      {"GetAdvancedHoldHysteresis", [](auto& s) { s.advancedHoldHysteresis = 25; },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.GetAdvancedHoldHysteresis(), 2.5f); }, {{0x22}}},
      {"SetAdvancedHoldHysteresis", nullptr, [](Driver& d, auto&) { d.SetAdvancedHoldHysteresis(2.5f); },
       {Ck({0xA2, 0x00, 0x19})}},
      {"GetSpotIllumination", [](auto& s) { s.spotIllumination = 1; },
       [](Driver& d, auto&) { EXPECT_TRUE(d.GetSpotIllumination()); }, {{0x25}}},
      {"SetSpotIllumination", nullptr, [](Driver& d, auto&) { d.SetSpotIllumination(true); }, {{0xA5, 0x01, 0xA4}}},
      {"GetTweakOffset", [](auto& s) { s.tweakOffset = TWord(-10); },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.GetTweakOffset(), -10.0f); }, {{0x26}}},
      {"SetTweakOffset", nullptr, [](Driver& d, auto&) { d.SetTweakOffset(-10.0f); }, {Ck({0xA6, 0x03, 0x84})}},
      {"GetTweakGain", [](auto& s) { s.tweakGain = 16384; },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.GetTweakGain(), 0.5f); }, {{0x27}}},
      {"SetTweakGain", nullptr, [](Driver& d, auto&) { d.SetTweakGain(1.0f); }, {{0xA7, 0x80, 0x00, 0x27}}},
      {"GetAlarmMode", [](auto& s) { s.alarmMode[2] = 0x5B; },
       [](Driver& d, auto&) {
         const TArgoAlarmMode m = d.GetAlarmMode(2);
         EXPECT_EQ(m.Source, 1);
         EXPECT_EQ(m.OpenClose, 0);
         EXPECT_EQ(m.DigiAna, 1);
         EXPECT_EQ(m.OutMode, 3);
       },
       {{0x28, 0x02}}},
      {"SetAlarmMode", nullptr,
       [](Driver& d, auto& s) {
         d.SetAlarmMode(1, TArgoAlarmMode{2, 1, 0, 5});
         EXPECT_EQ(s().alarmMode[1], 0x85);
         EXPECT_EQ(d.Config().AlarmMode[1], (TArgoAlarmMode{2, 1, 0, 5}));
       },
       {Ck({0xA8, 0x01, 0x85})}},
      {"GetF3Temp1", nullptr, [](Driver& d, auto&) { d.GetF3Temp1(); }, {{0x2B}}},
      {"SetF3Temp1", nullptr, [](Driver& d, auto&) { d.SetF3Temp1(100.0f); }, {Ck({0xAB, 0x07, 0xD0})}},
      {"GetF3Temp2", nullptr, [](Driver& d, auto&) { d.GetF3Temp2(); }, {{0x2C}}},
      {"SetF3Temp2", nullptr, [](Driver& d, auto&) { d.SetF3Temp2(3000.0f); }, {Ck({0xAC, 0x79, 0x18})}},
      {"GetBurstChannels", [](auto& s) { s.burstSlots = {0x12, 0x05, 0, 0}; },
       [](Driver& d, auto&) {
         std::array<std::uint8_t, 8> slots{};
         d.GetBurstChannels(slots);
         EXPECT_EQ(slots, (std::array<std::uint8_t, 8>{1, 2, 0, 5, 0, 0, 0, 0}));
       },
       {{0x50}}},
      {"SetBurstChannels", nullptr,
       [](Driver& d, auto&) {
         d.SetBurstChannels({1, 2, 0, 5, 0, 0, 0, 0});
         EXPECT_EQ(d.Config().BurstChannels[3], 5);
       },
       {Ck({0x51, 0x12, 0x05, 0x00, 0x00})}},
      {"GetHeadCodeLarge", [](auto& s) { s.headCode = {16415, 1, 2, 3, 0xFFFFF}; },
       [](Driver& d, auto&) {
         const TArgoHeadCodeLarge h = d.GetHeadCodeLarge();
         EXPECT_EQ(h[0], QStringLiteral("0G0V"));
         EXPECT_EQ(h[4], QStringLiteral("VVVV"));
       },
       {{0x24, 0}, {0x24, 1}, {0x24, 2}, {0x24, 3}, {0x24, 4}}},
      {"SetHeadCodeShort", nullptr,
       [](Driver& d, auto& s) {
         d.SetHeadCodeShort({QStringLiteral("0g0V"), QStringLiteral("0001"), QStringLiteral("000A")});
         EXPECT_EQ(s().headCode[0] & 0xFFFFF, 16415u);
         EXPECT_EQ(d.Config().HeadCodeShort[0], QStringLiteral("0G0V"));
       },
       {Ck({0xA4, 0, 0x00, 0x40, 0x1F}), Ck({0xA4, 1, 0, 0, 1}), Ck({0xA4, 2, 0, 0, 10})}},
  };
  RunTable(QStringLiteral("argo-current"), cases);
}

TEST_F(ArgoCommandTest, MaterialTableAndPanelLock) {
  std::vector<Bytes> reads, writes;
  for (int r = 0; r < 8; ++r)
    for (int f = 0; f < 4; ++f) reads.push_back({0x23, static_cast<std::uint8_t>(r * 16 + f)});
  TArgoMaterialTable table{};
  for (int r = 0; r < 8; ++r)
    table[static_cast<std::size_t>(r)] = {0.9f + r * 0.01f, 100.0f + r, 500.0f + r, 2, 3};
  for (int r = 0; r < 8; ++r) {
    const auto& m = table[static_cast<std::size_t>(r)];
    const std::uint16_t e = static_cast<std::uint16_t>(std::lround(m.Emiss * 1000));
    const std::uint8_t a = static_cast<std::uint8_t>(r * 16);
    writes.push_back(Ck({0xA3, a, static_cast<std::uint8_t>(e >> 8), static_cast<std::uint8_t>(e)}));
    writes.push_back(
        Ck({0xA3, static_cast<std::uint8_t>(a + 1), static_cast<std::uint8_t>(TWord(m.LoAlarm) >> 8),
            static_cast<std::uint8_t>(TWord(m.LoAlarm))}));
    writes.push_back(
        Ck({0xA3, static_cast<std::uint8_t>(a + 2), static_cast<std::uint8_t>(TWord(m.HiAlarm) >> 8),
            static_cast<std::uint8_t>(TWord(m.HiAlarm))}));
    writes.push_back(Ck({0xA3, static_cast<std::uint8_t>(a + 3), 0x00, 0x23}));
  }
  const std::vector<CommandCase> cases = {
      {"SetMaterialTable", nullptr,
       [&](Driver& d, auto&) {
         d.SetMaterialTable(table);
         ExpectTableNear(d.Config().MaterialTable, table);
       },
       writes},
      {"GetMaterialTable", nullptr, [&](Driver& d, auto&) { ExpectTableNear(d.GetMaterialTable(), table); },
       reads},
      {"GetPanelLock",
       [](auto& s) { s.panelLock = 1; },
       [](Driver& d, auto&) { EXPECT_TRUE(d.GetPanelLock()); },
       {{0x43}}},
      {"SetPanelLock", nullptr, [](Driver& d, auto&) { d.SetPanelLock(false); }, {{0x44, 0x00, 0x44}}},
      {"GetAlarmHysteresis",
       [](auto& s) { s.alarmHysteresis = 25; },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.GetAlarmHysteresis(), 2.5f); },
       {{0x4A, 0xFF, 0xB5}}},
      {"SetAlarmHysteresis",
       nullptr,
       [](Driver& d, auto&) { d.SetAlarmHysteresis(2.0f); },
       {{0x4A, 0x14, 0x5E}}},
  };
  RunTable(QStringLiteral("argo-1500"), cases);
}

TEST_F(ArgoCommandTest, RatioTable) {
  std::vector<Bytes> alarmValueReads = {Ck({0x69, 0x00, 0xFF})};
  for (std::uint8_t k = 1; k <= 5; ++k) {
    alarmValueReads.push_back(Ck({0x69, 0x00, k}));
    alarmValueReads.push_back(Ck({0x6A, 0x00, 0x00, 0x00}));
  }
  alarmValueReads.push_back(Ck({0x69, 0x00, 0x02}));
  std::vector<Bytes> visualReads, visualWrites;
  TArgoVisualAlarms visual{};
  for (std::uint8_t i = 0; i < 8; ++i) {
    visualReads.push_back(Ck({0x6E, i}));
    visual[i].Lo = {100.0f + i, 200, 300, 400};
    visual[i].Hi = {150.0f + i, 250, 350, 450};
    visual[i].Flags = {1, 2, 4, static_cast<std::uint8_t>(i)};
    Bytes w = {0x6F, i};
    for (int k = 0; k < 4; ++k) {
      const std::uint16_t lo = TWord(visual[i].Lo[static_cast<std::size_t>(k)]);
      const std::uint16_t hi = TWord(visual[i].Hi[static_cast<std::size_t>(k)]);
      w.insert(w.end(), {static_cast<std::uint8_t>(lo >> 8), static_cast<std::uint8_t>(lo),
                         static_cast<std::uint8_t>(hi >> 8), static_cast<std::uint8_t>(hi),
                         visual[i].Flags[static_cast<std::size_t>(k)]});
    }
    visualWrites.push_back(Ck(w));
  }
  std::vector<Bytes> standardDisplay = {Ck({0x80, 0x00})};
  standardDisplay.insert(standardDisplay.end(), visualReads.begin(), visualReads.end());
  standardDisplay.push_back(Ck({0x72, 0xFF}));
  standardDisplay.push_back(Ck({0x73, 0xFF}));

  const std::vector<CommandCase> cases = {
      {"ReadSingleTemperature",
       [](auto& s) { s.singleColourTemp = TWord(700); },
       [this](Driver& d, auto&) {
         EXPECT_FLOAT_EQ(d.ReadSingleTemperature(), 700.0f);
         EXPECT_EQ(events_.temps.at(0).first, 6);
       },
       {{0x62}}},
      {"ReadQuotientTemperature",
       nullptr,
       [this](Driver& d, auto&) {
         d.ReadQuotientTemperature();
         EXPECT_EQ(events_.temps.at(0).first, 5);
       },
       {{0x63}}},
      {"ReadTau",
       nullptr,
       [this](Driver& d, auto&) {
         d.ReadTau();
         EXPECT_EQ(events_.temps.at(0).first, 7);
       },
       {{0x64}}},
      {"GetDeflection1",
       [](auto& s) { s.deflection1 = 150; },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.GetDeflection1(), 1.5f); },
       {{0x4A, 0x80, 0x80, 0x4A}}},
      {"SetDeflection1", nullptr, [](Driver& d, auto&) { d.SetDeflection1(1.5f); }, {Ck({0x4A, 0x00, 0x96})}},
      {"GetDeflection2", nullptr, [](Driver& d, auto&) { d.GetDeflection2(); }, {{0x4B, 0x80, 0x80, 0x4B}}},
      {"SetDeflection2", nullptr, [](Driver& d, auto&) { d.SetDeflection2(2.0f); }, {Ck({0x4B, 0x00, 0xC8})}},
      {"GetAddTop",
       [](auto& s) { s.addTop = 0xFFFB; },
       [](Driver& d, auto&) { EXPECT_EQ(d.GetAddTop(), -5); },
       {{0x4C, 0x80, 0x80, 0x4C}}},
      {"SetAddTop", nullptr, [](Driver& d, auto&) { d.SetAddTop(-5); }, {Ck({0x4C, 0xFF, 0xFB})}},
      {"GetMulTop",
       [](auto& s) { s.mulTop = 4096; },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.GetMulTop(), 1.0f); },
       {{0x4D, 0x00, 0x00, 0x4D}}},
      {"SetMulTop", nullptr, [](Driver& d, auto&) { d.SetMulTop(1.0f); }, {{0x4D, 0x10, 0x00, 0x5D}}},
      {"GetAddQuot", nullptr, [](Driver& d, auto&) { d.GetAddQuot(); }, {{0x4E, 0x80, 0x80, 0x4E}}},
      {"SetAddQuot", nullptr, [](Driver& d, auto&) { d.SetAddQuot(12); }, {Ck({0x4E, 0x00, 0x0C})}},
      {"GetMulQuot", nullptr, [](Driver& d, auto&) { d.GetMulQuot(); }, {{0x4F, 0x00, 0x00, 0x4F}}},
      {"SetMulQuot", nullptr, [](Driver& d, auto&) { d.SetMulQuot(0.5f); }, {Ck({0x4F, 0x08, 0x00})}},
      {"GetLWLParameter",
       [](auto& s) {
         s.fibreDiameter = 600;
         s.fibreLength = 2000;
       },
       [](Driver& d, auto&) {
         int dia = 0, len = 0;
         EXPECT_TRUE(d.GetLWLParameter(dia, len));
         EXPECT_EQ(dia, 600);
         EXPECT_EQ(len, 2000);
       },
       {{0x56, 0, 0, 0, 0, 0x56}}},
      {"SetLWLParameter",
       nullptr,
       [](Driver& d, auto&) { d.SetLWLParameter(400, 1000); },
       {Ck({0x56, 0x01, 0x90, 0x03, 0xE8})}},
      {"GetMBRange",
       [](auto& s) {
         s.rangeStart = TWord(600);
         s.rangeEnd = TWord(1400);
       },
       [](Driver& d, auto&) {
         float a = 0, b = 0;
         EXPECT_TRUE(d.GetMBRange(a, b));
         EXPECT_FLOAT_EQ(a, 600.0f);
         EXPECT_FLOAT_EQ(b, 1400.0f);
       },
       {{0x57, 0, 0, 0, 0, 0x57}}},
      {"SetMBRange",
       nullptr,
       [](Driver& d, auto&) { d.SetMBRange(600.0f, 1400.0f); },
       {Ck({0x57, 0x1B, 0x58, 0x3A, 0x98})}},
      {"GetSlope",
       [](auto& s) { s.slope = 1000; },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.GetSlope(), 1.0f); },
       {{0x58, 0, 0, 0x58}}},
      {"SetSlope", nullptr, [](Driver& d, auto&) { d.SetSlope(1.1f); }, {Ck({0x58, 0x04, 0x4C})}},
      {"GetSlope2", nullptr, [](Driver& d, auto&) { d.GetSlope2(); }, {{0x59, 0, 0, 0x59}}},
      {"SetSlope2", nullptr, [](Driver& d, auto&) { d.SetSlope2(1.0f); }, {Ck({0x59, 0x03, 0xE8})}},
      {"GetEpsilon", nullptr, [](Driver& d, auto&) { d.GetEpsilon(); }, {Ck({0x5A, 0xFF, 0xFE})}},
      {"SetEpsilon", nullptr, [](Driver& d, auto&) { d.SetEpsilon(0.9f); }, {Ck({0x5A, 0x03, 0x84})}},
      {"GetEpsilon2", nullptr, [](Driver& d, auto&) { d.GetEpsilon2(); }, {{0x5B, 0, 0, 0x5B}}},
      {"SetEpsilon2", nullptr, [](Driver& d, auto&) { d.SetEpsilon2(1.25f); }, {Ck({0x5B, 0x04, 0xE2})}},
      // Written as a temperature word, so reading back gives what was written.
      {"SetDetTop",
       nullptr,
       [](Driver& d, auto&) {
         d.SetDetTop(1500.0f);
         EXPECT_FLOAT_EQ(d.Config().DetTop, 1500.0f);
       },
       {Ck({0x5C, 0x3E, 0x80})}},
      {"GetDetTop",
       nullptr,
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.GetDetTop(), 1500.0f); },
       {{0x5C, 0, 0, 0x5C}}},
      {"GetLimTau", nullptr, [](Driver& d, auto&) { d.GetLimTau(); }, {Ck({0x5D, 0xFF, 0xFF})}},
      {"SetLimTau", nullptr, [](Driver& d, auto&) { d.SetLimTau(50.0f); }, {Ck({0x5D, 0x05, 0xDC})}},
      {"GetItemNumber",
       [](auto& s) { s.itemNumber = 0x01020304; },
       [](Driver& d, auto&) { EXPECT_EQ(d.GetItemNumber(), 0x01020304); },
       {{0x5E, 0, 0, 0, 0, 0x5E}}},
      {"SetItemNumber",
       nullptr,
       [](Driver& d, auto&) { d.SetItemNumber(0xA0B0C0D0u); },
       {Ck({0x5E, 0xA0, 0xB0, 0xC0, 0xD0})}},
      {"GetRatioSerialNumber",
       nullptr,
       [](Driver& d, auto&) { d.GetRatioSerialNumber(); },
       {{0x5F, 0, 0, 0, 0, 0x5F}}},
      {"SetRatioSerialNumber",
       nullptr,
       [](Driver& d, auto&) { d.SetRatioSerialNumber(77); },
       {Ck({0x5F, 0, 0, 0, 77})}},
      {"SendRatioCommand",
       nullptr,
       [](Driver& d, auto&) { d.SendRatioCommand(127, 151); },
       {Ck({0x65, 0x01, 0x7F, 0x97})}},
      {"GetDALFunction",
       [](auto& s) { s.dalFunction[1] = 3; },
       [](Driver& d, auto&) { EXPECT_EQ(d.GetDALFunction(1), 3); },
       {Ck({0x68, 0x01, 0xFF})}},
      {"SetDALFunction", nullptr, [](Driver& d, auto&) { d.SetDALFunction(0, 3); }, {Ck({0x68, 0x00, 0x03})}},
      {"GetAlarmSource",
       [](auto& s) { s.alarmSource[1] = 4; },
       [](Driver& d, auto&) { EXPECT_EQ(d.GetAlarmSource(1), 4); },
       {Ck({0x69, 0x01, 0xFF})}},
      {"SetAlarmSource",
       [](auto& s) { s.alarmSource[0] = 2; },
       [](Driver& d, auto&) { d.SetAlarmSource(0, 2); },
       {Ck({0x69, 0x00, 0x02})}},
      {"GetAlarmValues", [](auto& s) { s.alarmValue[0] = {0, 11, 22, 33, 44, 55}; },
       [](Driver& d, auto& s) {
         TArgoAlarmValues v;
         d.GetAlarmValues(0, v);
         EXPECT_EQ(v, (TArgoAlarmValues{11, 22, 33, 44, 55}));
         EXPECT_EQ(s().alarmSource[0], 2);
       },
       alarmValueReads},
      {"GetAlarmNormallyOpen",
       nullptr,
       [](Driver& d, auto&) { d.GetAlarmNormallyOpen(0); },
       {Ck({0x6B, 0x00, 0xFF})}},
      {"SetAlarmNormallyOpen",
       nullptr,
       [](Driver& d, auto&) { d.SetAlarmNormallyOpen(1, 1); },
       {Ck({0x6B, 0x01, 0x01})}},
      {"GetProcessSource",
       [](auto& s) { s.processSource = 2; },
       [](Driver& d, auto&) { EXPECT_EQ(d.GetProcessSource(), 2); },
       {Ck({0x6C, 0xFF})}},
      {"SetProcessSource", nullptr, [](Driver& d, auto&) { d.SetProcessSource(1); }, {Ck({0x6C, 0x01})}},
      {"GetSmartThreshold", nullptr, [](Driver& d, auto&) { d.GetSmartThreshold(); }, {{0x6D, 0, 0, 0x6D}}},
      {"SetSmartThreshold",
       nullptr,
       [](Driver& d, auto&) { d.SetSmartThreshold(100.0f); },
       {Ck({0x6D, 0x03, 0xE8})}},
      {"SetVisualAlarmSettings", nullptr,
       [&](Driver& d, auto&) {
         d.SetVisualAlarmSettings(visual);
         EXPECT_EQ(d.Config().VisualAlarms, visual);
       },
       visualWrites},
      {"GetVisualAlarmSettings", nullptr,
       [&](Driver& d, auto&) { EXPECT_EQ(d.GetVisualAlarmSettings(), visual); }, visualReads},
      {"GetVisualAlarmSource",
       nullptr,
       [](Driver& d, auto&) { d.GetVisualAlarmSource(); },
       {Ck({0x72, 0xFF})}},
      {"SetVisualAlarmSource",
       nullptr,
       [](Driver& d, auto&) { d.SetVisualAlarmSource(3); },
       {Ck({0x72, 0x03})}},
      {"GetDisplayMainSource",
       nullptr,
       [](Driver& d, auto&) { d.GetDisplayMainSource(); },
       {Ck({0x73, 0xFF})}},
      {"SetDisplayMainSource",
       nullptr,
       [](Driver& d, auto&) { d.SetDisplayMainSource(4); },
       {Ck({0x73, 0x04})}},
      {"SetStandardDisplay", nullptr, [](Driver& d, auto&) { d.SetStandardDisplay(); }, standardDisplay},
      {"GetRatioAlarmHysteresis",
       [](auto& s) { s.ratioAlarmHysteresis = 55; },
       [](Driver& d, auto&) { EXPECT_FLOAT_EQ(d.GetRatioAlarmHysteresis(), 5.5f); },
       {{0x0C}}},
      {"SetRatioAlarmHysteresis",
       nullptr,
       [](Driver& d, auto&) { d.SetRatioAlarmHysteresis(5.0f); },
       {Ck({0x8C, 0x00, 0x32})}},
      {"GetRatioAlarmMode",
       [](auto& s) { s.ratioAlarmMode = 13; },
       [](Driver& d, auto&) { EXPECT_EQ(d.GetRatioAlarmMode(), 13); },
       {{0x0D}}},
      {"SetRatioAlarmMode", nullptr, [](Driver& d, auto&) { d.SetRatioAlarmMode(5); }, {{0x8D, 0x05, 0x88}}},
  };
  RunTable(QStringLiteral("ratio"), cases);
}

// Out of range: error 6 and nothing on the line; a closed port: nothing at all.
TEST_F(ArgoCommandTest, RangeChecksSendNothing) {
  StartDevice(QStringLiteral("argo-5003"));
  OpenAndConnect();
  const std::vector<std::pair<const char*, std::function<void(Driver&)>>> rejected = {
      {"emissivity 0.09", [](Driver& d) { d.SetEmissivity(0.09f); }},
      {"emissivity 1.2", [](Driver& d) { d.SetEmissivity(1.2f); }},
      {"emissivity NaN", [](Driver& d) { d.SetEmissivity(std::nanf("")); }},
      {"alarm1 3000.1", [](Driver& d) { d.SetAlarm1(3000.1f); }},
      {"average time 1000", [](Driver& d) { d.SetAverageTime(1000.0f); }},
      // Hundredths of a second: the word ends at 327.67 s.
      {"average time 400 in hundredths", [](Driver& d) { d.SetAverageTime(400.0f); }},
      {"ambient source 3", [](Driver& d) { d.SetAmbientSource(3); }},
      {"tweak offset -150", [](Driver& d) { d.SetTweakOffset(-150.0f); }},
      {"tweak gain 2", [](Driver& d) { d.SetTweakGain(2.0f); }},
      {"rs485 address 80", [](Driver& d) { d.SetRS485Address(80); }},
      {"head code of five digits",
       [](Driver& d) {
         d.SetHeadCodeShort({QStringLiteral("00000"), QStringLiteral("0"), QStringLiteral("0")});
       }},
      {"burst slot 16",
       [](Driver& d) {
         d.SetBurstChannels({16, 0, 0, 0, 0, 0, 0, 0});
       }},
  };
  for (const auto& [name, op] : rejected) {
    SCOPED_TRACE(name);
    events_ = EventLog();
    op(*driver_);
    EXPECT_EQ(events_.errors, std::vector<int>{6});
    EXPECT_EQ(model_->RequestCount(), 0u);
  }
  // Within range on the same device.
  driver_->SetAverageTime(327.67f);
  ASSERT_EQ(model_->RequestCount(), 1u);
  EXPECT_EQ(model_->Requests()[0].bytes, Ck({0x86, 0x7F, 0xFF}));
  EXPECT_FLOAT_EQ(driver_->Config().AverageTime, 327.67f);

  driver_->ClosePort();
  model_->ClearRequests();
  events_ = EventLog();
  EXPECT_FLOAT_EQ(driver_->GetEmissivity(), -1.0f);
  EXPECT_FLOAT_EQ(driver_->ReadObjectTemperature(), -9999.0f);
  EXPECT_EQ(driver_->GetRS485Address(), 255);
  EXPECT_EQ(driver_->GetFirmwareRevision(), 0xFFFF);
  driver_->SetEmissivity(5.0f);
  EXPECT_TRUE(events_.errors.empty());
  EXPECT_EQ(model_->RequestCount(), 0u);
}

// Ratio operations do nothing on firmware outside 5001..5999.
TEST_F(ArgoCommandTest, RatioOperationsNeedRatioFirmware) {
  StartDevice(QStringLiteral("argo-5000"));
  OpenAndConnect();
  EXPECT_FALSE(driver_->IsRatioFirmware());
  EXPECT_FLOAT_EQ(driver_->GetSlope(), -1.0f);
  driver_->SetSlope(1.0f);
  EXPECT_FLOAT_EQ(driver_->ReadTau(), -9999.0f);
  EXPECT_EQ(driver_->SendRatioCommand(127, 145), 0);
  TArgoAlarmValues v{1, 2, 3, 4, 5};
  driver_->GetAlarmValues(0, v);
  EXPECT_EQ(v, TArgoAlarmValues());
  EXPECT_EQ(model_->RequestCount(), 0u);
  EXPECT_TRUE(events_.errors.empty());
}

}  // namespace
}  // namespace argotest
