#pragma once

// How a radiation thermometer's reading depends on the emissivity it is set
// to, for the emulators: the detector sees the radiance of the surface
// (growing with the fourth power of the absolute temperature and with the
// surface's true emissivity) against its own internal temperature, and the
// device divides what it sees by the emissivity set. A device set to the
// surface's true emissivity shows the true temperature; set lower it reads
// high, set higher it reads low.
namespace EmissivityScene {

// The object temperature (°C) a device set to `setEmissivity` shows for a
// surface at `trueCelsius` with `trueEmissivity`, its internal temperature
// being `referenceCelsius`. Never below absolute zero.
double ShownTemperature(double trueCelsius, double trueEmissivity, double setEmissivity,
                        double referenceCelsius);

// The emissivity that makes a device now showing `shownCelsius` at
// `setEmissivity` show `wantedCelsius` (the device's own calculation).
// `setEmissivity` when there is no such value (a reading at the reference).
double EmissivityFor(double wantedCelsius, double shownCelsius, double setEmissivity,
                     double referenceCelsius);

}  // namespace EmissivityScene
