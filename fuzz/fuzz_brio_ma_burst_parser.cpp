// Feeds arbitrary bytes in arbitrary chunks to the second-generation Brio
// burst parser. The first byte chooses the channel count, the second the
// chunking.

#include "burst_parser_fuzz_harness.h"
#include "drivers/brio/brio_ma_burst_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return burst_fuzz::RunBurstParser<BrioMaBurstParser, TBrioV2BurstRecord>(
      data, size, 96, 128,
      [](const TBrioV2BurstRecord& r, int channels) { burst_fuzz::CheckUnusedChannelsZero(r, channels, 8); },
      [](const TRingBuffer&, const BrioMaBurstParser&) {});
}
