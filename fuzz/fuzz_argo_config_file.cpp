// Loads arbitrary bytes as a configuration file of the single-colour family
// into a configuration record. A file that loads saves and loads again to
// the same record: saving what was loaded twice gives the same text.
//
// With FUZZ_WRITE_SEED=<path> in the environment the target writes a saved
// default record to <path> (a seed for the corpus) and ends.
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "drivers/argo/argo_types.h"
#include "drivers/argo/pyreon_argo.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

QString ScratchPath(const char* what) {
  // Memory-backed when possible.
  static const QString folder =
      QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
  return folder + QStringLiteral("/fuzz_argo_config_file_") + QString::number(::getpid()) + QLatin1Char('_') +
         QLatin1String(what) + QStringLiteral(".cfg");
}

QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The saved text without its date line, which follows the clock.
QByteArray WithoutDate(const QByteArray& text) {
  QByteArray out;
  for (const QByteArray& line : text.split('\n')) {
    if (line.startsWith("Date=")) continue;
    out += line;
    out += '\n';
  }
  return out;
}

struct Environment {
  Environment() {
    static int argc = 1;
    static char name[] = "fuzz_argo_config_file";
    static char* argv[] = {name, nullptr};
    app = new QCoreApplication(argc, argv);
    driver = new TpyreonArgo;
    driver->OnMessage = [](QObject*, const QString&) {};
    const QByteArray seed = qgetenv("FUZZ_WRITE_SEED");
    if (!seed.isEmpty()) {
      Check(driver->SaveConfigFile(TArgoConfig{}, QString::fromLocal8Bit(seed)) == 1);
      std::exit(0);
    }
  }
  QCoreApplication* app = nullptr;
  TpyreonArgo* driver = nullptr;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Environment env;
  const QString input = ScratchPath("in");
  const QString saved = ScratchPath("saved");
  const QString again = ScratchPath("again");
  {
    QFile f(input);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    f.write(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  }
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
