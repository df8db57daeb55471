#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <numeric>
#include <thread>

#include "platform/pty_pair.h"
#include "platform/tty_device.h"
#include "read_engine_cases.h"
#include "tests/support/read_timeouts.h"
#include "tests/support/wait_for.h"
#include "tests/support/scoped_event_callback.h"

namespace {

using test_support::ReadTimeouts;
using test_support::WaitFor;

using Ms = std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

std::vector<std::uint8_t> Bytes(int count, std::uint8_t first = 0) {
  std::vector<std::uint8_t> v(static_cast<std::size_t>(count));
  std::iota(v.begin(), v.end(), first);
  return v;
}

SerialLineSettings Line(int baud) {
  SerialLineSettings s;
  s.baudRate = baud;
  return s;
}

int Queued(TtyDevice& device) {
  int count = -1;
  device.InputCount(count);
  return count;
}

// A tty device opened on the slave of a fresh pseudo-terminal.
class TtyDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pty.IsValid()) << "openpty failed: " << pty.Error();
    ASSERT_EQ(device.Open(pty.SlavePath()), SerialStatus::Ok);
    ASSERT_EQ(device.Configure(Line(9600)), SerialStatus::Ok);
    ASSERT_EQ(device.SetQueueSizes(10000, 10000), SerialStatus::Ok);
  }

  std::vector<std::uint8_t> ReadExactly(int n, Ms timeout = Ms(2000)) {
    device.SetTimeouts(ReadTimeouts(0, 0, static_cast<std::uint32_t>(timeout.count())));
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(n));
    int got = 0;
    EXPECT_EQ(device.Read(buffer, got), SerialStatus::Ok);
    buffer.resize(static_cast<std::size_t>(got));
    return buffer;
  }

  PtyPair pty;
  TtyDevice device;
};

class TtyDeviceEngine : public TtyDeviceTest, public ::testing::WithParamInterface<ReadEngineCase> {};

TEST_P(TtyDeviceEngine, ReturnsCountWithinWindow) {
  const ReadEngineCase& c = GetParam();
  pty.Write(Bytes(c.queued));
  ASSERT_TRUE(WaitFor([&] { return Queued(device) == c.queued; }));
  ASSERT_EQ(device.SetTimeouts(ReadTimeouts(c.interval, c.multiplier, c.constant)), SerialStatus::Ok);
  const auto start = SteadyClock::now();
  std::thread far([&] {
    for (const auto& a : c.arrivals) {
      std::this_thread::sleep_until(start + Ms(a.atMs));
      pty.Write(Bytes(a.count));
    }
  });
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(c.n));
  int got = -1;
  const int rc = device.Read(buffer, got);
  const double elapsed = std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
  far.join();
  EXPECT_EQ(rc, SerialStatus::Ok);
  EXPECT_EQ(got, c.expected);
  EXPECT_GE(elapsed, c.minMs);
  EXPECT_LE(elapsed, c.maxMs);
}

INSTANTIATE_TEST_SUITE_P(Table, TtyDeviceEngine, ::testing::ValuesIn(ReadEngineCases()),
                         [](const auto& info) { return std::string(info.param.name); });

class TtyDeviceBaud : public TtyDeviceTest, public ::testing::WithParamInterface<int> {};

TEST_P(TtyDeviceBaud, AllByteValuesPassBothWays) {
  const int baud = GetParam();
  ASSERT_EQ(device.Configure(Line(baud)), SerialStatus::Ok);
  EXPECT_EQ(pty.BaudRate(), baud);
  const std::vector<std::uint8_t> all = Bytes(256);

  int written = 0;
  ASSERT_EQ(device.Write(all, written), SerialStatus::Ok);
  EXPECT_EQ(written, 256);
  EXPECT_EQ(pty.Read(256, Ms(2000)), all);

  ASSERT_EQ(pty.Write(all), 256u);
  EXPECT_EQ(ReadExactly(256), all);
}

INSTANTIATE_TEST_SUITE_P(Rates, TtyDeviceBaud, ::testing::Values(9600, 19200, 38400, 57600, 115200));

