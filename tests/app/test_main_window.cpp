// The main window on its own (no device): start-up state and commands, the
// unsaved-data question, the data file through the window, the chart-full
// stop, the value bars.

#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QToolButton>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <memory>

#include "app/modal_result.h"
#include "app/scan_device_dlg.h"
#include "app/therma_sentinel_form.h"
#include "drivers/argo/argo_types.h"
#include "measurement/measurement_data.h"
#include "measurement/measurement_data_file.h"
#include "platform/folders.h"
#include "platform/number_text.h"
#include "tests/support/wait_for.h"
#include "ui/diagram.h"
#include "ui/lng_ini_supp.h"
#include "ui/panel_status_bar.h"

namespace {

using test_support::WaitForEvents;

// A per-test home: settings, ports and a program folder holding the
// language file.
class MainWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.isValid());
    QDir().mkpath(dir_.filePath(QStringLiteral("prog")));
    QFile::copy(QStringLiteral(TS_SOURCE_DIR "/lang/English.lng"),
                dir_.filePath(QStringLiteral("prog/English.lng")));
    Folders::SetProgramFolderForTesting(dir_.filePath(QStringLiteral("prog")));
    qputenv("XDG_CONFIG_HOME", dir_.filePath(QStringLiteral("cfg")).toLocal8Bit());
    qputenv("THERMASENTINEL_PORTS", dir_.filePath(QStringLiteral("ports.ini")).toLocal8Bit());
    QFile ports(dir_.filePath(QStringLiteral("ports.ini")));
    ASSERT_TRUE(ports.open(QIODevice::WriteOnly));
    ports.write("[Ports]\r\n");
    TLngINISupp::ResetSharedStateForTesting();
  }
  void TearDown() override {
    form_.reset();
    NumberText::SetDecimalSeparator(QChar());
    Folders::SetProgramFolderForTesting(QString());
    qunsetenv("XDG_CONFIG_HOME");
    qunsetenv("THERMASENTINEL_PORTS");
  }

  void WriteSettings(const QString& text) {
    // The settings file is named after the running program.
    const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
    QDir().mkpath(dir_.filePath(QStringLiteral("cfg/") + name));
    QFile f(dir_.filePath(QStringLiteral("cfg/") + name + QLatin1Char('/') + name + QStringLiteral(".ini")));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(QString(text).replace(QStringLiteral("\n"), QStringLiteral("\r\n")).toLatin1());
  }

  // Creates and shows the window and waits for its deferred start.
  TThermaSentinelForm& Start(const QStringList& args = {}) {
    QStringList all{QStringLiteral("ThermaSentinel")};
    all << args;
    form_ = std::make_unique<TThermaSentinelForm>(all, QStringLiteral("1.2.3.4"));
    form_->OnShowMessage = [this](const QString&, const QString&) { ++messages_; };
    form_->show();
    EXPECT_TRUE(WaitForEvents([&] { return form_->Started(); }, 8000));
    return *form_;
  }

  QTemporaryDir dir_;
  std::unique_ptr<TThermaSentinelForm> form_;
  int messages_ = 0;
};

}  // namespace

TEST_F(MainWindowTest, StartsClosedWithTheCommandsOfThatState) {
  WriteSettings(QStringLiteral("[Options]\nAutoScan=1\n[COM]\nCOM=3\n"));
  TThermaSentinelForm& f = Start();
  EXPECT_EQ(f.State(), csClosed);
  EXPECT_EQ(f.StatusBar()->PanelText(0), QStringLiteral("COM3: Closed"));
  EXPECT_EQ(f.StatusBar()->PanelText(1), QString());
  EXPECT_TRUE(f.mScan->isEnabled());
  EXPECT_TRUE(f.btnScan->isEnabled());
  EXPECT_TRUE(f.mOpen->isEnabled());
  EXPECT_FALSE(f.mStart->isEnabled());
  EXPECT_FALSE(f.mStop->isEnabled());
  EXPECT_FALSE(f.mDisconnect->isEnabled());
  EXPECT_FALSE(f.mSave->isEnabled());
  EXPECT_FALSE(f.mDeviceInfo->isEnabled());
  EXPECT_FALSE(f.mLASER->isVisible());
  EXPECT_TRUE(f.windowTitle().contains(QStringLiteral("1.2.3.4")));
  // The scan command on a port that does not exist returns to Closed as
  // soon as the device thread reports the failed open.
  f.mScanClick(f.mScan);
  EXPECT_TRUE(WaitForEvents([&] { return f.State() == csClosed; }, 2000)) << int(f.State());
  EXPECT_TRUE(f.mScan->isEnabled());
}

