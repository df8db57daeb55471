#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <chrono>

#include "host_tty.h"
#include "tools/devsim/argo_profiles.h"
#include "tools/devsim/brio_profiles.h"
#include "tools/devsim/devsim_options.h"
#include "tools/devsim/model_registry.h"

namespace {

using namespace std::chrono_literals;

QStringList Args(const char* line) {
  return QString::fromLatin1(line).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

TEST(DevsimOptions, AcceptsValidCommandLines) {
  struct Case {
    const char* line;
    DevsimOptions::Transport transport;
    int port;
    const char* modelOptions;
  };
  const Case cases[] = {
      {"--model loopback --pty", DevsimOptions::Transport::Pty, 0, ""},
      {"--model loopback --baud 19200 --pty --link /tmp/x", DevsimOptions::Transport::Pty, 0, "--baud 19200"},
      {"--rfc2217 0 --model argo --firmware 5003", DevsimOptions::Transport::Rfc2217, 0, "--firmware 5003"},
      {"--model loopback --rfc2217 4000 --ports-file p.ini --com 3", DevsimOptions::Transport::Rfc2217, 4000,
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    DevsimOptions o;
    QString error;
    ASSERT_TRUE(DevsimOptions::Parse(Args(c.line), o, error)) << error.toStdString();
    EXPECT_EQ(o.transport, c.transport);
    EXPECT_EQ(o.tcpPort, c.port);
    EXPECT_EQ(o.modelOptions, Args(c.modelOptions));
  }
}

TEST(DevsimOptions, RefusesBrokenCommandLines) {
  const char* cases[] = {
      "",
      "--pty",
      "--bogus",
      "--model loopback",
      "--model loopback --pty --rfc2217 1",
      "--model loopback --rfc2217",
      "--model loopback --rfc2217 70000",
      "--model loopback --rfc2217 x",
      "--model loopback --rfc2217 1 --link /tmp/x",
      "--model loopback --pty --ports-file p.ini",
      "--model loopback --pty --com 3",
      "--model loopback --pty --ports-file p.ini --com 256",
      "--model",
  };
  for (const char* line : cases) {
    SCOPED_TRACE(line);
    DevsimOptions o;
    QString error;
    EXPECT_FALSE(DevsimOptions::Parse(Args(line), o, error));
    EXPECT_FALSE(error.isEmpty());
  }
}

TEST(ModelRegistry, MakesModelsByNameAndRefusesBadOptions) {
  QString error;
  auto model = ModelRegistry::Create(QStringLiteral("LoopBack"), Args("--baud 57600"), &error);
  ASSERT_TRUE(model);
  EXPECT_EQ(model->BaudRate(), 57600);
  EXPECT_FALSE(ModelRegistry::Create(QStringLiteral("loopback"), Args("--baud fast"), &error));
  EXPECT_TRUE(error.contains(QStringLiteral("fast")));
  EXPECT_FALSE(ModelRegistry::Create(QStringLiteral("loopback"), Args("--colour red"), &error));
  EXPECT_TRUE(error.contains(QStringLiteral("--colour")));
  EXPECT_FALSE(ModelRegistry::Create(QStringLiteral("no-such-device"), {}, &error));
  EXPECT_TRUE(error.contains(QStringLiteral("no-such-device")));
  // A name is taken once.
  EXPECT_FALSE(ModelRegistry::Register(QStringLiteral("LOOPBACK"), [](const QStringList&, QString*) {
    return std::unique_ptr<DeviceModel>();
  }));
  EXPECT_TRUE(ModelRegistry::Names().contains(QStringLiteral("loopback")));
}

TEST(SetPortsEntry, KeepsTheRestOfTheFile) {
  struct Case {
    const char* name;
    QByteArray before;  // null: no file
    QByteArray after;
  };
  const Case cases[] = {
      {"no file", QByteArray(), "[Ports]\nCOM7=/dev/pts/9\n"},
      {"other section", "[Other]\nA=1\n", "[Other]\nA=1\n[Ports]\nCOM7=/dev/pts/9\n"},
      {"entry replaced, any case", "[ports]\ncom7 = old\nCOM8=x\n", "[ports]\nCOM7=/dev/pts/9\nCOM8=x\n"},
      {"added at the end of its section", "[Ports]\nCOM1=a\n\n[Other]\nCOM7=keep\n",
       "[Ports]\nCOM1=a\nCOM7=/dev/pts/9\n\n[Other]\nCOM7=keep\n"},
      {"comments kept", "; ports\n[Ports]\n;COM7=no\n", "; ports\n[Ports]\n;COM7=no\nCOM7=/dev/pts/9\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("ports.ini"));
    if (!c.before.isNull()) {
      QFile f(path);
      ASSERT_TRUE(f.open(QIODevice::WriteOnly));
      f.write(c.before);
    }
    QString error;
    ASSERT_TRUE(SetPortsEntry(path, 7, QStringLiteral("/dev/pts/9"), error)) << error.toStdString();
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), c.after);
  }
}

class DevsimProgram : public ::testing::Test {
 protected:
  static QString Program() { return QStringLiteral(TS_BINARY_DIR "/tools/devsim/thermasentinel-devsim"); }

  void SetUp() override {
    if (!QFileInfo::exists(Program())) GTEST_SKIP() << "thermasentinel-devsim is not built";
    ASSERT_TRUE(dir_.isValid());
  }

  // Starts the program and returns its first line of output.
  QString Start(QProcess& process, const QStringList& args) {
    process.start(Program(), args);
    if (!process.waitForStarted(5000)) return {};
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!process.canReadLine() && std::chrono::steady_clock::now() < deadline)
      process.waitForReadyRead(100);
    return QString::fromLocal8Bit(process.readLine()).trimmed();
  }

  static void Terminate(QProcess& process) {
    process.terminate();
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
  }

  QTemporaryDir dir_;
};

TEST_F(DevsimProgram, ServesAPtyWithLinkAndPortsFile) {
  const QString link = dir_.filePath(QStringLiteral("COM7"));
  const QString ports = dir_.filePath(QStringLiteral("ports.ini"));
  QProcess process;
  const QString path =
      Start(process, {QStringLiteral("--model"), QStringLiteral("loopback"), QStringLiteral("--baud"),
                      QStringLiteral("19200"), QStringLiteral("--pty"), QStringLiteral("--link"), link,
                      QStringLiteral("--ports-file"), ports, QStringLiteral("--com"), QStringLiteral("7")});
  ASSERT_TRUE(path.startsWith(QStringLiteral("/dev/pts/"))) << path.toStdString();
  EXPECT_EQ(QFileInfo(link).symLinkTarget(), path);
  QFile file(ports);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArrayLiteral("[Ports]\nCOM7=") + path.toLocal8Bit() + '\n');

