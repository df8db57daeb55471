#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

#include "platform/pty_pair.h"
#include "platform/rfc2217_device.h"
#include "platform/telnet_protocol.h"
#include "platform/telnet_stream_parser.h"
#include "tests/support/wait_for.h"
#include "tests/support/scoped_event_callback.h"

namespace {

using test_support::WaitFor;

using Ms = std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

Bytes AllBytes() {
  Bytes b(256);
  for (int i = 0; i < 256; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
  return b;
}

SerialLineSettings Line(int baud) {
  SerialLineSettings s;
  s.baudRate = baud;
  return s;
}

Bytes ReadExactly(SerialDevice& device, int n, Ms timeout = Ms(3000)) {
  SerialTimeouts t;
  t.readInterval = 0;
  t.readTotalConstant = static_cast<std::uint32_t>(timeout.count());
  device.SetTimeouts(t);
  Bytes buffer(static_cast<std::size_t>(n));
  int got = 0;
  EXPECT_EQ(device.Read(buffer, got), SerialStatus::Ok);
  buffer.resize(static_cast<std::size_t>(got));
  return buffer;
}

// A listening TCP socket on a free loopback port.
class Listener {
 public:
  Listener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    ::listen(fd_, 4);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
  }
  ~Listener() { Close(); }
  int Port() const { return port_; }
  int Accept(Ms timeout) {
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) != 1) return -1;
    return ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
  }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

QString PathFor(int port) { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(port); }

TEST(Rfc2217Device, ParsesPaths) {
  struct Case {
    const char* path;
    bool ok;
    const char* host;
    int port;
  };
  const Case cases[] = {
      {"rfc2217://localhost:2217", true, "localhost", 2217},
      {"RFC2217://10.0.0.5:4001/", true, "10.0.0.5", 4001},
      {"rfc2217://[::1]:7000", true, "::1", 7000},
      {"rfc2217://host", false, "", 0},
      {"rfc2217://:80", false, "", 0},
      {"rfc2217://host:0", false, "", 0},
      {"rfc2217://host:70000", false, "", 0},
      {"rfc2217://host:12ab", false, "", 0},
      {"/dev/ttyS0", false, "", 0},
  };
  for (const Case& c : cases) {
    QString host;
    int port = 0;
    EXPECT_EQ(Rfc2217Device::ParsePath(QString::fromLatin1(c.path), host, port), c.ok) << c.path;
    if (c.ok) {
      EXPECT_EQ(host, QString::fromLatin1(c.host));
      EXPECT_EQ(port, c.port);
    }
  }
}

TEST(Rfc2217Device, RefusedConnectionIsNotFound) {
  int port;
  {
    Listener l;
    port = l.Port();
  }  // closed again: nobody listens there
  Rfc2217Device device;
  EXPECT_EQ(device.Open(PathFor(port)), SerialStatus::NotFound);
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(device.Open(QStringLiteral("rfc2217://nonsense")), SerialStatus::NotFound);
}

