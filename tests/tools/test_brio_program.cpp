#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <chrono>

#include "host_tty.h"
#include "platform/rfc2217_device.h"
#include "test_brio_fixture.h"

// The emulator program serving the Brio models.

namespace {

using namespace BrioTest;

class BrioProgram : public ::testing::Test {
 protected:
  static QString Program() { return QStringLiteral(TS_BINARY_DIR "/tools/devsim/thermasentinel-devsim"); }

  void SetUp() override {
    if (!QFileInfo::exists(Program())) GTEST_SKIP() << "thermasentinel-devsim is not built";
  }
  void TearDown() override {
    process_.terminate();
    EXPECT_TRUE(process_.waitForFinished(5000));
    EXPECT_EQ(process_.exitCode(), 0);
  }

  // Starts the program and returns the line that says where it serves.
  QString Start(const QStringList& args) {
    process_.start(Program(), args);
    if (!process_.waitForStarted(5000)) return {};
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (!process_.canReadLine() && std::chrono::steady_clock::now() < deadline)
      process_.waitForReadyRead(100);
    return QString::fromLocal8Bit(process_.readLine()).trimmed();
  }

  QProcess process_;
};

// Over RFC 2217 the first generation is dead until DTR rises, then answers
// its peeks.
TEST_F(BrioProgram, FirstGenerationOverRfc2217) {
  const QString url = Start({QStringLiteral("--model"), QStringLiteral("brio"), QStringLiteral("--profile"),
                             QStringLiteral("dunav1"), QStringLiteral("--rfc2217"), QStringLiteral("0")});
  ASSERT_TRUE(url.startsWith(QStringLiteral("rfc2217://"))) << url.toStdString();
  Rfc2217Device port;
  ASSERT_EQ(port.Open(url), SerialStatus::Ok);
  ASSERT_EQ(port.Configure(Line9600(Parity::None)), SerialStatus::Ok);
  ASSERT_EQ(port.SetTimeouts(ReadTimeout(250)), SerialStatus::Ok);
  const Bytes serial = {0x3C, 0x10, 0x84};
  EXPECT_TRUE(Exchange(port, serial, 1).empty());
  ASSERT_EQ(port.SetDtr(true), SerialStatus::Ok);
  EXPECT_TRUE(ExchangeUntil(port, serial, Bytes{std::uint8_t(1012345 & 0xFF)}));
  port.Close();
}

// On a pseudo-terminal, which carries neither DTR nor parity, the second
// generation runs on its own supply and ignores parity.
TEST_F(BrioProgram, SecondGenerationOnAPty) {
  const QString path = Start({QStringLiteral("--model"), QStringLiteral("brio2"), QStringLiteral("--profile"),
                              QStringLiteral("fenn-2w"), QStringLiteral("--external-power"),
                              QStringLiteral("--ignore-parity"), QStringLiteral("--pty")});
  ASSERT_TRUE(path.startsWith(QStringLiteral("/dev/"))) << path.toStdString();
  HostTty host;
  ASSERT_TRUE(host.Open(path, 9600));
  // Asked again while the device may still be starting.
  const Bytes identify = {'E'};
  Bytes got;
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (got.empty() && std::chrono::steady_clock::now() < deadline) {
    ASSERT_EQ(host.Write(identify), 1u);
    got = host.Read(6, 300ms);
  }
  EXPECT_EQ(got, (Bytes{0x10, 0x01, 0x02, 0x58, 0x27, 0x10}));
  host.Close();
}

}  // namespace
