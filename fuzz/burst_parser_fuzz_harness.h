// One harness for the burst frame parser fuzz targets: feeds arbitrary bytes
// in arbitrary chunks through a ring buffer to a parser. The first input byte
// chooses the channel count, the second the chunking.

#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "transport/ring_buffer.h"

namespace burst_fuzz {

// Counts the frames a parser hands out and checks each with checkFrame(record, channels).
template <class Parser, class Record, class CheckFrame>
class CountingListener final : public Parser::Listener {
 public:
  CountingListener(int channels, CheckFrame checkFrame) : channels_(channels), checkFrame_(checkFrame) {}
  void OnFrame(const Record& record) override {
    checkFrame_(record, channels_);
    ++frames;
  }
  std::size_t frames = 0;

 private:
  int channels_;
  CheckFrame checkFrame_;
};

// Runs one fuzz input. chunkSpan bounds the chunk length (1..chunkSpan),
// ringSize is the ring buffer's entry count; checkPass(ring, parser) is called
// after every parser pass.
template <class Parser, class Record, class CheckFrame, class CheckPass>
int RunBurstParser(const std::uint8_t* data, std::size_t size, std::size_t chunkSpan, std::uint32_t ringSize,
                   CheckFrame checkFrame, CheckPass checkPass) {
  if (size < 2) return 0;
  const int channels = data[0] % 9;
  const std::size_t chunk = 1 + data[1] % chunkSpan;
  data += 2;
  size -= 2;
  static TRingBuffer* ring = [ringSize] {
    auto* r = new TRingBuffer();
    r->SetCount(ringSize);
    return r;
  }();
  ring->Clear(0);
  ring->ResetLostCount();
  Parser parser;
  parser.SetChannelCount(channels);
  CountingListener<Parser, Record, CheckFrame> check(channels, checkFrame);
  for (std::size_t i = 0; i < size; i += chunk) {
    for (std::size_t k = i; k < i + chunk && k < size; ++k) ring->Put(data[k], static_cast<std::int64_t>(k));
    parser.Pass(*ring, check);
    checkPass(*ring, parser);
  }
  // Every frame needs at least its sync pair and its data.
  if (check.frames * static_cast<std::size_t>(parser.FrameLength()) > size) std::abort();
  return 0;
}

// Channels beyond the configured count must stay zero.
template <class Record>
void CheckUnusedChannelsZero(const Record& record, int channels, int maxChannels) {
  for (int k = channels; k < maxChannels; ++k)
    if (record.Values[static_cast<std::size_t>(k)] != 0) std::abort();
}

}  // namespace burst_fuzz
