#pragma once

// The "key=value" report the program writes when THERMASENTINEL_TEST_REPORT
// names a file, as the benchmarks that run the whole program read it.

#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QString>
#include <QThread>
#include <functional>

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

// Checks `done` every `pollUs` until it holds (true) or `timeoutMs` passed.
inline bool WaitFor(const std::function<bool()>& done, int timeoutMs, unsigned long pollUs = 5000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    QThread::usleep(pollUs);
  }
  return true;
}
