// Parses arbitrary argument lists (arguments separated by NUL bytes, taken as
// UTF-8) and checks what the program relies on: a bounded start-up delay, an
// instance name that keeps the settings file inside its folder, and a scan
// time-out that is never negative.
#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "app/command_line.h"
#include "measurement/config.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

const QString& ConfigHome() {
  static const QString folder = [] {
    const QString base =
        QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    const QString f = base + QStringLiteral("/fuzz_command_line_") + QString::number(::getpid());
    QDir().mkpath(f);
    qputenv("XDG_CONFIG_HOME", f.toLocal8Bit());
    return f;
  }();
  // Removes the scratch folder when the fuzzer ends.
  static const struct Cleanup {
    ~Cleanup() { QDir(folder).removeRecursively(); }
  } cleanup;
  return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QStringList parameters;
  for (const QByteArray& part : bytes.split('\0')) parameters << QString::fromUtf8(part);

  const CommandLine cl(parameters);
  Check(cl.Parameters() == parameters);
  Check(cl.Delay() >= 0 && cl.Delay() <= CommandLine::kMaxDelaySeconds);
  Check(cl.StartupTimerInterval() == cl.Delay() * 1000 + 1);
  Check(cl.ScanTimeOut() >= 0);
  Check(cl.InstanceName().size() <= CommandLine::kMaxInstanceNameLength);

  const CommandLine fromArguments =
      CommandLine::FromArguments(QStringList{QStringLiteral("/opt/fuzz/ThermaSentinel")} + parameters);
  Check(fromArguments.StopFlag() == cl.StopFlag() && fromArguments.InstanceName() == cl.InstanceName() &&
        fromArguments.Delay() == cl.Delay());

  if (!cl.StopFlag() && !cl.InstanceName().isEmpty()) {
    Check(CommandLine::IsSafeInstanceName(cl.InstanceName()));
    const QString folder = ConfigHome() + QStringLiteral("/ThermaSentinel");
    const QString file =
        TConfig::GetSettingsFileName(QStringLiteral("/opt/fuzz/ThermaSentinel"), cl.InstanceName());
    Check(QFileInfo(file).absolutePath() == folder);
    Check(file.endsWith(QStringLiteral(".ini")));
    Check(!file.mid(folder.size() + 1).contains(QLatin1Char('/')));
    // A name that is taken gives a file name the file system can hold.
    Check(QFile::encodeName(QFileInfo(file).fileName()).size() <= TConfig::kMaxFileNameBytes);
  }
  return 0;
}