// A scripted server: checks what the client negotiates and sends it
// notifications that only a network port produces.
TEST(Rfc2217Device, ScriptedServerNotificationsAndNegotiation) {
  Listener listener;
  Rfc2217Device device;
  std::mutex mutex;
  std::uint32_t seen = 0;
  int hangUps = 0;
  device.SetEventMask(SerialEvent::RxChar | SerialEvent::Cts | SerialEvent::Err | SerialEvent::Break);
  const test_support::ScopedEventCallback watch(device, [&](std::uint32_t bits) {
    std::lock_guard lock(mutex);
    seen |= bits;
    if (bits & SerialEvent::HangUp) ++hangUps;
  });

  Bytes fromClient;
  std::vector<TelnetStreamParser::Command> commands;
  std::atomic<int> server{-1};
  std::thread accepter([&] { server = listener.Accept(Ms(3000)); });
  ASSERT_EQ(device.Open(PathFor(listener.Port())), SerialStatus::Ok);  // no answer: goes on after a bound
  accepter.join();
  ASSERT_GE(server.load(), 0);
  const int s = server.load();

  Bytes script;
  Telnet::AppendNegotiation(script, Telnet::DO, Telnet::OptComPort);
  Telnet::AppendNegotiation(script, Telnet::WILL, Telnet::OptEcho);  // declined by the client
  const std::uint8_t modem[] = {Telnet::ServerOffset + Telnet::CpNotifyModemState,
                                Telnet::ModemDeltaCts | Telnet::ModemCts | Telnet::ModemDsr};
  Telnet::AppendSubnegotiation(script, Telnet::OptComPort, modem);
  const std::uint8_t line[] = {Telnet::ServerOffset + Telnet::CpNotifyLineState, Telnet::LineParity};
  Telnet::AppendSubnegotiation(script, Telnet::OptComPort, line);
  const Bytes payload{'a', 0xFF, 'b'};
  Telnet::AppendEscaped(script, payload);
  ASSERT_EQ(::send(s, script.data(), script.size(), 0), static_cast<ssize_t>(script.size()));

  EXPECT_EQ(ReadExactly(device, 3), payload);
  ASSERT_TRUE(WaitFor([&] { return device.ServerAcceptedComPort(); }));
  std::uint32_t status = 0;
  device.ModemStatus(status);
  EXPECT_EQ(status, SerialModem::Cts | SerialModem::Dsr);
  std::uint32_t errors = 0;
  device.CommErrors(errors);
  EXPECT_EQ(errors, SerialLineError::RxParity);
  EXPECT_TRUE(WaitFor([&] {
    std::lock_guard lock(mutex);
    return seen == (SerialEvent::RxChar | SerialEvent::Cts | SerialEvent::Err);
  }));

  SerialLineSettings settings = Line(57600);
  settings.parity = SerialLineSettings::Parity::Even;
  ASSERT_EQ(device.Configure(settings), SerialStatus::Ok);
  ASSERT_EQ(device.Purge(SerialPurge::RxClear | SerialPurge::TxClear), SerialStatus::Ok);
  const Bytes data{0x10, 0xFF, 0x20};
  int written = 0;
  ASSERT_EQ(device.Write(data, written), SerialStatus::Ok);

  // Collect what the client sent until the escaped data bytes came.
  TelnetStreamParser parser;
  auto received = [&] {
    std::uint8_t buf[1024];
    const ssize_t n = ::recv(s, buf, sizeof buf, MSG_DONTWAIT);
    if (n > 0)
      parser.Feed(std::span<const std::uint8_t>(buf, static_cast<std::size_t>(n)), fromClient, commands);
    return fromClient == data;
  };
  ASSERT_TRUE(WaitFor(received));
  auto has = [&](TelnetStreamParser::Command::Kind kind, std::uint8_t option, const Bytes& payload) {
    for (const auto& c : commands) {
      if (c.kind == kind && c.option == option && c.payload == payload) return true;
    }
    return false;
  };
  using Kind = TelnetStreamParser::Command::Kind;
  EXPECT_TRUE(has(Kind::Will, Telnet::OptComPort, {}));
  EXPECT_TRUE(has(Kind::Will, Telnet::OptBinary, {}));
  EXPECT_TRUE(has(Kind::Do, Telnet::OptBinary, {}));
  EXPECT_TRUE(has(Kind::Dont, Telnet::OptEcho, {}));
  EXPECT_TRUE(has(Kind::Subnegotiation, Telnet::OptComPort, {Telnet::CpSetBaudRate, 0x00, 0x00, 0xE1, 0x00}));
  EXPECT_TRUE(has(Kind::Subnegotiation, Telnet::OptComPort, {Telnet::CpSetParity, Telnet::ParityEven}));
  EXPECT_TRUE(has(Kind::Subnegotiation, Telnet::OptComPort, {Telnet::CpSetDataSize, 8}));
  EXPECT_TRUE(has(Kind::Subnegotiation, Telnet::OptComPort, {Telnet::CpSetStopSize, Telnet::StopOne}));
  EXPECT_TRUE(has(Kind::Subnegotiation, Telnet::OptComPort, {Telnet::CpSetControl, Telnet::ControlDtrOff}));
  EXPECT_TRUE(has(Kind::Subnegotiation, Telnet::OptComPort, {Telnet::CpPurgeData, Telnet::PurgeBoth}));

  // The server goes away: one hang-up, then transfers fail.
  ::close(s);
  ASSERT_TRUE(WaitFor([&] {
    std::lock_guard lock(mutex);
    return hangUps == 1;
  }));
  Bytes buffer(4);
  int n = 0;
  EXPECT_EQ(device.Read(buffer, n), SerialStatus::BadCommand);
  EXPECT_EQ(device.Write(buffer, n), SerialStatus::BadCommand);
  const auto start = SteadyClock::now();
  EXPECT_EQ(device.Close(), SerialStatus::Ok);
  EXPECT_LT(SteadyClock::now() - start, Ms(500));
  std::lock_guard lock(mutex);
  EXPECT_EQ(hangUps, 1);
}

