// The device search thread against the single-colour emulator on a
// pseudo-terminal: found at each rate, a streaming device stopped, the
// serial-number checks, a silent, a missing and a vanishing port, and
// heartbeats that never wait for the receiver.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "drivers/argosuche.h"
#include "tests/support/wait_for.h"
#include "tools/devsim/argo_model.h"
#include "tools/devsim/pty_server.h"
#include "tools/devsim/rfc2217_server.h"

namespace {

using test_support::WaitFor;
using namespace std::chrono_literals;

constexpr std::uint8_t kDevicePort = 7;
constexpr std::uint8_t kMissingPathPort = 9;  // mapped to a path that does not exist
constexpr std::uint8_t kUnmappedPort = 10;    // not in the map at all
constexpr std::uint16_t kHeartbeat = 1025;
// A silent port: three read deadlines of 350 ms at each of five rates.
constexpr int kSilentHeartbeats = 4 + 5 * 3;

class HeartbeatCounter : public QObject {
 public:
  int count = 0;

 protected:
  void customEvent(QEvent* event) override {
    if (event->type() == static_cast<QEvent::Type>(kHeartbeat)) ++count;
  }
};

class ArgosucheTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.isValid()); }

  void TearDown() override {
    search_.reset();
    if (server_) server_->Stop();
    qunsetenv("THERMASENTINEL_PORTS");
  }

  enum class Transport { Pty, Rfc2217 };

  // Serves the emulator at `baud` on COM7.
  void StartDevice(int baud, const std::function<void(ArgoOptions&)>& options = {},
                   const std::function<void(ArgoDeviceState&, ArgoFaults&)>& change = {},
                   Transport transport = Transport::Pty) {
    const auto profile = ArgoProfiles::Find(QStringLiteral("argo-current"));
    ASSERT_TRUE(profile.has_value());
    ArgoOptions o;
    o.baudRate = baud;
    if (options) options(o);
    model_ = std::make_shared<ArgoModel>(*profile, o);
    if (change) {
      ArgoDeviceState s = model_->State();
      ArgoFaults f = model_->Faults();
      change(s, f);
      model_->SetState(s);
      model_->SetFaults(f);
    }
    QString error;
    if (transport == Transport::Pty) {
      auto pty = std::make_unique<PtyServer>(model_);
      ASSERT_TRUE(pty->Start(&error)) << error.toStdString();
      WritePorts(pty->SlavePath());
      server_ = std::move(pty);
    } else {
      auto network = std::make_unique<Rfc2217Server>(model_);
      ASSERT_TRUE(network->Start(0, &error)) << error.toStdString();
      WritePorts(network->Url());
      server_ = std::move(network);
    }
  }

  void WritePorts(const QString& devicePath) {
    const QString ports = dir_.filePath(QStringLiteral("ports.ini"));
    QFile f(ports);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    QByteArray text = "[Ports]\r\nCOM9=" + dir_.filePath(QStringLiteral("no-such-tty")).toUtf8() + "\r\n";
    if (!devicePath.isEmpty()) text += "COM7=" + devicePath.toUtf8() + "\r\n";
    f.write(text);
    f.close();
    qputenv("THERMASENTINEL_PORTS", ports.toUtf8());
  }

  // Runs a search of `port` to its end without handling any event meanwhile,
  // so a heartbeat that waited for its receiver would hold the search up.
  // Returns the time it took.
  std::chrono::milliseconds RunSearch(std::uint8_t port, std::chrono::milliseconds limit = 15s) {
    search_ = std::make_unique<TArgosuche>(true, port);
    EXPECT_FALSE(search_->Done());
    EXPECT_EQ(search_->Timeout(), TArgosuche::kInitialTimeout);
    search_->SetWindowHandle(&receiver_);
    search_->SetMessageNo(kHeartbeat);
    const auto start = std::chrono::steady_clock::now();
    search_->Resume();
    EXPECT_TRUE(WaitFor([&] { return search_->Done(); }, limit)) << "the search did not end";
    const auto took =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    EXPECT_TRUE(search_->wait(5000));
    QCoreApplication::sendPostedEvents(&receiver_);
    return took;
  }

  void ExpectNothingFound(std::uint8_t port) {
    EXPECT_EQ(search_->ResultPort(), port);
    EXPECT_FALSE(search_->ResultFound());
    EXPECT_EQ(search_->ResultSerial(), 0u);
    EXPECT_EQ(search_->ResultBaud(), 0);
  }

  int CountRequests(const QString& name) const {
    const auto requests = model_->Requests();
    return static_cast<int>(std::count_if(requests.begin(), requests.end(), [&](const ArgoRequestRecord& r) {
      return r.name == name && r.outcome == ArgoRequestOutcome::Answered;
    }));
  }

  QTemporaryDir dir_;
  std::shared_ptr<ArgoModel> model_;
  std::unique_ptr<ModelServer> server_;
  HeartbeatCounter receiver_;
  std::unique_ptr<TArgosuche> search_;
};

