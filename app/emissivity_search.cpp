#include "app/emissivity_search.h"

#include <algorithm>
#include <cmath>

#include "platform/number_text.h"

EmissivitySearch::EmissivitySearch(double givenCelsius, int passLimit)
    : given_(givenCelsius), passLimit_(std::max(1, passLimit)) {}

bool EmissivitySearch::LiveWritable(double e) { return e >= kLiveMin && e <= kLiveMax; }

bool EmissivitySearch::ValidTemperature(float celsius) {
  return std::isfinite(celsius) && celsius > -273.15f && celsius < 10000.0f;
}

bool EmissivitySearch::ValidEmissivity(float e) { return std::isfinite(e) && e > 0.0f && e < 10.0f; }

std::uint16_t EmissivitySearch::Thousandths(double e) {
  if (!std::isfinite(e)) return 0;
  return static_cast<std::uint16_t>(std::clamp<std::int64_t>(NumberText::Round(e * 1000.0), 0, 65535));
}

EmissivitySearch::Step EmissivitySearch::Next(const Readings& r) {
  Step step;
  step.Pass = ++pass_;
  if (!ValidEmissivity(r.Emissivity) || !ValidTemperature(r.Reference) || !ValidTemperature(r.Object) ||
      !std::isfinite(given_)) {
    step.Result = Outcome::NoReading;
    return step;
  }
  const double e = r.Emissivity, tRef = r.Reference, tObj = r.Object;
  step.Error = std::fabs(given_ - tObj);
  // With the object (or the given temperature) at the reference the device
  // sees no radiance difference to scale: no emissivity explains it.
  const double quotient = (given_ - tRef) / (tObj - tRef);
  const double next = e / quotient;
  if (tObj == tRef || given_ == tRef || !std::isfinite(quotient) || !std::isfinite(next)) {
    step.Result = Outcome::NoSolution;
    return step;
  }
  if (next < kSearchMin || next > kSearchMax) {
    step.Emissivity = next < kSearchMin ? kSearchMin : kSearchMax;
    step.Result = Outcome::OutOfReach;
    return step;
  }
  step.Emissivity = next;
  const int n = step.Pass;
  if (step.Error <= 0.2 || (step.Error <= 0.4 && n > 15) || (step.Error <= 0.6 && n > 25))
    step.Result = Outcome::Converged;
  else if (n >= passLimit_)
    step.Result = Outcome::PassLimit;
  else
    step.Result = Outcome::Continue;
  return step;
}