TEST_F(TtyDeviceTest, NonStandardRateAndTwoStopBitsReachTheLine) {
  SerialLineSettings s = Line(14400);
  s.stopBits = SerialLineSettings::StopBits::Two;
  ASSERT_EQ(device.Configure(s), SerialStatus::Ok);
  EXPECT_EQ(pty.BaudRate(), 14400);
  EXPECT_EQ(pty.StopBits(), 2);
}

TEST_F(TtyDeviceTest, InvalidSettingsAreRefused) {
  SerialLineSettings s = Line(9600);
  s.stopBits = SerialLineSettings::StopBits::OneAndHalf;
  EXPECT_EQ(device.Configure(s), SerialStatus::InvalidParameter);
  EXPECT_EQ(device.Configure(Line(0)), SerialStatus::InvalidParameter);
  s = Line(9600);
  s.dataBits = 9;
  EXPECT_EQ(device.Configure(s), SerialStatus::InvalidParameter);
  EXPECT_EQ(device.SetQueueSizes(0, 0), SerialStatus::InvalidParameter);
}

TEST_F(TtyDeviceTest, ParityAndModemLinesAreToleratedOnAPty) {
  SerialLineSettings s = Line(9600);
  s.parity = SerialLineSettings::Parity::Even;
  s.dtrControl = SerialLineSettings::DtrControl::Enable;
  EXPECT_EQ(device.Configure(s), SerialStatus::Ok);
  EXPECT_EQ(device.SetDtr(false), SerialStatus::Ok);
  EXPECT_EQ(device.SetRts(true), SerialStatus::Ok);
  std::uint32_t status = 0xFFFF;
  EXPECT_EQ(device.ModemStatus(status), SerialStatus::Ok);
  EXPECT_EQ(status, 0u);
  s.parity = SerialLineSettings::Parity::None;
  EXPECT_EQ(device.Configure(s), SerialStatus::Ok);
  // Still binary-clean afterwards.
  const std::vector<std::uint8_t> bytes{0x00, 0x03, 0x0A, 0x0D, 0x11, 0x13, 0x7F, 0xFF};
  pty.Write(bytes);
  EXPECT_EQ(ReadExactly(8), bytes);
}

TEST_F(TtyDeviceTest, PurgeDropsWhatArrivedBeforeAndKeepsWhatCameAfter) {
  pty.Write(Bytes(10, 1));
  ASSERT_TRUE(WaitFor([&] { return Queued(device) == 10; }));
  ASSERT_EQ(device.Purge(SerialPurge::RxClear | SerialPurge::TxClear), SerialStatus::Ok);
  EXPECT_EQ(Queued(device), 0);
  const std::vector<std::uint8_t> later{0xA0, 0xA1, 0xA2};
  pty.Write(later);
  EXPECT_EQ(ReadExactly(10, Ms(300)), later);
}

TEST_F(TtyDeviceTest, RxAbortWakesABlockedReader) {
  device.SetTimeouts(ReadTimeouts(0, 0, 0));
  pty.Write(Bytes(3));
  ASSERT_TRUE(WaitFor([&] { return Queued(device) == 3; }));
  std::atomic<int> got{-1};
  std::thread reader([&] {
    std::vector<std::uint8_t> buffer(10);
    int n = 0;
    device.Read(buffer, n);  // takes the three, then waits for more
    got = n;
  });
  ASSERT_TRUE(WaitFor([&] { return Queued(device) == 0; }));
  const auto start = SteadyClock::now();
  // The reader may not be waiting yet: abort until it returns.
  ASSERT_TRUE(WaitFor([&] {
    device.Purge(SerialPurge::RxAbort);
    return got.load() >= 0;
  }));
  reader.join();
  EXPECT_EQ(got, 3);
  EXPECT_LT(SteadyClock::now() - start, Ms(1000));
}

