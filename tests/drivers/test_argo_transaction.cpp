// The exchange of the single-colour driver against the device emulator:
// framing on a bus, tries, losing and regaining the device, the log.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <cerrno>
#include <cstring>

#include "fixtures/argo_pty_fixture.h"
#include "platform/logger.h"
#include "platform/serial_device.h"

namespace argotest {
namespace {

class ArgoTransactionTest : public ArgoPtyTest {};

struct PrefixCase {
  int driverAddress;
  bool deviceOnBus;
  int deviceAddress;
  std::vector<std::uint8_t> expected;  // the framed firmware read
};

TEST_F(ArgoTransactionTest, BusPrefixOutsideTheChecksum) {
  const PrefixCase cases[] = {
      {0, false, 0, {0x0F}},      {-1, false, 0, {0x0F}},     {80, false, 0, {0x0F}},
      {1, true, 1, {0xB1, 0x0F}}, {5, true, 5, {0xB5, 0x0F}}, {79, true, 79, {0xFF, 0x0F}},
  };
  for (const PrefixCase& c : cases) {
    SCOPED_TRACE(c.driverAddress);
    ArgoOptions options;
    options.onBus = c.deviceOnBus;
    StartDevice(QStringLiteral("argo-current"), options);
    SetState([&](ArgoDeviceState& s) { s.busAddress = static_cast<std::uint8_t>(c.deviceAddress); });
    driver_->SetRS485_Addr(static_cast<std::int8_t>(c.driverAddress));
    ASSERT_TRUE(driver_->OpenPort());
    EXPECT_EQ(driver_->GetFirmwareRevision(), 2510);
    ASSERT_GE(model_->RequestCount(), 1u);
    EXPECT_EQ(model_->Requests()[0].bytes, c.expected);
    if (c.deviceOnBus) {
      // The checksum covers the request, not the prefix.
      model_->ClearRequests();
      driver_->SetEmissivity(1.1f);
      ASSERT_EQ(model_->RequestCount(), 1u);
      EXPECT_EQ(model_->Requests()[0].bytes,
                (std::vector<std::uint8_t>{static_cast<std::uint8_t>(0xB0 + c.deviceAddress), 0x84, 0x04,
                                           0x4C, 0xCC}));
      EXPECT_EQ(model_->Requests()[0].outcome, ArgoRequestOutcome::Answered);
    }
    TearDown();
    events_ = EventLog();
  }
}

TEST_F(ArgoTransactionTest, ThreeTriesThenDisconnectThenComingBack) {
  StartDevice();
  driver_->SetLogFile(true);
  OpenAndConnect();
  SetState([](ArgoDeviceState& s) { s.objectTemp = 1234; });
  SetFaults([](ArgoFaults& f) { f.silent = true; });
  const std::uint64_t idleBefore = model_->IdleBytes();

  QElapsedTimer t;
  t.start();
  EXPECT_FLOAT_EQ(driver_->GetEmissivity(), -1.0f);
  EXPECT_LT(t.elapsed(), 3000);

  const auto requests = model_->Requests();
  ASSERT_EQ(requests.size(), 3u);
  for (const auto& r : requests) EXPECT_EQ(r.bytes, std::vector<std::uint8_t>{0x04});
  // Each failed try is followed by 50 idle bytes.
  EXPECT_GE(model_->IdleBytes() - idleBefore, 150u);
  EXPECT_EQ(events_.sequence,
            (std::vector<QString>{QStringLiteral("error 5"), QStringLiteral("disconnect")}));
  EXPECT_FALSE(driver_->Connected());
  EXPECT_FALSE(driver_->Config().ConfigValid);

  QFile log(driver_->LogFileName());
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(log.readAll());
  for (int attempt = 0; attempt < 3; ++attempt)
    EXPECT_TRUE(text.contains(QStringLiteral("\tSenden :\t04 \t\t\t Versuch : %1\n").arg(attempt)))
        << attempt;
  EXPECT_TRUE(text.contains(QStringLiteral("\tEmpfangen : TIMEOUT\n")));
  EXPECT_TRUE(text.contains(QStringLiteral("\tCom Port 7 öffnen\n")));
  EXPECT_TRUE(text.contains(QStringLiteral("\tCom Port 7 geöffnet\n")));
  EXPECT_TRUE(text.contains(QStringLiteral("\tEmpfangen : 09 CE \n")));

  // The device comes back: the reconnect poll finds it within a few seconds.
  SetFaults([](ArgoFaults& f) { f.silent = false; });
  ASSERT_TRUE(WaitForEvents([&] { return events_.connects == 1 && !events_.temps.empty(); }, 6000));
  EXPECT_TRUE(driver_->Connected());
  EXPECT_EQ(events_.temps[0].first, 1);
  EXPECT_FLOAT_EQ(events_.temps[0].second, 1234 / 10.0f - 100.0f);
  // Connected again: the poll stops.
  const std::size_t n = model_->RequestCount();
  Pump(1500);
  EXPECT_EQ(model_->RequestCount(), n);

  driver_->ClosePort();
  log.close();
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  const QString closed = QString::fromUtf8(log.readAll());
  EXPECT_TRUE(closed.contains(QStringLiteral("\tCom Port 7 schliessen\n")));
  EXPECT_TRUE(closed.contains(QStringLiteral("\tCom Port 7 geschlossen\n")));
}

TEST_F(ArgoTransactionTest, ShortReplyIsTriedAgain) {
  StartDevice();
  OpenAndConnect();
  SetState([](ArgoDeviceState& s) { s.emissivity = 777; });
  SetFaults([](ArgoFaults& f) {
    f.shortReplyBytes = 1;
    f.replyFaultLimit = 1;
  });
  EXPECT_FLOAT_EQ(driver_->GetEmissivity(), 0.777f);
  EXPECT_EQ(model_->RequestCount(), 2u);
  EXPECT_TRUE(events_.errors.empty());
  EXPECT_TRUE(driver_->Connected());
}

TEST_F(ArgoTransactionTest, ClosedPortReportsAndNeverKeepsAStaleReply) {
  StartDevice();
  TArgoReply reply;
  reply.NoAnswer = false;
  reply.Data[0] = 0x42;
  driver_->SendAndReceive(QByteArray(1, '\x01'), 20, reply, 3, 2);
  EXPECT_TRUE(reply.NoAnswer);
  EXPECT_EQ(reply.Data[0], 0);
  EXPECT_EQ(events_.errors, std::vector<int>{4});
  EXPECT_EQ(model_->RequestCount(), 0u);
}

TEST_F(ArgoTransactionTest, ConnectStopsAStreamLeftRunning) {
  ArgoOptions options;
  options.burstAtStart = true;
  StartDevice(QStringLiteral("argo-current"), options);
  ASSERT_TRUE(driver_->OpenPort());
  ASSERT_TRUE(WaitForEvents([&] { return events_.connects == 1; }, 6000));
  EXPECT_FALSE(model_->Streaming());
  EXPECT_EQ(driver_->GetFirmwareRevision(), 2510);
}

// A device that never stops streaming does not hold the program: the
// connect gives up after a bounded number of stop requests.
TEST_F(ArgoTransactionTest, EndlessStreamIsNotTakenForAConnection) {
  ArgoOptions options;
  options.burstAtStart = true;
  StartDevice(QStringLiteral("argo-current"), options);
  SetFaults([](ArgoFaults& f) { f.ignoreBurstStop = true; });
  ASSERT_TRUE(driver_->OpenPort());
  QElapsedTimer t;
  t.start();
  driver_->GetFirmwareRevision();
  EXPECT_LT(t.elapsed(), 6000);
  EXPECT_FALSE(driver_->Connected());
  EXPECT_EQ(events_.connects, 0);
}

// A new open forgets the model record of the device seen before.
TEST_F(ArgoTransactionTest, ModelRecordDoesNotOutliveThePort) {
  StartDevice(QStringLiteral("argo-5003"));
  OpenAndConnect();
  EXPECT_EQ(driver_->CurrentModelInfo().FWrev, 5003);
  driver_->ClosePort();
  ASSERT_TRUE(driver_->OpenPort());
  EXPECT_EQ(driver_->CurrentModelInfo(), TArgoModelInfo());
  EXPECT_FLOAT_EQ(driver_->AllowedRangeHi(), 0.0f);
}

}  // namespace
}  // namespace argotest

