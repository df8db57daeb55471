#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/devsim/rfc2217_session.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using S = Rfc2217Session;

// Records what the session reports, one line per call.
class RecordingPort : public Rfc2217Session::Port {
 public:
  std::vector<std::string> events;

  void OnData(std::span<const std::uint8_t> bytes, int baud) override {
    std::string text = "data@" + std::to_string(baud) + ":";
    for (std::uint8_t b : bytes) text += " " + std::to_string(b);
    events.push_back(text);
  }
  void OnBaudRate(int baud) override { events.push_back("baud " + std::to_string(baud)); }
  void OnParity(SerialLineSettings::Parity p) override {
    events.push_back("parity " + std::to_string(static_cast<int>(p)));
  }
  void OnDtr(bool on) override { events.push_back(on ? "dtr on" : "dtr off"); }
  void OnRts(bool on) override { events.push_back(on ? "rts on" : "rts off"); }
  void OnPurge(std::uint32_t flags) override { events.push_back("purge " + std::to_string(flags)); }
  void OnFlowSuspend(bool suspend) override { events.push_back(suspend ? "suspend" : "resume"); }
};

Bytes Sb(std::uint8_t command, Bytes value) {
  Bytes out{S::kIac, S::kSb, S::kOptionComPort, command};
  S::Escape(value, out);
  out.insert(out.end(), {S::kIac, S::kSe});
  return out;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

struct Case {
  const char* name;
  bool greeted;  // the server's offers went out first
  Bytes input;
  Bytes reply;
  std::vector<std::string> events;
};

const std::vector<Case>& Cases() {
  static const std::vector<Case> cases = {
      {"answers to our offers need no reply",
       true,
       Bytes{S::kIac, S::kDo, S::kOptionComPort, S::kIac, S::kWill, S::kOptionComPort, S::kIac, S::kDo,
             S::kOptionBinary, S::kIac, S::kWill, S::kOptionBinary},
       {},
       {}},
      {"a client's requests are accepted once",
       false,
       Bytes{S::kIac, S::kWill, S::kOptionComPort, S::kIac, S::kDo, S::kOptionSga, S::kIac, S::kDo,
             S::kOptionSga},
       Bytes{S::kIac, S::kDo, S::kOptionComPort, S::kIac, S::kWill, S::kOptionSga},
       {}},
      {"other options are refused",
       true,
       Bytes{S::kIac, S::kDo, 1, S::kIac, S::kWill, 24},
       Bytes{S::kIac, S::kWont, 1, S::kIac, S::kDont, 24},
       {}},
      {"baud rate set and answered",
       true,
       Sb(S::kSetBaudRate, {0, 0, 0x4B, 0}),
       Sb(101, {0, 0, 0x4B, 0}),
       {"baud 19200"}},
      {"baud rate with IAC bytes both ways",
       true,
       Sb(S::kSetBaudRate, {0, 0, 0xFF, 0xFF}),
       Sb(101, {0, 0, 0xFF, 0xFF}),
       {"baud 65535"}},
      {"baud rate query keeps the rate",
       true,
       Sb(S::kSetBaudRate, {0, 0, 0, 0}),
       Sb(101, {0, 0, 0x25, 0x80}),
       {}},
      {"data size", true, Sb(S::kSetDataSize, {7}), Sb(102, {7}), {}},
      {"parity even", true, Sb(S::kSetParity, {3}), Sb(103, {3}), {"parity 2"}},
      {"parity unchanged is not reported", true, Sb(S::kSetParity, {1}), Sb(103, {1}), {}},
      {"invalid parity answers the current one", true, Sb(S::kSetParity, {9}), Sb(103, {1}), {}},
      {"stop size", true, Sb(S::kSetStopSize, {2}), Sb(104, {2}), {}},
      {"dtr on then off",
       true,
       Cat({Sb(S::kSetControl, {8}), Sb(S::kSetControl, {9})}),
       Cat({Sb(105, {8}), Sb(105, {9})}),
       {"dtr on", "dtr off"}},
      {"dtr query",
       true,
       Cat({Sb(S::kSetControl, {8}), Sb(S::kSetControl, {7})}),
       Cat({Sb(105, {8}), Sb(105, {8})}),
       {"dtr on"}},
      {"rts on", true, Sb(S::kSetControl, {11}), Sb(105, {11}), {"rts on"}},
      {"no flow control", true, Sb(S::kSetControl, {1}), Sb(105, {1}), {}},
      {"purge both", true, Sb(S::kPurgeData, {3}), Sb(112, {3}), {"purge 12"}},
      {"purge receive buffer", true, Sb(S::kPurgeData, {1}), Sb(112, {1}), {"purge 8"}},
      {"masks are answered",
       true,
       Cat({Sb(S::kSetLineStateMask, {0}), Sb(S::kSetModemStateMask, {0xFF})}),
       Cat({Sb(110, {0}), Sb(111, {0xFF})}),
       {}},
      {"modem state poll", true, Sb(S::kNotifyModemState, {}), Sb(107, {0}), {}},
      {"flow suspend and resume",
       true,
       Cat({Sb(S::kFlowControlSuspend, {}), Sb(S::kFlowControlResume, {})}),
       {},
       {"suspend", "resume"}},
      {"data keeps its order around a rate change",
       true,
       Cat({Bytes{1, 2}, Sb(S::kSetBaudRate, {0, 0, 0x4B, 0}), Bytes{3, S::kIac, S::kIac, 4}}),
       Sb(101, {0, 0, 0x4B, 0}),
       {"data@9600: 1 2", "baud 19200", "data@19200: 3 255 4"}},
      {"other telnet commands carry no data", true, Bytes{5, S::kIac, 241, 6}, {}, {"data@9600: 5 6"}},
      {"an overlong subnegotiation is dropped",
       true,
       Cat({Sb(S::kSetParity, Bytes(TelnetStreamParser::kMaxSubnegotiation + 10, 3)), Bytes{7}}),
       {},
       {"data@9600: 7"}},
      {"a subnegotiation cut by a command",
       true,
       Bytes{S::kIac, S::kSb, S::kOptionComPort, S::kSetParity, S::kIac, S::kDo, 1, 9},
       Bytes{S::kIac, S::kWont, 1},
       {"data@9600: 9"}},
      {"a subnegotiation of another option is ignored",
       true,
       Bytes{S::kIac, S::kSb, 24, 1, S::kIac, S::kSe},
       {},
       {}},
      {"truncated commands are ignored",
       true,
       Cat({Sb(S::kSetBaudRate, {0, 1}), Sb(S::kSetParity, {}), Sb(S::kSetControl, {})}),
       {},
       {}},
  };
  return cases;
}

TEST(Rfc2217Session, HandlesEachInputWholeAndByteByByte) {
  for (const Case& c : Cases()) {
    for (bool split : {false, true}) {
      SCOPED_TRACE(std::string(c.name) + (split ? " (byte by byte)" : ""));
      RecordingPort port;
      Rfc2217Session session(port);
      if (c.greeted) session.Greeting();
      Bytes reply;
      if (split) {
        for (std::uint8_t b : c.input) session.Feed(std::span<const std::uint8_t>(&b, 1), reply);
      } else {
        session.Feed(c.input, reply);
      }
      EXPECT_EQ(reply, c.reply);
      // Data split byte by byte arrives in more pieces; compare the calls
      // with the data runs joined.
      std::vector<std::string> joined;
      for (const std::string& e : port.events) {
        if (!joined.empty() && e.rfind("data@", 0) == 0 && joined.back().rfind("data@", 0) == 0 &&
            e.substr(0, e.find(':')) == joined.back().substr(0, joined.back().find(':'))) {
          joined.back() += e.substr(e.find(':') + 1);
        } else {
          joined.push_back(e);
        }
      }
      EXPECT_EQ(joined, c.events);
    }
  }
}

TEST(Rfc2217Session, GreetingOffersTheOptionsBothWays) {
  RecordingPort port;
  Rfc2217Session session(port);
  const Bytes greeting = session.Greeting();
  EXPECT_EQ(greeting, (Bytes{S::kIac, S::kWill, 0, S::kIac, S::kDo, 0, S::kIac, S::kWill, 3, S::kIac, S::kDo,
                             3, S::kIac, S::kWill, 44, S::kIac, S::kDo, 44}));
  EXPECT_FALSE(session.ComPortActive());
  Bytes reply;
  const Bytes acks{S::kIac, S::kDo, 44, S::kIac, S::kWill, 44};
  session.Feed(acks, reply);
  EXPECT_TRUE(session.ComPortActive());
  EXPECT_TRUE(reply.empty());
  // A refusal of an active option is acknowledged once.
  session.Feed(Bytes{S::kIac, S::kDont, 44, S::kIac, S::kDont, 44}, reply);
  EXPECT_EQ(reply, (Bytes{S::kIac, S::kWont, 44}));
  EXPECT_FALSE(session.ComPortActive());
}

TEST(Rfc2217Session, SurvivesArbitraryInput) {
  RecordingPort port;
  Rfc2217Session session(port);
  Bytes reply;
  std::uint32_t state = 12345;
  for (int round = 0; round < 2000; ++round) {
    Bytes chunk(1 + round % 37);
    for (std::uint8_t& b : chunk) {
      state = state * 1103515245u + 12345u;
      const std::uint8_t r = static_cast<std::uint8_t>(state >> 16);
      // Plenty of telnet bytes so every state is reached.
      b = (r % 4 == 0) ? S::kIac : (r % 4 == 1) ? static_cast<std::uint8_t>(240 + r % 16) : r;
    }
    session.Feed(chunk, reply);
  }
  EXPECT_GE(session.BaudRate(), 1);
  EXPECT_GE(session.DataSize(), 5);
  EXPECT_LE(session.DataSize(), 8);
}

}  // namespace
