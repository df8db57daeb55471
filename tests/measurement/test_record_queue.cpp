// The bounded record queue between a device session and the window.

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "measurement/record_queue.h"

namespace {

TMeasurementRecord Record(int n) {
  TMeasurementRecord r;
  r.Time = n * 0.001;
  r.Values[0] = static_cast<std::uint16_t>(n);
  return r;
}

}  // namespace

// A consumer that stalls: the queue keeps the oldest `capacity` records,
// refuses and counts the rest, and hands them over in order afterwards.
TEST(RecordQueue, StalledConsumerBoundsTheQueueAndCountsDrops) {
  RecordQueue queue(1000);
  std::thread producer([&] {
    for (int i = 0; i < 5000; ++i) queue.Push(Record(i));
  });
  producer.join();
  EXPECT_EQ(queue.Size(), 1000u);
  EXPECT_EQ(queue.Dropped(), 4000u);

  std::vector<TMeasurementRecord> out;
  EXPECT_EQ(queue.TakeAll(out, 300), 300u);
  EXPECT_EQ(queue.TakeAll(out), 700u);
  ASSERT_EQ(out.size(), 1000u);
  for (int i = 0; i < 1000; ++i) EXPECT_EQ(out[static_cast<std::size_t>(i)].Values[0], i);
  // Room again: records are taken, the count of earlier drops stays.
  EXPECT_TRUE(queue.Push(Record(5000)));
  EXPECT_EQ(queue.Dropped(), 4000u);
  queue.Clear();
  EXPECT_EQ(queue.Size(), 0u);
  EXPECT_EQ(queue.Dropped(), 0u);
}

// Producer and consumer at once: nothing lost, nothing repeated.
TEST(RecordQueue, ConcurrentHandOverKeepsEveryRecordOnce) {
  RecordQueue queue(64);
  constexpr int kCount = 200000;
  std::vector<TMeasurementRecord> out;
  std::thread producer([&] {
    for (int i = 0; i < kCount; ++i) {
      while (!queue.Push(Record(i % 65536))) std::this_thread::yield();
    }
  });
  // Both sides yield while they wait, so the test stays quick on one core.
  while (out.size() < static_cast<std::size_t>(kCount)) {
    if (queue.TakeAll(out) == 0) std::this_thread::yield();
  }
  producer.join();
  for (int i = 0; i < kCount; ++i) ASSERT_EQ(out[static_cast<std::size_t>(i)].Values[0], i % 65536);
  // Each refused push was counted, even though it was retried.
  EXPECT_EQ(queue.Size(), 0u);
}
