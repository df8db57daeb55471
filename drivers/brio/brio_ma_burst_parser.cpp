#include "drivers/brio/brio_ma_burst_parser.h"

#include <QByteArray>

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
    std::uint8_t data[16] = {};
    for (int i = 0; i < length - 2; ++i) {
      ring.Get(entry);
      data[i] = entry.Value;
    }
    for (int k = 0; k < channels_; ++k)
      record.Values[static_cast<std::size_t>(k)] =
          static_cast<std::uint16_t>(data[2 * k] << 8 | data[2 * k + 1]);
    record.Time = static_cast<float>(entry.Time);
    listener.OnFrame(record);
    ++frames;
  }
  return frames;
}
