#include "tools/devsim/argo_wire.h"

#include <algorithm>
#include <cmath>

namespace ArgoWire {

namespace {

std::uint16_t ClampWord(double value, double lo, double hi) {
  if (std::isnan(value)) return static_cast<std::uint16_t>(lo);
  return static_cast<std::uint16_t>(std::clamp(std::nearbyint(value), lo, hi));
}

}  // namespace

bool IsBareCommand(std::uint8_t code) {
  return code <= 0x2E || code == 0x41 || code == 0x43 || code == 0x45 || code == 0x50 || code == 0x66 ||
         code == 0x71 || code == 0x81;
}

bool CarriesChecksum(std::uint8_t code, int argCount) { return argCount >= 1 && !IsBareCommand(code); }

std::uint8_t Checksum(std::span<const std::uint8_t> bytes) {
  std::uint8_t x = 0;
  for (std::uint8_t b : bytes) x ^= b;
  return x;
}

int BusAddressOfPrefix(std::uint8_t byte) {
  const int address = int(byte) - kBusPrefix;
  return address >= 1 && address <= kMaxBusAddress ? address : -1;
}

bool IsRatioFirmware(std::uint16_t firmware) { return firmware >= 5001 && firmware <= 5999; }
bool HasExtendedAlarms(std::uint16_t firmware) { return firmware >= 5013 && firmware <= 5099; }
bool UsesHundredthSeconds(std::uint16_t firmware) { return firmware >= 5000 && firmware <= 5003; }
bool HasPanelLock(std::uint16_t firmware) { return firmware >= 1011; }
bool HasModelInfo(std::uint16_t firmware) {
  return firmware >= 1023 && !(firmware >= 2000 && firmware <= 2022);
}
bool HasLargeHeadCodeFirmware(std::uint16_t firmware) { return firmware >= 2000 && firmware <= 2999; }

std::uint16_t EncodeTemperature(double celsius) { return ClampWord(celsius * 10.0 + 1000.0, 0, 65535); }
double DecodeTemperature(std::uint16_t word) { return word / 10.0 - 100.0; }
std::uint16_t EncodeThousandths(double value) { return ClampWord(value * 1000.0, 0, 65535); }

double DecodeTime(std::uint16_t word, std::uint16_t firmware, std::uint8_t modelFlags) {
  if (UsesHundredthSeconds(firmware)) return static_cast<std::int16_t>(word) / 100.0;
  if ((word & 0x8000) == 0) return word / 10.0;
  const bool fine = (modelFlags & (ModelFlag::TimeInMs | ModelFlag::TimeIn10ms)) != 0;
  return (word & 0x7FFF) / (fine ? 1000.0 : 10.0);
}

std::uint16_t EncodeTime(double seconds, std::uint16_t firmware, std::uint8_t modelFlags) {
  if (UsesHundredthSeconds(firmware)) {
    return static_cast<std::uint16_t>(static_cast<std::int16_t>(ClampWord(seconds * 100.0, 0, 32767)));
  }
  const bool fine = (modelFlags & (ModelFlag::TimeInMs | ModelFlag::TimeIn10ms)) != 0;
  if (seconds >= 0.1 || !fine) return ClampWord(seconds * 10.0, 0, 32767);
  const std::uint16_t ms = ClampWord(seconds * 1000.0, 0, 32767);
  return ms == 0 ? 0 : static_cast<std::uint16_t>(ms | 0x8000);
}

std::uint8_t SlotCode(std::span<const std::uint8_t, 4> packed, int slot) {
  const std::uint8_t b = packed[slot / 2];
  return slot % 2 == 0 ? std::uint8_t(b >> 4) : std::uint8_t(b & 0x0F);
}

int ActiveChannelCount(std::span<const std::uint8_t, 4> packed) {
  int n = 0;
  while (n < kBurstSlots && SlotCode(packed, n) != 0) ++n;
  return n;
}

void AppendWord(std::vector<std::uint8_t>& out, std::uint16_t word) {
  out.push_back(std::uint8_t(word >> 8));
  out.push_back(std::uint8_t(word & 0xFF));
}

void AppendLong(std::vector<std::uint8_t>& out, std::uint32_t value) {
  AppendWord(out, std::uint16_t(value >> 16));
  AppendWord(out, std::uint16_t(value & 0xFFFF));
}

std::uint16_t Word(std::uint8_t hi, std::uint8_t lo) { return std::uint16_t((hi << 8) | lo); }

std::vector<std::uint8_t> BuildBurstFrame(std::span<const std::uint16_t> values, bool tripleSync) {
  std::vector<std::uint8_t> frame;
  frame.reserve(3 + 2 * values.size());
  if (tripleSync) frame.push_back(kSync);
  frame.push_back(kSync);
  frame.push_back(kSync);
  for (std::uint16_t v : values) AppendWord(frame, v);
  return frame;
}

std::uint16_t AvoidSync(std::uint16_t word) {
  auto clean = [](std::uint16_t w) { return (w >> 8) != kSync && (w & 0xFF) != kSync; };
  // At most one byte is the sync byte after the first step in either
  // direction, so a few steps always reach a clean word.
  for (int d = 0; d < 0x200; ++d) {
    if (word + d <= 0xFFFF && clean(std::uint16_t(word + d))) return std::uint16_t(word + d);
    if (word - d >= 0 && clean(std::uint16_t(word - d))) return std::uint16_t(word - d);
  }
  return word;
}

}  // namespace ArgoWire