TEST_F(MainWindowTest, StartupTimerFollowsTheDelaySwitch) {
  struct Case {
    QStringList args;
    int interval;
  };
  const Case cases[] = {
      {{}, 1},
      {{QStringLiteral("/delay")}, 1001},
      {{QStringLiteral("/DELAY=3")}, 3001},
      {{QStringLiteral("/DELAY=x")}, 1001},
  };
  for (const Case& c : cases) {
    QStringList all{QStringLiteral("ThermaSentinel")};
    all << c.args;
    TThermaSentinelForm f(all);
    f.show();
    EXPECT_EQ(f.StartupTimerInterval(), c.interval) << c.args.join(' ').toStdString();
    f.SetUnsavedData(false);
  }
}

TEST_F(MainWindowTest, InstanceNameLeadsTheCaption) {
  TThermaSentinelForm& f = Start({QStringLiteral("/NAME=Kiln")});
  EXPECT_TRUE(f.windowTitle().startsWith(QStringLiteral("Kiln - "))) << f.windowTitle().toStdString();
  EXPECT_TRUE(f.Config()->FileName().endsWith(QStringLiteral("-Kiln.ini")));
}

// "Yes" counts only when the data were really saved.
TEST_F(MainWindowTest, UnsavedDataQuestion) {
  struct Case {
    int answer;
    bool saveChosen;
    bool goOn;
    bool unsavedAfter;
  };
  const Case cases[] = {
      {mrYes, true, true, false},
      {mrYes, false, false, true},
      {mrNo, false, true, false},
      {mrCancel, false, false, true},
  };
  TThermaSentinelForm& f = Start();
  const QString file = dir_.filePath(QStringLiteral("q.dat"));
  for (const Case& c : cases) {
    QFile::remove(file);
    f.SetUnsavedData(true);
    f.OnAskSaveQuestion = [&] { return c.answer; };
    f.OnChooseDataFileName = [&](bool) { return c.saveChosen ? file : QString(); };
    EXPECT_EQ(f.AskSaveUnsavedData(), c.goOn) << c.answer << c.saveChosen;
    EXPECT_EQ(f.UnsavedData(), c.unsavedAfter) << c.answer << c.saveChosen;
    EXPECT_EQ(QFile::exists(file), c.answer == mrYes && c.saveChosen);
  }
  f.SetUnsavedData(false);
}

// Samples saved through the window and loaded again come back equal, with
// either decimal separator and in either unit.
TEST_F(MainWindowTest, DataFileRoundTrip) {
  struct Case {
    QChar separator;
    bool fahrenheit;
  };
  for (const Case& c : {Case{QLatin1Char('.'), false}, Case{QLatin1Char(','), true}}) {
    WriteSettings(
        QStringLiteral("[MAIN]\nTemperatureUnit=%1\n[Options]\nAutoScan=0\n").arg(c.fahrenheit ? 1 : 0));
    TThermaSentinelForm& f = Start();
    NumberText::SetDecimalSeparator(c.separator);
    TDiagram& d = *f.Diagram();
    d.SetResolution(0.1);
    d.Reset(smLocal, 0.0, 10.0);
    const int n = 40;
    auto value = [](int i, int ch) -> float {
      if (ch == 7) return 0.95f - 0.001f * i;            // epsilon
      if (ch == 8 || ch == 9) return 1.25f + 0.5f * ch;  // volts
      return 20.0f + i + ch * 10.5f;
    };
    for (int i = 0; i < n; ++i) {
      std::array<float, 11> v{};
      for (int ch = 0; ch < 11; ++ch) v[ch] = value(i, ch);
      d.AddValues(v, i * 0.1);
    }
    const QString file = dir_.filePath(QStringLiteral("round.dat"));
    ASSERT_TRUE(f.WriteDataFile(file));
    QFile raw(file);
    ASSERT_TRUE(raw.open(QIODevice::ReadOnly));
    const QByteArray bytes = raw.readAll();
    EXPECT_TRUE(bytes.contains(c.fahrenheit ? QByteArray("Unit:\t\xB0"
                                                         "F\r\n")
                                            : QByteArray("Unit:\t\xB0"
                                                         "C\r\n")));
    EXPECT_TRUE(bytes.contains(QByteArray("000:00:01") + char(c.separator.toLatin1()) + "500\t"));

    d.Reset(smLocal, 0.0, 1.0);
    ASSERT_TRUE(f.ReadDataFile(file));
    EXPECT_EQ(f.Fahrenheit(), c.fahrenheit);
    // The chart completes a slot when the next sample comes: the newest
    // samples are still open and not saved.
    for (int i = 0; i < n - 3; ++i) {
      for (int ch = 0; ch < 11; ++ch) {
        const double tolerance = ch == 7 ? 0.0006 : (c.fahrenheit ? 0.06 : 0.051);
        EXPECT_NEAR(d.ValueAt(ch, i * 0.1), value(i, ch), tolerance) << "sample " << i << " channel " << ch;
      }
    }
    form_.reset();
    NumberText::SetDecimalSeparator(QChar());
    TLngINISupp::ResetSharedStateForTesting();
  }
}

