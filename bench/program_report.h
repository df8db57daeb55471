#pragma once

// The "key=value" report the program writes when THERMASENTINEL_TEST_REPORT
// names a file, as the benchmarks that run the whole program read it.

#include <QFile>
#include <QMap>
#include <QString>

inline QMap<QString, QString> ReadProgramReport(const QString& path) {
  QMap<QString, QString> out;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return out;
  for (const QByteArray& raw : f.readAll().split('\n')) {
    const QString line = QString::fromUtf8(raw);
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq > 0) out.insert(line.left(eq), line.mid(eq + 1));
  }
  return out;
}
