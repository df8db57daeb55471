// The second-generation burst parser on streams with known frames, fed at
// every chunk size: split frames, noise before and inside frames, a third
// sync byte, frames of the wrong length.

#include <gtest/gtest.h>

#include <vector>

#include "drivers/brio/brio_ma_burst_parser.h"
#include "transport/ring_buffer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

class Collect : public BrioMaBurstParser::Listener {
 public:
  void OnFrame(const TBrioV2BurstRecord& r) override { frames.push_back(r); }
  void OnBadFrame() override { ++bad; }
  std::vector<TBrioV2BurstRecord> frames;
  int bad = 0;
};

Bytes Frame(std::initializer_list<std::uint16_t> words, bool triple = false) {
  Bytes b = triple ? Bytes{0xAA, 0xAA, 0xAA} : Bytes{0xAA, 0xAA};
  for (std::uint16_t w : words) {
    b.push_back(static_cast<std::uint8_t>(w >> 8));
    b.push_back(static_cast<std::uint8_t>(w & 0xFF));
  }
  return b;
}

void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

struct Case {
  const char* name;
  int channels;
  Bytes stream;
  std::vector<std::vector<std::uint16_t>> expected;  // values of the frames taken
};

std::vector<Case> Cases() {
  std::vector<Case> cases;
  {
    Case c{"clean", 3, {}, {}};
    for (std::uint16_t i = 0; i < 8; ++i) {
      Append(c.stream, Frame({std::uint16_t(0x0D00 + i), 0x0523, 0x0DB0}));
      if (i < 7) c.expected.push_back({std::uint16_t(0x0D00 + i), 0x0523, 0x0DB0});
    }
    cases.push_back(c);
  }
  {
    Case c{"noise first, triple sync", 2, {0x12, 0xAA, 0x34, 0x56}, {}};
    for (std::uint16_t i = 0; i < 8; ++i) {
      Append(c.stream, Frame({std::uint16_t(0x0100 + i), 0x0200}, i % 3 == 1));
      if (i < 7) c.expected.push_back({std::uint16_t(0x0100 + i), 0x0200});
    }
    cases.push_back(c);
  }
  {
    // A frame cut short: it and nothing else is dropped.
    Case c{"short frame", 1, {}, {}};
    for (std::uint16_t i = 0; i < 10; ++i) {
      Bytes f = Frame({std::uint16_t(0x1000 + i)});
      if (i == 4) f.pop_back();
      Append(c.stream, f);
      if (i != 4 && i < 9) c.expected.push_back({std::uint16_t(0x1000 + i)});
    }
    cases.push_back(c);
  }
  return cases;
}

TEST(BrioMaBurstParser, ResyncTableAtEveryChunkSize) {
  for (const Case& c : Cases()) {
    for (std::size_t chunk = 1; chunk <= c.stream.size(); ++chunk) {
      SCOPED_TRACE(std::string(c.name) + " chunk " + std::to_string(chunk));
      TRingBuffer ring;
      ring.SetCount(1000);
      BrioMaBurstParser parser;
      parser.SetChannelCount(c.channels);
      Collect got;
      for (std::size_t i = 0; i < c.stream.size(); i += chunk) {
        for (std::size_t k = i; k < std::min(i + chunk, c.stream.size()); ++k)
          ring.Put(c.stream[k], static_cast<std::int64_t>(k));
        parser.Pass(ring, got);
      }
      // The parser keeps the last frames until four frames' worth wait:
      // everything it took is a prefix of the expected frames.
      ASSERT_LE(got.frames.size(), c.expected.size());
      ASSERT_GE(got.frames.size() + 4, c.expected.size());
      for (std::size_t f = 0; f < got.frames.size(); ++f) {
        const auto& want = c.expected[f];
        for (std::size_t k = 0; k < 8; ++k)
          EXPECT_EQ(got.frames[f].Values[k], k < want.size() ? want[k] : 0) << f << " " << k;
      }
    }
  }
}

TEST(BrioMaBurstParser, FrameLengthFollowsTheChannels) {
  BrioMaBurstParser parser;
  parser.SetChannelCount(1);
  EXPECT_EQ(parser.FrameLength(), 4);
  parser.SetChannelCount(12);
  EXPECT_EQ(parser.FrameLength(), 18);
  parser.SetChannelCount(-1);
  EXPECT_EQ(parser.FrameLength(), 2);
}

}  // namespace