// Whatever the chart showed before, an opened file can be seen whole and
// scrolled through: ten minutes saved from the chart, and a hand-made file
// with a row every 3 s.
TEST_F(MainWindowTest, AnOpenedFileCanBeSeenAndScrolledWhole) {
  WriteSettings(QStringLiteral("[Options]\nAutoScan=0\nAskForSaving=0\n"));
  TThermaSentinelForm& f = Start();
  NumberText::SetDecimalSeparator(QLatin1Char('.'));
  TDiagram& d = *f.Diagram();

  const QString saved = dir_.filePath(QStringLiteral("ten-minutes.dat"));
  d.SetResolution(0.1);
  d.Reset(smLocal, 0.0, 10.0);
  for (int i = 0; i <= 6001; ++i) {
    std::array<float, 11> v{};
    v.fill(760.0f + static_cast<float>(i % 13));
    d.AddValues(v, i * 0.1);
  }
  f.OnChooseDataFileName = [&](bool) { return saved; };
  ASSERT_TRUE(f.mSaveClick(f.mSave));

  const QString steps = dir_.filePath(QStringLiteral("steps.dat"));
  {
    QByteArray text =
        "[Sentinel DataFile][1.2]\r\nDate:\t01.02.2026\r\nTime:\t10:00:00\r\nUnit:\t\xB0"
        "C\r\nResolution:\t1.000/0.100\r\nValues:\t11\r\n"
        "Time\tTObj\tTInt\tTBox\tTAct\tT2C\tT1C\tATTENUATION\tEpsilon\tmVin\tVcc\tTAmb\r\n";
    for (int i = 0; i <= 10; ++i) {
      text += QStringLiteral("000:00:%1.000").arg(3 * i, 2, 10, QLatin1Char('0')).toLatin1();
      for (int c = 0; c < 11; ++c) text += "\t" + QByteArray::number(100 + 10 * i) + ".0";
      text += "\t\r\n";
    }
    text += "---------------------------------\r\nEnd of File\r\n";
    QFile file(steps);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text);
  }

  struct Case {
    QString file;
    double end;              // seconds
    double valueAt3sBefore;  // 3 s before the end
  };
  for (const Case& c : {Case{saved, 600.0, 760.0 + 5970 % 13}, Case{steps, 30.0, 190.0}}) {
    for (const bool constDiff : {true, false}) {
      SCOPED_TRACE(
          QStringLiteral("%1 XConstDiff=%2").arg(QFileInfo(c.file).fileName()).arg(constDiff).toStdString());
      // What a measurement leaves: a 1-s window that moves along.
      d.SetResolution(0.1);
      d.Reset(smLocal, 0.0, 1.0);
      d.SetXConstDiff(constDiff);
      f.OnChooseDataFileName = [&](bool) { return c.file; };
      f.mOpenClick(f.mOpen);
      QApplication::processEvents();
      EXPECT_NEAR(d.XMin(), 0.0, 1e-6);
      EXPECT_NEAR(d.XMax(), c.end, 1.01);
      EXPECT_NEAR(d.ValueAt(0, c.end - 3.0), c.valueAt3sBefore, 0.051);

      f.mTimeZoomIn->trigger();
      f.mTimeZoomIn->trigger();
      EXPECT_LT(d.XMax() - d.XMin(), c.end / 2);
      f.mTimeZoomFull->trigger();
      EXPECT_NEAR(d.XMin(), 0.0, 1e-6);
      EXPECT_NEAR(d.XMax(), c.end, 1.01);

      // Zoomed in, the scroll bar reaches the last sample.
      f.mTimeZoomIn->trigger();
      d.UpdateScrollBars();
      const TScrollBarParams bar = d.XScrollBar();
      d.XScroll(bar.Max - bar.PageSize);
      EXPECT_NEAR(d.XMax(), c.end, c.end / 50 + 1.01);
      f.mTimeZoomOut->trigger();
      f.mTimeZoomOut->trigger();
      f.mTimeZoomOut->trigger();
      EXPECT_NEAR(d.XMin(), 0.0, 1e-6);
      EXPECT_NEAR(d.XMax(), c.end, 1.01);
    }
  }
}

