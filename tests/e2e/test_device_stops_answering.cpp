// The whole program against an emulated single-colour device that stops
// answering with its port kept open, or vanishes, at different points: one
// error, a window that stays responsive, no measurement started on a dead
// device, and an end within a second of SIGTERM.

#include <QElapsedTimer>
#include <memory>

#include "test_first_program_support.h"
#include "tools/devsim/argo_model.h"
#include "tools/devsim/devsim_options.h"
#include "tools/devsim/pty_server.h"

using namespace first_program;

namespace {

enum class Point { Connection, ReadAll, MidBurst };
enum class Fault { Silent, Vanish };

struct Case {
  const char* name;
  Point point;
  Fault fault;
};

// The device of one case, served in this process so its faults can be
// switched at the right moment.
class DeviceOfCase {
 public:
  DeviceOfCase(ProgramRun& run, int com, int baud) {
    ArgoOptions options;
    options.baudRate = baud;
    model_ = std::make_shared<ArgoModel>(ArgoProfiles::Default(), options);
    server_ = std::make_unique<PtyServer>(model_);
    QString error;
    EXPECT_TRUE(server_->Start(&error)) << error.toStdString();
    EXPECT_TRUE(SetPortsEntry(run.PortsPath(), com, server_->SlavePath(), error)) << error.toStdString();
  }
  ~DeviceOfCase() { server_->Stop(); }
  ArgoModel& Model() { return *model_; }
  bool Vanished() const { return server_->Vanished(); }
  void Apply(Fault fault) {
    ArgoFaults f = model_->Faults();
    if (fault == Fault::Silent) {
      f.silent = true;
    } else {
      f.vanishAfterRequests = 1;
      f.vanishAfterStreamBytes = 1;
    }
    model_->SetFaults(f);
  }

 private:
  std::shared_ptr<ArgoModel> model_;
  std::unique_ptr<PtyServer> server_;
};

// Settings that connect the device on `com` at start and start measuring;
// `baud` is the stored baud rate setting (1: 9600 .. 5: 115200 Bd).
void WriteAutoStartSettings(ProgramRun& run, int com, int baud, bool askForSaving) {
  run.WriteSettings(QStringLiteral("[COM]\nCOM=%1\nBaudrate=%2\nDeviceType=1\nArgo_Serial=%4\n"
                                   "[Options]\nAutoScan=1\nAutoStart=1\nAskForSaving=%3\n"
                                   "[Settings]\nArgoBurstStartDelay=0\n")
                        .arg(com)
                        .arg(baud)
                        .arg(askForSaving ? 1 : 0)
                        .arg(ArgoProfiles::Default().state.serial));
}

bool TerminatesWithin(ProgramRun& run, int ms) {
  QElapsedTimer t;
  t.start();
  const bool ended = run.Terminate(5000);
  return ended && t.elapsed() <= ms;
}

}  // namespace

