#include "drivers/brio/brio_burst_parser.h"

#include <QByteArray>

#include "transport/ring_buffer.h"

namespace {

constexpr std::uint8_t kSync = 0xAA;

// 1-based position of the first run of `run` sync bytes in `s`, 0 when none.
int FirstSyncRun(const QByteArray& s, int run) {
  int count = 0;
  for (int i = 0; i < s.size(); ++i) {
    count = static_cast<std::uint8_t>(s.at(i)) == kSync ? count + 1 : 0;
    if (count == run) return i - run + 2;
  }
  return 0;
}

}  // namespace

void TBrioBurstParser::SetChannelCount(int n) {
  channels_ = n < 0 ? 0 : (n > kMaxChannels ? kMaxChannels : n);
}

int TBrioBurstParser::Pass(TRingBuffer& ring, Listener& listener) const {
  const auto frameLength = static_cast<std::uint32_t>(FrameLength());
  int frames = 0;
  QByteArray window;
  TRingBufferEntry entry;
  while (ring.Available() >= 4 * frameLength) {
    // Sync search: two 0xAA in a row; a pair whose first byte was taken
    // always gets its second, so no frame is lost between passes.
    int run = 0;
    bool found = false;
    while (ring.Available() >= 2 * frameLength || (run == 1 && ring.Available() > 0)) {
      ring.Get(entry);
      run = entry.Value == kSync ? run + 1 : 0;
      if (run == 2) {
        found = true;
        break;
      }
    }
    if (!found) {
      listener.OnNoSync();
      break;
    }
    TRingBufferEntry next;
    if (ring.Peek(next) && next.Value == kSync) ring.Get(entry);

    // The next frame's sync must follow right after the data bytes.
    if (!ring.PeekString(window, static_cast<std::uint8_t>(frameLength))) break;
    const int l = static_cast<int>(frameLength);
    if (FirstSyncRun(window, 2) != l - 1 && FirstSyncRun(window, 3) != l - 2) {
      listener.OnBadFrame();
      continue;
    }
    TBrioBurstFrame frame;
    frame.Count = channels_;
    for (int k = 0; k < channels_; ++k) {
      ring.Get(entry);
      const std::uint8_t high = entry.Value;
      ring.Get(entry);
      frame.Values[std::size_t(k)] = static_cast<std::uint16_t>(high << 8 | entry.Value);
    }
    frame.Time = entry.Time;
    listener.OnFrame(frame);
    ++frames;
  }
  return frames;
}