// Data files that are cut short or longer than the chart: what fits is
// loaded, and the user is told what was not (never "Measuring stopped!").
TEST_F(MainWindowTest, DataFilesCutShortOrTooLongLoadWhatTheyCan) {
  WriteSettings(QStringLiteral("[Options]\nAutoScan=0\n[Settings]\nMaxData=1000\n"));
  TThermaSentinelForm& f = Start();
  QStringList shown;
  f.OnShowMessage = [&](const QString& text, const QString&) { shown << text; };
  NumberText::SetDecimalSeparator(QLatin1Char('.'));

  auto fileWithRows = [&](int rows) {
    MeasurementData data;
    data.Header.Resolution = 0.1;
    for (int i = 0; i < rows; ++i) {
      TChannelValues v{};
      v.fill(20.0f + static_cast<float>(i % 100));
      data.Append(i * 0.1, v);
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    MeasurementDataFile file;
    file.SetDecimalSeparator(QLatin1Char('.'));
    EXPECT_TRUE(file.WriteTo(buffer, data.Header, data).Ok());
    return buffer.data();
  };
  const QByteArray full = fileWithRows(300);
  const QByteArray endOfRows = "---------------------------------";
  struct Case {
    const char* name;
    QByteArray bytes;
    bool loaded;
    std::int64_t lastSlot;  // the newest slot the chart holds
    const char* message;    // part of the message shown; empty: none
  } cases[] = {
      {"whole", full, true, 299, ""},
      {"cut inside a row", full.left(full.indexOf(endOfRows) - 30), true, 298, "complete rows"},
      {"cut after a row", full.left(full.indexOf(endOfRows)), true, 299, "closing lines"},
      {"more rows than the chart holds", fileWithRows(1500), true, 1000,
       "1000 samples: 1001 rows were loaded, 499 rows were left out"},
      {"not a data file", "hello\r\n", false, -1, ""},
      {"cut in the header", full.left(50), false, -1, "header"},
  };
  const QString path = dir_.filePath(QStringLiteral("cases.dat"));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    shown.clear();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(c.bytes);
    file.close();
    TDiagram& d = *f.Diagram();
    d.Reset(smLocal, 0.0, 1.0);
    EXPECT_EQ(f.ReadDataFile(path), c.loaded);
    QApplication::processEvents();
    if (c.lastSlot >= 0) {
      EXPECT_NEAR(d.ValueAt(0, 0.0), 20.0, 0.05);
      EXPECT_GE(d.UsedData(), c.lastSlot - 1);
      EXPECT_LE(d.UsedData(), c.lastSlot);
    }
    if (*c.message == '\0') {
      EXPECT_TRUE(shown.isEmpty()) << shown.join(QLatin1Char('|')).toStdString();
    } else {
      ASSERT_EQ(shown.size(), 1);
      EXPECT_TRUE(shown.first().contains(QLatin1String(c.message))) << shown.first().toStdString();
    }
    EXPECT_FALSE(shown.join(QLatin1Char(' ')).contains(QLatin1String("Measuring stopped")));
  }
}

