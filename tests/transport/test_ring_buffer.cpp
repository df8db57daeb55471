#include <gtest/gtest.h>

#include "platform/clock.h"
#include "transport/ring_buffer.h"

namespace {

void PutBytes(TRingBuffer& ring, int n, int first = 1) {
  for (int i = 0; i < n; ++i) ring.Put(static_cast<std::uint8_t>(first + i), ring.StartCount());
}

TEST(RingBuffer, NewAndClearedBufferIsEmptyWithZeroEntries) {
  TRingBuffer ring;
  EXPECT_EQ(ring.Count(), 10000u);
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(ring.Available(), 0u);
    TRingBufferEntry e{7, 3.0};
    EXPECT_TRUE(ring.Peek(e));
    EXPECT_EQ(e.Value, 0);
    EXPECT_EQ(e.Time, 0.0);
    PutBytes(ring, 3);
    EXPECT_TRUE(ring.Clear(0));
    EXPECT_EQ(ring.ReadPos(), 0u);
    EXPECT_EQ(ring.WritePos(), 0u);
  }
}

TEST(RingBuffer, AvailableFollowsPutsAndGets) {
  TRingBuffer ring;
  PutBytes(ring, 3, 10);
  TRingBufferEntry e;
  ASSERT_TRUE(ring.Get(e));
  EXPECT_EQ(e.Value, 10);
  EXPECT_EQ(ring.Available(), 2u);
}

TEST(RingBuffer, WrappedPositionsCountAndPeekAcrossTheEnd) {
  TRingBuffer ring;
  ring.SetCount(5);
  for (std::uint32_t i = 0; i < 5; ++i) {
    ring.SetWritePos(i);
    ring.Put(static_cast<std::uint8_t>('a' + i), 0);
  }
  ring.SetReadPos(4);
  ring.SetWritePos(1);
  EXPECT_EQ(ring.Available(), 2u);
  QByteArray s;
  ASSERT_TRUE(ring.PeekString(s, 2));
  EXPECT_EQ(s, QByteArray("ea"));
  EXPECT_EQ(ring.ReadPos(), 4u);

  // More than Count: refused, the text is empty.
  EXPECT_FALSE(ring.PeekString(s, 6));
  EXPECT_TRUE(s.isEmpty());
}

TEST(RingBuffer, OverflowDropsTheOldestAndCountsTheLoss) {
  // A full ring drops its oldest unread entry for each new one, so the
  // newest Count - 1 entries stay readable and the loss is counted. (A ring
  // whose positions meet would otherwise read as empty: Count + 1 puts now
  // leave Count - 1 entries instead of 1.)
  struct Case {
    int puts;
    std::uint32_t available;
    std::uint64_t lost;
    std::uint8_t oldest;
  };
  const Case cases[] = {
      {4, 4, 0, 1},  // fills the ring
      {5, 4, 1, 2},  // Count puts
      {6, 4, 2, 3},  // Count + 1 puts
      {23, 4, 19, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.puts);
    TRingBuffer ring;
    ring.SetCount(5);
    PutBytes(ring, c.puts);
    EXPECT_EQ(ring.Available(), c.available);
    EXPECT_EQ(ring.LostCount(), c.lost);
    QByteArray s;
    ASSERT_TRUE(ring.PeekString(s, static_cast<std::uint8_t>(c.available)));
    for (std::uint32_t i = 0; i < c.available; ++i) {
      EXPECT_EQ(static_cast<std::uint8_t>(s[i]), static_cast<std::uint8_t>(c.oldest + i));
    }
  }
  TRingBuffer ring;
  ring.SetCount(3);
  PutBytes(ring, 5);
  EXPECT_GT(ring.LostCount(), 0u);
  ring.ResetLostCount();
  EXPECT_EQ(ring.LostCount(), 0u);
}

TEST(RingBuffer, SettingCountDiscardsEverything) {
  TRingBuffer ring;
  PutBytes(ring, 10);
  TRingBufferEntry e;
  ring.Get(e);
  ring.SetCount(5000);
  EXPECT_EQ(ring.Count(), 5000u);
  EXPECT_EQ(ring.ReadPos(), 0u);
  EXPECT_EQ(ring.WritePos(), 0u);
  EXPECT_EQ(ring.Available(), 0u);
  // No capacity below one entry.
  ring.SetCount(0);
  EXPECT_EQ(ring.Count(), 1u);
  ring.Put(1, 0);
  ring.Get(e);
}

TEST(RingBuffer, PositionsOutsideTheRingAreRefused) {
  TRingBuffer ring;
  ring.SetCount(5);
  ring.SetReadPos(2);
  ring.SetReadPos(5);
  ring.SetWritePos(9);
  EXPECT_EQ(ring.ReadPos(), 2u);
  EXPECT_EQ(ring.WritePos(), 0u);
}

TEST(RingBuffer, TimesAreSecondsSinceStartCount) {
  TRingBuffer ring;
  const std::int64_t start = 123456789;
  ring.SetStartCount(start);
  ring.Put(1, start + Clock::Frequency());
  ring.Put(2, start);
  // Millisecond resolution survives a long run (10 h + 1 ms).
  const std::int64_t tenHours = 36000LL * Clock::Frequency();
  ring.Put(3, start + tenHours + Clock::Frequency() / 1000);
  TRingBufferEntry e;
  ring.Get(e);
  EXPECT_EQ(e.Time, 1.0);
  ring.Get(e);
  EXPECT_EQ(e.Time, 0.0);
  ring.Get(e);
  EXPECT_NEAR(e.Time, 36000.001, 1e-6);
}

}  // namespace
