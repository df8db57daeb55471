#include "tools/devsim/rfc2217_session.h"

namespace {

constexpr char kSignatureText[] = "ThermaSentinel device emulator";

// SET-CONTROL values.
constexpr std::uint8_t kControlRequestFlow = 0;
constexpr std::uint8_t kControlRequestBreak = 4;
constexpr std::uint8_t kControlBreakOn = 5;
constexpr std::uint8_t kControlBreakOff = 6;
constexpr std::uint8_t kControlRequestDtr = 7;
constexpr std::uint8_t kControlDtrOn = 8;
constexpr std::uint8_t kControlDtrOff = 9;
constexpr std::uint8_t kControlRequestRts = 10;
constexpr std::uint8_t kControlRtsOn = 11;
constexpr std::uint8_t kControlRtsOff = 12;
constexpr std::uint8_t kControlRequestInboundFlow = 13;
constexpr std::uint8_t kControlLast = 19;

}  // namespace

Rfc2217Session::Rfc2217Session(Port& port) : port_(port) {}

bool Rfc2217Session::Supported(std::uint8_t option) {
  return option == kOptionBinary || option == kOptionSga || option == kOptionComPort;
}

bool Rfc2217Session::ComPortActive() const {
  return us_[kOptionComPort].enabled && them_[kOptionComPort].enabled;
}

std::vector<std::uint8_t> Rfc2217Session::Greeting() {
  std::vector<std::uint8_t> out;
  for (std::uint8_t option : {kOptionBinary, kOptionSga, kOptionComPort}) {
    if (!us_[option].enabled && !us_[option].pending) {
      us_[option].pending = true;
      Send(kWill, option, out);
    }
    if (!them_[option].enabled && !them_[option].pending) {
      them_[option].pending = true;
      Send(kDo, option, out);
    }
  }
  return out;
}

void Rfc2217Session::Escape(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& out) {
  out.reserve(out.size() + bytes.size());
  for (std::uint8_t b : bytes) {
    out.push_back(b);
    if (b == kIac) out.push_back(kIac);
  }
}

void Rfc2217Session::Send(std::uint8_t command, std::uint8_t option, std::vector<std::uint8_t>& out) {
  out.insert(out.end(), {kIac, command, option});
}

void Rfc2217Session::Answer(std::uint8_t command, std::span<const std::uint8_t> value,
                            std::vector<std::uint8_t>& out) {
  out.insert(out.end(), {kIac, kSb, kOptionComPort, static_cast<std::uint8_t>(command + kServerOffset)});
  Escape(value, out);
  out.insert(out.end(), {kIac, kSe});
}

void Rfc2217Session::FlushData() {
  if (data_.empty()) return;
  port_.OnData(data_, baud_);
  data_.clear();
}

void Rfc2217Session::Feed(std::span<const std::uint8_t> bytes, std::vector<std::uint8_t>& reply) {
  // The parser keeps data and commands apart; fed byte by byte, each
  // command is handled after the data that came before it, so data always
  // reaches the port with the rate in effect when it was sent.
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    parser_.Feed(bytes.subspan(i, 1), data_, commands_);
    if (commands_.empty()) continue;
    FlushData();
    for (const TelnetStreamParser::Command& command : commands_) Handle(command, reply);
    commands_.clear();
  }
  FlushData();
}

void Rfc2217Session::Handle(const TelnetStreamParser::Command& command, std::vector<std::uint8_t>& reply) {
  using Kind = TelnetStreamParser::Command::Kind;
  switch (command.kind) {
    case Kind::Will:
    case Kind::Wont:
    case Kind::Do:
    case Kind::Dont:
      Negotiate(command.command, command.option, reply);
      break;
    case Kind::Subnegotiation:
      if (command.option == kOptionComPort && !command.payload.empty()) {
        ComPortCommand(command.payload[0], std::span<const std::uint8_t>(command.payload).subspan(1), reply);
      }
      break;
    case Kind::Other:
      // NOP, GA, BRK ... carry nothing for the device.
      break;
  }
}

void Rfc2217Session::Negotiate(std::uint8_t command, std::uint8_t option, std::vector<std::uint8_t>& reply) {
  const bool supported = Supported(option);
  switch (command) {
    case kWill: {
      OptionState& s = them_[option];
      if (!supported) {
        Send(kDont, option, reply);
      } else if (!s.enabled) {
        if (!s.pending) Send(kDo, option, reply);
        s.enabled = true;
        s.pending = false;
      }
      break;
    }
    case kWont: {
      OptionState& s = them_[option];
      if (s.enabled && !s.pending) Send(kDont, option, reply);
      s.enabled = false;
      s.pending = false;
      break;
    }
    case kDo: {
      OptionState& s = us_[option];
      if (!supported) {
        Send(kWont, option, reply);
      } else if (!s.enabled) {
        if (!s.pending) Send(kWill, option, reply);
        s.enabled = true;
        s.pending = false;
      }
      break;
    }
    case kDont: {
      OptionState& s = us_[option];
      if (s.enabled && !s.pending) Send(kWont, option, reply);
      s.enabled = false;
      s.pending = false;
      break;
    }
    default:
      break;
  }
}

