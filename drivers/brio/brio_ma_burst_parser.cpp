#include "drivers/brio/brio_ma_burst_parser.h"

#include <QByteArray>

#include "drivers/burst_values.h"
#include "drivers/sync_search.h"
#include "transport/ring_buffer.h"

void BrioMaBurstParser::SetChannelCount(int n) { channels_ = n < 0 ? 0 : (n > 8 ? 8 : n); }

int BrioMaBurstParser::Pass(TRingBuffer& ring, Listener& listener) const {
  const std::uint32_t l = static_cast<std::uint32_t>(FrameLength());
  int frames = 0;
  QByteArray window;
  while (ring.Available() >= 4 * l) {
    TRingBufferEntry entry;
    if (!SyncSearch::TakeSyncPair(ring, 2 * l, entry)) {
      listener.OnNoSync();
      break;
    }
    SyncSearch::TakeThirdSync(ring, entry);

    if (!ring.PeekString(window, static_cast<std::uint8_t>(l))) break;
    const int length = static_cast<int>(l);
    if (!SyncSearch::NextSyncFollows(window, length)) {
      listener.OnBadFrame();
      continue;
    }
    TBrioV2BurstRecord record;
    BurstValues::Take(ring, channels_, record.Values, entry);
    record.Time = static_cast<float>(entry.Time);
    listener.OnFrame(record);
    ++frames;
  }
  return frames;
}