class ArgosucheRateTest : public ArgosucheTest, public ::testing::WithParamInterface<int> {};

TEST_P(ArgosucheRateTest, FindsTheDeviceAtItsRate) {
  const int baud = GetParam();
  StartDevice(baud, {}, [](ArgoDeviceState& s, ArgoFaults&) { s.serial = 1054321; });
  RunSearch(kDevicePort);
  EXPECT_EQ(search_->ResultPort(), kDevicePort);
  EXPECT_TRUE(search_->ResultFound());
  EXPECT_EQ(search_->ResultSerial(), 1054321u);
  EXPECT_EQ(search_->ResultBaud(), baud);
  EXPECT_EQ(CountRequests(QStringLiteral("Identify")), 1);
  EXPECT_EQ(CountRequests(QStringLiteral("GetSerialNumber")), 2);
  // A quiet device is not sent the stop sequence; the filler reached it.
  EXPECT_EQ(CountRequests(QStringLiteral("SetBurstMode")), 0);
  EXPECT_GE(model_->IdleBytes(), 30u);
}

INSTANTIATE_TEST_SUITE_P(Rates, ArgosucheRateTest, ::testing::Values(9600, 19200, 38400, 57600, 115200));

struct SerialCase {
  std::uint32_t serial;
  bool accepted;
};

class ArgosucheSerialTest : public ArgosucheTest, public ::testing::WithParamInterface<SerialCase> {};

TEST_P(ArgosucheSerialTest, AcceptsOnlySerialsOfTheFamily) {
  const SerialCase c = GetParam();
  StartDevice(9600, {}, [&](ArgoDeviceState& s, ArgoFaults&) { s.serial = c.serial; });
  RunSearch(kDevicePort);
  EXPECT_EQ(TArgosuche::SerialAccepted(c.serial), c.accepted);
  // Refused after both answers came, not for want of an answer.
  EXPECT_EQ(CountRequests(QStringLiteral("GetSerialNumber")), 2);
  EXPECT_EQ(search_->ResultFound(), c.accepted);
  EXPECT_EQ(search_->ResultSerial(), c.accepted ? c.serial : 0u);
  EXPECT_EQ(search_->ResultBaud(), c.accepted ? 9600 : 0);
}

// The answers 00 27 10, 0F 42 40, 03 0D 40, A9 D3 90 and A9 D8 70.
INSTANTIATE_TEST_SUITE_P(Vectors, ArgosucheSerialTest,
                         ::testing::Values(SerialCase{0x002710, true}, SerialCase{0x0F4240, true},
                                           SerialCase{0x030D40, false}, SerialCase{0xA9D390, true},
                                           SerialCase{0xA9D870, false}),
                         [](const ::testing::TestParamInfo<SerialCase>& info) {
                           return "Serial" + std::to_string(info.param.serial) +
                                  (info.param.accepted ? "Accepted" : "Refused");
                         });

