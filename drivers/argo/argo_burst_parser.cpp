#include "drivers/argo/argo_burst_parser.h"

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
    // Sync search: two 0xAA in a row.
    TRingBufferEntry entry;
    int run = 0;
    bool found = false;
    // A sync pair is never split between two passes: once its first byte
    // was taken, its second is taken too, or a frame would be lost.
    while (ring.Available() >= twoFrames || (run == 1 && ring.Available() > 0)) {
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
      ++noSyncRounds_;
      if (noSyncRounds_ > static_cast<std::uint32_t>(kNoSyncPasses)) {
        noSyncRounds_ = 0;
        return PassResult::EndNoSync;
      }
      continue;
    }
    noSyncRounds_ = 0;
    TRingBufferEntry next;
    if (ring.Available() > 0 && ring.Peek(next) && next.Value == kSync) ring.Get(entry);

    // The next frame's sync must follow right after the data bytes.
    if (!ring.PeekString(window, static_cast<std::uint8_t>(frameLength))) continue;
    const int pair = FirstSyncRun(window, 2);
    const int triple = FirstSyncRun(window, 3);
    const int l = static_cast<int>(frameLength);
    if (pair != l - 1 && triple != l - 2) {
      listener.OnBadFrame();
      continue;
    }

    TArgoBurstRecord record;
    std::uint8_t data[16] = {};
    const int dataBytes = l - 2;
    for (int i = 0; i < dataBytes; ++i) {
      ring.Get(entry);
      data[i] = entry.Value;
    }
    for (int k = 0; k < channels_; ++k)
      record.Values[static_cast<std::size_t>(k)] =
          static_cast<std::uint16_t>(data[2 * k] << 8 | data[2 * k + 1]);
    record.Time = static_cast<float>(entry.Time);
    listener.OnFrame(record);
  }
  return PassResult::Parsed;
}
