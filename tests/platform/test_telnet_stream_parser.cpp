#include <gtest/gtest.h>

#include <ostream>

#include "platform/telnet_protocol.h"
#include "platform/telnet_stream_parser.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using Kind = TelnetStreamParser::Command::Kind;

struct Parsed {
  Bytes data;
  std::vector<TelnetStreamParser::Command> commands;
};

// Feeds `input` in chunks of `chunk` bytes (0: all at once).
Parsed Parse(const Bytes& input, std::size_t chunk) {
  TelnetStreamParser parser;
  Parsed out;
  if (chunk == 0) chunk = input.size() + 1;
  for (std::size_t i = 0; i < input.size(); i += chunk) {
    const std::size_t n = std::min(chunk, input.size() - i);
    parser.Feed(std::span<const std::uint8_t>(input.data() + i, n), out.data, out.commands);
  }
  return out;
}

struct ParserCase {
  const char* name;
  Bytes input;
  Bytes data;
  // Each command as kind, option and payload.
  struct Expected {
    Kind kind;
    std::uint8_t option;
    Bytes payload;
  };
  std::vector<Expected> commands;
};

std::ostream& operator<<(std::ostream& os, const ParserCase& c) { return os << c.name; }

constexpr std::uint8_t IAC = Telnet::IAC;
constexpr std::uint8_t SB = Telnet::SB;
constexpr std::uint8_t SE = Telnet::SE;

std::vector<ParserCase> Cases() {
  Bytes longSub{IAC, SB, 44};
  longSub.insert(longSub.end(), TelnetStreamParser::kMaxSubnegotiation + 10, 0x41);
  longSub.insert(longSub.end(), {IAC, SE, 'z'});
  return {
      {"PlainData", {'a', 0x00, 0x0D, 0x0A, 0x7F}, {'a', 0x00, 0x0D, 0x0A, 0x7F}, {}},
      {"EscapedIac", {'a', IAC, IAC, 'b', IAC, IAC}, {'a', 0xFF, 'b', 0xFF}, {}},
      {"Negotiation",
       {IAC, Telnet::WILL, 3, 'x', IAC, Telnet::DO, 44, IAC, Telnet::WONT, 1, IAC, Telnet::DONT, 0},
       {'x'},
       {{Kind::Will, 3, {}}, {Kind::Do, 44, {}}, {Kind::Wont, 1, {}}, {Kind::Dont, 0, {}}}},
      {"BaudRateReply",
       {IAC, SB, 44, 101, 0x00, 0x00, 0x4B, 0x00, IAC, SE, 'k'},
       {'k'},
       {{Kind::Subnegotiation, 44, {101, 0x00, 0x00, 0x4B, 0x00}}}},
      {"EscapedIacInsideSubnegotiation",
       {IAC, SB, 44, 101, 0x00, IAC, IAC, 0x00, 0x01, IAC, SE},
       {},
       {{Kind::Subnegotiation, 44, {101, 0x00, 0xFF, 0x00, 0x01}}}},
      {"OtherCommand", {'a', IAC, Telnet::NOP, 'b'}, {'a', 'b'}, {{Kind::Other, 0, {}}}},
      {"SubnegotiationCutByCommand",
       {IAC, SB, 44, 107, IAC, Telnet::WILL, 3, 'q'},
       {'q'},
       {{Kind::Will, 3, {}}}},
      {"OverlongSubnegotiationDropped", longSub, {'z'}, {}},
      {"DataBetweenSubnegotiations",
       {IAC, SB, 44, 106, 0x04, IAC, SE, 0x11, 0x13, IAC, SB, 44, 107, 0x30, IAC, SE},
       {0x11, 0x13},
       {{Kind::Subnegotiation, 44, {106, 0x04}}, {Kind::Subnegotiation, 44, {107, 0x30}}}},
  };
}

class TelnetStreamParserTable : public ::testing::TestWithParam<ParserCase> {};

TEST_P(TelnetStreamParserTable, SameResultForEveryChunking) {
  const ParserCase& c = GetParam();
  for (std::size_t chunk : {0u, 1u, 2u, 3u, 7u}) {
    SCOPED_TRACE(chunk);
    const Parsed p = Parse(c.input, chunk);
    EXPECT_EQ(p.data, c.data);
    ASSERT_EQ(p.commands.size(), c.commands.size());
    for (std::size_t i = 0; i < c.commands.size(); ++i) {
      EXPECT_EQ(p.commands[i].kind, c.commands[i].kind) << i;
      if (c.commands[i].kind != Kind::Other) {
        EXPECT_EQ(p.commands[i].option, c.commands[i].option) << i;
      }
      EXPECT_EQ(p.commands[i].payload, c.commands[i].payload) << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TelnetStreamParserTable, ::testing::ValuesIn(Cases()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TelnetStreamParser, EncodersRoundTripThroughTheParser) {
  Bytes wire;
  const Bytes all = [] {
    Bytes b(256);
    for (int i = 0; i < 256; ++i) b[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    return b;
  }();
  Telnet::AppendEscaped(wire, all);
  const std::uint8_t baud[] = {0x00, 0x00, 0xFF, 0xFF};
  Telnet::AppendComPort(wire, Telnet::CpSetBaudRate, baud);
  const Parsed p = Parse(wire, 5);
  EXPECT_EQ(p.data, all);
  ASSERT_EQ(p.commands.size(), 1u);
  EXPECT_EQ(p.commands[0].option, Telnet::OptComPort);
  EXPECT_EQ(p.commands[0].payload, (Bytes{Telnet::CpSetBaudRate, 0x00, 0x00, 0xFF, 0xFF}));
}

}  // namespace
