#include "drivers/brio/brio_burst_parser.h"

#include <QByteArray>

#include "drivers/burst_values.h"
#include "drivers/sync_search.h"
#include "transport/ring_buffer.h"

void TBrioBurstParser::SetChannelCount(int n) {
  channels_ = n < 0 ? 0 : (n > kMaxChannels ? kMaxChannels : n);
}

int TBrioBurstParser::Pass(TRingBuffer& ring, Listener& listener) const {
  const auto frameLength = static_cast<std::uint32_t>(FrameLength());
  int frames = 0;
  QByteArray window;
  TRingBufferEntry entry;
  while (ring.Available() >= 4 * frameLength) {
    if (!SyncSearch::TakeSyncPair(ring, 2 * frameLength, entry)) {
      listener.OnNoSync();
      break;
    }
    SyncSearch::TakeThirdSync(ring, entry);

    // The next frame's sync must follow right after the data bytes.
    if (!ring.PeekString(window, static_cast<std::uint8_t>(frameLength))) break;
    const int l = static_cast<int>(frameLength);
    if (!SyncSearch::NextSyncFollows(window, l)) {
      listener.OnBadFrame();
      continue;
    }
    TBrioBurstFrame frame;
    frame.Count = channels_;
    BurstValues::Take(ring, channels_, frame.Values, entry);
    frame.Time = entry.Time;
    listener.OnFrame(frame);
    ++frames;
  }
  return frames;
}
