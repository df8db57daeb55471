#pragma once

// A process's own counters from /proc: CPU time, resident memory and
// voluntary context switches (its wake-ups after waiting).

#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

struct ProcessSample {
  double cpuSeconds = 0.0;
  long rssKb = 0;
  long voluntarySwitches = 0;
};

inline ProcessSample SampleProcess(qint64 pid) {
  ProcessSample s;
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (stat.open(QIODevice::ReadOnly)) {
    const QByteArray text = stat.readAll();
    const int close = text.lastIndexOf(')');
    const QList<QByteArray> f = text.mid(close + 2).split(' ');
    // Fields after the command: state is [0], utime [11], stime [12].
    if (f.size() > 12)
      s.cpuSeconds = (f[11].toDouble() + f[12].toDouble()) / static_cast<double>(sysconf(_SC_CLK_TCK));
  }
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (status.open(QIODevice::ReadOnly)) {
    for (const QByteArray& line : status.readAll().split('\n')) {
      if (line.startsWith("VmRSS:")) s.rssKb = line.mid(6).trimmed().split(' ').first().toLong();
      if (line.startsWith("voluntary_ctxt_switches:")) s.voluntarySwitches = line.mid(24).trimmed().toLong();
    }
  }
  return s;
}
