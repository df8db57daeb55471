#pragma once

#include <cstdint>
#include <span>
#include <vector>

// Byte-level codec of the single-colour (and ratio) device protocol, as the
// device sees it. The emulator's parser, replies and stream use these and
// nothing else, so every encoding lives in one place.
namespace ArgoWire {

inline constexpr std::uint8_t kIdle = 0x00;       // filler the host sends to resynchronise
inline constexpr std::uint8_t kSync = 0xAA;       // burst frame sync byte
inline constexpr std::uint8_t kBusPrefix = 0xB0;  // + bus address, ahead of a request
inline constexpr int kMaxBusAddress = 79;
inline constexpr int kBurstSlots = 8;
inline constexpr int kIdentLength = 18;  // answer to '*'

// Flags byte of the model information (reply byte 1 of 0x45).
namespace ModelFlag {
inline constexpr std::uint8_t Laser = 0x01;
inline constexpr std::uint8_t LargeHeadCode = 0x02;
inline constexpr std::uint8_t TimeInMs = 0x04;
inline constexpr std::uint8_t TimeIn10ms = 0x08;
inline constexpr std::uint8_t AlarmHysteresis = 0x80;
}  // namespace ModelFlag

// Burst channel codes of the slot selection.
namespace Channel {
inline constexpr std::uint8_t Object = 1;
inline constexpr std::uint8_t Internal = 2;
inline constexpr std::uint8_t Box = 3;
inline constexpr std::uint8_t Actual = 4;
inline constexpr std::uint8_t Quotient = 7;
inline constexpr std::uint8_t SingleColour = 8;
inline constexpr std::uint8_t Tau = 9;
}  // namespace Channel

// Read codes that travel without a checksum even when arguments follow
// (0x00..0x2E, 0x41, 0x43, 0x45, 0x50, 0x66, 0x71, 0x81).
bool IsBareCommand(std::uint8_t code);
// Whether a request of `code` with `argCount` argument bytes ends in a
// checksum byte: only when arguments follow and the code is not bare.
bool CarriesChecksum(std::uint8_t code, int argCount);
// XOR of every byte (the bus prefix is not part of what is covered).
std::uint8_t Checksum(std::span<const std::uint8_t> bytes);
// The bus address carried by a prefix byte, or -1 when `byte` is none.
int BusAddressOfPrefix(std::uint8_t byte);

// Firmware classes the protocol depends on.
bool IsRatioFirmware(std::uint16_t firmware);           // 5001..5999
bool HasExtendedAlarms(std::uint16_t firmware);         // 5013..5099
bool UsesHundredthSeconds(std::uint16_t firmware);      // 5000..5003
bool HasPanelLock(std::uint16_t firmware);              // from 1011
bool HasModelInfo(std::uint16_t firmware);              // >= 1023 and not 2000..2022
bool HasLargeHeadCodeFirmware(std::uint16_t firmware);  // 2000..2999

// Temperature word: raw = t * 10 + 1000 (tenths of a degree, offset 100 °C).
std::uint16_t EncodeTemperature(double celsius);
double DecodeTemperature(std::uint16_t word);
// Ratio in thousandths.
std::uint16_t EncodeThousandths(double value);

// A time word as the device reads it: hundredths (signed) on firmware
// 5000..5003; otherwise tenths when bit 15 is clear, and with bit 15 set the
// low 15 bits in milliseconds (models with millisecond or 10 ms times) or
// in tenths (models with neither flag).
double DecodeTime(std::uint16_t word, std::uint16_t firmware, std::uint8_t modelFlags);
// The word a device keeps for `seconds` (inverse of DecodeTime; values that
// do not fit are clamped to the largest word of their form).
std::uint16_t EncodeTime(double seconds, std::uint16_t firmware, std::uint8_t modelFlags);

// Channel selection: 8 slot codes, two per byte, the first slot in the high
// nibble.
std::uint8_t SlotCode(std::span<const std::uint8_t, 4> packed, int slot);
// Number of channels a frame carries: non-zero slots before the first zero.
int ActiveChannelCount(std::span<const std::uint8_t, 4> packed);

void AppendWord(std::vector<std::uint8_t>& out, std::uint16_t word);
void AppendLong(std::vector<std::uint8_t>& out, std::uint32_t value);
std::uint16_t Word(std::uint8_t hi, std::uint8_t lo);

// One burst frame: the sync (two or three 0xAA) and the values big-endian.
std::vector<std::uint8_t> BuildBurstFrame(std::span<const std::uint16_t> values, bool tripleSync);
// Nearest word whose two bytes are both not the sync byte, so the frame
// cannot be mistaken for a sync by the host.
std::uint16_t AvoidSync(std::uint16_t word);

}  // namespace ArgoWire
