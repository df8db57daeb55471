// Feeds arbitrary bytes in arbitrary chunks to the Brio burst frame parser.
// The first byte chooses the channel count, the second the chunking.

#include "burst_parser_fuzz_harness.h"
#include "drivers/brio/brio_burst_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return burst_fuzz::RunBurstParser<TBrioBurstParser, TBrioBurstFrame>(
      data, size, 64, 256,
      [](const TBrioBurstFrame& f, int channels) {
        if (f.Count != channels) std::abort();
        burst_fuzz::CheckUnusedChannelsZero(f, f.Count, TBrioBurstParser::kMaxChannels);
      },
      [](const TRingBuffer& ring, const TBrioBurstParser& parser) {
        // A pass leaves less than four frames' worth behind.
        if (ring.Available() >= 4u * static_cast<std::uint32_t>(parser.FrameLength()) &&
            ring.LostCount() == 0)
          std::abort();
      });
}
