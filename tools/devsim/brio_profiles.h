#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

class BrioMemory;

// The values a Brio device measures, in degrees Celsius (and thousandths
// for the emissivity). They are put into RAM at every start.
struct BrioLiveValues {
  double target = 250.0;
  double internal = 31.5;
  double actual = 250.4;
  double box = 28.2;                    // second generation
  double ambient = 23.0;                // second generation
  std::uint16_t emissivity = 950;       // thousandths (first generation: RAM 0x0208)
  std::uint8_t emissivitySwitches = 3;  // second generation: high byte of command 0x11
  std::uint8_t channel7Low = 0x21;      // second generation: low byte of command 0x11
  // The surface in view: when set, the target temperature follows the
  // emissivity set (EmissivityScene) against the internal temperature.
  bool scene = false;
  double sceneTemp = 250.0;
  std::uint16_t sceneEmissivity = 950;  // thousandths

  // The target temperature the device shows now.
  double ShownTarget() const;
};

// A named Brio device: generation, model line and factory contents.
struct BrioProfile {
  QString name;
  QString description;
  int generation = 1;      // 1: peek/poke firmware; 2: command firmware
  int deviceTypeCode = 3;  // the code the program shows for this model (3..11)
  std::uint32_t serial = 0;
  // Second generation: identification ("E" and "F" replies).
  std::uint16_t featureWord = 0;
  double rangeLow = -30.0;
  double rangeHigh = 1000.0;
  double range2Low = -20.0;
  double range2High = 85.0;
  std::uint16_t flagWord = 0;
  BrioLiveValues live;
  std::uint8_t chipId = 0xF1;  // byte at 0x0FF0 (boot ROM)
  // Flash contents.
  std::array<std::uint8_t, 128> configuration{};  // 0x1000
  std::array<std::uint8_t, 128> calibration{};    // 0x1080
  std::array<std::uint8_t, 512> mainSegment{};    // 0xC000-0xC1FF (extended image and what follows)
  std::array<std::uint8_t, 32> vectors{};         // 0xFFE0, the loader password
};

namespace BrioProfiles {

// Profile names of one generation, in the order they are listed:
//  first:  "voduz1" (code 3), "dunav1" (code 4)
//  second: "brio-2w" (5), "duna-2w-v1" (6), "fenn-2w" (7), "briov2" (8),
//          "dunav2" (9), "duna-2w-v2" (10), "duna-2w2m-v2" (11),
//          "briov2-hires" (8, hundredths), "fenn-2w-hires" (7, hundredths)
QStringList Names(int generation);
std::optional<BrioProfile> Find(int generation, const QString& name);
BrioProfile Default(int generation);

// Sets the serial number where the device keeps it (configuration bytes
// 0..2, high byte first; on the first generation also 0x1082..0x1084).
void SetSerial(BrioProfile& profile, std::uint32_t serial);
// Replaces the configuration segment (up to 128 bytes from its start); the
// serial number follows its bytes 0..2 (on the first generation also in the
// calibration segment).
void SetConfiguration(BrioProfile& profile, std::span<const std::uint8_t> bytes);
// A little-endian word of the configuration segment at data offset
// `offset` (0..126) / of the calibration segment at `address`
// (0x1080..0x10FE); false, with nothing changed, outside the segment.
bool SetConfigurationWord(BrioProfile& profile, int offset, std::uint16_t value);
bool SetCalibrationWord(BrioProfile& profile, std::uint16_t address, std::uint16_t value);
// First generation: the analog output range (°C) at configuration offsets
// 118 and 120.
void SetOutputRange(BrioProfile& profile, double lowCelsius, double highCelsius);
// Puts the profile's flash and boot-ROM contents into `memory`.
void LoadInto(const BrioProfile& profile, BrioMemory& memory);
// Writes a burst channel list (memory addresses, 0 ends it) into the
// profile's configuration the way its model reads it, burst switched on;
// an empty list switches burst off.
void SetBurstChannels(BrioProfile& profile, std::span<const std::uint16_t> channels);
// The channel addresses a device with this configuration streams after
// power-up (empty: no burst). `featureWord` selects the layout on the
// second generation.
std::vector<std::uint16_t> BurstChannels(int generation, std::uint16_t featureWord,
                                         std::span<const std::uint8_t> configuration);

}  // namespace BrioProfiles
