// Incoming RFC 2217 / Telnet stream: the bytes a network serial server sends.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <vector>

#include "platform/telnet_protocol.h"
#include "platform/telnet_stream_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  // The first byte picks the chunk size, so splits at every position occur.
  const std::size_t chunk = static_cast<std::size_t>(bytes[0] % 16) + 1;
  const std::span<const std::uint8_t> input(bytes + 1, size - 1);

  TelnetStreamParser parser;
  std::vector<std::uint8_t> data;
  std::vector<TelnetStreamParser::Command> commands;
  for (std::size_t i = 0; i < input.size(); i += chunk) {
    parser.Feed(input.subspan(i, std::min(chunk, input.size() - i)), data, commands);
  }
  if (data.size() > input.size()) std::abort();
  for (const auto& c : commands) {
    if (c.payload.size() > TelnetStreamParser::kMaxSubnegotiation) std::abort();
  }

  // Whatever data came out goes back through the encoder and the parser
  // unchanged.
  std::vector<std::uint8_t> wire;
  Telnet::AppendEscaped(wire, data);
  TelnetStreamParser again;
  std::vector<std::uint8_t> back;
  std::vector<TelnetStreamParser::Command> none;
  again.Feed(wire, back, none);
  if (back != data || !none.empty()) std::abort();
  return 0;
}
