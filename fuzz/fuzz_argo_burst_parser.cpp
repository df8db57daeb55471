// Feeds arbitrary bytes in arbitrary chunks to the single-colour burst frame
// parser. The first byte chooses the channel count and the chunking.

#include "burst_parser_fuzz_harness.h"
#include "drivers/argo/argo_burst_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return burst_fuzz::RunBurstParser<ArgoBurstParser, TArgoBurstRecord>(
      data, size, 64, 64,
      [](const TArgoBurstRecord& r, int channels) { burst_fuzz::CheckUnusedChannelsZero(r, channels, 8); },
      [](const TRingBuffer& ring, const ArgoBurstParser&) {
        if (ring.Available() >= ring.Count()) std::abort();
      });
}
