#include <gtest/gtest.h>

#include "measurement/float_ring_buffer.h"

namespace {

TEST(TFloatRingBuffer, SizeIsClamped) {
  struct Case {
    int requested;
    int size;
  } cases[] = {{0, 1}, {1, 1}, {10, 10}, {1000, 1000}, {5000, 1000}, {-3, 1}};
  for (const Case& c : cases) {
    TFloatRingBuffer ring(1);
    ring.SetSize(c.requested);
    EXPECT_EQ(ring.Size(), c.size) << c.requested;
  }
  EXPECT_EQ(TFloatRingBuffer(0).Size(), 1);
  EXPECT_EQ(TFloatRingBuffer(5000).Size(), 1000);
}

TEST(TFloatRingBuffer, AverageAfterFillAndResize) {
  TFloatRingBuffer ring(10);
  EXPECT_FLOAT_EQ(ring.Average(), 0.0f);  // a fresh ring holds zeros
  for (int size : {1, 7, 1000}) {
    ring.SetSize(size);
    ring.Fill(2.5f);
    EXPECT_FLOAT_EQ(ring.Average(), 2.5f) << size;
    EXPECT_EQ(ring.Position(), 0);
  }
  // Growing keeps the old entries and adds zeros.
  ring.SetSize(4);
  ring.Fill(8.0f);
  ring.SetSize(8);
  EXPECT_FLOAT_EQ(ring.Average(), 4.0f);
  // The main window's use: average, resize, refill with that average.
  const float average = ring.Average();
  ring.SetSize(3);
  ring.Fill(average);
  EXPECT_FLOAT_EQ(ring.Average(), 4.0f);
}

}  // namespace
