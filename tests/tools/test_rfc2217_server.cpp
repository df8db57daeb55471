#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <chrono>
#include <thread>

#include "recording_model.h"
#include "tools/devsim/loopback_model.h"
#include "tools/devsim/rfc2217_server.h"

namespace {

using namespace std::chrono_literals;

constexpr char kPython[] = "/usr/bin/python3";

// Drives pyserial's RFC 2217 client through a list of steps given on the
// command line; prints one line per result.
constexpr char kClientScript[] = R"(
import sys, time, serial
url = sys.argv[1]
port = None
for step in sys.argv[2:]:
    name, _, arg = step.partition('=')
    if name == 'open':
        port = serial.serial_for_url(url, baudrate=int(arg), timeout=0.5)
    elif name == 'write':
        port.write(bytes.fromhex(arg))
    elif name == 'read':
        print('read', port.read(int(arg)).hex(), flush=True)
    elif name == 'baud':
        port.baudrate = int(arg)
    elif name == 'dtr':
        port.dtr = arg == '1'
    elif name == 'rts':
        port.rts = arg == '1'
    elif name == 'parity':
        port.parity = arg
    elif name == 'timed':
        n = int(arg)
        data = bytes((i * 7) & 0xFF for i in range(n))
        port.timeout = 5
        start = time.monotonic()
        port.write(data)
        got = port.read(n)
        print('timed', 'ok' if got == data else 'bad', '%.3f' % (time.monotonic() - start), flush=True)
        port.timeout = 0.5
    elif name == 'close':
        port.close()
print('done', flush=True)
)";

class Rfc2217ServerPyserial : public ::testing::Test {
 protected:
  void SetUp() override {
    QProcess probe;
    probe.start(QString::fromLatin1(kPython),
                {QStringLiteral("-c"), QStringLiteral("import serial.rfc2217")});
    if (!probe.waitForFinished(20000) || probe.exitStatus() != QProcess::NormalExit ||
        probe.exitCode() != 0) {
      GTEST_SKIP() << "/usr/bin/python3 cannot import serial (python3-serial)";
    }
    ASSERT_TRUE(dir_.isValid());
    script_ = dir_.filePath(QStringLiteral("client.py"));
    QFile file(script_);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(kClientScript);
  }

  // Runs the client against `url`; returns its output lines.
  QStringList RunClient(const QString& url, const QStringList& steps) {
    QProcess client;
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    client.start(QString::fromLatin1(kPython), QStringList{script_, url} + steps);
    const bool finished = client.waitForFinished(30000);
    if (!finished) client.kill();
    EXPECT_TRUE(finished);
    EXPECT_EQ(client.exitCode(), 0);
    const QString out = QString::fromUtf8(client.readAllStandardOutput());
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  }

  QTemporaryDir dir_;
  QString script_;
};

QString AllBytesHex() {
  QByteArray bytes;
  for (int i = 0; i < 256; ++i) bytes.append(static_cast<char>(i));
  return QString::fromLatin1(bytes.toHex());
}

TEST_F(Rfc2217ServerPyserial, EchoesAtTheModelRateOnly) {
  Rfc2217Server server(std::make_shared<LoopbackModel>(19200));
  QString error;
  ASSERT_TRUE(server.Start(0, &error)) << error.toStdString();
  ASSERT_NE(server.Port(), 0);
  const QString all = AllBytesHex();
  const QStringList lines = RunClient(
      server.Url(), {QStringLiteral("open=9600"), QStringLiteral("write=") + all, QStringLiteral("read=256"),
                     QStringLiteral("baud=19200"), QStringLiteral("write=") + all, QStringLiteral("read=256"),
                     QStringLiteral("close")});
  ASSERT_EQ(lines.size(), 3);
  EXPECT_EQ(lines[0], QStringLiteral("read "));
  EXPECT_EQ(lines[1], QStringLiteral("read ") + all);
}

TEST_F(Rfc2217ServerPyserial, OutputIsPacedAtTheLineRate) {
  Rfc2217Server server(std::make_shared<LoopbackModel>(9600));
  ASSERT_TRUE(server.Start());
  const QStringList lines = RunClient(
      server.Url(), {QStringLiteral("open=9600"), QStringLiteral("timed=1000"), QStringLiteral("close")});
  ASSERT_EQ(lines.size(), 2);
  const QStringList parts = lines[0].split(QLatin1Char(' '));
  ASSERT_EQ(parts.size(), 3);
  EXPECT_EQ(parts[1], QStringLiteral("ok"));
  // 1000 bytes of 10 bits at 9600 baud take 1.04 s.
  EXPECT_GT(parts[2].toDouble(), 0.9);
  EXPECT_LT(parts[2].toDouble(), 2.0);
}

