// Decodes arbitrary first-generation images: 128 configuration bytes, then
// the 130-byte calibration record (loaded flag, fill byte, 128 data bytes);
// a short input is padded with zeros. A decode either raises its decode
// error or fills every control; no result that is not a finite number is
// ever converted to an integer (the sanitizers watch the conversions). What
// was decoded encodes without a crash, and an image it encodes decodes again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/config_file_fuzz_harness.h"
#include "setup_brio/brio_first_gen_codec.h"

using config_fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  config_fuzz::StartApplication("fuzz_brio_first_gen_decode");
  std::uint8_t bytes[128 + 130] = {};
  for (std::size_t i = 0; i < size && i < sizeof bytes; ++i) bytes[i] = data[i];
  BrioConfigImage config;
  BrioCalibrationImage calibration;
  config.Loaded = true;
  for (int i = 0; i < 128; ++i) config.Data[i] = bytes[i];
  calibration.Loaded = bytes[128] != 0;
  for (int i = 0; i < 128; ++i) calibration.Data[i] = bytes[130 + i];

  for (const bool fahrenheit : {false, true}) {
    SetupValues values;
    try {
      BrioFirstGenCodec::ParamsToControls(config, calibration, fahrenheit, values);
    } catch (const BrioDecodeError&) {
      Check(values.IsEmpty());
      continue;
    }
    for (const char* name :
         {"eEmiss", "eAvg", "eMVmin", "eMVmax", "eTmin5", "eMVmax5", "cbOutMode", "cbHoldMode"}) {
      Check(values.Has(QString::fromLatin1(name)));
    }
    (void)BrioFirstGenCodec::InPinLabel(config);
    BrioConfigImage encoded = config;
    values.SetMark(QStringLiteral("cbFailsafe"), (size & 1) != 0);
    if (!BrioFirstGenCodec::ControlsToParams(values, calibration, fahrenheit, encoded)) {
      SetupValues back;
      BrioFirstGenCodec::ParamsToControls(encoded, calibration, fahrenheit, back);  // must not throw
    } else {
      Check(encoded.Data == config.Data);  // a refused encode leaves the image
    }
  }
  return 0;
}
