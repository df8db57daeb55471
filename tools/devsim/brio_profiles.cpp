#include "tools/devsim/brio_profiles.h"

#include <algorithm>

#include "tools/devsim/brio_memory.h"
#include "tools/devsim/brio_wire.h"
#include "tools/devsim/emissivity_scene.h"

namespace BrioProfiles {

namespace {

using namespace BrioWire;

void PutWord(std::span<std::uint8_t> image, int at, std::uint16_t value) {
  image[std::size_t(at)] = std::uint8_t(value & 0xFF);
  image[std::size_t(at) + 1] = std::uint8_t(value >> 8);
}

std::uint16_t GetWord(std::span<const std::uint8_t> image, int at) {
  return std::uint16_t(image[std::size_t(at)] | (image[std::size_t(at) + 1] << 8));
}

bool UsesV2Layout(std::uint16_t featureWord) {
  return (featureWord & (Feature::Briov2 | Feature::Dunav2)) != 0;
}

bool UsesTwoWireLayout(std::uint16_t featureWord) {
  return !UsesV2Layout(featureWord) && (featureWord & (Feature::Duna2Wv2 | Feature::Duna2W2Mv2)) != 0;
}

std::vector<std::uint16_t> WordsUpToZero(std::span<const std::uint8_t> image, int at, int count) {
  std::vector<std::uint16_t> out;
  for (int i = 0; i < count; ++i) {
    const std::uint16_t w = GetWord(image, at + 2 * i);
    if (w == 0) break;
    out.push_back(w);
  }
  return out;
}

// Factory contents: recognisable patterns (so a block written to the wrong
// place shows), the serial number where the programs look for it and every
// burst switch off.
}  // namespace

void SetSerial(BrioProfile& p, std::uint32_t serial);

namespace {

BrioProfile Make(const char* name, const char* description, int generation, int code, std::uint32_t serial,
                 std::uint16_t features, double low, double high, std::uint16_t calibrationWord0,
                 std::uint16_t calibrationWord44, std::uint8_t seed) {
  BrioProfile p;
  p.name = QString::fromLatin1(name);
  p.description = QString::fromLatin1(description);
  p.generation = generation;
  p.deviceTypeCode = code;
  p.serial = serial & 0xFFFFFF;
  p.featureWord = features;
  p.rangeLow = low;
  p.rangeHigh = high;
  for (std::size_t i = 0; i < p.configuration.size(); ++i) p.configuration[i] = std::uint8_t(seed + 3 * i);
  for (std::size_t i = 0; i < p.calibration.size(); ++i) p.calibration[i] = std::uint8_t(0x40 + seed + 5 * i);
  for (std::size_t i = 0; i < p.mainSegment.size(); ++i)
    p.mainSegment[i] = std::uint8_t(i < 256 ? seed ^ (7 * i) : 0x5A ^ i);
  for (int k = 0; k < 16; ++k) PutWord(p.vectors, 2 * k, std::uint16_t(0xC200 + 0x20 * k + seed));
  PutWord(p.vectors, kVectorSize - 2, 0xC200);  // reset vector

  SetSerial(p, serial);
  if (generation == 1) {
    p.configuration[kGen1BurstFlags] &= std::uint8_t(~0x08);
  } else {
    PutWord(p.calibration, 0, calibrationWord0);
    PutWord(p.calibration, 88, calibrationWord44);
    p.configuration[kLoopBurstFlags] &= std::uint8_t(~0x08);
    PutWord(p.configuration, kV2BurstMode, GetWord(p.configuration, kV2BurstMode) & ~kBurstModeMask);
    PutWord(p.configuration, kTwoWireBurstMode,
            GetWord(p.configuration, kTwoWireBurstMode) & ~kBurstModeMask);
  }
  return p;
}

std::vector<BrioProfile> Build() {
  using namespace BrioWire::Feature;
  std::vector<BrioProfile> list;
  list.push_back(Make("voduz1", "first generation, Voduz1 (code 3)", 1, 3, 11000, 0, -30, 1000, 0, 0, 0x11));
  list.push_back(Make("dunav1", "first generation, Dunav1 (code 4)", 1, 4, 1012345, 0, 0, 500, 0, 0, 0x22));
  list.push_back(Make("brio-2w", "second generation, 4-20 mA two-wire (code 5)", 2, 5, 10501, 0x0002, -30,
                      1000, 1000, 0, 0x33));
  list.push_back(Make("duna-2w-v1", "second generation, feature word 0 (code 6)", 2, 6, 10602, 0, 0, 600,
                      1000, 0, 0x44));
  list.push_back(Make("fenn-2w", "second generation, Fenn 2W with laser (code 7)", 2, 7, 10703,
                      Fenn2W | Laser, -40, 900, 1000, 0, 0x55));
  {
    BrioProfile p = Make("briov2", "second generation, Briov2 with \"F\", input off and TC-K table (code 8)",
                         2, 8, 1080004, Briov2 | ExtendedIdentity | Laser, -30, 1000, 1018, 0, 0x66);
    p.flagWord = 0x0003;
    p.range2Low = -25.0;
    p.range2High = 80.0;
    list.push_back(p);
  }
  {
    BrioProfile p = Make("dunav2", "second generation, Dunav2 with \"F\" (code 9)", 2, 9, 1090005,
                         Dunav2 | ExtendedIdentity, 0, 1200, 1000, 0, 0x77);
    p.flagWord = 0x0001;
    list.push_back(p);
  }
  list.push_back(Make("duna-2w-v2", "second generation, Duna2Wv2 (code 10)", 2, 10, 11006, Duna2Wv2, -20, 800,
                      1000, 0, 0x88));
  list.push_back(Make("duna-2w2m-v2", "second generation, Duna2W2Mv2, new calibration layout (code 11)", 2,
                      11, 11107, Duna2W2Mv2 | ExtendedIdentity, -20, 800, 1000, 0, 0x99));
  list.push_back(Make("briov2-hires", "second generation, Briov2 with temperatures in hundredths (code 8)", 2,
                      8, 1080108, Briov2 | ExtendedIdentity, -50, 500, 1017, 1500, 0xA1));
  list.push_back(Make("fenn-2w-hires", "second generation, Fenn 2W with temperatures in hundredths (code 7)",
                      2, 7, 10709, Fenn2W | HighResolutionHelper, -50, 500, 10500, 0, 0xB2));
  return list;
}

const std::vector<BrioProfile>& All() {
  static const std::vector<BrioProfile> profiles = Build();
  return profiles;
}

}  // namespace

QStringList Names(int generation) {
  QStringList names;
  for (const BrioProfile& p : All())
    if (p.generation == generation) names << p.name;
  return names;
}

std::optional<BrioProfile> Find(int generation, const QString& name) {
  for (const BrioProfile& p : All()) {
    if (p.generation == generation && p.name.compare(name, Qt::CaseInsensitive) == 0) return p;
  }
  return std::nullopt;
}

BrioProfile Default(int generation) {
  return *Find(generation, generation == 1 ? QStringLiteral("voduz1") : QStringLiteral("briov2"));
}

void SetSerial(BrioProfile& p, std::uint32_t serial) {
  p.serial = serial & 0xFFFFFF;
  const std::uint8_t bytes[3] = {std::uint8_t(p.serial >> 16), std::uint8_t(p.serial >> 8),
                                 std::uint8_t(p.serial)};
  // The first generation keeps it in the calibration segment (0x1082..0x1084;
  // its configuration block starts with the emissivity), the second in the
  // first bytes of its configuration.
  for (int i = 0; i < 3; ++i) {
    if (p.generation == 1) {
      p.calibration[std::size_t(2 + i)] = bytes[i];
    } else {
      p.configuration[std::size_t(i)] = bytes[i];
    }
  }
}

void SetConfiguration(BrioProfile& p, std::span<const std::uint8_t> bytes) {
  const std::size_t n = std::min(bytes.size(), p.configuration.size());
  std::copy_n(bytes.begin(), n, p.configuration.begin());
  if (p.generation != 1)
    SetSerial(p, std::uint32_t(p.configuration[0] << 16 | p.configuration[1] << 8 | p.configuration[2]));
}

bool SetConfigurationWord(BrioProfile& p, int offset, std::uint16_t value) {
  if (offset < 0 || offset > kImageSize - 2) return false;
  PutWord(p.configuration, offset, value);
  if (offset <= 2 && p.generation != 1)
    SetSerial(p, std::uint32_t(p.configuration[0] << 16 | p.configuration[1] << 8 | p.configuration[2]));
  return true;
}

bool SetCalibrationWord(BrioProfile& p, std::uint16_t address, std::uint16_t value) {
  if (address < kCalibrationAddress || address > kCalibrationAddress + kImageSize - 2) return false;
  PutWord(p.calibration, address - kCalibrationAddress, value);
  return true;
}

void SetOutputRange(BrioProfile& p, double lowCelsius, double highCelsius) {
  PutWord(p.configuration, kGen1OutputRangeLow, EncodeTemperature(lowCelsius));
  PutWord(p.configuration, kGen1OutputRangeHigh, EncodeTemperature(highCelsius));
}

void LoadInto(const BrioProfile& p, BrioMemory& memory) {
  memory.Load(kConfigAddress, p.configuration);
  memory.Load(kCalibrationAddress, p.calibration);
  memory.Load(kExtendedAddress, p.mainSegment);
  memory.Load(kVectorAddress, p.vectors);
  const std::uint8_t chip[1] = {p.chipId};
  memory.Load(kFamilyMarker, chip);
}

void SetBurstChannels(BrioProfile& p, std::span<const std::uint16_t> channels) {
  std::span<std::uint8_t> c(p.configuration);
  auto putList = [&](int at, int count) {
    for (int i = 0; i < count; ++i)
      PutWord(c, at + 2 * i, i < int(channels.size()) ? channels[std::size_t(i)] : 0);
  };
  const bool on = !channels.empty() && channels[0] != 0;
  if (p.generation == 1) {
    putList(kGen1BurstChannels, kGen1MaxChannels + 1);
    c[kGen1BurstFlags] =
        on ? std::uint8_t(c[kGen1BurstFlags] | kBurstFlagBits) : std::uint8_t(c[kGen1BurstFlags] & ~0x08);
    return;
  }
  if (UsesV2Layout(p.featureWord) || UsesTwoWireLayout(p.featureWord)) {
    putList(kV2BurstChannels, kV2MaxChannels);
    const int at = UsesV2Layout(p.featureWord) ? kV2BurstMode : kTwoWireBurstMode;
    const std::uint16_t onBits = UsesV2Layout(p.featureWord) ? kBurstModeMask : 0x0008;
    PutWord(c, at, std::uint16_t((GetWord(c, at) & ~kBurstModeMask) | (on ? onBits : 0)));
    return;
  }
  putList(kLoopBurstChannels, kLoopMaxChannels);
  c[kLoopBurstFlags] =
      on ? std::uint8_t(c[kLoopBurstFlags] | kBurstFlagBits) : std::uint8_t(c[kLoopBurstFlags] & ~0x08);
}

std::vector<std::uint16_t> BurstChannels(int generation, std::uint16_t featureWord,
                                         std::span<const std::uint8_t> c) {
  if (c.size() < std::size_t(kImageSize)) return {};
  if (generation == 1) {
    if ((c[kGen1BurstFlags] & kBurstFlagBits) != kBurstFlagBits) return {};
    return WordsUpToZero(c, kGen1BurstChannels, kGen1MaxChannels);
  }
  if (UsesV2Layout(featureWord)) {
    if ((GetWord(c, kV2BurstMode) & kBurstModeMask) != kBurstModeMask) return {};
    return WordsUpToZero(c, kV2BurstChannels, kV2MaxChannels);
  }
  if (UsesTwoWireLayout(featureWord) && (GetWord(c, kTwoWireBurstMode) & kBurstModeMask) == 0x0008)
    return WordsUpToZero(c, kV2BurstChannels, kV2MaxChannels);
  if ((c[kLoopBurstFlags] & kBurstFlagBits) != kBurstFlagBits) return {};
  return WordsUpToZero(c, kLoopBurstChannels, kLoopMaxChannels);
}

}  // namespace BrioProfiles

double BrioLiveValues::ShownTarget() const {
  if (!scene) return target;
  return EmissivityScene::ShownTemperature(sceneTemp, sceneEmissivity / 1000.0, emissivity / 1000.0,
                                           internal);
}