TEST_F(Rfc2217ServerPyserial, LineChangesReachTheModel) {
  auto model = std::make_shared<RecordingModel>(9600, true);
  Rfc2217Server server(model);
  ASSERT_TRUE(server.Start());
  const QStringList lines = RunClient(
      server.Url(), {QStringLiteral("open=9600"), QStringLiteral("dtr=0"), QStringLiteral("dtr=1"),
                     QStringLiteral("parity=E"), QStringLiteral("rts=0"), QStringLiteral("parity=N"),
                     QStringLiteral("write=4142"), QStringLiteral("read=2"), QStringLiteral("close")});
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(lines[0], QStringLiteral("read 4142"));
  // pyserial raises DTR and RTS on open; closing the port drops them.
  ASSERT_TRUE(model->WaitFor([&] { return model->DtrLocked().size() >= 4; }));
  EXPECT_EQ(model->Dtr(), (std::vector<bool>{true, false, true, false}));
  EXPECT_EQ(model->Rts(), (std::vector<bool>{true, false}));
  EXPECT_EQ(model->Parities(), (std::vector<SerialLineSettings::Parity>{SerialLineSettings::Parity::Even,
                                                                        SerialLineSettings::Parity::None}));
  EXPECT_EQ(model->Received(), (std::vector<std::uint8_t>{0x41, 0x42}));
  // pyserial purges both buffers after opening.
  EXPECT_FALSE(model->Purges().empty());
}

// A plain TCP client for what pyserial cannot show.
class RawClient {
 public:
  explicit RawClient(std::uint16_t port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connected_ = ::connect(fd_, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
  }
  ~RawClient() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool Connected() const { return connected_; }
  bool Send(const std::vector<std::uint8_t>& bytes) {
    return ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
  }
  // Reads until the peer closes or the timeout; true when it closed.
  bool WaitClosed(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::uint8_t buffer[1024];
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) <= 0) continue;
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) return true;
      received_.insert(received_.end(), buffer, buffer + n);
    }
    return false;
  }
  const std::vector<std::uint8_t>& Received() const { return received_; }

 private:
  int fd_ = -1;
  bool connected_ = false;
  std::vector<std::uint8_t> received_;
};

TEST(Rfc2217Server, ServesOneClientAtATime) {
  auto model = std::make_shared<RecordingModel>(9600, false);
  Rfc2217Server server(model);
  ASSERT_TRUE(server.Start());
  RawClient first(server.Port());
  ASSERT_TRUE(first.Connected());
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  while (!server.HasClient() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(2ms);
  ASSERT_TRUE(server.HasClient());
  RawClient second(server.Port());
  EXPECT_TRUE(second.WaitClosed(3000ms));
  // The first client is still served.
  ASSERT_TRUE(first.Send({'x', 'y'}));
  EXPECT_TRUE(model->WaitFor([&] { return model->ReceivedLocked().size() == 2; }));
  EXPECT_FALSE(first.WaitClosed(100ms));
}

TEST(Rfc2217Server, VanishDropsTheClientAndRefusesNewOnes) {
  struct Case {
    const char* name;
    bool byModel;
  };
  for (const Case c : {Case{"server", false}, Case{"model", true}}) {
    SCOPED_TRACE(c.name);
    Rfc2217Server server(std::make_shared<LoopbackModel>(9600));
    ASSERT_TRUE(server.Start());
    const std::uint16_t port = server.Port();
    RawClient client(port);
    ASSERT_TRUE(client.Connected());
    if (c.byModel) {
      server.Access([](DeviceModel&, DeviceLink& link) { link.Vanish(); });
    } else {
      server.Vanish();
    }
    EXPECT_TRUE(client.WaitClosed(3000ms));
    EXPECT_TRUE(server.Vanished());
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (server.IsRunning() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(2ms);
    EXPECT_FALSE(server.IsRunning());
    RawClient late(port);
    EXPECT_FALSE(late.Connected());
  }
}

TEST(Rfc2217Server, StartFailsOnAPortInUse) {
  Rfc2217Server first(std::make_shared<LoopbackModel>());
  ASSERT_TRUE(first.Start());
  Rfc2217Server second(std::make_shared<LoopbackModel>());
  QString error;
  EXPECT_FALSE(second.Start(first.Port(), &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(second.IsRunning());
}

}  // namespace