TEST(DeviceStopsAnswering, OneErrorNoStartResponsiveAndPromptEnd) {
  const Case cases[] = {
      {"silent during connection", Point::Connection, Fault::Silent},
      {"silent during read-all", Point::ReadAll, Fault::Silent},
      {"silent mid-burst", Point::MidBurst, Fault::Silent},
      {"vanishing during read-all", Point::ReadAll, Fault::Vanish},
      {"vanishing mid-burst", Point::MidBurst, Fault::Vanish},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ProgramRun run;
    const int com = 11;
    // 9600 Bd: the read of the whole configuration takes seconds.
    WriteAutoStartSettings(run, com, 1, false);
    DeviceOfCase device(run, com, 9600);
    if (c.point == Point::Connection) device.Apply(c.fault);
    run.StartProgram({}, {{QStringLiteral("THERMASENTINEL_TEST_TICKS"), QStringLiteral("1")}});

    if (c.point == Point::ReadAll) {
      // A few requests into the read of the configuration.
      ASSERT_TRUE(WaitUntil([&] { return device.Model().RequestCount() >= 12; }, 20000));
      device.Apply(c.fault);
    } else if (c.point == Point::MidBurst) {
      ASSERT_TRUE(run.WaitForReport(
          [](const auto& r) { return r.value("State") == "7" && r.value("Records").toInt() > 50; }, 30000))
          << run.Output().toStdString();
      device.Apply(c.fault);
    }
    // The device is given up: one error, the port closed (connection and
    // read-all: by the connect time-out), nothing measuring.
    // A device that never answered raises no error; it is closed by the
    // connect time-out. One that vanished is closed by the removed-port
    // reaction, with at most the error of an exchange it cut short.
    const int errors = c.point == Point::Connection ? 0 : 1;
    ASSERT_TRUE(run.WaitForReport(
        [&](const auto& r) {
          return r.value("State") == "1" && (c.fault == Fault::Vanish || r.value("Errors").toInt() >= errors);
        },
        20000))
        << run.Output().toStdString() << " State=" << run.Report().value("State").toStdString();
    // Nothing more happens to the dead device for a while.
    QThread::msleep(c.point == Point::Connection ? 3000 : 1500);
    const auto r = run.Report();
    EXPECT_EQ(r.value("State"), "1");
    if (c.fault == Fault::Silent) {
      EXPECT_EQ(r.value("Errors").toInt(), errors);
    } else {
      EXPECT_LE(r.value("Errors").toInt(), 1);
    }
    if (c.point != Point::MidBurst) {
      EXPECT_EQ(r.value("Records"), "0");
    }
    EXPECT_LT(r.value("MaxTickGap").toInt(), 250) << "the window stalled";
    EXPECT_TRUE(TerminatesWithin(run, 1000)) << run.Output().toStdString();
  }
}

// Unsaved measurement data and the save question on (the default): SIGTERM
// asks nothing, saves them into the data folder and ends at once.
TEST(DeviceStopsAnswering, SignalWithUnsavedDataSavesAndEnds) {
  ProgramRun run;
  const int com = 12;
  WriteAutoStartSettings(run, com, 5, true);
  DeviceOfCase device(run, com, 115200);
  run.StartProgram();
  ASSERT_TRUE(run.WaitForReport(
      [](const auto& r) { return r.value("Samples").toInt() >= 200 && r.value("Unsaved") == "1"; }, 30000))
      << run.Output().toStdString();
  QElapsedTimer t;
  t.start();
  ASSERT_TRUE(run.Terminate(5000)) << run.Output().toStdString();
  EXPECT_LE(t.elapsed(), 1000);
  const QString output = run.Output();
  EXPECT_TRUE(output.contains(QStringLiteral("unsaved measurement data saved to"))) << output.toStdString();
  const QStringList files =
      QDir(run.Path(QStringLiteral("cfg/ThermaSentinel"))).entryList({QStringLiteral("*.dat")}, QDir::Files);
  ASSERT_EQ(files.size(), 1);
  QFile f(run.Path(QStringLiteral("cfg/ThermaSentinel/")) + files.first());
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  const QByteArray bytes = f.readAll();
  EXPECT_TRUE(bytes.startsWith("[Sentinel DataFile]"));
  EXPECT_TRUE(bytes.endsWith("End of File\r\n"));
  EXPECT_EQ(run.Report().value("Unsaved"), "0");
}

// The program ends on SIGTERM while it measures, and the device falls
// silent, or hangs up on the first request it gets (the burst-off of the
// stop the ending sends): the program still ends within a second.
TEST(DeviceStopsAnswering, LostOnTheStopOfTheEnd) {
  for (const Fault fault : {Fault::Silent, Fault::Vanish}) {
    SCOPED_TRACE(fault == Fault::Silent ? "silent" : "vanishing");
    ProgramRun run;
    const int com = 13;
    WriteAutoStartSettings(run, com, 5, false);
    DeviceOfCase device(run, com, 115200);
    run.StartProgram();
    ASSERT_TRUE(run.WaitForReport(
        [](const auto& r) { return r.value("State") == "7" && r.value("Records").toInt() > 50; }, 30000))
        << run.Output().toStdString();
    ArgoFaults faults = device.Model().Faults();
    if (fault == Fault::Silent)
      faults.silent = true;
    else
      faults.vanishAfterRequests = 1;
    device.Model().SetFaults(faults);
    EXPECT_TRUE(TerminatesWithin(run, 1000)) << run.Output().toStdString();
    if (fault == Fault::Vanish) {
      EXPECT_TRUE(device.Vanished()) << "the device never got the stop";
    }
  }
}
