#pragma once

// Byte-level rules of the single-colour wire protocol: request framing,
// value encodings, and decoding of the structured replies. Everything here
// is a pure function of its arguments, so it can be tested and fuzzed
// without a line.

#include <QByteArray>
#include <QString>
#include <array>
#include <cstdint>
#include <span>

#include "drivers/argo/argo_types.h"

class ArgoCodec {
 public:
  // Bits per second of a baud index (anything out of range: 115200).
  static int BaudRateValue(TArgoBaudrate baudrate);

  // --- Framing -----------------------------------------------------------
  // Read codes that never carry a checksum.
  static bool IsBareRead(std::uint8_t code);
  // The request as it goes on the line: the XOR checksum appended unless
  // the request is one byte or its code is a bare read, then the bus prefix
  // 0xB0 + address in front when the address is 1..79. Empty stays empty.
  static QByteArray FrameRequest(const QByteArray& request, int rs485Addr);

  // --- Value encodings (words are big-endian on the wire) ----------------
  static std::uint16_t Word(std::span<const std::uint8_t> bytes, std::size_t index);
  // True when lo <= v <= hi (false for NaN).
  static bool InRange(float v, float lo, float hi) { return lo <= v && v <= hi; }
  // Nearest integer of v * scale + offset when it fits 0..65535; false
  // otherwise (NaN included).
  static bool ScaleToWord(double v, double scale, double offset, std::uint16_t& word);

  static float DecodeT(std::uint16_t w) { return static_cast<float>(w / 10.0 - 100.0); }
  static bool EncodeT(float t, std::uint16_t& w) { return ScaleToWord(t, 10.0, 1000.0, w); }
  static float DecodeM(std::uint16_t w) { return static_cast<float>(w / 1000.0); }
  static bool EncodeM(float v, std::uint16_t& w) { return ScaleToWord(v, 1000.0, 0.0, w); }
  static float DecodeH(std::uint16_t w) { return static_cast<float>(w / 10.0); }
  static bool EncodeH(float v, std::uint16_t& w) { return ScaleToWord(v, 10.0, 0.0, w); }
  static float DecodeG(std::uint16_t w) { return static_cast<float>(w / 32768.0); }
  static bool EncodeG(float v, std::uint16_t& w) { return ScaleToWord(v, 32768.0, 0.0, w); }
  static float DecodeQ(std::uint16_t w) { return static_cast<float>(w / 4096.0); }
  static bool EncodeQ(float v, std::uint16_t& w) { return ScaleToWord(v, 4096.0, 0.0, w); }
  static float DecodeC(std::uint16_t w) { return static_cast<float>(w / 100.0); }
  static bool EncodeC(float v, std::uint16_t& w) { return ScaleToWord(v, 100.0, 0.0, w); }

  // Time words, scaled by the model record (firmware and time flags).
  static float DecodeTimeValue(std::uint16_t word, const TArgoModelInfo& model);
  static std::uint16_t EncodeTimeValue(float seconds, const TArgoModelInfo& model);
  // The largest time the word can carry for this model.
  static float MaxTimeValue(const TArgoModelInfo& model);

  // --- Model information --------------------------------------------------
  // Fills `info` from the 6-byte reply of 0x45 (model code, flags, low and
  // high range as temperature words); FWrev and the other fields of `info`
  // not carried by the reply are kept.
  static void DecodeModelInfo(std::span<const std::uint8_t> reply, TArgoModelInfo& info);
  static QString ModelString(const TArgoModelInfo& info);

  // --- Enumerations -------------------------------------------------------
  // Source bytes 1..3 <-> index 0..2; any other byte reads as 3.
  static std::uint8_t SourceIndex(std::uint8_t b) { return (b >= 1 && b <= 3) ? b - 1 : 3; }
  // Failsafe bytes 0..3; any other byte reads as 4.
  static std::uint8_t FailsafeIndex(std::uint8_t b) { return b <= 3 ? b : 4; }
  // Advanced hold mode 0..2; any other byte reads as 3.
  static std::uint8_t HoldModeIndex(std::uint8_t b) { return b <= 2 ? b : 3; }

  // --- Alarm modes ----------------------------------------------------------
  static std::uint8_t PackAlarmMode(const TArgoAlarmMode& mode);
  static TArgoAlarmMode UnpackAlarmMode(std::uint8_t packed);
  static bool AlarmModeValid(const TArgoAlarmMode& mode);

  // --- Material table ---------------------------------------------------------
  static std::uint8_t DeviationIndex(unsigned v) { return v <= 3 ? static_cast<std::uint8_t>(v) : 4; }
  // Field 3 word -> DevLo (bits 4-11), DevHi (bits 0-3).
  static void DecodeDeviations(std::uint16_t word, std::uint8_t& devLo, std::uint8_t& devHi);
  // DevLo * 16 + DevHi, values above 4 counting as 0.
  static std::uint8_t EncodeDeviations(std::uint8_t devLo, std::uint8_t devHi);

  // --- Head parameter codes ---------------------------------------------------
  // '0'..'9', 'A'..'V', 'a'..'v' are digits; other characters are skipped.
  // False when the group holds more than four digits (it would not fit the
  // device's 20 bits).
  static bool ParseHeadCodeGroup(const QString& text, std::uint32_t& value);
  // The low 20 bits as four base-32 digits, most significant first.
  static QString HeadCodeGroupText(std::uint32_t value);
  static std::array<std::uint32_t, 11> SplitHeadCodeShort(const std::array<std::uint32_t, 3>& groups);
  static std::array<std::uint32_t, 13> SplitHeadCodeLarge(const std::array<std::uint32_t, 5>& groups);

  // --- Visual alarms -------------------------------------------------------------
  static TArgoVisualAlarm DecodeVisualAlarm(std::span<const std::uint8_t> bytes20);
  // False when a temperature does not fit its word.
  static bool EncodeVisualAlarm(const TArgoVisualAlarm& alarm, std::array<std::uint8_t, 20>& bytes);

  // --- Burst channel selection ----------------------------------------------------
  // Slot codes (first slot in the high nibble of the first byte).
  static std::array<std::uint8_t, 4> PackBurstSlots(std::span<const std::uint8_t> slots8);
  static std::array<std::uint8_t, 8> UnpackBurstSlots(std::span<const std::uint8_t> bytes4);
  // Non-zero slots counted from the first up to the first zero slot.
  static int BurstChannelCount(std::span<const std::uint8_t> slots8);
};
