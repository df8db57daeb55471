#include "drivers/argo/argo_burst_parser.h"

#include <QByteArray>

#include "drivers/burst_values.h"
#include "drivers/sync_search.h"
#include "transport/ring_buffer.h"

void ArgoBurstParser::SetChannelCount(int n) { channels_ = n < 0 ? 0 : (n > 8 ? 8 : n); }

ArgoBurstParser::PassResult ArgoBurstParser::Pass(TRingBuffer& ring, Listener& listener) {
  const std::uint32_t frameLength = static_cast<std::uint32_t>(FrameLength());
  const std::uint32_t twoFrames = 2 * frameLength;

  if (ring.Available() < twoFrames) {
    ++noSyncRounds_;
    return noSyncRounds_ < static_cast<std::uint32_t>(kNoDataTicks) ? PassResult::Waiting
                                                                    : PassResult::EndNoData;
  }

  QByteArray window;
  while (ring.Available() >= twoFrames) {
    TRingBufferEntry entry;
    if (!SyncSearch::TakeSyncPair(ring, twoFrames, entry)) {
      ++noSyncRounds_;
      if (noSyncRounds_ > static_cast<std::uint32_t>(kNoSyncPasses)) {
        noSyncRounds_ = 0;
        return PassResult::EndNoSync;
      }
      continue;
    }
    noSyncRounds_ = 0;
    SyncSearch::TakeThirdSync(ring, entry);

    // The next frame's sync must follow right after the data bytes.
    if (!ring.PeekString(window, static_cast<std::uint8_t>(frameLength))) continue;
    const int l = static_cast<int>(frameLength);
    if (!SyncSearch::NextSyncFollows(window, l)) {
      listener.OnBadFrame();
      continue;
    }

    TArgoBurstRecord record;
    BurstValues::Take(ring, channels_, record.Values, entry);
    record.Time = static_cast<float>(entry.Time);
    listener.OnFrame(record);
  }
  return PassResult::Parsed;
}
