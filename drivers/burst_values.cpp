#include "drivers/burst_values.h"

#include "transport/ring_buffer.h"

void BurstValues::Take(TRingBuffer& ring, int channels, std::array<std::uint16_t, 8>& values,
                       TRingBufferEntry& last) {
  for (int k = 0; k < channels; ++k) {
    ring.Get(last);
    const std::uint8_t high = last.Value;
    ring.Get(last);
    values[static_cast<std::size_t>(k)] = static_cast<std::uint16_t>(high << 8 | last.Value);
  }
}