TEST_F(ArgosucheTest, StopsAStreamingDeviceAndFindsIt) {
  StartDevice(
      38400, [](ArgoOptions& o) { o.burstAtStart = true; },
      [](ArgoDeviceState& s, ArgoFaults&) { s.serial = 10000; });
  ASSERT_TRUE(WaitFor([&] { return model_->StreamBytesSent() > 0; }, 5s)) << "the device does not stream";
  RunSearch(kDevicePort);
  EXPECT_TRUE(search_->ResultFound());
  EXPECT_EQ(search_->ResultBaud(), 38400);
  EXPECT_EQ(search_->ResultSerial(), 10000u);
  EXPECT_GE(CountRequests(QStringLiteral("SetBurstMode")), 1) << "the stop sequence never reached the device";
}

TEST_F(ArgosucheTest, StopsAStreamingDeviceOnANetworkPort) {
  StartDevice(
      38400, [](ArgoOptions& o) { o.burstAtStart = true; },
      [](ArgoDeviceState& s, ArgoFaults&) { s.serial = 1100000; }, Transport::Rfc2217);
  RunSearch(kDevicePort);
  EXPECT_TRUE(search_->ResultFound());
  EXPECT_EQ(search_->ResultBaud(), 38400);
  EXPECT_EQ(search_->ResultSerial(), 1100000u);
}

class ArgosucheIdentifyLengthTest : public ArgosucheTest, public ::testing::WithParamInterface<int> {};

TEST_P(ArgosucheIdentifyLengthTest, RefusesAnIdentificationOfTheWrongLength) {
  const int delta = GetParam();
  StartDevice(9600, {}, [&](ArgoDeviceState&, ArgoFaults& f) {
    (delta < 0 ? f.shortReplyBytes : f.extraReplyBytes) = 1;
    f.replyFaultLimit = 1;  // only the answer to "*"
  });
  RunSearch(kDevicePort);
  ExpectNothingFound(kDevicePort);
  EXPECT_EQ(CountRequests(QStringLiteral("GetSerialNumber")), 0);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ArgosucheIdentifyLengthTest, ::testing::Values(-1, 1),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return std::string(info.param < 0 ? "OneShort" : "OneExtra");
                         });

TEST_F(ArgosucheTest, SilentPortEndsAfterEveryRateWasTried) {
  StartDevice(9600, {}, [](ArgoDeviceState&, ArgoFaults& f) { f.silent = true; });
  const auto took = RunSearch(kDevicePort);
  ExpectNothingFound(kDevicePort);
  // About 5.3 s (the bench has the precise figure); wide for a busy machine.
  EXPECT_GE(took, 4500ms);
  EXPECT_LE(took, 9000ms);
  // The heartbeats were all queued while this thread handled no events.
  EXPECT_EQ(receiver_.count, kSilentHeartbeats);
  // The probe reached the device at its rate.
  EXPECT_EQ(CountRequests(QStringLiteral("Identify")), 0);
  const auto requests = model_->Requests();
  EXPECT_TRUE(std::any_of(requests.begin(), requests.end(),
                          [](const ArgoRequestRecord& r) { return r.name == QStringLiteral("Identify"); }));
}

class ArgosucheMissingPortTest : public ArgosucheTest, public ::testing::WithParamInterface<std::uint8_t> {};

TEST_P(ArgosucheMissingPortTest, EndsAtOnceAfterOneHeartbeat) {
  WritePorts(QString());
  const auto took = RunSearch(GetParam(), 2s);
  ExpectNothingFound(GetParam());
  EXPECT_LT(took, 1000ms);
  EXPECT_EQ(receiver_.count, 1);
}

INSTANTIATE_TEST_SUITE_P(Ports, ArgosucheMissingPortTest, ::testing::Values(kMissingPathPort, kUnmappedPort),
                         [](const ::testing::TestParamInfo<std::uint8_t>& info) {
                           return info.param == kMissingPathPort ? std::string("NoDeviceFile")
                                                                 : std::string("NotInThePortMap");
                         });

TEST_F(ArgosucheTest, DeviceVanishingDuringTheProbeEndsTheSearch) {
  // The device goes away on the identification request at its rate.
  StartDevice(9600, {}, [](ArgoDeviceState&, ArgoFaults& f) { f.vanishAfterRequests = 1; });
  const auto took = RunSearch(kDevicePort);
  ExpectNothingFound(kDevicePort);
  // Ended at the hang-up, not after trying every other rate.
  EXPECT_LT(took, 4000ms);
}

