#include "platform/telnet_stream_parser.h"

#include "platform/telnet_protocol.h"

void TelnetStreamParser::Reset() {
  state_ = State::Data;
  negotiation_ = 0;
  sub_ = Command{};
  subOverflow_ = false;
}

void TelnetStreamParser::Feed(std::span<const std::uint8_t> input, std::vector<std::uint8_t>& data,
                              std::vector<Command>& commands) {
  for (std::uint8_t b : input) {
    switch (state_) {
      case State::Data:
        if (b == Telnet::IAC) {
          state_ = State::Iac;
        } else {
          data.push_back(b);
        }
        break;

      case State::Iac:
        switch (b) {
          case Telnet::IAC:
            data.push_back(b);
            state_ = State::Data;
            break;
          case Telnet::WILL:
          case Telnet::WONT:
          case Telnet::DO:
          case Telnet::DONT:
            negotiation_ = b;
            state_ = State::Negotiation;
            break;
          case Telnet::SB:
            sub_ = Command{};
            sub_.kind = Command::Kind::Subnegotiation;
            sub_.command = Telnet::SB;
            subOverflow_ = false;
            state_ = State::SubOption;
            break;
          default: {
            Command c;
            c.kind = Command::Kind::Other;
            c.command = b;
            commands.push_back(std::move(c));
            state_ = State::Data;
            break;
          }
        }
        break;

      case State::Negotiation: {
        Command c;
        c.command = negotiation_;
        c.option = b;
        switch (negotiation_) {
          case Telnet::WILL:
            c.kind = Command::Kind::Will;
            break;
          case Telnet::WONT:
            c.kind = Command::Kind::Wont;
            break;
          case Telnet::DO:
            c.kind = Command::Kind::Do;
            break;
          default:
            c.kind = Command::Kind::Dont;
            break;
        }
        commands.push_back(std::move(c));
        state_ = State::Data;
        break;
      }

      case State::SubOption:
        if (b == Telnet::IAC) {
          // IAC right after SB: an escaped 0xFF option, or a broken frame.
          sub_.option = b;
          state_ = State::SubIac;
          subOverflow_ = true;  // option 255 is not a valid option
        } else {
          sub_.option = b;
          state_ = State::SubData;
        }
        break;

      case State::SubData:
        if (b == Telnet::IAC) {
          state_ = State::SubIac;
        } else if (sub_.payload.size() < kMaxSubnegotiation) {
          sub_.payload.push_back(b);
        } else {
          subOverflow_ = true;
        }
        break;

      case State::SubIac:
        if (b == Telnet::IAC) {
          if (sub_.payload.size() < kMaxSubnegotiation) {
            sub_.payload.push_back(b);
          } else {
            subOverflow_ = true;
          }
          state_ = State::SubData;
        } else if (b == Telnet::SE) {
          if (subOverflow_) {
            ++dropped_;
          } else {
            commands.push_back(std::move(sub_));
          }
          sub_ = Command{};
          subOverflow_ = false;
          state_ = State::Data;
        } else {
          // Any other command ends a subnegotiation that lacks its IAC SE:
          // drop it and take the command as it stands.
          ++dropped_;
          sub_ = Command{};
          subOverflow_ = false;
          state_ = State::Iac;
          // Re-run this byte as the command after IAC.
          std::uint8_t again = b;
          Feed(std::span<const std::uint8_t>(&again, 1), data, commands);
        }
        break;
    }
  }
}