  HostTty host;
  ASSERT_TRUE(host.Open(link, 19200));
  const std::vector<std::uint8_t> sent{0x55, 0xAA, 0xFF, 0x00};
  ASSERT_EQ(host.Write(sent), sent.size());
  EXPECT_EQ(host.Read(sent.size(), 2000ms), sent);
  host.Close();

  Terminate(process);
  EXPECT_FALSE(QFileInfo(link).isSymLink());
}

TEST_F(DevsimProgram, ServesRfc2217OnAFreePort) {
  QProcess process;
  const QString url = Start(process, {QStringLiteral("--model"), QStringLiteral("loopback"),
                                      QStringLiteral("--rfc2217"), QStringLiteral("0")});
  ASSERT_TRUE(url.startsWith(QStringLiteral("rfc2217://127.0.0.1:"))) << url.toStdString();
  EXPECT_GT(url.section(QLatin1Char(':'), -1).toInt(), 0);
  Terminate(process);
}

TEST_F(DevsimProgram, UnknownOptionsExitWithCodeTwo) {
  const char* cases[] = {"--model loopback --pty --bogus", "--bogus", "--model nothing --pty",
                         "--model loopback --pty --baud"};
  for (const char* line : cases) {
    SCOPED_TRACE(line);
    QProcess process;
    process.start(Program(), Args(line));
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_FALSE(process.readAllStandardError().isEmpty());
  }
}

// What the README tells a new user about the emulator is in its --help:
// every option and every profile (the profile tables are the emulator's).
TEST_F(DevsimProgram, HelpListsWhatTheReadmeNames) {
  QProcess process;
  process.start(Program(), {QStringLiteral("--help")});
  ASSERT_TRUE(process.waitForFinished(5000));
  EXPECT_EQ(process.exitCode(), 0);
  const QString help = QString::fromLocal8Bit(process.readAllStandardOutput());

  QFile file(QStringLiteral(TS_SOURCE_DIR "/README.md"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString readme = QString::fromUtf8(file.readAll());
  const qsizetype from = readme.indexOf(QStringLiteral("## Device emulator"));
  ASSERT_GE(from, 0);
  const QString section = readme.mid(from, readme.indexOf(QStringLiteral("\n## "), from + 1) - from);

  QStringList options;
  static const QRegularExpression kOption(QStringLiteral("--[a-z0-9][a-z0-9-]*"));
  for (auto it = kOption.globalMatch(section); it.hasNext();) options << it.next().captured();
  options.removeDuplicates();
  EXPECT_GE(options.size(), 15);
  for (const QString& option : options) {
    const QRegularExpression listed(QRegularExpression::escape(option) + QStringLiteral("(?![a-z0-9-])"));
    EXPECT_TRUE(help.contains(listed)) << option.toStdString() << " is not in --help";
  }

  QStringList profiles = ArgoProfiles::Names();
  profiles << BrioProfiles::Names(1) << BrioProfiles::Names(2);
  for (const QString& profile : profiles) {
    const QRegularExpression named(QStringLiteral("(?<![a-z0-9-])") + QRegularExpression::escape(profile) +
                                   QStringLiteral("(?![a-z0-9-])"));
    EXPECT_TRUE(help.contains(named)) << profile.toStdString() << " is not in --help";
    EXPECT_TRUE(section.contains(named)) << profile.toStdString() << " is not in the README";
  }
  for (const QString& model : ModelRegistry::Names())
    EXPECT_TRUE(help.contains(model)) << model.toStdString();
}

}  // namespace
