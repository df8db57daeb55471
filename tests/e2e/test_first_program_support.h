#pragma once

// Runs the real ThermaSentinel (offscreen) against the device emulator
// program on a pseudo-terminal, each test in a folder of its own.

#include <gtest/gtest.h>

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <functional>

namespace first_program {

inline QString ProgramPath() { return QStringLiteral(TS_BINARY_DIR "/app/ThermaSentinel"); }
inline QString DevsimPath() { return QStringLiteral(TS_BINARY_DIR "/tools/devsim/thermasentinel-devsim"); }

// Waits until `done` holds, processing nothing; false at the deadline.
inline bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > timeoutMs) return false;
    QThread::msleep(50);
  }
  return true;
}

// "key=value" lines of an ini-like file (sections ignored, first key wins).
inline QMap<QString, QString> ReadKeyValues(const QString& path) {
  QMap<QString, QString> out;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return out;
  for (const QByteArray& raw : f.readAll().split('\n')) {
    const QString line = QString::fromUtf8(raw).trimmed();
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0 || line.startsWith(QLatin1Char('['))) continue;
    const QString key = line.left(eq).trimmed();
    if (!out.contains(key)) out.insert(key, line.mid(eq + 1).trimmed());
  }
  return out;
}

class ProgramRun {
 public:
  ProgramRun() { EXPECT_TRUE(dir_.isValid()); }
  ~ProgramRun() {
    Stop(program_);
    Stop(devsim_);
  }

  QString Path(const QString& name) const { return dir_.filePath(name); }
  QString SettingsPath() const { return Path(QStringLiteral("cfg/ThermaSentinel/ThermaSentinel.ini")); }
  QString ReportPath() const { return Path(QStringLiteral("report.txt")); }
  QString RecordsPath() const { return Path(QStringLiteral("records.txt")); }
  QString PortsPath() const { return Path(QStringLiteral("ports.ini")); }

  // The settings file before the program starts (CR LF lines).
  void WriteSettings(const QString& text) {
    QDir().mkpath(Path(QStringLiteral("cfg/ThermaSentinel")));
    QFile f(SettingsPath());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QString crlf = text;
    crlf.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    f.write(crlf.toLatin1());
  }

  // Starts the emulated single-colour device serving COM<com>.
  void StartDevice(int com, const QStringList& modelOptions = {}) {
    QStringList args{QStringLiteral("--model"), QStringLiteral("argo")};
    args << modelOptions;
    args << QStringLiteral("--pty") << QStringLiteral("--ports-file") << PortsPath()
         << QStringLiteral("--com") << QString::number(com);
    devsim_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    devsim_.start(DevsimPath(), args);
    ASSERT_TRUE(devsim_.waitForStarted(10000));
    ASSERT_TRUE(WaitUntil(
        [&] { return ReadKeyValues(PortsPath()).contains(QStringLiteral("COM") + QString::number(com)); },
        10000))
        << "the emulator did not publish its port";
  }

  void StartProgram(const QStringList& args = {}, const QMap<QString, QString>& extraEnv = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), Path(QStringLiteral("cfg")));
    env.insert(QStringLiteral("THERMASENTINEL_PORTS"), PortsPath());
    env.insert(QStringLiteral("THERMASENTINEL_TEST_REPORT"), ReportPath());
    env.insert(QStringLiteral("THERMASENTINEL_TEST_RECORDS"), RecordsPath());
    for (auto it = extraEnv.begin(); it != extraEnv.end(); ++it) env.insert(it.key(), it.value());
    if (!QFile::exists(PortsPath())) {
      QFile f(PortsPath());
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write("[Ports]\r\n");
    }
    program_.setProcessEnvironment(env);
    program_.setProcessChannelMode(QProcess::MergedChannels);
    program_.start(ProgramPath(), args);
    ASSERT_TRUE(program_.waitForStarted(10000));
  }

  QMap<QString, QString> Report() const { return ReadKeyValues(ReportPath()); }
  int ReportInt(const QString& key) const { return Report().value(key, QStringLiteral("-1")).toInt(); }

  bool WaitForReport(const std::function<bool(const QMap<QString, QString>&)>& done, int timeoutMs) {
    return WaitUntil([&] { return program_.state() == QProcess::Running && done(Report()); }, timeoutMs);
  }

  // Ends the program the way a logout does; true when it ended cleanly in time.
  bool Terminate(int timeoutMs = 15000) {
    if (program_.state() != QProcess::Running) return false;
    ::kill(static_cast<pid_t>(program_.processId()), SIGTERM);
    if (!program_.waitForFinished(timeoutMs)) return false;
    return program_.exitStatus() == QProcess::NormalExit && program_.exitCode() == 0;
  }

  QProcess& Program() { return program_; }
  QProcess& Devsim() { return devsim_; }
  QString Output() { return QString::fromLocal8Bit(program_.readAll()); }

 private:
  static void Stop(QProcess& p) {
    if (p.state() == QProcess::NotRunning) return;
    p.terminate();
    if (!p.waitForFinished(5000)) {
      p.kill();
      p.waitForFinished(5000);
    }
  }

  QTemporaryDir dir_;
  QProcess devsim_;
  QProcess program_;
};

// The serial number of the emulated single-colour device unless its
// options give another.
inline constexpr int kDefaultDeviceSerial = 1125100;

// Settings of a stored single-colour device on COM<com> at 115200 Bd that is
// connected and measured at start (the scan at start takes the device with
// the stored serial `serialText` by itself), without questions at close.
inline QString DeviceSettings(int com, const QString& extraSettings = QString(),
                              const QString& extraOptions = QString(),
                              const QString& serialText = QString::number(kDefaultDeviceSerial)) {
  return QStringLiteral(
             "[COM]\nCOM=%1\nBaudrate=5\nDeviceType=1\nArgo_Serial=%4\n[Options]\nAutoScan=1\nAutoStart=1\n"
             "AskForSaving=0\n%2[Settings]\nArgoBurstStartDelay=0\n%3")
      .arg(com)
      .arg(extraOptions, extraSettings, serialText);
}

}  // namespace first_program
