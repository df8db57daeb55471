#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <thread>

#include "platform/serial_input_queue.h"
#include "read_engine_cases.h"
#include "tests/support/read_timeouts.h"

namespace {

using test_support::ReadTimeouts;

using Ms = std::chrono::milliseconds;
using SteadyClock = std::chrono::steady_clock;

std::vector<std::uint8_t> Bytes(int count, std::uint8_t first = 0) {
  std::vector<std::uint8_t> v(static_cast<std::size_t>(count));
  std::iota(v.begin(), v.end(), first);
  return v;
}

class SerialInputQueueEngine : public ::testing::TestWithParam<ReadEngineCase> {};

TEST_P(SerialInputQueueEngine, ReturnsCountWithinWindow) {
  const ReadEngineCase& c = GetParam();
  SerialInputQueue queue(1000);
  queue.Append(Bytes(c.queued));
  const auto start = SteadyClock::now();
  std::thread feeder([&] {
    for (const auto& a : c.arrivals) {
      std::this_thread::sleep_until(start + Ms(a.atMs));
      queue.Append(Bytes(a.count));
    }
  });
  std::vector<std::uint8_t> buffer(static_cast<std::size_t>(c.n));
  int got = -1;
  const int rc = queue.Read(buffer, ReadTimeouts(c.interval, c.multiplier, c.constant), got);
  const double elapsed = std::chrono::duration<double, std::milli>(SteadyClock::now() - start).count();
  feeder.join();
  EXPECT_EQ(rc, SerialStatus::Ok);
  EXPECT_EQ(got, c.expected);
  EXPECT_GE(elapsed, c.minMs);
  EXPECT_LE(elapsed, c.maxMs);
}

INSTANTIATE_TEST_SUITE_P(Table, SerialInputQueueEngine, ::testing::ValuesIn(ReadEngineCases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SerialInputQueue, OverflowDropsNewestAndFlagsRxOver) {
  SerialInputQueue queue(10);
  EXPECT_NE(queue.Append(Bytes(8, 1)) & SerialEvent::RxChar, 0u);
  queue.Append(Bytes(5, 100));
  EXPECT_EQ(queue.Size(), 10u);
  EXPECT_EQ(queue.TakeErrors(), SerialLineError::RxOver);
  EXPECT_EQ(queue.TakeErrors(), 0u);  // read and cleared
  std::vector<std::uint8_t> out(20);
  int got = 0;
  queue.Read(out, ReadTimeouts(kMaxDword, 0, 0), got);
  ASSERT_EQ(got, 10);
  const std::vector<std::uint8_t> expected{1, 2, 3, 4, 5, 6, 7, 8, 100, 101};
  EXPECT_EQ(std::vector<std::uint8_t>(out.begin(), out.begin() + got), expected);
}

TEST(SerialInputQueue, EventBitsOfAnAppend) {
  SerialInputQueue queue(10);
  queue.SetEventChar('\r');
  EXPECT_EQ(queue.Append(Bytes(3, 'a')), SerialEvent::RxChar);
  const std::uint8_t withFlag[] = {'x', '\r'};
  EXPECT_EQ(queue.Append(withFlag), SerialEvent::RxChar | SerialEvent::RxFlag);
  // 5 -> 8 of 10 crosses the 80 % mark.
  EXPECT_EQ(queue.Append(Bytes(3, 'a')), SerialEvent::RxChar | SerialEvent::Rx80Full);
  EXPECT_EQ(queue.Append(std::span<const std::uint8_t>()), 0u);
}

TEST(SerialInputQueue, DiscardNullDropsZeroBytes) {
  SerialInputQueue queue(10);
  queue.SetDiscardNull(true);
  const std::uint8_t bytes[] = {0, 1, 0, 2, 0};
  queue.Append(bytes);
  EXPECT_EQ(queue.Size(), 2u);
  const std::uint8_t zeros[] = {0, 0};
  EXPECT_EQ(queue.Append(zeros), 0u);  // nothing queued, nothing raised
}

TEST(SerialInputQueue, BytesReadBeforeAClearAreDropped) {
  SerialInputQueue queue(100);
  const std::uint64_t before = queue.Generation();
  queue.Append(Bytes(4));
  queue.Clear();
  EXPECT_EQ(queue.Size(), 0u);
  EXPECT_EQ(queue.Append(Bytes(3), before), 0u);  // read from the line before the purge
  EXPECT_EQ(queue.Size(), 0u);
  queue.Append(Bytes(2), queue.Generation());  // arrived after it
  EXPECT_EQ(queue.Size(), 2u);
}

TEST(SerialInputQueue, AbortWakesABlockedReaderWithItsCount) {
  SerialInputQueue queue(100);
  std::atomic<int> got{-1};
  std::atomic<int> rc{-1};
  std::thread reader([&] {
    std::vector<std::uint8_t> buffer(10);
    int n = 0;
    rc = queue.Read(buffer, ReadTimeouts(0, 0, 0), n);  // no time-out at all
    got = n;
  });
  queue.Append(Bytes(2));
  // The reader has taken the two bytes once the queue is empty again.
  const auto deadline = SteadyClock::now() + Ms(2000);
  while (queue.Size() != 0 && SteadyClock::now() < deadline) std::this_thread::yield();
  queue.Abort();
  reader.join();
  EXPECT_EQ(rc, SerialStatus::Ok);
  EXPECT_EQ(got, 2);
}

TEST(SerialInputQueue, HangUpDeliversQueuedBytesThenFails) {
  SerialInputQueue queue(100);
  queue.Append(Bytes(3));
  queue.SetHungUp();
  EXPECT_TRUE(queue.HungUp());
  EXPECT_EQ(queue.Append(Bytes(3)), 0u);
  std::vector<std::uint8_t> buffer(10);
  int got = 0;
  EXPECT_EQ(queue.Read(buffer, ReadTimeouts(0, 0, 1000), got), SerialStatus::Ok);
  EXPECT_EQ(got, 3);
  EXPECT_EQ(queue.Read(buffer, ReadTimeouts(0, 0, 1000), got), SerialStatus::BadCommand);
  EXPECT_EQ(got, 0);
  queue.Reset();
  EXPECT_FALSE(queue.HungUp());
}

TEST(SerialInputQueue, ShutdownWakesABlockedReader) {
  SerialInputQueue queue(100);
  std::atomic<int> rc{-1};
  std::thread reader([&] {
    std::vector<std::uint8_t> buffer(10);
    int n = 0;
    rc = queue.Read(buffer, ReadTimeouts(0, 0, 0), n);
  });
  queue.Shutdown();
  reader.join();
  EXPECT_EQ(rc, SerialStatus::BadCommand);
}

TEST(SerialInputQueue, ZeroLengthReadMovesNothing) {
  SerialInputQueue queue(100);
  queue.Append(Bytes(3));
  int got = -1;
  EXPECT_EQ(queue.Read(std::span<std::uint8_t>(), ReadTimeouts(0, 0, 0), got), SerialStatus::Ok);
  EXPECT_EQ(got, 0);
  EXPECT_EQ(queue.Size(), 3u);
}

}  // namespace
