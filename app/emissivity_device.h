#pragma once

#include <cstdint>
#include <functional>

#include "app/emissivity_search.h"

class DeviceFamily;

// The emissivity work of the connected device, for each family as its
// driver offers it, run as jobs on the device's own thread (the calls
// return at once; `done` follows on the owner's thread):
//
//   type codes 1-2 (single colour): GetEmissivity, ReadObjectTemperature,
//     ReadInternalTemperature; a write is SetEmissivity and a 200 ms pause;
//     the device also computes an emissivity itself (StartCalculation).
//   type codes 3-4 (first-generation Brio): the driver's emissivity word /
//     1000 (read from the device at show), ReadTargetTemperature,
//     ReadInternalTemperature; a write keeps
//     the word in the driver and puts it into the device's working copy,
//     low byte at 0x208, high byte at 0x209.
//   type codes 5-11 (second-generation Brio): ReadEmissivity,
//     ReadTargetTemperature, ReadInternalTemperature; a write keeps the word
//     in the driver's configuration copies, then SetEmissivity.
//   other codes: emissivity 1.0, temperatures 32768, writes do nothing.
//
// A `done` is called even when its job did not run (the values are then the
// failure values); a job posted after the session ended is refused (false,
// no `done`).
class EmissivityDevice {
 public:
  // The value a family without readings gives for a temperature.
  static constexpr float kNoTemperature = 32768.0f;

  struct Refresh {
    float Emissivity = -1.0f;
    bool UnitRead = false;  // single colour: the unit was read
    bool Fahrenheit = false;
    float Object = kNoTemperature;  // when asked for
  };

  EmissivityDevice() = default;
  EmissivityDevice(DeviceFamily* family, std::uint8_t typeCode) : family_(family), typeCode_(typeCode) {}

  DeviceFamily* Family() const { return family_; }
  std::uint8_t TypeCode() const { return typeCode_; }
  // The device computes the emissivity itself (single colour, not ratio).
  bool ComputesEmissivity() const;
  // Temperatures of this device come in hundredths (types 5-10).
  bool TwoDecimals() const;

  // The emissivity, for single colour the unit, and with `object` the object
  // temperature.
  bool ReadState(bool object, std::function<void(const Refresh&)> done);
  // Writes `e` (as the family does it).
  bool WriteEmissivity(double e, std::function<void(bool ran)> done);
  // One pass of the search: reference temperature, object temperature and
  // the emissivity the device works with.
  bool ReadPass(std::function<void(const EmissivitySearch::Readings&)> done);
  // What the device's own calculation did.
  struct Calculation {
    enum class Outcome {
      NoAnswer,    // the object temperature or the emissivity could not be read
      OutOfRange,  // a temperature lies outside the device's range: nothing sent
      Done,        // sent; After is the emissivity the device works with now
    };
    Outcome Result = Outcome::NoAnswer;
    float Measured = kNoTemperature;  // °C
    float RangeLo = 0.0f;             // the range the device calculates in, °C
    float RangeHi = 0.0f;
    float Before = -1.0f;
    float After = -1.0f;
  };
  // Single colour: reads the object temperature and has the device compute
  // the emissivity that makes it read `givenCelsius`, then reads the
  // emissivity back.
  bool StartCalculation(float givenCelsius, std::function<void(const Calculation&)> done);

 private:
  DeviceFamily* family_ = nullptr;
  std::uint8_t typeCode_ = 0;
};
