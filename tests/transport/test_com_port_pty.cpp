// The port on a real line: a pseudo-terminal reached through the port map.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/pty_pair.h"
#include "transport/com_port.h"
#include "transport/com_port_error.h"
#include "transport/ring_buffer.h"
#include "transport_test_support.h"

namespace {

using transport_test::Drain;
using transport_test::ScopedPortMap;
using transport_test::WaitUntil;
using namespace std::chrono_literals;

constexpr int kPortNumber = 41;

class ComPortPty : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.IsValid()) << pty.Error();
    map = std::make_unique<ScopedPortMap>(std::map<int, QString>{
        {kPortNumber, pty.SlavePath()}, {kPortNumber + 1, QStringLiteral("/nonexistent/ttyTS0")}});
    port.SetPort(QStringLiteral("COM%1").arg(kPortNumber));
  }
  void TearDown() override {
    try {
      port.Close();
    } catch (...) {
      // A test that broke the line on purpose may fail to close it; the
      // port is closed all the same and the next test opens a new one.
    }
  }

  static QString OpenError(TComPort& p) {
    try {
      p.Open();
    } catch (const EComPort& e) {
      return e.Message();
    }
    return QStringLiteral("opened");
  }

  PtyPair pty;
  std::unique_ptr<ScopedPortMap> map;
  TComPort port;
};

TEST_F(ComPortPty, EveryByteValuePassesUnchangedBothWays) {
  port.SetBaudRate(br115200);
  port.Timeouts().SetReadInterval(0);
  port.Timeouts().SetReadTotalConstant(2000);
  port.SetEvents({});
  port.Open();
  ASSERT_TRUE(port.Connected());

  QByteArray all;
  for (int i = 0; i < 256; ++i) all.append(static_cast<char>(i));
  EXPECT_EQ(port.WriteStr(all), 256);
  const std::vector<std::uint8_t> atMaster = pty.Read(256, 2000ms);
  EXPECT_EQ(
      QByteArray(reinterpret_cast<const char*>(atMaster.data()), static_cast<qsizetype>(atMaster.size())),
      all);

  pty.Write(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(all.constData()), 256));
  QByteArray back;
  EXPECT_EQ(port.ReadStr(back, 256), 256);
  EXPECT_EQ(back, all);
}

TEST_F(ComPortPty, ReadWithoutTimeoutsReturnsAtOnceWithWhatIsThere) {
  port.SetEvents({});
  port.Open();
  QByteArray s;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(port.ReadStr(s, 10), 0);
  EXPECT_TRUE(s.isEmpty());
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);

  const std::uint8_t three[] = {'a', 'b', 'c'};
  pty.Write(three);
  ASSERT_TRUE(WaitUntil([&] { return port.InputCount() == 3; }));
  EXPECT_EQ(port.ReadStr(s, 10), 3);
  EXPECT_EQ(s, QByteArray("abc"));
  EXPECT_EQ(port.ReadStr(s, 0), 0);
  EXPECT_TRUE(s.isEmpty());
}

TEST_F(ComPortPty, OpenFailuresCarryTheLineErrorCode) {
  struct Case {
    QString portName;
    QString expected;
  };
  port.Open();
  const Case cases[] = {
      {QStringLiteral("COM%1").arg(kPortNumber), QStringLiteral("Unable to open com port (Error: 5)")},
      {QStringLiteral("COM%1").arg(kPortNumber + 1), QStringLiteral("Unable to open com port (Error: 2)")},
      {QStringLiteral("COM%1").arg(kPortNumber + 2), QStringLiteral("Unable to open com port (Error: 2)")},
      {QStringLiteral("COM0"), QStringLiteral("Unable to open com port (Error: 2)")},
      {QStringLiteral("LPT1"), QStringLiteral("Unable to open com port (Error: 2)")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.portName.toStdString());
    TComPort second;
    int opened = 0;
    second.OnAfterOpen = [&](QObject*) { ++opened; };
    second.SetPort(c.portName);
    EXPECT_EQ(OpenError(second), c.expected);
    EXPECT_FALSE(second.Connected());
    EXPECT_EQ(opened, 0);
  }
  EXPECT_TRUE(port.Connected());
}

TEST_F(ComPortPty, TransfersOnAClosedPortFailWithoutACode) {
  struct Case {
    const char* name;
    std::function<void()> call;
  };
  std::uint8_t buffer[4] = {};
  const Case cases[] = {
      {"Write", [&] { port.Write(buffer, 4); }},
      {"WriteStr", [&] { port.WriteStr("abc"); }},
      {"Read", [&] { port.Read(buffer, 4); }},
      {"ReadStr",
       [&] {
         QByteArray s;
         port.ReadStr(s, 4);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      c.call();
      FAIL() << "no error";
    } catch (const EComPort& e) {
      EXPECT_EQ(e.Message(), QStringLiteral("Port Not Open"));
      EXPECT_EQ(e.ErrorNumber(), 24);
      EXPECT_EQ(e.WindowsError(), -1);
    }
  }
  EXPECT_EQ(port.WriteStr(QByteArray()), 0);
}

TEST_F(ComPortPty, ClosingWhileBytesStreamInReturnsPromptlyAndStopsTheHandlers) {
  TRingBuffer ring;
  std::atomic<int> received{0};
  bool closed = false;
  bool handlerAfterClose = false;
  port.SetEvents({evRxChar, evTxEmpty});
  port.Buffer().SetInputSize(10000);
  port.OnRxChar = [&](QObject*, int count) {
    if (closed) handlerAfterClose = true;
    QByteArray s;
    const int n = port.ReadStr(s, count);
    for (int i = 0; i < n; ++i) ring.Put(static_cast<std::uint8_t>(s[i]), 0);
    received += n;
  };
  port.OnAfterClose = [&](QObject*) { closed = true; };
  port.Open();

  std::atomic<bool> stop{false};
  std::thread writer([&] {
    std::vector<std::uint8_t> chunk(512, 0x55);
    while (!stop) pty.Write(chunk, 50ms);
  });
  ASSERT_TRUE(WaitUntil([&] { return received.load() > 4096; }));
  const auto start = std::chrono::steady_clock::now();
  port.Close();
  const auto took = std::chrono::steady_clock::now() - start;
  Drain();
  stop = true;
  writer.join();
  EXPECT_LT(took, 1s);
  EXPECT_TRUE(closed);
  EXPECT_FALSE(handlerAfterClose);
}

TEST_F(ComPortPty, AHungUpLineIsReportedAndClosesPromptly) {
  int removed = 0;
  int afterClose = 0;
  port.AddRemovedListener([&](QObject*) { ++removed; });
  port.OnAfterClose = [&](QObject*) { ++afterClose; };
  port.Open();
  pty.CloseMaster();
  ASSERT_TRUE(WaitUntil([&] { return removed == 1; }));
  const auto start = std::chrono::steady_clock::now();
  try {
    port.Close();
  } catch (const EComPort&) {
    // A line that is gone may refuse the purge; the port is closed anyway.
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
  EXPECT_FALSE(port.Connected());
  EXPECT_EQ(afterClose, 1);
  Drain();
  EXPECT_EQ(removed, 1);
}

}  // namespace