namespace argotest {
namespace {

TEST_F(ArgoTransactionTest, PortThatCannotOpenReportsError1) {
  StartDevice();
  driver_->SetComPort(9);  // not in the port map
  EXPECT_FALSE(driver_->OpenPort());
  EXPECT_EQ(events_.errors, std::vector<int>{1});
  EXPECT_FALSE(driver_->PortOpen());
}

TEST_F(ArgoTransactionTest, FailedOpenIsLoggedWithItsErrno) {
  StartDevice();
  // /dev/null opens but is no terminal: the line settings fail with ENOTTY.
  QFile ports(dir_.filePath(QStringLiteral("ports.ini")));
  ASSERT_TRUE(ports.open(QIODevice::Append));
  ports.write("COM8=/dev/null\r\n");
  ports.close();
  driver_->SetComPort(8);
  Logger::Capture capture;
  EXPECT_FALSE(driver_->OpenPort());
  EXPECT_EQ(events_.errors, std::vector<int>{1});
  const QString cause =
      QStringLiteral("errno %1: ").arg(ENOTTY) + QString::fromLocal8Bit(std::strerror(ENOTTY));
  EXPECT_TRUE(capture.Contains(QStringLiteral("COM8: opening the port: Unable to open com port (Error: %1)")
                                   .arg(SerialStatus::SystemFailure)));
  EXPECT_TRUE(capture.Contains(cause)) << cause.toStdString();
}

TEST_F(ArgoTransactionTest, LogFileLinesPassThroughTheLogChannel) {
  StartDevice();
  driver_->SetLogFile(true);
  Logger::Capture capture;
  ASSERT_TRUE(driver_->OpenPort());
  driver_->ClosePort();
  std::vector<QString> texts;
  for (const Logger::Record& r : capture.Records())
    if (r.file == driver_->LogFileName()) texts.push_back(r.text);
  EXPECT_EQ(texts, (std::vector<QString>{
                       QStringLiteral("Com Port 7 öffnen"), QStringLiteral("Com Port 7 geöffnet"),
                       QStringLiteral("Com Port 7 schliessen"), QStringLiteral("Com Port 7 geschlossen")}));
  EXPECT_TRUE(driver_->LogFileName().endsWith(QStringLiteral("/LogFile COM 7.log")));
  EXPECT_FALSE(capture.Contains(QStringLiteral("Com Port 7")));  // never on stderr
}

}  // namespace
}  // namespace argotest
