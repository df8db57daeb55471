#include <QElapsedTimer>
#include <QFile>
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
  // The window writes its state there once it has shown it.
  const QString report = home.filePath(QStringLiteral("report.txt"));
  env.insert(QStringLiteral("THERMASENTINEL_TEST_REPORT"), report);
  program.setProcessEnvironment(env);
  program.start(ProgramPath(), {});
  ASSERT_TRUE(program.waitForStarted(10000));

  // Once the window is up, ask it to end.
  QElapsedTimer waited;
  waited.start();
  while (!QFile::exists(report) && program.state() == QProcess::Running && waited.elapsed() < 20000)
    QThread::msleep(20);
  ASSERT_TRUE(QFile::exists(report)) << program.readAllStandardError().toStdString();
  ASSERT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().toStdString();
  ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
  ASSERT_TRUE(program.waitForFinished(10000));
  EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(program.exitCode(), 0);
}
