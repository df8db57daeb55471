#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>
#include <csignal>

namespace {

QString ProgramPath() { return QStringLiteral(TS_BINARY_DIR "/app/ThermaSentinel"); }

}  // namespace

// The program opens its main window offscreen and closes cleanly on SIGTERM,
// the way a session logout ends it.
TEST(ProgramStart, OpensAndClosesCleanlyOnTerminate) {
  QTemporaryDir home;
  ASSERT_TRUE(home.isValid());
  QProcess program;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
  env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
  env.insert(QStringLiteral("THERMASENTINEL_PORTS"), home.filePath(QStringLiteral("ports.ini")));
  program.setProcessEnvironment(env);
  program.start(ProgramPath(), {});
  ASSERT_TRUE(program.waitForStarted(10000));

  // Let it reach the event loop, then ask it to end.
  QThread::msleep(1500);
  ASSERT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().toStdString();
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  ASSERT_TRUE(program.waitForFinished(10000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
}
