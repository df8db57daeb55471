// Live measurement of the whole program against the emulated single-colour
// device: burst and poll mode, the data file, a device that vanishes.

#include <QFile>
#include <QRegularExpression>

#include "test_first_program_support.h"

using namespace first_program;

namespace {

struct Records {
  QList<QList<int>> rows;  // eight raw values each
  bool ok = true;
};

Records ReadRecords(const QString& path) {
  Records r;
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) {
    r.ok = false;
    return r;
  }
  for (const QByteArray& line : f.readAll().split('\n')) {
    if (line.isEmpty()) continue;
    const QList<QByteArray> fields = line.split('\t');
    if (fields.size() < 9) {
      r.ok = false;
      continue;
    }
    QList<int> v;
    for (int i = 0; i < 8; ++i) v << fields[i].toInt();
    r.rows << v;
  }
  return r;
}

}  // namespace

// The stored device is connected at start and measured in burst mode; every
// frame the device sent reaches the program once and in order (the
// emulator's values rise by one per frame), and the panels show the newest
// value.
TEST(FirstProgramMeasurement, BurstRecordsArriveCompleteAndInOrder) {
  ProgramRun run;
  // The stored serial, written with a leading zero, is written anew at close.
  run.WriteSettings(DeviceSettings(5, QString(), QString(), QStringLiteral("01042424")));
  run.StartDevice(5, {QStringLiteral("--serial"), QStringLiteral("1042424")});
  run.StartProgram();
  ASSERT_TRUE(run.WaitForReport(
      [](const auto& r) { return r.value("State") == "7" && r.value("Records").toInt() >= 3000; }, 30000))
      << run.Output().toStdString();
  const auto r = run.Report();
  EXPECT_EQ(r.value("Mode"), "1");
  EXPECT_EQ(r.value("StatusPanel1"), "Argo: Measuring");
  ASSERT_TRUE(run.Terminate()) << run.Output().toStdString();

  const auto fin = run.Report();
  const Records rec = ReadRecords(run.RecordsPath());
  ASSERT_TRUE(rec.ok);
  ASSERT_GE(rec.rows.size(), 3000);
  EXPECT_EQ(rec.rows.size(), fin.value("Records").toInt());
  int gaps = 0;
  for (int i = 1; i < rec.rows.size(); ++i) {
    for (int ch = 0; ch < 4; ++ch) {
      if ((rec.rows[i][ch] - rec.rows[i - 1][ch] + 100) % 100 != 1) ++gaps;
    }
  }
  EXPECT_EQ(gaps, 0);
  EXPECT_EQ(fin.value("BytesLost"), "0");
  // Every record after the first became a chart sample.
  EXPECT_EQ(fin.value("Samples").toInt(), fin.value("Records").toInt() - 1);
  // The panel shows the newest record's object temperature.
  const int raw = rec.rows.last()[0];
  const QString expected = QString::number((raw - 1000) / 10.0, 'f', 1) + QStringLiteral("°C");
  EXPECT_EQ(fin.value("lblTObj"), expected);
  EXPECT_EQ(fin.value("lblTObj2"), expected);
  // The connected device's serial number is remembered.
  EXPECT_EQ(ReadKeyValues(run.SettingsPath()).value("Argo_Serial"), "1042424");
}

// CommunicationMode 2 measures by polling at the recording interval.
TEST(FirstProgramMeasurement, PollModeAddsSamples) {
  ProgramRun run;
  run.WriteSettings(DeviceSettings(6, QStringLiteral("CommunicationMode=2\nResolution=0.1\n")));
  run.StartDevice(6);
  run.StartProgram();
  ASSERT_TRUE(run.WaitForReport(
      [](const auto& r) { return r.value("State") == "7" && r.value("Samples").toInt() >= 10; }, 30000))
      << run.Output().toStdString();
  const auto r = run.Report();
  EXPECT_EQ(r.value("Mode"), "2");
  EXPECT_EQ(r.value("Records"), "0");
  EXPECT_TRUE(r.value("lblTObj").endsWith(QStringLiteral("°C")));
  ASSERT_TRUE(run.Terminate()) << run.Output().toStdString();
}

// A device that vanishes in the middle of a burst leaves the program closed
// (not hanging), and the program still ends promptly.
TEST(FirstProgramMeasurement, DeviceVanishingMidBurstClosesTheConnection) {
  ProgramRun run;
  run.WriteSettings(DeviceSettings(8));
  run.StartDevice(8, {QStringLiteral("--vanish-after-bytes"), QStringLiteral("40000")});
  run.StartProgram();
  ASSERT_TRUE(run.WaitForReport([](const auto& r) { return r.value("State") == "7"; }, 30000))
      << run.Output().toStdString();
  ASSERT_TRUE(run.WaitForReport([](const auto& r) { return r.value("State") == "1"; }, 20000))
      << run.Output().toStdString();
  EXPECT_EQ(run.Report().value("StatusPanel0"), "COM8: Closed");
  EXPECT_GT(run.ReportInt("Samples"), 100);
  ASSERT_TRUE(run.Terminate(10000)) << run.Output().toStdString();
}

// With "ForceSaving" the data are saved when the measurement stops (here at
// close): a complete file in the program's format.
TEST(FirstProgramMeasurement, StopWithForceSavingWritesTheDataFile) {
  ProgramRun run;
  run.WriteSettings(
      DeviceSettings(9, QStringLiteral("Resolution=0.01\n"), QStringLiteral("ForceSaving=1\n")));
  run.StartDevice(9);
  const QString dat = run.Path(QStringLiteral("run.dat"));
  run.StartProgram({}, {{QStringLiteral("THERMASENTINEL_TEST_SAVE_FILE"), dat}});
  ASSERT_TRUE(run.WaitForReport(
      [](const auto& r) { return r.value("State") == "7" && r.value("Samples").toInt() >= 1000; }, 30000))
      << run.Output().toStdString();
  ASSERT_TRUE(run.Terminate()) << run.Output().toStdString();

  QFile f(dat);
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  const QList<QByteArray> lines = bytes.split('\n');
  ASSERT_GT(lines.size(), 20);
  EXPECT_EQ(lines[0], "[Sentinel DataFile][1.2]\r");
  EXPECT_EQ(lines[3],
            "Unit:\t\xB0"
            "C\r");
  EXPECT_TRUE(lines[4].startsWith("Resolution:\t0.010/0.100"));
  EXPECT_EQ(lines[5], "Values:\t11\r");
  EXPECT_TRUE(bytes.endsWith("---------------------------------\r\nEnd of File\r\n"));
  // Rows: a time field, eleven values, a trailing tab; TObj near the
  // emulator's object temperature.
  const QRegularExpression time(QStringLiteral("^\\d{3}:\\d{2}:\\d{2}[.,]\\d{3}$"));
  int rows = 0;
  for (int i = 7; i < lines.size(); ++i) {
    if (lines[i].startsWith("---")) break;
    const QList<QByteArray> fields = lines[i].split('\t');
    ASSERT_EQ(fields.size(), 13) << i;
    ASSERT_TRUE(time.match(QString::fromLatin1(fields[0])).hasMatch()) << fields[0].constData();
    EXPECT_EQ(fields[12], "\r");
    ++rows;
  }
  EXPECT_GT(rows, 100);
}