// A save "ForceSaving" asks for that fails (a full disk): one message, the
// data stay unsaved, and the close asks about them even with "AskForSaving"
// off. Needs a small tmpfs; skipped where the machine does not allow one.
TEST_F(MainWindowTest, AForcedSaveThatFailsIsReportedOnceAndTheCloseAsks) {
  WriteSettings(QStringLiteral("[Options]\nAutoScan=0\nAskForSaving=0\nForceSaving=1\n"));
  TThermaSentinelForm& f = Start();
  const QString full = dir_.filePath(QStringLiteral("full"));
  ASSERT_TRUE(QDir().mkpath(full));
  if (::mount("tmpfs", QFile::encodeName(full).constData(), "tmpfs", 0, "size=64k") != 0)
    GTEST_SKIP() << "cannot mount a small tmpfs here: " << std::strerror(errno);
  struct Unmount {
    QString path;
    ~Unmount() { ::umount2(QFile::encodeName(path).constData(), MNT_DETACH); }
  } unmount{full};
  {
    QFile filler(full + QStringLiteral("/filler"));
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    const QByteArray block(1024, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
  }
  TDiagram& d = *f.Diagram();
  d.SetResolution(0.01);
  d.Reset(smLocal, 0.0, 10.0);
  for (int i = 0; i < 3000; ++i) {
    std::array<float, 11> v{};
    v.fill(100.0f + static_cast<float>(i % 50));
    d.AddValues(v, i * 0.01);
  }
  QStringList shown;
  f.OnShowMessage = [&](const QString& text, const QString&) { shown << text; };
  QString target = full + QStringLiteral("/run.dat");
  f.OnChooseDataFileName = [&](bool) { return target; };
  int asked = 0;
  f.OnAskSaveQuestion = [&] {
    ++asked;
    return mrCancel;
  };
  f.SetUnsavedData(true);
  EXPECT_TRUE(f.AskSaveUnsavedData());  // no failed save yet: "AskForSaving" decides
  EXPECT_EQ(asked, 0);
  f.ForceSave();
  QApplication::processEvents();
  EXPECT_EQ(shown.size(), 1) << shown.join(QLatin1Char('|')).toStdString();
  EXPECT_TRUE(f.UnsavedData());
  EXPECT_FALSE(QFile::exists(target));

  EXPECT_FALSE(f.AskSaveUnsavedData());
  EXPECT_EQ(asked, 1);
  // Saved elsewhere when asked again: then nothing is left to ask about.
  target = dir_.filePath(QStringLiteral("run.dat"));
  f.OnAskSaveQuestion = [&] {
    ++asked;
    return mrYes;
  };
  EXPECT_TRUE(f.AskSaveUnsavedData());
  EXPECT_FALSE(f.UnsavedData());
  EXPECT_TRUE(QFile::exists(target));
  f.SetUnsavedData(false);
}

// A settings file that is a FIFO neither hangs the start nor goes unnoticed.
TEST_F(MainWindowTest, ASettingsPathThatIsAFifoIsReportedAtStart) {
  const QString name = QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName();
  ASSERT_TRUE(QDir().mkpath(dir_.filePath(QStringLiteral("cfg/") + name)));
  const QString path =
      dir_.filePath(QStringLiteral("cfg/") + name + QLatin1Char('/') + name + QStringLiteral(".ini"));
  ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
  QStringList shown;
  QStringList all{QStringLiteral("ThermaSentinel")};
  form_ = std::make_unique<TThermaSentinelForm>(all, QStringLiteral("1.2.3.4"));
  form_->OnShowMessage = [&](const QString& text, const QString&) { shown << text; };
  form_->show();
  EXPECT_TRUE(WaitForEvents([&] { return !shown.isEmpty(); }, 8000));
  ASSERT_FALSE(shown.isEmpty());
  EXPECT_TRUE(shown.first().contains(QLatin1String("not a regular file"))) << shown.first().toStdString();
  form_.reset();
  struct stat st;
  ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
  EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

// A full chart stops the measurement and tells the user once, however many
// samples it refuses.
TEST_F(MainWindowTest, BufferFullIsReportedOnce) {
  TThermaSentinelForm& f = Start();
  for (int i = 0; i < 5; ++i) f.Diagram()->OnBufferFull(f.Diagram());
  WaitForEvents([&] { return messages_ > 0; }, 1000);
  QApplication::processEvents();
  EXPECT_EQ(messages_, 1);
}

// The value bars on top and on the right exclude each other; a channel
// toggle hides both of its panels.
TEST_F(MainWindowTest, ValueBarsAndPanelToggles) {
  WriteSettings(
      QStringLiteral("[Options]\nAutoScan=0\nDigitalTop=0\nDigitalRight=1\n"
                     "[Settings]\nTObj_ShowDigital=1\nEps_ShowDigital=1\n"));
  TThermaSentinelForm& f = Start();
  auto* gbEps = f.findChild<QGroupBox*>(QStringLiteral("gbEps"));
  auto* gbeps2 = f.findChild<QGroupBox*>(QStringLiteral("gbeps2"));
  ASSERT_NE(gbEps, nullptr);
  ASSERT_NE(gbeps2, nullptr);
  EXPECT_TRUE(f.mTempbarright->isChecked());
  EXPECT_FALSE(f.pnlGlowReadout2->isHidden());
  EXPECT_FALSE(gbeps2->isHidden());

  f.mTempbartop->trigger();
  EXPECT_TRUE(f.mTempbartop->isChecked());
  EXPECT_TRUE(f.mTempBarTop2->isChecked());
  EXPECT_FALSE(f.mTempbarright->isChecked());
  EXPECT_FALSE(f.mTempbarright2->isChecked());
  EXPECT_TRUE(f.pnlGlowReadout2->isHidden());
  EXPECT_FALSE(f.pnlDigital->isHidden());
  EXPECT_FALSE(gbEps->isHidden());

  f.mEps->trigger();
  EXPECT_TRUE(gbEps->isHidden());
  EXPECT_TRUE(gbeps2->isHidden());

  f.mTempbartop->trigger();  // both bars may be off
  EXPECT_TRUE(f.pnlDigital->isHidden());
  EXPECT_TRUE(f.pnlGlowReadout2->isHidden());
}

TEST_F(MainWindowTest, ChartSettingsWidenAnEmptyYWindow) {
  WriteSettings(QStringLiteral(
      "[Options]\nAutoScan=0\n[Settings]\nMinScale=3000\nMaxScale=3000\nYRangeMin=-50\nYRangeMax=3000\n"));
  TThermaSentinelForm& f = Start();
  EXPECT_DOUBLE_EQ(f.Diagram()->YMin(), 2999.0);
  EXPECT_DOUBLE_EQ(f.Diagram()->YMax(), 3000.0);
}

// The stored baud rate outside 1..5: the automatic connection to an RS485
// address takes 115200 Bd, the scan command 9600 Bd. Without an address
// the start runs the scan dialog instead (the device is not connected
// directly), and the scan command is given afterwards.
TEST_F(MainWindowTest, StoredBaudRateOutsideItsRange) {
  struct Case {
    int stored;
    int address;
    TArgoBaudrate expected;
  };
  const Case cases[] = {
      {0, 5, argo115200}, {6, 5, argo115200}, {0, 0, argo9600}, {6, 0, argo9600}, {3, 0, argo38400},
  };
  for (const Case& c : cases) {
    WriteSettings(
        QStringLiteral("[Options]\nAutoScan=1\n[COM]\nCOM=2\nDeviceType=1\nBaudrate=%1\nRS845Addr=%2\n")
            .arg(c.stored)
            .arg(c.address));
    TThermaSentinelForm& f = Start();
    if (c.address == 0) {
      EXPECT_TRUE(f.ScanDeviceDlg->isVisible());
      f.ScanDeviceDlg->reject();
      f.mScanClick(f.mScan);
    }
    ASSERT_NE(f.Family(), nullptr);
    // The port is opened on the device's thread: wait for its answer.
    EXPECT_TRUE(WaitForEvents([&] { return !f.Family()->Busy(); }));
    EXPECT_TRUE(WaitForEvents([&] { return f.State() == csClosed; }));
    EXPECT_EQ(f.Family()->Snapshot().BaudIndex, static_cast<int>(c.expected)) << c.stored << " " << c.address;
    EXPECT_EQ(f.State(), csClosed);
    form_.reset();
    TLngINISupp::ResetSharedStateForTesting();
  }
}
