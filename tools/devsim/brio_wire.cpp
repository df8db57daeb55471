#include "tools/devsim/brio_wire.h"

#include <cmath>

namespace BrioWire {

bool IsHighResolution(std::uint16_t featureWord, std::uint16_t calibrationWord0,
                      std::uint16_t calibrationWord44) {
  const auto signed44 = static_cast<std::int16_t>(calibrationWord44);
  if (signed44 >= 1000 && signed44 <= 1999) return true;
  return (featureWord & Feature::HighResolutionHelper) != 0 && calibrationWord0 >= 10000 &&
         calibrationWord0 <= 10999;
}

std::uint16_t EncodeTemperature(double celsius, bool hundredths) {
  const double scale = hundredths ? 100.0 : 10.0;
  const double raw = std::nearbyint((celsius + 100.0) * scale);
  if (raw < 0) return 0;
  if (raw > 0xFFFF) return 0xFFFF;
  return static_cast<std::uint16_t>(raw);
}

double DecodeTemperature(std::uint16_t word, bool hundredths) {
  return word / (hundredths ? 100.0 : 10.0) - 100.0;
}

namespace Loader {

std::uint16_t Checksum(std::span<const std::uint8_t> frame) {
  std::uint16_t x = 0;
  for (std::size_t i = 0; i < frame.size(); i += 2) {
    const std::uint16_t lo = frame[i];
    const std::uint16_t hi = i + 1 < frame.size() ? frame[i + 1] : 0;
    x ^= static_cast<std::uint16_t>(lo | (hi << 8));
  }
  return static_cast<std::uint16_t>(x ^ 0xFFFF);
}

namespace {
void AppendChecksum(std::vector<std::uint8_t>& frame) {
  const std::uint16_t sum = Checksum(frame);
  frame.push_back(static_cast<std::uint8_t>(sum & 0xFF));
  frame.push_back(static_cast<std::uint8_t>(sum >> 8));
}
}  // namespace

std::vector<std::uint8_t> BuildFrame(std::uint8_t command, std::uint16_t address, std::uint16_t argument,
                                     std::span<const std::uint8_t> data) {
  const auto length = static_cast<std::uint8_t>(4 + data.size());
  std::vector<std::uint8_t> frame = {kSync,
                                     command,
                                     length,
                                     length,
                                     static_cast<std::uint8_t>(address & 0xFF),
                                     static_cast<std::uint8_t>(address >> 8),
                                     static_cast<std::uint8_t>(argument & 0xFF),
                                     static_cast<std::uint8_t>(argument >> 8)};
  frame.insert(frame.end(), data.begin(), data.end());
  AppendChecksum(frame);
  return frame;
}

std::vector<std::uint8_t> BuildReadReply(std::span<const std::uint8_t> data) {
  const auto n = static_cast<std::uint8_t>(data.size());
  std::vector<std::uint8_t> reply = {kSync, 0x00, n, n};
  reply.insert(reply.end(), data.begin(), data.end());
  AppendChecksum(reply);
  return reply;
}

}  // namespace Loader

}  // namespace BrioWire
