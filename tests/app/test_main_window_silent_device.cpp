// The main window with an emulated device in this process, so the device
// can fall silent at a chosen moment: stopping a burst on a device that no
// longer answers.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <memory>

#include "app/therma_sentinel_form.h"
#include "platform/folders.h"
#include "tools/devsim/argo_model.h"
#include "tools/devsim/devsim_options.h"
#include "tools/devsim/pty_server.h"
#include "ui/lng_ini_supp.h"

namespace {

// Runs the event loop until `done` or the deadline; `maxGapMs` gets the
// longest gap between two 10 ms ticks of a timer on this (the GUI) thread.
bool RunUntil(const std::function<bool()>& done, int timeoutMs, qint64* maxGapMs = nullptr) {
  QElapsedTimer t;
  t.start();
  QElapsedTimer tick;
  tick.start();
  qint64 gap = 0;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  QObject::connect(&probe, &QTimer::timeout, [&] { gap = std::max(gap, tick.restart()); });
  probe.start(10);
  bool ok = true;
  while (!done()) {
    if (t.elapsed() > timeoutMs) {
      ok = false;
      break;
    }
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
  }
  if (maxGapMs != nullptr) *maxGapMs = gap;
  return ok;
}

class MainWindowSilentDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    QDir().mkpath(dir_.filePath(QStringLiteral("prog")));
    QFile::copy(QStringLiteral(TS_SOURCE_DIR "/lang/English.lng"),
                dir_.filePath(QStringLiteral("prog/English.lng")));
    Folders::SetProgramFolderForTesting(dir_.filePath(QStringLiteral("prog")));
    qputenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("cfg")).toLocal8Bit());
    qputenv("THERMASENTINEL_PORTS", dir_.filePath(QStringLiteral("ports.ini")).toLocal8Bit());
    TLngINISupp::ResetSharedStateForTesting();

    model_ = std::make_shared<ArgoModel>();
    server_ = std::make_unique<PtyServer>(model_);
    QString error;
    ASSERT_TRUE(server_->Start(&error)) << error.toStdString();
    ASSERT_TRUE(SetPortsEntry(dir_.filePath(QStringLiteral("ports.ini")), 4, server_->SlavePath(), error));

    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QDir().mkpath(dir_.filePath(QStringLiteral("cfg/") + name));
    QFile f(dir_.filePath(QStringLiteral("cfg/") + name + QLatin1Char('/') + name + QStringLiteral(".ini")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(
        "[COM]\r\nCOM=4\r\nBaudrate=5\r\nDeviceType=1\r\n[Options]\r\nAutoScan=1\r\nAutoStart=0\r\n"
        "AskForSaving=0\r\n[Settings]\r\nArgoBurstStartDelay=0\r\n");
  }
  void TearDown() override {
    form_.reset();
    if (server_) server_->Stop();
    Folders::SetProgramFolderForTesting(QString());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("THERMASENTINEL_PORTS");
  }

  QTemporaryDir dir_;
  std::shared_ptr<ArgoModel> model_;
  std::unique_ptr<PtyServer> server_;
  std::unique_ptr<TThermaSentinelForm> form_;
};

}  // namespace

// The device falls silent while a burst runs and the user stops it: the
// stop command returns at once, the lost device is reported once and the
// connection closed, and the window keeps answering throughout.
TEST_F(MainWindowSilentDeviceTest, StopOnADeviceThatFellSilent) {
  form_ = std::make_unique<TThermaSentinelForm>(QStringList{QStringLiteral("ThermaSentinel")});
  TThermaSentinelForm& f = *form_;
  f.show();
  ASSERT_TRUE(RunUntil([&] { return f.State() == csConnected; }, 15000)) << int(f.State());
  f.mStartClick(f.mStart);
  ASSERT_TRUE(RunUntil([&] { return f.SampleCount() > 100; }, 15000));

  ArgoFaults faults;
  faults.silent = true;
  model_->SetFaults(faults);
  QElapsedTimer t;
  t.start();
  f.mStopClick(f.mStop);
  EXPECT_LT(t.elapsed(), 100) << "the stop command waited on the line";

  qint64 gap = 0;
  EXPECT_TRUE(RunUntil([&] { return f.State() == csClosed; }, 10000, &gap)) << int(f.State());
  EXPECT_EQ(f.ErrorCount(), 1);
  EXPECT_LT(gap, 100) << "the window stalled";
  // Nothing more comes from the dead device.
  RunUntil([] { return false; }, 1500, &gap);
  EXPECT_EQ(f.State(), csClosed);
  EXPECT_EQ(f.ErrorCount(), 1);
  EXPECT_LT(gap, 100);
}
