// Loads arbitrary bytes as a single-colour configuration file the way the
// setup dialog does: into a copy of the device's cached configuration, to be
// written to the device only when it loaded. A file that does not load
// leaves the copy as it was and comes with a message; one that loads leaves
// the fields the file does not carry back as they were, holds only finite
// values and a bus address the device can take, and saves and loads again
// to the same record.
//
// With FUZZ_WRITE_SEED=<path> in the environment the target writes the
// saved cached configuration to <path> (a seed for the corpus) and ends.
#include <QByteArray>
#include <QString>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "drivers/argo/argo_types.h"
#include "drivers/argo/pyreon_argo.h"
#include "fuzz/config_file_fuzz_harness.h"
#include "setup_argo/argo_setup_config_file.h"

namespace {

using config_fuzz::Check;

QString ScratchPath(const char* what) {
  return config_fuzz::ScratchPath("fuzz_argo_setup_config_load", what);
}

// The saved text of `config`, without its date line.
QByteArray SavedText(TpyreonArgo& driver, const TArgoConfig& config, const QString& path) {
  Check(ArgoSetupConfigFile::Save(driver, config, path).ok);
  return config_fuzz::WithoutDate(config_fuzz::ReadAll(path));
}

// A cache as the driver holds it after reading a device.
TArgoConfig DeviceCache() {
  TArgoConfig c;
  c.ConfigValid = true;
  c.FWrev = 1500;
  c.SerialNumber = 115000;
  c.ModelInfo.FWrev = 1500;
  c.ModelInfo.AlHysteresis = true;
  c.ModelInfo.LoRangeTemp = -40.0f;
  c.ModelInfo.HiRangeTemp = 600.0f;
  c.ModelInfo.ModelStr = QStringLiteral("Laser-S");
  c.Emissivity = 0.95f;
  c.Transmission = 1.0f;
  c.AverageTime = 0.1f;
  c.PeakHoldTime = 2.0f;
  c.Alarm = {10.0f, 550.0f, -40.0f, 600.0f};
  c.RS485Addr = 3;
  c.AmbientSource = 0;
  c.EmissivitySource = 1;
  c.IRDacPercent = 17;
  c.AmbientDacPercent = 42;
  c.TweakGain = 1.0f;
  c.HeadCodeShort = {QStringLiteral("28QA"), QStringLiteral("1S0F"), QStringLiteral("0101")};
  c.AlarmMode = {TArgoAlarmMode{0, 1, 0, 1}, TArgoAlarmMode{1, 0, 0, 2}, TArgoAlarmMode{2, 1, 1, 3},
                 TArgoAlarmMode{3, 0, 1, 5}};
  return c;
}

bool Finite(float v) { return std::isfinite(v); }

bool AllFinite(const TArgoConfig& c) {
  bool ok = Finite(c.Emissivity) && Finite(c.Transmission) && Finite(c.AverageTime) &&
            Finite(c.ValleyHoldTime) && Finite(c.PeakHoldTime) && Finite(c.AmbientValue) &&
            Finite(c.OutputTempMin) && Finite(c.OutputTempMax) && Finite(c.AdvancedHoldThreshold) &&
            Finite(c.AdvancedHoldHysteresis) && Finite(c.TweakGain) && Finite(c.TweakOffset) &&
            Finite(c.F3Temp1) && Finite(c.F3Temp2) && Finite(c.AlarmHysteresis) && Finite(c.Slope) &&
            Finite(c.Slope2) && Finite(c.Epsilon) && Finite(c.Epsilon2) && Finite(c.DetTop) &&
            Finite(c.LimTau) && Finite(c.SmartThreshold) && Finite(c.RatioAlarmHysteresis);
  for (float a : c.Alarm) ok = ok && Finite(a);
  for (const TArgoMaterialRow& r : c.MaterialTable)
    ok = ok && Finite(r.Emiss) && Finite(r.LoAlarm) && Finite(r.HiAlarm);
  for (const TArgoVisualAlarm& v : c.VisualAlarms)
    for (std::size_t k = 0; k < 4; ++k) ok = ok && Finite(v.Lo[k]) && Finite(v.Hi[k]);
  return ok;
}

struct Environment {
  Environment() {
    config_fuzz::StartApplication("fuzz_argo_setup_config_load");
    driver = new TpyreonArgo;
    const QByteArray seed = qgetenv("FUZZ_WRITE_SEED");
    if (!seed.isEmpty()) {
      Check(ArgoSetupConfigFile::Save(*driver, DeviceCache(), QString::fromLocal8Bit(seed)).ok);
      std::exit(0);
    }
    baseText = SavedText(*driver, base, ScratchPath("base"));
  }
  TpyreonArgo* driver = nullptr;
  const TArgoConfig base = DeviceCache();
  QByteArray baseText;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Environment env;
  const QString input = ScratchPath("in");
  const QString saved = ScratchPath("saved");
  if (!config_fuzz::WriteAll(input, data, size)) return 0;
  const ArgoSetupConfigFile::TLoadResult r = ArgoSetupConfigFile::Load(*env.driver, env.base, input);
  if (r.status != ArgoSetupConfigFile::Loaded) {
    // Nothing to write: the copy is the cache, and the user is told why.
    Check(!r.message.isEmpty());
    Check(SavedText(*env.driver, r.config, saved) == env.baseText);
    Check(r.address == env.base.RS485Addr);
  } else {
    const TArgoConfig& c = r.config;
    Check(r.message.isEmpty());
    Check(r.address == c.RS485Addr && c.RS485Addr <= 79);
    // What the file does not carry back stays the device's.
    Check(c.SerialNumber == env.base.SerialNumber && c.FWrev == env.base.FWrev);
    Check(c.ModelInfo == env.base.ModelInfo);
    Check(c.IRDacPercent == env.base.IRDacPercent && c.AmbientDacPercent == env.base.AmbientDacPercent);
    Check(c.HeadCodeShort == env.base.HeadCodeShort && c.HeadCodeLarge == env.base.HeadCodeLarge);
    Check(AllFinite(c));
    // What loaded saves and loads again to the same record.
    const QByteArray text = SavedText(*env.driver, c, saved);
    const ArgoSetupConfigFile::TLoadResult again = ArgoSetupConfigFile::Load(*env.driver, env.base, saved);
    Check(again.status == ArgoSetupConfigFile::Loaded);
    Check(SavedText(*env.driver, again.config, saved) == text);
  }
  QFile::remove(input);
  QFile::remove(saved);
  return 0;
}
