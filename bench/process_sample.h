#pragma once

// A process's own counters from /proc: CPU time, resident memory and
// voluntary context switches (its wake-ups after waiting), for the whole
// process and per thread.

#include <unistd.h>

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QMap>
#include <QString>

struct ProcessSample {
  double cpuSeconds = 0.0;
  long rssKb = 0;
  long voluntarySwitches = 0;
};

// utime + stime of a /proc stat text, in seconds; `name` gets the command.
inline double StatCpuSeconds(const QByteArray& text, QString* name = nullptr) {
  const int open = text.indexOf('(');
  const int close = text.lastIndexOf(')');
  if (name != nullptr) *name = QString::fromLocal8Bit(text.mid(open + 1, close - open - 1));
  const QList<QByteArray> f = text.mid(close + 2).split(' ');
  // Fields after the command: state is [0], utime [11], stime [12].
  if (f.size() <= 12) return 0.0;
  return (f[11].toDouble() + f[12].toDouble()) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Reads one stat / status pair (of the process or of one of its threads).
inline ProcessSample SampleCounters(const QString& folder, QString* name = nullptr) {
  ProcessSample s;
  QFile stat(folder + QStringLiteral("/stat"));
  if (stat.open(QIODevice::ReadOnly)) s.cpuSeconds = StatCpuSeconds(stat.readAll(), name);
  QFile status(folder + QStringLiteral("/status"));
  if (status.open(QIODevice::ReadOnly)) {
    for (const QByteArray& line : status.readAll().split('\n')) {
      if (line.startsWith("VmRSS:")) s.rssKb = line.mid(6).trimmed().split(' ').first().toLong();
      if (line.startsWith("voluntary_ctxt_switches:")) s.voluntarySwitches = line.mid(24).trimmed().toLong();
    }
  }
  return s;
}

inline ProcessSample SampleProcess(qint64 pid) { return SampleCounters(QStringLiteral("/proc/%1").arg(pid)); }

struct ThreadSample {
  QString name;
  ProcessSample counters;
};

// Every thread of `pid` by its id.
inline QMap<QString, ThreadSample> SampleThreads(qint64 pid) {
  QMap<QString, ThreadSample> out;
  const QDir tasks(QStringLiteral("/proc/%1/task").arg(pid));
  for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    ThreadSample t;
    t.counters = SampleCounters(tasks.filePath(tid), &t.name);
    out.insert(tid, t);
  }
  return out;
}