TEST_F(TtyDeviceTest, EventsFollowTheMask) {
  std::mutex mutex;
  std::uint32_t seen = 0;
  const test_support::ScopedEventCallback watch(device, [&](std::uint32_t bits) {
    std::lock_guard lock(mutex);
    seen |= bits;
  });
  auto Seen = [&] {
    std::lock_guard lock(mutex);
    return seen;
  };
  device.SetEventMask(0);
  pty.Write(Bytes(2));
  ASSERT_TRUE(WaitFor([&] { return Queued(device) == 2; }));
  EXPECT_EQ(Seen(), 0u);

  SerialLineSettings s = Line(9600);
  s.eventChar = '\n';
  device.Configure(s);
  device.SetEventMask(SerialEvent::RxChar | SerialEvent::RxFlag | SerialEvent::TxEmpty);
  const std::uint8_t line[] = {'o', 'k', '\n'};
  pty.Write(line);
  EXPECT_TRUE(WaitFor([&] {
    return (Seen() & (SerialEvent::RxChar | SerialEvent::RxFlag)) ==
           (SerialEvent::RxChar | SerialEvent::RxFlag);
  }));
  int written = 0;
  device.Write(line, written);
  EXPECT_TRUE(WaitFor([&] { return (Seen() & SerialEvent::TxEmpty) != 0; }));
  EXPECT_EQ(Seen() & SerialEvent::HangUp, 0u);
}

TEST_F(TtyDeviceTest, WriteToASilentLineEndsAtItsTimeout) {
  SerialTimeouts t;
  t.writeTotalMultiplier = 0;
  t.writeTotalConstant = 200;
  device.SetTimeouts(t);
  const std::vector<std::uint8_t> big(200000, 0x55);  // far beyond what a pty holds
  int written = -1;
  const auto start = SteadyClock::now();
  EXPECT_EQ(device.Write(big, written), SerialStatus::Ok);
  const auto elapsed = SteadyClock::now() - start;
  EXPECT_GT(written, 0);
  EXPECT_LT(written, static_cast<int>(big.size()));
  EXPECT_GE(elapsed, Ms(195));
  EXPECT_LT(elapsed, Ms(1500));
}

TEST_F(TtyDeviceTest, TxAbortWakesABlockedWriter) {
  SerialTimeouts t;
  t.writeTotalMultiplier = 0;
  t.writeTotalConstant = 0;  // no time-out
  device.SetTimeouts(t);
  std::atomic<int> written{-1};
  std::thread writer([&] {
    const std::vector<std::uint8_t> big(200000, 0x55);
    int n = 0;
    device.Write(big, n);
    written = n;
  });
  ASSERT_TRUE(WaitFor([&] {
    device.Purge(SerialPurge::TxAbort);
    return written.load() >= 0;
  }));
  writer.join();
  EXPECT_GT(written, 0);
  EXPECT_LT(written, 200000);
}

TEST_F(TtyDeviceTest, SecondOpenOfAnOpenPortIsRefused) {
  TtyDevice second;
  EXPECT_EQ(second.Open(pty.SlavePath()), SerialStatus::AccessDenied);
  EXPECT_FALSE(second.IsOpen());
  EXPECT_EQ(device.Open(pty.SlavePath()), SerialStatus::AccessDenied);  // already open
  ASSERT_EQ(device.Close(), SerialStatus::Ok);
  EXPECT_EQ(second.Open(pty.SlavePath()), SerialStatus::Ok);
}

TEST(SerialStatus, FromErrnoMapsToTheClassicCodes) {
  const std::pair<int, int> cases[] = {
      {0, SerialStatus::Ok},
      {ENOENT, SerialStatus::NotFound},
      {ENODEV, SerialStatus::NotFound},
      {ENXIO, SerialStatus::NotFound},
      {EBUSY, SerialStatus::AccessDenied},
      {EWOULDBLOCK, SerialStatus::AccessDenied},
      {EACCES, SerialStatus::AccessDenied},
      {EPERM, SerialStatus::AccessDenied},
      {EIO, SerialStatus::BadCommand},
      // Every other errno is a failure of its own, never a classic code that
      // happens to share its number (EINVAL is 22, BadCommand too).
      {EINVAL, SerialStatus::SystemFailure},
      {ENOTTY, SerialStatus::SystemFailure},
      {ENOMEM, SerialStatus::SystemFailure},
  };
  for (const auto& [err, code] : cases) EXPECT_EQ(SerialStatus::FromErrno(err), code) << err;
}

