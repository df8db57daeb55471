// The Brio burst parser on a stream with triple syncs and noise, fed in
// chunks of every size from one byte to several frames.

#include <gtest/gtest.h>

#include <vector>

#include "drivers/brio/brio_burst_parser.h"
#include "transport/ring_buffer.h"

namespace {

struct Sent {
  std::vector<std::uint16_t> values;
  bool confirmed;  // the next frame's sync follows right after it
};

class Collect : public TBrioBurstParser::Listener {
 public:
  void OnFrame(const TBrioBurstFrame& f) override {
    frames.emplace_back(f.Values.begin(), f.Values.begin() + f.Count);
    times.push_back(f.Time);
  }
  void OnBadFrame() override { ++bad; }
  std::vector<std::vector<std::uint16_t>> frames;
  std::vector<double> times;
  int bad = 0;
};

// `count` frames of `channels` words; every 7th frame gets a third sync
// byte, every 11th is followed by noise (never a sync byte).
std::vector<std::uint8_t> Stream(int channels, int count, std::vector<Sent>& sent) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < count; ++i) {
    if (i % 7 == 3) bytes.push_back(0xAA);
    bytes.push_back(0xAA);
    bytes.push_back(0xAA);
    Sent s;
    for (int k = 0; k < channels; ++k) {
      const auto v = static_cast<std::uint16_t>(0x0100 + i * 13 + k * 0x1000);
      s.values.push_back(v);
      bytes.push_back(static_cast<std::uint8_t>(v >> 8));
      bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
    }
    const bool noise = i % 11 == 5;
    s.confirmed = !noise && i + 1 < count;
    sent.push_back(s);
    if (noise)
      for (std::uint8_t b : {0x12, 0x55, 0xA9}) bytes.push_back(b);
  }
  return bytes;
}

TEST(BrioBurstParser, FramesEqualWhatWasSentAtEveryChunkSize) {
  for (int channels : {1, 3, 5}) {
    std::vector<Sent> sent;
    const std::vector<std::uint8_t> stream = Stream(channels, 200, sent);
    std::vector<std::vector<std::uint16_t>> expected;
    for (const Sent& s : sent)
      if (s.confirmed) expected.push_back(s.values);
    const int frameLength = 2 + 2 * channels;
    for (int chunk = 1; chunk <= 4 * frameLength + 3; ++chunk) {
      SCOPED_TRACE(testing::Message() << "channels " << channels << " chunk " << chunk);
      TRingBuffer ring;
      ring.SetCount(10000);
      ring.Clear(0);
      TBrioBurstParser parser;
      parser.SetChannelCount(channels);
      Collect got;
      std::int64_t counter = 0;
      for (std::size_t at = 0; at < stream.size(); at += std::size_t(chunk)) {
        for (std::size_t i = at; i < std::min(stream.size(), at + std::size_t(chunk)); ++i)
          ring.Put(stream[i], ++counter);
        parser.Pass(ring, got);
      }
      // The parser keeps up to four frames back until more bytes come.
      ASSERT_GE(got.frames.size() + 4, expected.size());
      ASSERT_LE(got.frames.size(), expected.size());
      for (std::size_t i = 0; i < got.frames.size(); ++i) ASSERT_EQ(got.frames[i], expected[i]) << i;
      EXPECT_GT(got.bad, 0);
      for (std::size_t i = 1; i < got.times.size(); ++i) EXPECT_GT(got.times[i], got.times[i - 1]);
    }
  }
}

// The shortest frame, an empty ring and a channel count beyond a record.
TEST(BrioBurstParser, SingleChannelAndEmptyRing) {
  TRingBuffer ring;
  ring.SetCount(100);
  ring.Clear(0);
  TBrioBurstParser parser;
  parser.SetChannelCount(1);
  EXPECT_EQ(parser.FrameLength(), 4);
  Collect got;
  EXPECT_EQ(parser.Pass(ring, got), 0);
  parser.SetChannelCount(12);
  EXPECT_EQ(parser.ChannelCount(), 8);
}

}  // namespace
