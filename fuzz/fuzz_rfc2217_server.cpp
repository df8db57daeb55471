// Feeds arbitrary client bytes to the emulator's RFC 2217 server session:
// option negotiation, COM-PORT commands and data. The same bytes fed whole
// and in the pieces the input chooses must give the same data, the same
// line changes and the same answers; every answer must parse as complete
// Telnet commands; the line settings must stay in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "platform/telnet_stream_parser.h"
#include "tools/devsim/rfc2217_session.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Everything the session reports, in order, as one byte record.
class RecordingPort : public Rfc2217Session::Port {
 public:
  void OnData(std::span<const std::uint8_t> bytes, int baud) override {
    Check(baud > 0);
    for (std::uint8_t b : bytes) data.push_back(b);
    events.push_back('D');
  }
  void OnBaudRate(int baud) override {
    Check(baud > 0);
    Put('B', static_cast<std::uint32_t>(baud));
  }
  void OnParity(SerialLineSettings::Parity parity) override { Put('P', static_cast<std::uint32_t>(parity)); }
  void OnDtr(bool on) override { Put('d', on); }
  void OnRts(bool on) override { Put('r', on); }
  void OnPurge(std::uint32_t flags) override { Put('u', flags); }
  void OnFlowSuspend(bool suspend) override { Put('f', suspend); }

  std::vector<std::uint8_t> data;
  std::vector<std::uint8_t> events;

 private:
  void Put(char kind, std::uint32_t value) {
    events.push_back(static_cast<std::uint8_t>(kind));
    for (int i = 0; i < 4; ++i) events.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  }
};

struct Outcome {
  std::vector<std::uint8_t> data;
  std::vector<std::uint8_t> events;
  std::vector<std::uint8_t> reply;
  int baud, dataSize, stopSize, parity;
  bool dtr, rts;
  bool operator==(const Outcome&) const = default;
};

// Data events may be split differently; the bytes and everything else may not.
Outcome Run(std::span<const std::uint8_t> input, std::span<const std::uint8_t> splits) {
  RecordingPort port;
  Rfc2217Session session(port);
  std::vector<std::uint8_t> reply = session.Greeting();
  std::size_t pos = 0;
  std::size_t k = 0;
  while (pos < input.size()) {
    std::size_t n = input.size() - pos;
    if (!splits.empty()) n = std::min<std::size_t>(n, 1 + splits[k++ % splits.size()] % 16);
    session.Feed(input.subspan(pos, n), reply);
    pos += n;
  }
  Check(session.BaudRate() > 0);
  Check(session.DataSize() >= 5 && session.DataSize() <= 8);
  Check(session.StopSize() >= 1 && session.StopSize() <= 3);
  std::vector<std::uint8_t> events;
  for (std::size_t i = 0; i < port.events.size(); ++i) {
    // Consecutive data events count as one.
    if (port.events[i] == 'D' && !events.empty() && events.back() == 'D') continue;
    events.push_back(port.events[i]);
  }
  return {port.data,
          events,
          reply,
          session.BaudRate(),
          session.DataSize(),
          session.StopSize(),
          static_cast<int>(session.Parity()),
          session.Dtr(),
          session.Rts()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // The first byte's length of the input chooses the pieces.
  const std::size_t splitCount = std::min<std::size_t>(data[0] % 8, size - 1);
  const std::span<const std::uint8_t> splits(data + 1, splitCount);
  const std::span<const std::uint8_t> input(data + 1 + splitCount, size - 1 - splitCount);

  const Outcome whole = Run(input, {});
  const Outcome pieces = Run(input, splits.empty() ? std::span<const std::uint8_t>(data, 1) : splits);
  Check(whole == pieces);

  // The answers are complete Telnet commands.
  TelnetStreamParser parser;
  std::vector<std::uint8_t> replyData;
  std::vector<TelnetStreamParser::Command> commands;
  parser.Feed(whole.reply, replyData, commands);
  Check(parser.DroppedSubnegotiations() == 0);
  Check(replyData.empty());
  return 0;
}