// Our client against ser2net serving a pseudo-terminal.
class Rfc2217Ser2net : public ::testing::Test {
 protected:
  void SetUp() override {
    const QString exe = QStandardPaths::findExecutable(
        QStringLiteral("ser2net"),
        {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin"), QStringLiteral("/usr/local/sbin")});
    if (exe.isEmpty()) GTEST_SKIP() << "ser2net is not installed";
    ASSERT_TRUE(pty.IsValid());
    ASSERT_TRUE(dir.isValid());
    {
      Listener probe;
      port = probe.Port();
    }
    const QString config = dir.filePath(QStringLiteral("ser2net.yaml"));
    QFile f(config);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("%YAML 1.1\n---\nconnection: &con1\n"
                           "  accepter: telnet(rfc2217),tcp,127.0.0.1,%1\n"
                           "  connector: serialdev,%2,9600n81,local\n")
                .arg(port)
                .arg(pty.SlavePath())
                .toUtf8());
    f.close();
    process.setProgram(exe);
    process.setArguments(
        {QStringLiteral("-n"), QStringLiteral("-d"), QStringLiteral("-u"), QStringLiteral("-c"), config});
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start();
    ASSERT_TRUE(process.waitForStarted(5000));
    // ser2net listens once it has read its configuration.
    ASSERT_TRUE(WaitFor([&] { return device.Open(PathFor(port)) == SerialStatus::Ok; }, Ms(5000)))
        << process.readAll().constData();
  }

  void TearDown() override {
    device.Close();
    if (process.state() != QProcess::NotRunning) {
      process.kill();
      process.waitForFinished(3000);
    }
  }

  PtyPair pty;
  QTemporaryDir dir;
  QProcess process;
  int port = 0;
  Rfc2217Device device;
};

TEST_F(Rfc2217Ser2net, BaudRateChangesReachTheLine) {
  for (int baud : {19200, 115200, 9600}) {
    ASSERT_EQ(device.Configure(Line(baud)), SerialStatus::Ok);
    EXPECT_TRUE(WaitFor([&] { return pty.BaudRate() == baud; })) << baud << " got " << pty.BaudRate();
  }
  EXPECT_TRUE(WaitFor([&] { return device.ConfirmedBaudRate() == 9600; }));
}

TEST_F(Rfc2217Ser2net, AllByteValuesPassBothWays) {
  ASSERT_EQ(device.Configure(Line(38400)), SerialStatus::Ok);
  const Bytes all = AllBytes();
  int written = 0;
  ASSERT_EQ(device.Write(all, written), SerialStatus::Ok);
  EXPECT_EQ(written, 256);
  EXPECT_EQ(pty.Read(256, Ms(3000)), all);
  ASSERT_EQ(pty.Write(all), 256u);
  EXPECT_EQ(ReadExactly(device, 256), all);
}

TEST_F(Rfc2217Ser2net, UnansweredDtrRequestDoesNotHang) {
  SerialLineSettings s = Line(9600);
  s.dtrControl = SerialLineSettings::DtrControl::Enable;
  const auto start = SteadyClock::now();
  EXPECT_EQ(device.Configure(s), SerialStatus::Ok);
  EXPECT_EQ(device.SetDtr(false), SerialStatus::Ok);
  EXPECT_EQ(device.SetDtr(true), SerialStatus::Ok);
  EXPECT_EQ(device.SetRts(true), SerialStatus::Ok);
  EXPECT_LT(SteadyClock::now() - start, Ms(500));
  // The line still works afterwards.
  const Bytes ping{'p', 0xFF, 'g'};
  int written = 0;
  ASSERT_EQ(device.Write(ping, written), SerialStatus::Ok);
  EXPECT_EQ(pty.Read(3, Ms(3000)), ping);
}

TEST_F(Rfc2217Ser2net, PurgeDropsQueuedInput) {
  ASSERT_EQ(device.Configure(Line(9600)), SerialStatus::Ok);
  const Bytes before{1, 2, 3, 4, 5};
  pty.Write(before);
  ASSERT_TRUE(WaitFor([&] {
    int count = 0;
    device.InputCount(count);
    return count == 5;
  }));
  const std::uint64_t answered = device.Acknowledgements();
  ASSERT_EQ(device.Purge(SerialPurge::RxClear), SerialStatus::Ok);
  int count = -1;
  device.InputCount(count);
  EXPECT_EQ(count, 0);
  // The server purges its side when it gets there; send more after that.
  ASSERT_TRUE(WaitFor([&] { return device.Acknowledgements() > answered; }));
  const Bytes after{7, 8};
  pty.Write(after);
  EXPECT_EQ(ReadExactly(device, 10, Ms(300)), after);
}

TEST_F(Rfc2217Ser2net, SecondClientIsRefusedAsInUse) {
  Rfc2217Device second;
  EXPECT_EQ(second.Open(PathFor(port)), SerialStatus::AccessDenied);
  EXPECT_FALSE(second.IsOpen());
  // The first connection is unaffected.
  const Bytes ping{0x55};
  int written = 0;
  ASSERT_EQ(device.Write(ping, written), SerialStatus::Ok);
  EXPECT_EQ(pty.Read(1, Ms(3000)), ping);
}

TEST_F(Rfc2217Ser2net, ServerGoneIsAHangUp) {
  std::atomic<int> hangUps{0};
  const test_support::ScopedEventCallback watch(device, [&](std::uint32_t bits) {
    if (bits & SerialEvent::HangUp) ++hangUps;
  });
  process.kill();
  process.waitForFinished(3000);
  ASSERT_TRUE(WaitFor([&] { return hangUps.load() == 1; }));
  Bytes buffer(1);
  int n = 0;
  EXPECT_EQ(device.Write(buffer, n), SerialStatus::BadCommand);
  EXPECT_EQ(device.Close(), SerialStatus::Ok);
  EXPECT_EQ(hangUps.load(), 1);
}

}  // namespace
