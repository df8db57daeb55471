// What the configuration-file fuzz targets share: the Qt application the
// driver needs, scratch files for one input, and the saved text without its
// date line (which follows the clock).

#pragma once

#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>
#include <cstdlib>

namespace config_fuzz {

inline void Check(bool condition) {
  if (!condition) std::abort();
}

// Made once per process; `name` is the target's.
inline void StartApplication(const char* name) {
  static int argc = 1;
  static char* argv[] = {const_cast<char*>(name), nullptr};
  static QCoreApplication* app = new QCoreApplication(argc, argv);
  (void)app;
}

// A scratch file of this process, memory-backed when possible.
inline QString ScratchPath(const char* target, const char* what) {
  static const QString folder =
      QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
  return folder + QLatin1Char('/') + QLatin1String(target) + QLatin1Char('_') + QString::number(::getpid()) +
         QLatin1Char('_') + QLatin1String(what) + QStringLiteral(".cfg");
}

inline QByteArray ReadAll(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline bool WriteAll(const QString& path, const std::uint8_t* data, std::size_t size) {
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  return f.write(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)) ==
         static_cast<qsizetype>(size);
}

inline QByteArray WithoutDate(const QByteArray& text) {
  QByteArray out;
  for (const QByteArray& line : text.split('\n')) {
    if (line.startsWith("Date=")) continue;
    out += line;
    out += '\n';
  }
  return out;
}

}  // namespace config_fuzz
