#include "tools/devsim/reply_shaper.h"

#include <algorithm>
#include <cstddef>

std::vector<std::uint8_t> ReplyShaper::Noise(int count, int avoid) {
  std::vector<std::uint8_t> out;
  std::uniform_int_distribution<int> dist(0, 255);
  while (int(out.size()) < count) {
    const int b = dist(random_);
    if (b == avoid) continue;
    out.push_back(std::uint8_t(b));
  }
  return out;
}

int ReplyShaper::Shape(std::vector<std::uint8_t>& reply, ModelFaults& faults, int noiseInside) {
  if (faults.replyFaultLimit == 0) return 0;
  if (faults.replyFaultLimit > 0) --faults.replyFaultLimit;
  if (faults.shortReplyBytes > 0) {
    reply.resize(reply.size() - std::min<std::size_t>(reply.size(), std::size_t(faults.shortReplyBytes)));
  }
  if (noiseInside > 0) {
    const std::vector<std::uint8_t> noise = Noise(noiseInside);
    reply.insert(reply.begin() + std::ptrdiff_t(reply.size() / 2), noise.begin(), noise.end());
  }
  const std::vector<std::uint8_t> before = Noise(faults.noiseBeforeReply);
  reply.insert(reply.begin(), before.begin(), before.end());
  const std::vector<std::uint8_t> extra = Noise(faults.extraReplyBytes);
  reply.insert(reply.end(), extra.begin(), extra.end());
  return std::max(0, faults.lateReplyMs);
}
