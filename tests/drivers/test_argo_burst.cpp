// Burst mode against the device emulator: the records taken are exactly the
// frames the device sent, in order, and the ways a stream can end.

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <algorithm>

#include "fixtures/argo_pty_fixture.h"

namespace argotest {
namespace {

class ArgoBurstTest : public ArgoPtyTest {
 protected:
  void StartBurst(const std::array<std::uint8_t, 8>& slots) {
    driver_->SetBurstChannels(slots);
    ASSERT_TRUE(driver_->SetBurstMode(true));
    ASSERT_TRUE(driver_->BurstActive());
  }
  void Drain() {
    TArgoBurstRecord r;
    while (driver_->GetNextBurstEntry(r)) taken_.push_back(r);
  }
  // Drains until every frame the device had sent when this was called
  // (but the last, which waits for the next sync) has been taken.
  bool DrainUntilCaughtUp(std::size_t firstSent, int timeoutMs) {
    const std::uint64_t sent = model_->FramesSent();
    return WaitForEvents(
        [&] {
          Drain();
          return firstSent + taken_.size() + 1 >= sent;
        },
        timeoutMs);
  }
  // Index of the sent frame the first record matches (the stream may have
  // started before the driver cleared its buffers).
  std::size_t Align(const std::vector<ArgoSentFrame>& sent) const {
    for (std::size_t i0 = 0; i0 < 50 && i0 < sent.size(); ++i0) {
      bool match = true;
      for (std::size_t j = 0; j < 5 && j < taken_.size() && i0 + j < sent.size(); ++j)
        match = match && sent[i0 + j].values == taken_[j].Values;
      if (match) return i0;
    }
    return SIZE_MAX;
  }

