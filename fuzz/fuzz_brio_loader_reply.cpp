// Arbitrary bytes as a bootstrap-loader read reply: a reply is accepted only
// whole and intact, and frames the engine builds check out.

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "drivers/brio/brio_boot_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const int n = data[0];
  const QByteArray reply(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  if (const auto parsed = TBrioBootLoader::ParseReadReply(reply, n)) {
    if (parsed->size() != n || reply.size() != n + 6) std::abort();
    if (static_cast<std::uint8_t>(reply[0]) != 0x80) std::abort();
    if (*parsed != reply.mid(4, n)) std::abort();
  }
  // A frame of even length XORed with its own checksum gives zero.
  if (size >= 5 && (size - 5) <= static_cast<std::size_t>(TBrioBootLoader::kMaxBlockSize) &&
      (size - 5) % 2 == 0) {
    const std::span<const std::uint8_t> payload(data + 5, size - 5);
    const QByteArray frame =
        TBrioBootLoader::BuildFrame(data[0], static_cast<std::uint16_t>(data[1] | data[2] << 8),
                                    static_cast<std::uint16_t>(data[3] | data[4] << 8), payload);
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(frame.constData()),
                                              static_cast<std::size_t>(frame.size()));
    if (TBrioBootLoader::BootloaderChecksum(bytes) != 0) std::abort();
    if (static_cast<std::uint8_t>(frame[2]) != payload.size() + 4 || frame[2] != frame[3]) std::abort();
  }
  return 0;
}
