#pragma once

#include <QString>
#include <cstdint>

// Names of devices and baud rates, conversions between degrees Celsius and
// Fahrenheit, and temperatures as display text. Temperatures are held in
// degrees Celsius everywhere and converted here, at the edge, under the
// Fahrenheit flag. Texts use the program's decimal separator.
//
// Routines that fill a text take it by reference, so the cases that leave
// the text as it was (an unknown baud rate index, an unknown folder) do so.
class SentinelUtils {
 public:
  // Unit texts, empty until the main window sets them from the language file.
  static inline QString UnitCelsiusText;
  static inline QString UnitFahrenheitText;
  static inline QString UnitMByteText;
  static inline QString UnitKByteText;
  static inline QString OverflowText;
  static inline QString UnderflowText;
  static inline QString CycleText;

  // Device type code 1..11 -> its name; every other code gives "?".
  static void DeviceTypeName(std::uint8_t deviceType, QString& S);
  // Index 1..5 -> "9600" .. "115200"; any other index leaves S unchanged.
  static void BaudrateName(int index, QString& S);

  static float CelsiusToUnit(bool fahrenheit, float T);
  static float UnitToCelsius(bool fahrenheit, float T);
  static float DeltaCelsiusToUnit(bool fahrenheit, float D);
  static float DeltaUnitToCelsius(bool fahrenheit, float D);

  // T in degrees Celsius. -100..3000 gives the value in the unit with the
  // unit text; outside, the overflow code's text or "-----".
  static void FormatTemperature(bool fahrenheit, bool twoDecimals, QString& S, float T);
  static void FormatTemperatureNoUnit(bool fahrenheit, QString& S, float T);
  static void FormatTemperatureOneDecimal(bool fahrenheit, QString& S, float T);
  static void FormatTemperatureTwoDecimals(bool fahrenheit, QString& S, float T);
  // Raw word: tenths (or hundredths) of a degree above -100 degrees Celsius.
  static void FormatRawTemperature(std::uint16_t raw, bool fahrenheit, bool hundredths, QString& S);
  static void UnitSuffix(bool fahrenheit, QString& S);

  // Folder identifiers of the classic shell API that the program asks for.
  static constexpr int kCsidlAppData = 0x1A;
  static constexpr int kCsidlLocalAppData = 0x1C;
  static constexpr int kCsidlCommonAppData = 0x23;
  // The folder for a folder identifier. True when the folder was found (Path
  // then holds it); otherwise false and Path unchanged.
  static bool GetSpecialFolderPath(int CSIDL, QString& Path);
};
