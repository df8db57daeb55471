#pragma once

// First-generation images for the setup dialog's tests: the first factory
// default configuration as a device would hold it, and a calibration with
// a converter scale that makes its output levels read -100 and 4500 mV.

#include <cstdint>

#include "drivers/brio/brio_image.h"
#include "setup_brio/brio_first_gen_codec.h"

namespace brio_test {

constexpr std::uint16_t kW = 4254;  // converter counts per 4096 mV
constexpr std::int16_t kS = 3764;   // converter value of -1000 mV
constexpr std::uint32_t kSerial = 11000;

inline void PutWord(BrioCalibrationImage& image, std::uint16_t address, std::uint16_t value) {
  const std::size_t i = address - 0x1080u;
  image.Data[i] = static_cast<std::uint8_t>(value & 0xFF);
  image.Data[i + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline BrioCalibrationImage Calibration(std::uint16_t w = kW, std::int16_t variant = 0) {
  BrioCalibrationImage c;
  c.Loaded = true;
  c.Data[2] = static_cast<std::uint8_t>(kSerial >> 16);
  c.Data[3] = static_cast<std::uint8_t>(kSerial >> 8);
  c.Data[4] = static_cast<std::uint8_t>(kSerial);
  PutWord(c, 0x10BE, 0x1F95);
  PutWord(c, 0x10CC, 0x0068);
  PutWord(c, 0x10D0, w);
  PutWord(c, 0x10D2, static_cast<std::uint16_t>(kS));
  PutWord(c, 0x10D6, static_cast<std::uint16_t>(variant));
  return c;
}

inline BrioConfigImage Config() {
  BrioConfigImage c;
  c.Loaded = true;
  BrioFirstGenCodec::LoadDefaults(0, c);
  return c;
}

inline std::uint16_t Word(const BrioConfigImage& image, std::size_t offset) { return image.WordAt(offset); }

inline void SetWord(BrioConfigImage& image, std::size_t offset, std::uint16_t value) {
  image.Data[offset] = static_cast<std::uint8_t>(value & 0xFF);
  image.Data[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

}  // namespace brio_test
