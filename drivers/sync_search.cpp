#include "drivers/sync_search.h"

#include <QByteArray>

#include "transport/ring_buffer.h"

bool SyncSearch::TakeSyncPair(TRingBuffer& ring, std::uint32_t keep, TRingBufferEntry& entry) {
  int run = 0;
  while (ring.Available() >= keep || (run == 1 && ring.Available() > 0)) {
    ring.Get(entry);
    run = entry.Value == kSync ? run + 1 : 0;
    if (run == 2) return true;
  }
  return false;
}

void SyncSearch::TakeThirdSync(TRingBuffer& ring, TRingBufferEntry& entry) {
  TRingBufferEntry next;
  if (ring.Available() > 0 && ring.Peek(next) && next.Value == kSync) ring.Get(entry);
}

int SyncSearch::FirstSyncRun(const QByteArray& s, int run) {
  int count = 0;
  for (int i = 0; i < s.size(); ++i) {
    count = static_cast<std::uint8_t>(s.at(i)) == kSync ? count + 1 : 0;
    if (count == run) return i - run + 2;
  }
  return 0;
}

bool SyncSearch::NextSyncFollows(const QByteArray& window, int frameLength) {
  return FirstSyncRun(window, 2) == frameLength - 1 || FirstSyncRun(window, 3) == frameLength - 2;
}