void Rfc2217Session::ComPortCommand(std::uint8_t command, std::span<const std::uint8_t> value,
                                    std::vector<std::uint8_t>& reply) {
  auto answerByte = [&](std::uint8_t v) {
    const std::uint8_t one[] = {v};
    Answer(command, one, reply);
  };
  switch (command) {
    case kSignature:
      if (value.empty()) {
        const std::span<const std::uint8_t> text(reinterpret_cast<const std::uint8_t*>(kSignatureText),
                                                 sizeof kSignatureText - 1);
        Answer(command, text, reply);
      }
      break;
    case kSetBaudRate: {
      if (value.size() < 4) break;
      const std::uint32_t requested = (std::uint32_t{value[0]} << 24) | (std::uint32_t{value[1]} << 16) |
                                      (std::uint32_t{value[2]} << 8) | std::uint32_t{value[3]};
      if (requested != 0 && requested <= 0x7FFFFFFFu && static_cast<int>(requested) != baud_) {
        baud_ = static_cast<int>(requested);
        port_.OnBaudRate(baud_);
      }
      const auto b = static_cast<std::uint32_t>(baud_);
      const std::uint8_t now[] = {static_cast<std::uint8_t>(b >> 24), static_cast<std::uint8_t>(b >> 16),
                                  static_cast<std::uint8_t>(b >> 8), static_cast<std::uint8_t>(b)};
      Answer(command, now, reply);
      break;
    }
    case kSetDataSize:
      if (value.empty()) break;
      if (value[0] >= 5 && value[0] <= 8) dataSize_ = value[0];
      answerByte(static_cast<std::uint8_t>(dataSize_));
      break;
    case kSetParity:
      if (value.empty()) break;
      if (value[0] >= 1 && value[0] <= 5) {
        const auto parity = static_cast<SerialLineSettings::Parity>(value[0] - 1);
        if (parity != parity_) {
          parity_ = parity;
          port_.OnParity(parity_);
        }
      }
      answerByte(static_cast<std::uint8_t>(static_cast<int>(parity_) + 1));
      break;
    case kSetStopSize:
      if (value.empty()) break;
      if (value[0] >= 1 && value[0] <= 3) stopSize_ = value[0];
      answerByte(static_cast<std::uint8_t>(stopSize_));
      break;
    case kSetControl: {
      if (value.empty() || value[0] > kControlLast) break;
      const std::uint8_t v = value[0];
      std::uint8_t now = v;
      switch (v) {
        case kControlRequestFlow:
          now = outboundFlow_;
          break;
        case 1:
        case 2:
        case 3:
        case 17:
        case 19:
          outboundFlow_ = v;
          break;
        case kControlRequestBreak:
          now = breakOn_ ? kControlBreakOn : kControlBreakOff;
          break;
        case kControlBreakOn:
        case kControlBreakOff:
          breakOn_ = v == kControlBreakOn;
          break;
        case kControlRequestDtr:
          now = dtr_ ? kControlDtrOn : kControlDtrOff;
          break;
        case kControlDtrOn:
        case kControlDtrOff:
          if (dtr_ != (v == kControlDtrOn)) {
            dtr_ = v == kControlDtrOn;
            port_.OnDtr(dtr_);
          }
          break;
        case kControlRequestRts:
          now = rts_ ? kControlRtsOn : kControlRtsOff;
          break;
        case kControlRtsOn:
        case kControlRtsOff:
          if (rts_ != (v == kControlRtsOn)) {
            rts_ = v == kControlRtsOn;
            port_.OnRts(rts_);
          }
          break;
        case kControlRequestInboundFlow:
          now = inboundFlow_;
          break;
        default:  // 14, 15, 16, 18: inbound flow control
          inboundFlow_ = v;
          break;
      }
      answerByte(now);
      break;
    }
    case kNotifyModemState:
      // A poll for the modem lines: the emulated device drives none.
      answerByte(0);
      break;
    case kNotifyLineState:
      answerByte(0);
      break;
    case kFlowControlSuspend:
    case kFlowControlResume:
      port_.OnFlowSuspend(command == kFlowControlSuspend);
      break;
    case kSetLineStateMask:
      if (value.empty()) break;
      lineStateMask_ = value[0];
      answerByte(lineStateMask_);
      break;
    case kSetModemStateMask:
      if (value.empty()) break;
      modemStateMask_ = value[0];
      answerByte(modemStateMask_);
      break;
    case kPurgeData: {
      if (value.empty() || value[0] < 1 || value[0] > 3) break;
      std::uint32_t flags = 0;
      if (value[0] & 1) flags |= SerialPurge::RxClear;
      if (value[0] & 2) flags |= SerialPurge::TxClear;
      port_.OnPurge(flags);
      answerByte(value[0]);
      break;
    }
    default:
      break;
  }
}
