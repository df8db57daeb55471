#include <gtest/gtest.h>

#include <ostream>
#include <sys/ioctl.h>
#include <termios.h>

#include <chrono>
#include <numeric>
#include <thread>

#include "host_tty.h"
#include "recording_model.h"
#include "tools/devsim/loopback_model.h"
#include "tools/devsim/pty_server.h"

namespace {

using namespace std::chrono_literals;

std::vector<std::uint8_t> AllByteValues() {
  std::vector<std::uint8_t> bytes(256);
  std::iota(bytes.begin(), bytes.end(), 0);
  return bytes;
}

struct RateCase {
  int modelBaud;
  int hostBaud;
  bool answers;
};

std::ostream& operator<<(std::ostream& os, const RateCase& c) {
  return os << "model " << c.modelBaud << " host " << c.hostBaud;
}

class PtyServerRate : public ::testing::TestWithParam<RateCase> {};

TEST_P(PtyServerRate, LoopbackAnswersOnlyAtItsOwnRate) {
  const RateCase c = GetParam();
  PtyServer server(std::make_shared<LoopbackModel>(c.modelBaud));
  QString error;
  ASSERT_TRUE(server.Start(&error)) << error.toStdString();
  HostTty host;
  ASSERT_TRUE(host.Open(server.SlavePath(), c.hostBaud));

  const std::vector<std::uint8_t> sent = AllByteValues();
  ASSERT_EQ(host.Write(sent), sent.size());
  if (c.answers) {
    EXPECT_EQ(host.Read(sent.size(), 3000ms), sent);
  } else {
    EXPECT_TRUE(host.Read(1, 300ms).empty());
    // The same bytes at the device's rate are answered.
    ASSERT_TRUE(host.SetBaud(c.modelBaud));
    ASSERT_EQ(host.Write(sent), sent.size());
    EXPECT_EQ(host.Read(sent.size(), 3000ms), sent);
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, PtyServerRate,
                         ::testing::Values(RateCase{9600, 9600, true}, RateCase{115200, 115200, true},
                                           RateCase{14400, 14400, true}, RateCase{9600, 19200, false},
                                           RateCase{19200, 9600, false}, RateCase{38400, 14400, false}));

TEST(PtyServer, OutputIsPacedAtTheLineRate) {
  PtyServer server(std::make_shared<LoopbackModel>(9600));
  ASSERT_TRUE(server.Start());
  HostTty host;
  ASSERT_TRUE(host.Open(server.SlavePath(), 9600));

  std::vector<std::uint8_t> sent(1000);
  for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<std::uint8_t>(i * 7);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(host.Write(sent), sent.size());
  const std::vector<std::uint8_t> first = host.Read(1, 1000ms);
  const std::vector<std::uint8_t> rest = host.Read(sent.size() - 1, 5000ms);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::vector<std::uint8_t> echoed = first;
  echoed.insert(echoed.end(), rest.begin(), rest.end());
  EXPECT_EQ(echoed, sent);
  // 1000 bytes of 10 bits at 9600 baud take 1.04 s.
  EXPECT_GT(seconds, 0.9);
  EXPECT_LT(seconds, 2.0);
}

TEST(PtyServer, ToleratesAHostThatStopsReading) {
  // 100 KiB is several times what the pseudo-terminal buffers.
  constexpr int kBaud = 4'000'000;
  PtyServer server(std::make_shared<LoopbackModel>(kBaud));
  ASSERT_TRUE(server.Start());
  HostTty host;
  ASSERT_TRUE(host.Open(server.SlavePath(), kBaud));
  std::vector<std::uint8_t> sent(100 * 1024);
  for (std::size_t i = 0; i < sent.size(); ++i) sent[i] = static_cast<std::uint8_t>(i ^ (i >> 8));
  // Written in chunks the server drains while the host reads nothing.
  for (std::size_t offset = 0; offset < sent.size(); offset += 4096) {
    const auto chunk = std::span<const std::uint8_t>(sent).subspan(
        offset, std::min<std::size_t>(4096, sent.size() - offset));
    ASSERT_EQ(host.Write(chunk), chunk.size());
  }
  // The terminal fills up (the line discipline holds 4 KiB, the rest waits
  // in the kernel) and the server meets a full buffer for a while.
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  int waiting = 0;
  while (std::chrono::steady_clock::now() < deadline) {
    ASSERT_EQ(::ioctl(host.Fd(), FIONREAD, &waiting), 0);
    if (waiting >= 4000) break;
    std::this_thread::sleep_for(5ms);
  }
  EXPECT_GE(waiting, 4000);
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(server.IsRunning());
  EXPECT_EQ(host.Read(sent.size(), 10000ms), sent);
}

TEST(PtyServer, HostMayCloseAndReopenThePort) {
  PtyServer server(std::make_shared<LoopbackModel>(19200));
  ASSERT_TRUE(server.Start());
  const std::vector<std::uint8_t> sent{0x0A, 0x0D, 0x11, 0x13, 0x03, 0x00, 0xFF};
  for (int round = 0; round < 3; ++round) {
    HostTty host;
    ASSERT_TRUE(host.Open(server.SlavePath(), 19200));
    ASSERT_EQ(host.Write(sent), sent.size());
    EXPECT_EQ(host.Read(sent.size(), 2000ms), sent) << "round " << round;
  }
  EXPECT_TRUE(server.IsRunning());
}

TEST(PtyServer, ReportsRateChangesAndPurges) {
  auto model = std::make_shared<RecordingModel>(9600, false);
  PtyServer server(model);
  ASSERT_TRUE(server.Start());
  HostTty host;
  ASSERT_TRUE(host.Open(server.SlavePath(), 19200));
  ASSERT_TRUE(
      model->WaitFor([&] { return !model->BaudsLocked().empty() && model->BaudsLocked().back() == 19200; }));
  ASSERT_TRUE(host.SetBaud(14400));
  ASSERT_TRUE(model->WaitFor([&] { return model->BaudsLocked().back() == 14400; }));

  ASSERT_EQ(::tcflush(host.Fd(), TCIFLUSH), 0);
  ASSERT_TRUE(model->WaitFor([&] { return !model->PurgesLocked().empty(); }));
  EXPECT_EQ(model->Purges().front() & SerialPurge::RxClear, SerialPurge::RxClear);
  EXPECT_TRUE(model->Received().empty());
}

TEST(PtyServer, TicksOnlyAModelThatWantsThem) {
  auto ticking = std::make_shared<RecordingModel>(9600, false, true);
  auto quiet = std::make_shared<RecordingModel>(9600, false, false);
  PtyServer a(ticking);
  PtyServer b(quiet);
  ASSERT_TRUE(a.Start());
  ASSERT_TRUE(b.Start());
  const auto deadline = std::chrono::steady_clock::now() + 3s;
  while (ticking->Ticks() < 50 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(5ms);
  EXPECT_GE(ticking->Ticks(), 50);
  EXPECT_EQ(quiet->Ticks(), 0);
}

TEST(PtyServer, VanishHangsTheHostUp) {
  struct Case {
    const char* name;
    bool byModel;
  };
  for (const Case c : {Case{"server", false}, Case{"model", true}}) {
    SCOPED_TRACE(c.name);
    PtyServer server(std::make_shared<LoopbackModel>(9600));
    ASSERT_TRUE(server.Start());
    HostTty host;
    ASSERT_TRUE(host.Open(server.SlavePath(), 9600));
    if (c.byModel) {
      server.Access([](DeviceModel&, DeviceLink& link) { link.Vanish(); });
    } else {
      server.Vanish();
    }
    EXPECT_TRUE(host.WaitHangUp(3000ms));
    EXPECT_TRUE(server.Vanished());
    const auto deadline = std::chrono::steady_clock::now() + 3s;
    while (server.IsRunning() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(5ms);
    EXPECT_FALSE(server.IsRunning());
    // The device can come back on a new terminal.
    ASSERT_TRUE(server.Start());
    HostTty again;
    ASSERT_TRUE(again.Open(server.SlavePath(), 9600));
    const std::vector<std::uint8_t> sent{1, 2, 3};
    ASSERT_EQ(again.Write(sent), sent.size());
    EXPECT_EQ(again.Read(sent.size(), 2000ms), sent);
  }
}

TEST(PtyServer, StopAndStartFromSeveralThreads) {
  PtyServer server(std::make_shared<LoopbackModel>(9600));
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&server, i] {
      for (int k = 0; k < 20; ++k) {
        if ((k + i) % 2 == 0) {
          server.Start();
        } else {
          server.Stop();
        }
      }
    });
  }
  for (auto& t : threads) t.join();
  server.Stop();
  EXPECT_FALSE(server.IsRunning());
}

}  // namespace
