// Drives both Brio emulators with arbitrary input: request bytes in chunks,
// pauses, DTR and parity changes, so that the firmware's request parser,
// the ASCII commands and the bootstrap loader's frame parser all see
// garbage. The models must neither crash nor break their own rules: a bad
// loader frame is answered with NAK only, and a frame built by the loader
// codec is never taken for a bad one.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "tools/devsim/brio_gen1_model.h"
#include "tools/devsim/brio_gen2_model.h"
#include "tools/devsim/brio_wire.h"

namespace {

class NullLink : public DeviceLink {
 public:
  void Send(std::span<const std::uint8_t> bytes) override { sent += bytes.size(); }
  std::size_t PendingOutput() const override { return 0; }
  void DiscardOutput() override {}
  void Vanish() override {}
  std::size_t sent = 0;
};

template <class Model>
void Drive(std::span<const std::uint8_t> data, const BrioProfile& profile) {
  BrioOptions options;
  options.bootMs = 2;
  Model model(profile, options);
  DeviceModel::Clock::time_point now{};
  model.SetClockForTesting([&now] { return now; });
  NullLink link;
  bool dtr = false;
  bool even = false;
  std::size_t i = 0;
  while (i < data.size()) {
    const std::uint8_t op = data[i++];
    switch (op >> 5) {
      case 0:
        dtr = !dtr;
        model.OnDtr(dtr, link);
        break;
      case 1:
        even = !even;
        model.OnParity(even ? SerialLineSettings::Parity::Even : SerialLineSettings::Parity::None, link);
        break;
      case 2:
        for (int k = 0; k < (op & 0x1F) + 1; ++k) {
          now += std::chrono::milliseconds(1);
          model.Tick(now, link);
        }
        break;
      default: {
        const std::size_t n = std::min<std::size_t>(data.size() - i, std::size_t(op & 0x3F) + 1);
        model.OnReceived(data.subspan(i, n), link);
        i += n;
        break;
      }
    }
  }
  for (const BrioRequestRecord& r : model.Requests()) {
    if (r.bytes.empty()) std::abort();
    if (r.outcome == BrioRequestOutcome::BadFrame && r.reply != std::vector<std::uint8_t>{0xA0}) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  Drive<BrioGen1Model>(bytes, BrioProfiles::Default(1));
  const QStringList names = BrioProfiles::Names(2);
  const QString name = names.at(size > 0 ? data[0] % names.size() : 0);
  Drive<BrioGen2Model>(bytes, *BrioProfiles::Find(2, name));

  // Any frame the codec builds is a good frame to the loader.
  if (size >= 3) {
    BrioMemory memory(128);
    BrioBootLoader loader(memory);
    loader.Enter();
    const std::size_t n = std::min<std::size_t>(size - 3, 200);
    const std::vector<std::uint8_t> frame = BrioWire::Loader::BuildFrame(
        data[0], std::uint16_t(data[1] << 8 | data[2]), std::uint16_t(n), bytes.subspan(3, n));
    std::vector<BrioLoaderStep> steps;
    loader.Receive(frame, BrioBootLoader::Clock::time_point{}, steps);
    for (const BrioLoaderStep& s : steps)
      if (s.outcome == BrioLoaderStep::Outcome::BadFrame && data[0] >= 0x10 && data[0] <= 0x26 &&
          data[0] % 2 == 0)
        std::abort();
  }
  return 0;
}
