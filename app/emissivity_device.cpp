#include "app/emissivity_device.h"

#include <QThread>
#include <memory>

#include "drivers/device_type.h"
#include "measurement/argo_family.h"
#include "measurement/brio_family.h"
#include "measurement/brio_ma_family.h"

namespace {

// The single-colour device takes a moment to work with a new emissivity.
constexpr int kSingleColourSettleMs = 200;

// Posts `job` to the family's driver of type `Driver`; `done` gets the result
// (`fallback` when the job did not run). False when the family is not of
// that driver or its session ended.
template <class Driver, class R>
bool Post(DeviceFamily* family, std::function<R(Driver&)> job, R fallback,
          std::function<void(const R&)> done) {
  auto* session = dynamic_cast<SessionFamily<Driver>*>(family);
  if (session == nullptr) return false;
  auto result = std::make_shared<R>(fallback);
  return session->PostDriverJob([job = std::move(job), result](Driver& d) { *result = job(d); },
                                [done = std::move(done), result, fallback](bool ran) {
                                  if (done) done(ran ? *result : fallback);
                                });
}

}  // namespace

bool EmissivityDevice::ComputesEmissivity() const { return typeCode_ == DeviceType::Argo; }

bool EmissivityDevice::TwoDecimals() const {
  return typeCode_ >= DeviceType::Brio2W && typeCode_ <= DeviceType::Duna2Wv2 && family_ != nullptr &&
         family_->Snapshot().HighResolution;
}

bool EmissivityDevice::ReadState(bool object, std::function<void(const Refresh&)> done) {
  const Refresh failed;
  if (DeviceType::IsSingleColour(typeCode_))
    return Post<TpyreonArgo, Refresh>(
        family_,
        [object](TpyreonArgo& d) {
          Refresh r;
          r.Emissivity = d.GetEmissivity();
          r.Fahrenheit = d.GetTemperatureUnit();
          // The unit read gives false for no answer as well: it counts only
          // from a device that answered.
          r.UnitRead = EmissivitySearch::ValidEmissivity(r.Emissivity) && d.Connected();
          if (object) r.Object = d.ReadObjectTemperature();
          return r;
        },
        failed, std::move(done));
  if (DeviceType::IsBrioFirstGeneration(typeCode_))
    return Post<TpyreonBrio, Refresh>(
        family_,
        [object](TpyreonBrio& d) {
          Refresh r;
          // At show the device's own value is taken; afterwards the word
          // the program keeps.
          const bool known = !object || d.ReadEmissivityWord() >= 0;
          r.Emissivity = known ? static_cast<float>(d.EmissivityWord() / 1000.0) : -1.0f;
          if (object) r.Object = d.ReadTargetTemperature();
          return r;
        },
        failed, std::move(done));
  if (DeviceType::IsBrioSecondGeneration(typeCode_))
    return Post<TpyreonBrio_mA, Refresh>(
        family_,
        [object](TpyreonBrio_mA& d) {
          Refresh r;
          r.Emissivity = d.ReadEmissivity();
          if (object) r.Object = d.ReadTargetTemperature();
          return r;
        },
        failed, std::move(done));
  Refresh none;
  none.Emissivity = 1.0f;
  if (done) done(none);
  return true;
}

bool EmissivityDevice::WriteEmissivity(double e, std::function<void(bool ran)> done) {
  const auto finished = [done = std::move(done)](const bool& ran) {
    if (done) done(ran);
  };
  const float value = static_cast<float>(e);
  const std::uint16_t w = EmissivitySearch::Thousandths(e);
  if (DeviceType::IsSingleColour(typeCode_))
    return Post<TpyreonArgo, bool>(
        family_,
        [value](TpyreonArgo& d) {
          d.SetEmissivity(value);
          QThread::msleep(kSingleColourSettleMs);
          return true;
        },
        false, finished);
  if (DeviceType::IsBrioFirstGeneration(typeCode_))
    return Post<TpyreonBrio, bool>(
        family_,
        [w](TpyreonBrio& d) {
          d.SetEmissivityWord(w);
          const bool low = d.WriteMemoryByteVerified(TpyreonBrio::kEmissivity, w & 0xFF) >= 0;
          const bool high = d.WriteMemoryByteVerified(TpyreonBrio::kEmissivity + 1, w >> 8) >= 0;
          return low && high;
        },
        false, finished);
  if (DeviceType::IsBrioSecondGeneration(typeCode_))
    return Post<TpyreonBrio_mA, bool>(
        family_,
        [w, value](TpyreonBrio_mA& d) {
          d.StoreEmissivityWord(w);
          d.SetEmissivity(value);
          return true;
        },
        false, finished);
  finished(true);
  return true;
}

bool EmissivityDevice::ReadPass(std::function<void(const EmissivitySearch::Readings&)> done) {
  using Readings = EmissivitySearch::Readings;
  Readings failed;
  failed.Emissivity = -1.0f;
  failed.Reference = failed.Object = -9999.0f;
  if (DeviceType::IsSingleColour(typeCode_))
    return Post<TpyreonArgo, Readings>(
        family_,
        [](TpyreonArgo& d) {
          Readings r;
          r.Reference = d.ReadInternalTemperature();
          r.Object = d.ReadObjectTemperature();
          r.Emissivity = d.GetEmissivity();
          return r;
        },
        failed, std::move(done));
  if (DeviceType::IsBrioFirstGeneration(typeCode_))
    return Post<TpyreonBrio, Readings>(
        family_,
        [](TpyreonBrio& d) {
          Readings r;
          r.Reference = d.ReadInternalTemperature();
          r.Object = d.ReadTargetTemperature();
          r.Emissivity = static_cast<float>(d.EmissivityWord() / 1000.0);
          return r;
        },
        failed, std::move(done));
  if (DeviceType::IsBrioSecondGeneration(typeCode_))
    return Post<TpyreonBrio_mA, Readings>(
        family_,
        [](TpyreonBrio_mA& d) {
          Readings r;
          r.Reference = d.ReadInternalTemperature();
          r.Object = d.ReadTargetTemperature();
          r.Emissivity = d.ReadEmissivity();
          return r;
        },
        failed, std::move(done));
  Readings none;
  none.Emissivity = 1.0f;
  none.Reference = none.Object = kNoTemperature;
  if (done) done(none);
  return true;
}

bool EmissivityDevice::StartCalculation(float givenCelsius, std::function<void(const Calculation&)> done) {
  return Post<TpyreonArgo, Calculation>(
      family_,
      [givenCelsius](TpyreonArgo& d) {
        Calculation c;
        c.Before = d.GetEmissivity();
        c.Measured = d.ReadObjectTemperature();
        if (!EmissivitySearch::ValidEmissivity(c.Before) || !EmissivitySearch::ValidTemperature(c.Measured))
          return c;
        // The device takes both temperatures only strictly inside its range
        // (the driver would refuse them without a word).
        c.RangeLo = d.AllowedRangeLo();
        c.RangeHi = d.AllowedRangeHi();
        const auto inside = [&c](float t) { return c.RangeLo < t && t < c.RangeHi; };
        if (!inside(givenCelsius) || !inside(c.Measured)) {
          c.Result = Calculation::Outcome::OutOfRange;
          return c;
        }
        d.StartEmissivityCalculation(givenCelsius, c.Measured);
        c.After = d.GetEmissivity();
        c.Result = EmissivitySearch::ValidEmissivity(c.After) ? Calculation::Outcome::Done
                                                              : Calculation::Outcome::NoAnswer;
        return c;
      },
      Calculation{},
      [done = std::move(done)](const Calculation& c) {
        if (done) done(c);
      });
}
