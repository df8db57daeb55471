#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <optional>

#include "drivers/brio/brio_image.h"
#include "setup_brio/brio_field_codec.h"
#include "setup_brio/brio_field_table.h"
#include "setup_common/setup_values.h"

// The calibration words the first-generation dialog reads (never writes).
struct BrioFirstGenCalibration {
  std::uint16_t InputScaling1 = 0;  // 0x10BE
  std::uint16_t InputScaling2 = 0;  // 0x10CC
  std::uint16_t W = 0;              // 0x10D0: converter counts per 4096 mV
  std::int16_t S = 0;               // 0x10D2: converter value of -1000 mV
  std::int16_t Variant = 0;         // 0x10D6: > 0 no alarm on the IN pin, second default image
  std::uint32_t Serial = 0;         // 0x1082 (high) .. 0x1084 (low)

  static BrioFirstGenCalibration From(const BrioCalibrationImage& calibration);
};

// A text the dialog reads from the language file's section "Other".
struct BrioLanguageText {
  const char* Key = "";
  const char* DefaultText = "";
};

// The first-generation configuration image (128 bytes at 0x1000) and the
// controls of the first-generation setup dialog: decode into the controls'
// values, check and encode back, the factory default images.
//
// Values are by control name: Text for edits, ListIndex for combo boxes,
// Mark for check boxes (see Table()).
class BrioFirstGenCodec {
 public:
  // Fills `values` from the images. Lists whose bits the decode does not
  // know keep what `values` held. Throws BrioDecodeError when the
  // calibration word W or the slope A is 0 or a result is not finite.
  static void ParamsToControls(const BrioConfigImage& config, const BrioCalibrationImage& calibration,
                               bool fahrenheit, SetupValues& values);

  // Checks the eight range-checked fields in order, then encodes every
  // field. On the first refused field returns it and leaves `config` as it
  // was; otherwise `config` holds the encoded image.
  static std::optional<BrioFieldError> ControlsToParams(const SetupValues& values,
                                                        const BrioCalibrationImage& calibration,
                                                        bool fahrenheit, BrioConfigImage& config);

  // Minimum <= value <= maximum in single precision.
  static bool CheckRange(float value, float minimum, float maximum);

  // The IN pin label from data bytes 44 and 45 (language key and English
  // default; the empty key means an empty label).
  static BrioLanguageText InPinLabel(const BrioConfigImage& config);
  // The label the dialog shows when the IN pin has no use yet (language key
  // "CommEmissInput", the English text its default).
  static BrioLanguageText CommEmissivityInputLabel();

  // The factory default image for the model variant (calibration word
  // 0x10D6): the first below 1, the second otherwise.
  static const std::array<std::uint8_t, 128>& DefaultData(std::int16_t variant);
  // `config` with the default data; its loaded flag is kept.
  static void LoadDefaults(std::int16_t variant, BrioConfigImage& config);

  // The rows of the image, in the order of the dialog's checks and decode.
  static BrioFieldTable Table();

  // The single rules, for the dialog and the tests.
  // Hold mode item from bits 0x87 of byte 42 and the trigger bit 0x10 of byte 44.
  static int HoldModeItem(std::uint8_t byte42, std::uint8_t byte44);
  // Bits 0x87 of byte 42 for a hold-mode item; nothing for an item out of 0..6.
  static std::optional<std::uint8_t> HoldModeBits(int item);
  // Output mode item from byte 44 bits 0x88 and byte 103 bit 0x08.
  static int OutputModeItem(std::uint8_t byte44, std::uint8_t byte103);
  // The average time as shown for a raw word ("0.03" for 0).
  static QString AverageTimeText(std::uint16_t raw);
  // The raw word of a typed average time (0 below 0.045 s).
  static std::optional<std::int64_t> AverageTimeRaw(double seconds);
};
