#pragma once

#include <QChar>
#include <cstdint>

#include "drivers/brio/brio_image.h"
#include "platform/number_text.h"
#include "setup_brio/brio_first_gen_codec.h"
#include "setup_common/setup_values.h"

// A first-generation device as the tests seed it: the first factory default
// image and a calibration image with the converter words W and S.
namespace brio_test {

inline void PutWord(BrioCalibrationImage& image, int address, std::uint16_t value) {
  const int i = address - 0x1080;
  image.Data[i] = static_cast<std::uint8_t>(value & 0xFF);
  image.Data[i + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline BrioCalibrationImage Calibration(std::uint16_t w = 3000, std::int16_t s = 50,
                                        std::int16_t variant = 0) {
  BrioCalibrationImage c;
  c.Loaded = true;
  c.Data[2] = 0x01;  // serial 0x01E240 = 123456
  c.Data[3] = 0xE2;
  c.Data[4] = 0x40;
  PutWord(c, 0x10BE, 1234);
  PutWord(c, 0x10CC, 4321);
  PutWord(c, 0x10D0, w);
  PutWord(c, 0x10D2, static_cast<std::uint16_t>(s));
  PutWord(c, 0x10D6, static_cast<std::uint16_t>(variant));
  return c;
}

inline BrioConfigImage DefaultConfig(std::int16_t variant = 0) {
  BrioConfigImage c;
  c.Loaded = true;
  BrioFirstGenCodec::LoadDefaults(variant, c);
  return c;
}

inline std::uint16_t Word(const BrioConfigImage& c, int offset) {
  return c.WordAt(static_cast<std::size_t>(offset));
}

inline void SetWord(BrioConfigImage& c, int offset, std::uint16_t value) {
  c.Data[offset] = static_cast<std::uint8_t>(value & 0xFF);
  c.Data[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void SetLong(BrioConfigImage& c, int offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) c.Data[offset + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Sets the program's decimal separator for one test.
class SeparatorGuard {
 public:
  explicit SeparatorGuard(QChar separator) : old_(NumberText::DecimalSeparator()) {
    NumberText::SetDecimalSeparator(separator);
  }
  ~SeparatorGuard() { NumberText::SetDecimalSeparator(old_); }

 private:
  QChar old_;
};

}  // namespace brio_test
