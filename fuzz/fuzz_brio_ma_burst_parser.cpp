// Feeds arbitrary bytes in arbitrary chunks to the second-generation Brio
// burst parser. The first byte chooses the channel count, the second the
// chunking.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "drivers/brio/brio_ma_burst_parser.h"
#include "transport/ring_buffer.h"

namespace {

class Check : public BrioMaBurstParser::Listener {
 public:
  explicit Check(int channels) : channels_(channels) {}
  void OnFrame(const TBrioV2BurstRecord& r) override {
    for (int k = channels_; k < 8; ++k)
      if (r.Values[static_cast<std::size_t>(k)] != 0) std::abort();
    ++frames;
  }
  std::size_t frames = 0;

 private:
  int channels_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int channels = data[0] % 9;
  const std::size_t chunk = 1 + data[1] % 96;
  data += 2;
  size -= 2;
  static TRingBuffer* ring = [] {
    auto* r = new TRingBuffer();
    r->SetCount(128);
    return r;
  }();
  ring->Clear(0);
  BrioMaBurstParser parser;
  parser.SetChannelCount(channels);
  Check check(channels);
  for (std::size_t i = 0; i < size; i += chunk) {
    for (std::size_t k = i; k < i + chunk && k < size; ++k) ring->Put(data[k], static_cast<std::int64_t>(k));
    parser.Pass(*ring, check);
  }
  // Every frame needs at least its sync pair and its data.
  if (check.frames * static_cast<std::size_t>(parser.FrameLength()) > size) std::abort();
  return 0;
}