  std::vector<TArgoBurstRecord> taken_;
};

TEST_F(ArgoBurstTest, RecordsEqualTheFramesSent) {
  StartDevice();
  OpenAndConnect();
  StartBurst({1, 4, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(driver_->BurstFrameLength(), 6);
  EXPECT_EQ(driver_->BurstTimerInterval(), 100);
  ASSERT_TRUE(WaitForEvents([&] { return taken_.size() > 20 || (Drain(), false); }, 3000));
  Pump(1000);
  ASSERT_TRUE(WaitForEvents([&] { return !taken_.empty(); }, 100));
  const std::size_t i0 = Align(model_->SentFrames());
  ASSERT_NE(i0, SIZE_MAX);
  ASSERT_TRUE(DrainUntilCaughtUp(i0, 3000));
  driver_->SetBurstMode(false);
  EXPECT_FALSE(driver_->BurstActive());
  EXPECT_FALSE(model_->Streaming());

  const auto sent = model_->SentFrames();
  ASSERT_LE(i0 + taken_.size(), sent.size());
  EXPECT_LE(i0, 5u);
  for (std::size_t j = 0; j < taken_.size(); ++j) {
    ASSERT_EQ(taken_[j].Values, sent[i0 + j].values) << "record " << j;
    if (j > 0) {
      EXPECT_GE(taken_[j].Time, taken_[j - 1].Time);
    }
  }
  EXPECT_FLOAT_EQ(taken_.front().Time, 0.0f);
  EXPECT_GT(taken_.size(), 500u);
  EXPECT_EQ(events_.burstStarts, 1);
  EXPECT_EQ(driver_->BurstBytesLost(), 0u);
  EXPECT_TRUE(events_.errors.empty());
}

// Noise after some frames spoils them; every other frame is still taken, in
// order, and the stream stays in sync. A third sync byte changes nothing.
TEST_F(ArgoBurstTest, ResynchronisesAfterNoise) {
  ArgoOptions options;
  options.tripleSync = true;
  StartDevice(QStringLiteral("argo-current"), options);
  OpenAndConnect();
  SetFaults([](ArgoFaults& f) {
    f.streamNoiseEveryFrames = 7;
    f.streamNoiseBytes = 3;
  });
  StartBurst({1, 2, 3, 4, 0, 0, 0, 0});
  EXPECT_EQ(driver_->BurstFrameLength(), 10);
  ASSERT_TRUE(WaitForEvents([&] { return (Drain(), taken_.size() > 300); }, 5000));
  driver_->SetBurstMode(false);

  const auto sent = model_->SentFrames();
  std::vector<ArgoSentFrame> good;
  for (const auto& f : sent)
    if (!f.spoiled) good.push_back(f);
  std::size_t i0 = SIZE_MAX;
  for (std::size_t i = 0; i < 20 && i < good.size(); ++i)
    if (good[i].values == taken_[0].Values && good[i + 1].values == taken_[1].Values) {
      i0 = i;
      break;
    }
  ASSERT_NE(i0, SIZE_MAX);
  for (std::size_t j = 0; j < taken_.size(); ++j) ASSERT_EQ(taken_[j].Values, good[i0 + j].values) << j;
}

TEST_F(ArgoBurstTest, EmptyQueueLeavesTheEntryAlone) {
  StartDevice();
  OpenAndConnect();
  TArgoBurstRecord r;
  r.Values[0] = 4711;
  r.Time = 3.5f;
  EXPECT_FALSE(driver_->GetNextBurstEntry(r));
  EXPECT_EQ(r.Values[0], 4711);
  EXPECT_FLOAT_EQ(r.Time, 3.5f);
}

TEST_F(ArgoBurstTest, ParserIntervalFollowsTheLineSpeed) {
  ArgoOptions options;
  options.baudRate = 9600;
  StartDevice(QStringLiteral("argo-current"), options);
  OpenAndConnect();
  StartBurst({1, 0, 0, 0, 0, 0, 0, 0});
  EXPECT_EQ(driver_->BurstTimerInterval(), 200);
  ASSERT_TRUE(WaitForEvents([&] { return (Drain(), taken_.size() > 20); }, 5000));
  driver_->SetBurstMode(false);
}

// The device vanishes mid-stream: one clear error and a disconnect, the
// mode ends, nothing hangs and nothing repeats.
TEST_F(ArgoBurstTest, DeviceVanishingMidStream) {
  StartDevice();
  OpenAndConnect();
  SetFaults([](ArgoFaults& f) { f.vanishAfterStreamBytes = 6000; });
  StartBurst({1, 4, 0, 0, 0, 0, 0, 0});
  ASSERT_TRUE(WaitForEvents([&] { return (Drain(), events_.disconnects > 0); }, 5000));
  EXPECT_FALSE(driver_->BurstActive());
  EXPECT_FALSE(driver_->Connected());
  EXPECT_EQ(events_.sequence,
            (std::vector<QString>{QStringLiteral("error 5"), QStringLiteral("disconnect")}));
  EXPECT_GT(taken_.size(), 100u);
  Pump(2500);
  EXPECT_EQ(events_.disconnects, 1);
  EXPECT_LE(events_.errors.size(), 1u);
}

// A stream that stops while the device still answers ends the mode once
// and tells the owner (error 5 and the disconnect); the reconnect poll then
// finds the device again.
TEST_F(ArgoBurstTest, StreamStoppingEndsTheModeOnce) {
  StartDevice();
  OpenAndConnect();
  StartBurst({1, 4, 0, 0, 0, 0, 0, 0});
  ASSERT_TRUE(WaitForEvents([&] { return (Drain(), taken_.size() > 50); }, 3000));
  model_->SetFramePeriodUs(60'000'000);
  ASSERT_TRUE(WaitForEvents([&] { return (Drain(), events_.disconnects > 0); }, 4000));
  EXPECT_FALSE(driver_->BurstActive());
  EXPECT_EQ(events_.sequence,
            (std::vector<QString>{QStringLiteral("error 5"), QStringLiteral("disconnect")}));
  ASSERT_TRUE(WaitForEvents([&] { return events_.connects == 1; }, 4000));
  Pump(1500);
  EXPECT_EQ(events_.disconnects, 1);
}

}  // namespace
}  // namespace argotest
