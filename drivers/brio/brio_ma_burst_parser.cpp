#include "drivers/brio/brio_ma_burst_parser.h"

#include <QByteArray>

#include "transport/ring_buffer.h"

namespace {

constexpr std::uint8_t kSync = 0xAA;

// 1-based position of the first run of `run` sync bytes in `s`, 0 when none.
int FirstSyncRun(const QByteArray& s, int run) {
  int count = 0;
  for (int i = 0; i < s.size(); ++i) {
    if (static_cast<std::uint8_t>(s.at(i)) == kSync) {
      if (++count == run) return i - run + 2;
    } else {
      count = 0;
    }
  }
  return 0;
}

}  // namespace

void BrioMaBurstParser::SetChannelCount(int n) { channels_ = n < 0 ? 0 : (n > 8 ? 8 : n); }

int BrioMaBurstParser::Pass(TRingBuffer& ring, Listener& listener) const {
  const std::uint32_t l = static_cast<std::uint32_t>(FrameLength());
  int frames = 0;
  QByteArray window;
  while (ring.Available() >= 4 * l) {
    TRingBufferEntry entry;
    int run = 0;
    bool found = false;
    // A sync pair is never split: once its first byte was taken its second
    // is looked at too.
    while (ring.Available() >= 2 * l || (run == 1 && ring.Available() > 0)) {
      ring.Get(entry);
      if (entry.Value == kSync) {
        if (++run == 2) {
          found = true;
          break;
        }
      } else {
        run = 0;
      }
    }
    if (!found) {
      listener.OnNoSync();
      break;
    }
    TRingBufferEntry next;
    if (ring.Peek(next) && next.Value == kSync) ring.Get(entry);

    if (!ring.PeekString(window, static_cast<std::uint8_t>(l))) break;
    const int pair = FirstSyncRun(window, 2);
    const int triple = FirstSyncRun(window, 3);
    const int length = static_cast<int>(l);
    if (pair != length - 1 && triple != length - 2) {
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