// A search given up on a silent port (the scan was dropped, the program
// ends) ends after the read under way, not after every rate was tried.
TEST_F(ArgosucheTest, InterruptedSearchEndsAfterTheReadUnderWay) {
  StartDevice(9600, {}, [](ArgoDeviceState&, ArgoFaults& f) { f.silent = true; });
  search_ = std::make_unique<TArgosuche>(true, kDevicePort);
  search_->Resume();
  std::this_thread::sleep_for(600ms);
  ASSERT_FALSE(search_->Done());
  const auto start = std::chrono::steady_clock::now();
  search_->requestInterruption();
  ASSERT_TRUE(WaitFor([&] { return search_->Done(); }, 3s));
  // A whole silent search takes over 4.5 s.
  EXPECT_LT(std::chrono::steady_clock::now() - start, 1500ms);
  ExpectNothingFound(kDevicePort);
}

TEST_F(ArgosucheTest, NoHeartbeatAfterTheReceiverWasWithdrawn) {
  WritePorts(QString());
  search_ = std::make_unique<TArgosuche>(true, kMissingPathPort);
  search_->SetWindowHandle(&receiver_);
  search_->SetMessageNo(kHeartbeat);
  search_->SetWindowHandle(nullptr);
  EXPECT_EQ(search_->WindowHandle(), nullptr);
  search_->Resume();
  ASSERT_TRUE(WaitFor([&] { return search_->Done(); }, 2s));
  QCoreApplication::sendPostedEvents(&receiver_);
  EXPECT_EQ(receiver_.count, 0);
}

}  // namespace

namespace {

struct FirstRateCase {
  const char* name;
  int first;       // the rate stored with the device (0: none)
  int deviceRate;  // the rate the device talks at
  std::vector<int> tried;
};

class ArgosucheFirstRateTest : public ArgosucheTest, public ::testing::WithParamInterface<FirstRateCase> {};

// The stored rate is tried first and the others follow in rising order; a
// device at another rate than the stored one is still found, at its own.
// What was tried is what the line saw the search send at, in order.
TEST_P(ArgosucheFirstRateTest, TriesTheStoredRateFirstThenTheOthersInRisingOrder) {
  const FirstRateCase& c = GetParam();
  StartDevice(c.deviceRate, {}, [](ArgoDeviceState& s, ArgoFaults&) { s.serial = 10000; });
  search_ = std::make_unique<TArgosuche>(true, kDevicePort);
  EXPECT_EQ(search_->FirstBaudRate(), 0);
  search_->SetFirstBaudRate(c.first);
  search_->Resume();
  ASSERT_TRUE(WaitFor([&] { return search_->Done(); }, 15s)) << "the search did not end";
  EXPECT_TRUE(search_->ResultFound());
  EXPECT_EQ(search_->ResultBaud(), c.deviceRate);
  EXPECT_EQ(search_->ResultSerial(), 10000u);
  EXPECT_EQ(server_->HostSendingRates(), c.tried);
  EXPECT_EQ(TArgosuche::BaudRateOrder(c.first).front(), c.tried.front());
}

INSTANTIATE_TEST_SUITE_P(
    Rates, ArgosucheFirstRateTest,
    ::testing::Values(FirstRateCase{"StoredRateFoundAtOnce", 115200, 115200, {115200}},
                      FirstRateCase{"DeviceBelowTheStoredRate", 57600, 19200, {57600, 9600, 19200}},
                      FirstRateCase{
                          "DeviceAboveTheStoredRate", 19200, 115200, {19200, 9600, 38400, 57600, 115200}},
                      FirstRateCase{"NoStoredRate", 0, 38400, {9600, 19200, 38400}},
                      FirstRateCase{"UnknownStoredRate", 4800, 57600, {9600, 19200, 38400, 57600}}),
    [](const ::testing::TestParamInfo<FirstRateCase>& info) { return std::string(info.param.name); });

}  // namespace
