#include "tools/devsim/emissivity_scene.h"

#include <algorithm>
#include <cmath>

namespace EmissivityScene {

namespace {
constexpr double kZeroCelsius = 273.15;
double Radiance(double celsius) {
  const double k = celsius + kZeroCelsius;
  return k * k * k * k;
}
double CelsiusOfRadiance(double radiance) {
  return std::sqrt(std::sqrt(std::max(radiance, 0.0))) - kZeroCelsius;
}
}  // namespace

double ShownTemperature(double trueCelsius, double trueEmissivity, double setEmissivity,
                        double referenceCelsius) {
  if (!(setEmissivity > 0.0)) return trueCelsius;
  const double seen = trueEmissivity * (Radiance(trueCelsius) - Radiance(referenceCelsius));
  return CelsiusOfRadiance(Radiance(referenceCelsius) + seen / setEmissivity);
}

double EmissivityFor(double wantedCelsius, double shownCelsius, double setEmissivity,
                     double referenceCelsius) {
  const double wanted = Radiance(wantedCelsius) - Radiance(referenceCelsius);
  const double shown = Radiance(shownCelsius) - Radiance(referenceCelsius);
  if (wanted == 0.0 || !std::isfinite(shown / wanted)) return setEmissivity;
  return setEmissivity * shown / wanted;
}

}  // namespace EmissivityScene
