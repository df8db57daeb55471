#include "drivers/arrival_stamps.h"

#include <algorithm>

#include "platform/clock.h"
#include "platform/number_text.h"
#include "transport/ring_buffer.h"

void ArrivalStamps::Put(TRingBuffer& ring, const std::uint8_t* bytes, int count, std::int64_t arrival,
                        int baudRate, bool& first, std::int64_t& last) {
  if (count <= 0) return;
  if (first) {
    const std::int64_t byteCounts = baudRate > 0 ? Clock::Frequency() * 10 / baudRate : 0;
    last = arrival - byteCounts * count;
    ring.SetStartCount(last);
    first = false;
  }
  const double step = static_cast<double>(std::max<std::int64_t>(arrival - last, 0)) / count;
  for (int i = 0; i < count; ++i)
    ring.Put(bytes[i], last + static_cast<std::int64_t>(NumberText::Round((i + 1) * step)));
  last = std::max(last, arrival);
}
