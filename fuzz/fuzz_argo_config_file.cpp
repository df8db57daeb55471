// Loads arbitrary bytes as a configuration file of the single-colour family
// into a configuration record. A file that loads saves and loads again to
// the same record: saving what was loaded twice gives the same text.
//
// With FUZZ_WRITE_SEED=<path> in the environment the target writes a saved
// default record to <path> (a seed for the corpus) and ends.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "drivers/argo/argo_types.h"
#include "drivers/argo/pyreon_argo.h"
#include "fuzz/config_file_fuzz_harness.h"

namespace {

using config_fuzz::Check;
using config_fuzz::ReadAll;
using config_fuzz::WithoutDate;

QString ScratchPath(const char* what) { return config_fuzz::ScratchPath("fuzz_argo_config_file", what); }

struct Environment {
  Environment() {
    config_fuzz::StartApplication("fuzz_argo_config_file");
    driver = new TpyreonArgo;
    driver->OnMessage = [](QObject*, const QString&) {};
    const QByteArray seed = qgetenv("FUZZ_WRITE_SEED");
    if (!seed.isEmpty()) {
      Check(driver->SaveConfigFile(TArgoConfig{}, QString::fromLocal8Bit(seed)) == 1);
      std::exit(0);
    }
  }
  TpyreonArgo* driver = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Environment env;
  const QString input = ScratchPath("in");
  const QString saved = ScratchPath("saved");
  const QString again = ScratchPath("again");
  if (!config_fuzz::WriteAll(input, data, size)) return 0;
  TArgoConfig loaded;
  const int result = env.driver->LoadConfigFile(input, loaded);
  Check(result == 1 || result == -2);
  if (result == 1) {
    Check(env.driver->SaveConfigFile(loaded, saved) == 1);
    TArgoConfig reloaded;
    Check(env.driver->LoadConfigFile(saved, reloaded) == 1);
    Check(env.driver->SaveConfigFile(reloaded, again) == 1);
    Check(WithoutDate(ReadAll(saved)) == WithoutDate(ReadAll(again)));
  }
  QFile::remove(input);
  QFile::remove(saved);
  QFile::remove(again);
  return 0;
}