TEST(TtyDevice, KeepsTheErrnoOfAFailedOpenBesideItsCode) {
  struct Case {
    const char* path;
    int code;
    int err;
  };
  // /dev/null opens and locks but is no terminal: the line settings fail.
  const Case cases[] = {{"/dev/ttyS-none", SerialStatus::NotFound, ENOENT},
                        {"/dev/null", SerialStatus::SystemFailure, ENOTTY}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    TtyDevice device;
    EXPECT_EQ(device.Open(QString::fromLatin1(c.path)), c.code);
    EXPECT_FALSE(device.IsOpen());
    EXPECT_EQ(device.TakeLastErrno(), c.err);
    EXPECT_EQ(device.TakeLastErrno(), 0);  // taken once
  }
}

TEST(TtyDevice, MissingPortIsNotFound) {
  TtyDevice device;
  EXPECT_EQ(device.Open(QStringLiteral("/dev/ttyThisDoesNotExist")), SerialStatus::NotFound);
  EXPECT_FALSE(device.IsOpen());
  int n = 0;
  std::uint8_t byte = 0;
  EXPECT_EQ(device.Write(std::span<const std::uint8_t>(&byte, 1), n), SerialStatus::NotReady);
  EXPECT_EQ(device.Close(), SerialStatus::Ok);
}

TEST_F(TtyDeviceTest, HangUpIsReportedOnceWithoutSpinning) {
  std::atomic<int> hangUps{0};
  device.SetEventMask(SerialEvent::RxChar);
  const test_support::ScopedEventCallback watch(device, [&](std::uint32_t bits) {
    if (bits & SerialEvent::HangUp) ++hangUps;
  });
  pty.Write(Bytes(4));
  ASSERT_TRUE(WaitFor([&] { return Queued(device) == 4; }));
  pty.CloseMaster();
  ASSERT_TRUE(WaitFor([&] { return hangUps.load() == 1; }));

  // The I/O thread sleeps now: almost no CPU time over a few hundred ms.
  const double cpuBefore = device.IoThreadCpuSeconds();
  ASSERT_GE(cpuBefore, 0);
  std::this_thread::sleep_for(Ms(300));
  EXPECT_LT(device.IoThreadCpuSeconds() - cpuBefore, 0.03);
  EXPECT_EQ(hangUps.load(), 1);

  // What arrived before is still there; then transfers fail.
  EXPECT_EQ(ReadExactly(10, Ms(100)), Bytes(4));
  std::vector<std::uint8_t> buffer(4);
  int n = 0;
  EXPECT_EQ(device.Read(buffer, n), SerialStatus::BadCommand);
  EXPECT_EQ(device.Write(buffer, n), SerialStatus::BadCommand);

  const auto start = SteadyClock::now();
  EXPECT_EQ(device.Close(), SerialStatus::Ok);
  EXPECT_LT(SteadyClock::now() - start, Ms(500));
  EXPECT_EQ(hangUps.load(), 1);
}

TEST_F(TtyDeviceTest, CloseWakesAReaderOnAnotherThread) {
  device.SetTimeouts(ReadTimeouts(0, 0, 0));
  std::atomic<int> rc{-1};
  std::thread reader([&] {
    std::vector<std::uint8_t> buffer(10);
    int n = 0;
    rc = device.Read(buffer, n);
  });
  std::this_thread::sleep_for(Ms(20));  // let it block (either order ends the read)
  EXPECT_EQ(device.Close(), SerialStatus::Ok);
  reader.join();
  EXPECT_NE(rc.load(), -1);
}

TEST_F(TtyDeviceTest, CloseWhileBytesStreamIn) {
  std::atomic<bool> streaming{true};
  std::atomic<int> events{0};
  device.SetEventMask(SerialEvent::RxChar);
  const test_support::ScopedEventCallback watch(device, [&](std::uint32_t) { ++events; });
  std::thread far([&] {
    const std::vector<std::uint8_t> chunk(64, 0xAA);
    while (streaming) {
      pty.Write(chunk, Ms(10));
      std::this_thread::sleep_for(Ms(1));
    }
  });
  ASSERT_TRUE(WaitFor([&] { return events.load() > 3; }));
  EXPECT_EQ(device.Close(), SerialStatus::Ok);
  const int after = events.load();
  std::this_thread::sleep_for(Ms(30));
  EXPECT_EQ(events.load(), after);  // nothing reported after Close
  streaming = false;
  far.join();
}

}  // namespace
