#include "tools/devsim/argo_profiles.h"

#include <vector>

#include "tools/devsim/argo_wire.h"

namespace ArgoProfiles {

namespace {

using namespace ArgoWire;

std::uint8_t PackAlarmMode(int source, int openClose, int digiAna, int outMode) {
  static constexpr std::uint8_t kSourceBits[4] = {0x20, 0x40, 0x80, 0x00};
  std::uint8_t p = kSourceBits[source & 3];
  if (openClose == 0) p |= 0x10;
  if (digiAna == 1) p |= 0x08;
  return std::uint8_t(p | (outMode & 0x07));
}

std::vector<ArgoProfile> BuildProfiles() {
  using namespace ArgoWire::ModelFlag;
  std::vector<ArgoProfile> list;
  auto add = [&](const char* name, const char* description, std::uint16_t fw, std::uint8_t code,
                 std::uint8_t flags, double lo, double hi, std::uint32_t serial) {
    ArgoProfile p;
    p.name = QString::fromLatin1(name);
    p.description = QString::fromLatin1(description);
    p.state = MakeState(fw, code, flags, lo, hi, serial, QStringLiteral("ARGO %1").arg(fw));
    list.push_back(p);
  };
  add("argo-old", "firmware 1010: no model information, no panel lock, short head code", 1010, 0, 0, -50, 975,
      104001);
  add("argo-1500", "firmware 1500: panel lock, model information, laser, alarm hysteresis", 1500, 0,
      Laser | AlarmHysteresis, -40, 600, 115000);
  add("argo-2000", "firmware 2000: large head code, no model information", 2000, 2, LargeHeadCode, 250, 1600,
      1120000);
  add("argo-current", "firmware 2510: large head code, millisecond times, laser, alarm hysteresis", 2510, 4,
      Laser | LargeHeadCode | TimeInMs | AlarmHysteresis, 350, 2000, 1125100);
  add("argo-5000", "firmware 5000: single-colour, times in hundredths of a second", 5000, 6, 0, 0, 1000,
      150000);
  add("argo-5003", "firmware 5003: ratio model, times in hundredths, no extended alarms", 5003, 16, 0, 700,
      2500, 10500);
  add("ratio-5012", "firmware 5012: ratio model, the last without extended alarms", 5012, 16, 0, 700, 2500,
      10512);
  add("ratio-5013", "firmware 5013: ratio model with extended alarms, no AddTop/MulTop", 5013, 16, 0, 700,
      2500, 10513);
  add("ratio-5014", "firmware 5014: ratio model with channel offsets and gains, no deflections", 5014, 16, 0,
      700, 2500, 10514);
  add("ratio-5015", "firmware 5015: ratio model, the last without deflections", 5015, 16, 0, 700, 2500, 10515);
  add("ratio", "firmware 5016: ratio model with every command", 5016, 16, Laser, 1000, 3000, 1016016);
  return list;
}

const std::vector<ArgoProfile>& Profiles() {
  static const std::vector<ArgoProfile> profiles = BuildProfiles();
  return profiles;
}

}  // namespace

ArgoDeviceState MakeState(std::uint16_t firmware, std::uint8_t modelCode, std::uint8_t modelFlags,
                          double rangeLow, double rangeHigh, std::uint32_t serial, const QString& ident) {
  ArgoDeviceState s;
  s.firmware = firmware;
  s.serial = serial & 0xFFFFFF;
  s.modelCode = modelCode;
  s.modelFlags = modelFlags;
  s.rangeLow = EncodeTemperature(rangeLow);
  s.rangeHigh = EncodeTemperature(rangeHigh);
  const QByteArray text = ident.toLatin1().left(kIdentLength);
  s.ident.fill(' ');
  for (qsizetype i = 0; i < text.size(); ++i) s.ident[std::size_t(i)] = std::uint8_t(text.at(i));

  const double mid = rangeLow + (rangeHigh - rangeLow) / 4;
  s.objectTemp = EncodeTemperature(mid);
  s.internalTemp = EncodeTemperature(31.5);
  s.boxTemp = EncodeTemperature(28.2);
  s.actualTemp = EncodeTemperature(mid + 0.4);
  s.singleColourTemp = EncodeTemperature(mid - 1.3);
  s.quotientTemp = EncodeTemperature(mid + 2.1);
  s.tau = EncodeTemperature(62.0);

  s.emissivity = 1000;
  s.transmission = 1000;
  s.averageTime = EncodeTime(0.1, firmware, modelFlags);
  s.valleyHoldTime = 0;
  s.peakHoldTime = EncodeTime(2.0, firmware, modelFlags);
  s.unit = 1;
  s.alarm = {EncodeTemperature(rangeLow + 50), EncodeTemperature(rangeHigh - 50), EncodeTemperature(rangeLow),
             EncodeTemperature(rangeHigh)};
  s.scaledOutMin = 4000;
  s.scaledOutMax = 20000;
  s.ambientSource = 1;
  s.ambientValue = EncodeTemperature(23.0);
  s.emissivitySource = 1;
  s.irFailsafe = 0;
  s.ambientFailsafe = 1;
  s.outputTempMin = EncodeTemperature(rangeLow);
  s.outputTempMax = EncodeTemperature(rangeHigh);
  s.irDacPercent = 0;
  s.ambientDacPercent = 0;
  s.averageMode = 0;
  s.advancedHoldMode = 0;
  s.advancedHoldThreshold = EncodeTemperature(rangeLow);
  s.advancedHoldHysteresis = 20;
  for (std::size_t row = 0; row < s.material.size(); ++row) {
    s.material[row] = {std::uint16_t(1000 - 50 * row), EncodeTemperature(rangeLow + 10.0 * double(row)),
                       EncodeTemperature(rangeHigh - 10.0 * double(row)),
                       std::uint16_t(((row % 4) << 4) | ((row + 1) % 4))};
  }
  s.headCode = {0x1234A, 0x0F00F, 0x00401, 0x54321, 0x0ABCD};
  s.spotIllumination = 0;
  s.tweakOffset = EncodeTemperature(0.0);
  s.tweakGain = 32768;
  s.alarmMode = {PackAlarmMode(0, 1, 0, 1), PackAlarmMode(1, 0, 0, 2), PackAlarmMode(2, 1, 1, 3),
                 PackAlarmMode(3, 0, 1, 5)};
  // The ratio models' output channel has the four current and voltage
  // ranges only (no thermocouple output).
  if (IsRatioFirmware(firmware)) s.alarmMode[3] = PackAlarmMode(3, 0, 1, 3);
  s.f3Temp1 = EncodeTemperature(rangeLow);
  s.f3Temp2 = EncodeTemperature(rangeHigh);
  s.panelLock = 0;
  s.alarmHysteresis = 5;
  // Object, internal, box and actual temperature.
  s.burstSlots = {0x12, 0x34, 0x00, 0x00};

  s.ratioAlarmHysteresis = 50;
  s.ratioAlarmMode = 0x01;
  s.deflection1 = 150;
  s.deflection2 = 275;
  s.addTop = 0x0012;
  s.mulTop = 4096;
  s.addQuot = 0x0034;
  s.mulQuot = 4096;
  s.fibreDiameter = 400;
  s.fibreLength = 2000;
  s.rangeStart = EncodeTemperature(rangeLow);
  s.rangeEnd = EncodeTemperature(rangeHigh);
  s.slope = 1000;
  s.slope2 = 1000;
  s.epsilon = 1000;
  s.epsilon2 = 1000;
  s.detTop = EncodeTemperature(rangeHigh);
  s.limTau = EncodeTemperature(10.0);
  s.itemNumber = 4711002;
  s.ratioSerial = serial;
  s.dalFunction = {1, 2};
  s.alarmSource = {1, 2, 0, 0, 0};
  for (std::size_t o = 0; o < s.alarmValue.size(); ++o) {
    for (std::size_t k = 0; k < s.alarmValue[o].size(); ++k) {
      s.alarmValue[o][k] = std::uint16_t(1000 + 100 * o + 10 * k);
    }
  }
  s.normallyOpen = {1, 0, 1, 0, 1};
  s.processSource = 0;
  s.smartThreshold = 100;
  for (std::size_t i = 0; i < s.visualAlarm.size(); ++i) {
    std::vector<std::uint8_t> rec;
    for (int k = 0; k < 4; ++k) {
      AppendWord(rec, EncodeTemperature(rangeLow + 100.0 * double(i) + 10.0 * k));
      AppendWord(rec, EncodeTemperature(rangeLow + 100.0 * double(i) + 10.0 * k + 50.0));
      rec.push_back(std::uint8_t((i + std::size_t(k)) % 8));
    }
    std::copy(rec.begin(), rec.end(), s.visualAlarm[i].begin());
  }
  s.visualAlarmSource = 0;
  s.displayMainSource = 0;
  return s;
}

QStringList Names() {
  QStringList names;
  for (const ArgoProfile& p : Profiles()) names << p.name;
  return names;
}

std::optional<ArgoProfile> Find(const QString& name) {
  for (const ArgoProfile& p : Profiles()) {
    if (p.name.compare(name, Qt::CaseInsensitive) == 0) return p;
  }
  return std::nullopt;
}

ArgoProfile Default() { return *Find(QStringLiteral("argo-current")); }

}  // namespace ArgoProfiles
