#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

// Incremental parser of an incoming Telnet byte stream (RFC 854): splits
// data bytes (with IAC IAC unescaped) from option negotiation, other
// commands and subnegotiations. Fed in chunks of any size; a command or
// subnegotiation split across chunks is completed by the next one.
//
// Subnegotiations longer than kMaxSubnegotiation bytes are dropped, so a
// peer cannot make it grow without bound.
class TelnetStreamParser {
 public:
  static constexpr std::size_t kMaxSubnegotiation = 512;

  struct Command {
    // WILL/WONT/DO/DONT carry `option`; Subnegotiation carries `option` and
    // `payload` (unescaped, without IAC SE); Other is any other two-byte
    // command (NOP, GA, BRK ...) in `command`.
    enum class Kind { Will, Wont, Do, Dont, Subnegotiation, Other };
    Kind kind = Kind::Other;
    std::uint8_t command = 0;
    std::uint8_t option = 0;
    std::vector<std::uint8_t> payload;
  };

  // Parses `input`; data bytes are appended to `data` and commands to
  // `commands`, in stream order within each.
  void Feed(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& data,
            std::vector<Command>& commands);
  // Forgets any partial command.
  void Reset();

  // Subnegotiations dropped for being too long or malformed so far.
  std::size_t DroppedSubnegotiations() const { return dropped_; }

 private:
  enum class State { Data, Iac, Negotiation, SubOption, SubData, SubIac };

  State state_ = State::Data;
  std::uint8_t negotiation_ = 0;
  Command sub_;
  bool subOverflow_ = false;
  std::size_t dropped_ = 0;
};
