#include "platform/rfc2217_device.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/telnet_protocol.h"

namespace {

constexpr int kConnectTimeoutMs = 3000;
// How long Open waits for the server to take up the COM port option.
constexpr auto kNegotiationWait = std::chrono::milliseconds(500);
// How long it then waits for the server's first notification.
constexpr auto kFirstNotificationWait = std::chrono::milliseconds(150);
// Escaped bytes held for the server beyond what the socket took.
constexpr std::size_t kWireLimit = 64 * 1024;

bool WeOffer(std::uint8_t option) {
  return option == Telnet::OptBinary || option == Telnet::OptSuppressGoAhead || option == Telnet::OptComPort;
}

bool WeAccept(std::uint8_t option) {
  return option == Telnet::OptBinary || option == Telnet::OptSuppressGoAhead || option == Telnet::OptComPort;
}

int ConnectStatus(int err) {
  switch (err) {
    case ECONNREFUSED:
    case ETIMEDOUT:
    case EHOSTUNREACH:
    case ENETUNREACH:
    case EADDRNOTAVAIL:
      return SerialStatus::NotFound;
    default:
      return SerialStatus::FromErrno(err);
  }
}

// Connects a non-blocking TCP socket within kConnectTimeoutMs; returns the
// fd or -1 with `err` set.
int Connect(const QString& host, int port, int& err) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  const QByteArray hostName = host.toUtf8();
  const QByteArray service = QByteArray::number(port);
  if (::getaddrinfo(hostName.constData(), service.constData(), &hints, &list) != 0 || list == nullptr) {
    err = ENOENT;
    return -1;
  }
  err = ECONNREFUSED;
  int fd = -1;
  for (addrinfo* a = list; a != nullptr && fd < 0; a = a->ai_next) {
    const int s = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
    if (s < 0) {
      err = errno;
      continue;
    }
    int rc = ::connect(s, a->ai_addr, a->ai_addrlen);
    if (rc != 0 && errno == EINPROGRESS) {
      pollfd p{s, POLLOUT, 0};
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kConnectTimeoutMs);
      int n;
      do {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        n = ::poll(&p, 1, static_cast<int>(std::max<std::int64_t>(0, left.count())));
      } while (n < 0 && errno == EINTR);
      if (n == 1) {
        int soError = 0;
        socklen_t len = sizeof soError;
        ::getsockopt(s, SOL_SOCKET, SO_ERROR, &soError, &len);
        rc = soError == 0 ? 0 : -1;
        errno = soError;
      } else {
        rc = -1;
        errno = n == 0 ? ETIMEDOUT : errno;
      }
    }
    if (rc == 0) {
      fd = s;
    } else {
      err = errno;
      ::close(s);
    }
  }
  ::freeaddrinfo(list);
  if (fd >= 0) {
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  }
  return fd;
}

}  // namespace

Rfc2217Device::Rfc2217Device() = default;

Rfc2217Device::~Rfc2217Device() { Close(); }

bool Rfc2217Device::ParsePath(const QString& path, QString& host, int& port) {
  const QLatin1String scheme(kScheme);
  if (!path.startsWith(scheme, Qt::CaseInsensitive)) return false;
  QString rest = path.mid(scheme.size());
  if (rest.endsWith(QLatin1Char('/'))) rest.chop(1);
  int colon;
  if (rest.startsWith(QLatin1Char('['))) {
    const int close = rest.indexOf(QLatin1Char(']'));
    if (close < 0 || close + 1 >= rest.size() || rest.at(close + 1) != QLatin1Char(':')) return false;
    host = rest.mid(1, close - 1);
    colon = close + 1;
  } else {
    colon = rest.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) return false;
    host = rest.left(colon);
    if (host.contains(QLatin1Char(':'))) return false;
  }
  bool ok = false;
  port = rest.mid(colon + 1).toInt(&ok);
  return ok && !host.isEmpty() && port > 0 && port <= 65535;
}

int Rfc2217Device::Open(const QString& path) {
  if (fd_ >= 0) return SerialStatus::AccessDenied;
  QString host;
  int port = 0;
  if (!ParsePath(path, host, port)) return SerialStatus::NotFound;
  int err = 0;
  const int fd = Connect(host, port, err);
  if (fd < 0) {
    FailWithErrno(err);  // kept whatever code the failure maps to
    return ConnectStatus(err);
  }
  {
    std::lock_guard lock(optionMutex_);
    std::fill(std::begin(us_), std::end(us_), OptionState::No);
    std::fill(std::begin(him_), std::end(him_), OptionState::No);
    comPortAnswered_ = false;
    serverNotified_ = false;
    connectionLost_ = false;
    us_[Telnet::OptComPort] = us_[Telnet::OptBinary] = us_[Telnet::OptSuppressGoAhead] = OptionState::WantYes;
    him_[Telnet::OptBinary] = him_[Telnet::OptSuppressGoAhead] = OptionState::WantYes;
  }
  {
    std::lock_guard lock(wireMutex_);
    wire_.clear();
    wireBroken_ = false;
  }
  parser_.Reset();
  comPortAccepted_ = false;
  confirmedBaud_ = 0;
  acknowledgements_ = 0;
  modemStatus_ = 0;
  if (const int status = StartLine(fd); status != SerialStatus::Ok) return status;

  std::vector<std::uint8_t> hello;
  Telnet::AppendNegotiation(hello, Telnet::WILL, Telnet::OptComPort);
  Telnet::AppendNegotiation(hello, Telnet::WILL, Telnet::OptBinary);
  Telnet::AppendNegotiation(hello, Telnet::DO, Telnet::OptBinary);
  Telnet::AppendNegotiation(hello, Telnet::WILL, Telnet::OptSuppressGoAhead);
  Telnet::AppendNegotiation(hello, Telnet::DO, Telnet::OptSuppressGoAhead);
  SendWire(hello);

  // A server that closes the connection at once refuses the port (a busy
  // server takes up the option, says so in text and hangs up; a serving one
  // reports its modem state right away). One that stays silent is used as
  // it is once the bounds have passed.
  bool lost;
  {
    std::unique_lock lock(optionMutex_);
    optionChanged_.wait_for(lock, kNegotiationWait, [this] { return comPortAnswered_ || connectionLost_; });
    if (comPortAnswered_ && !connectionLost_) {
      optionChanged_.wait_for(lock, kFirstNotificationWait,
                              [this] { return serverNotified_ || connectionLost_; });
    }
    lost = connectionLost_;
  }
  if (lost) {
    Close();
    return SerialStatus::AccessDenied;
  }
  return SerialStatus::Ok;
}

int Rfc2217Device::ReleaseLine() {
  {
    std::lock_guard lock(wireMutex_);
    if (!hungUp_) FlushLocked();  // best effort, never waits
    wire_.clear();
  }
  ::shutdown(fd_, SHUT_RDWR);
  return ::close(fd_) != 0 ? FailWithErrno(errno) : SerialStatus::Ok;
}

void Rfc2217Device::HangUp() {
  MarkHungUp();
  {
    std::lock_guard lock(wireMutex_);
    wireBroken_ = true;
    wire_.clear();
  }
  {
    std::lock_guard lock(optionMutex_);
    connectionLost_ = true;
  }
  optionChanged_.notify_all();
  Raise(SerialEvent::HangUp);
}

void Rfc2217Device::Run() {
  std::uint8_t buf[4096];
  std::vector<std::uint8_t> data;
  std::vector<TelnetStreamParser::Command> commands;
  bool watch = true;
  for (;;) {
    bool wantOut = false;
    if (watch) {
      std::lock_guard lock(wireMutex_);
      wantOut = !wire_.empty();
    }
    short revents = 0;
    const LineWait wait =
        WaitForLine(watch, static_cast<short>(POLLIN | (wantOut ? POLLOUT : 0)), -1, revents);
    if (wait == LineWait::Stop) return;
    if (wait == LineWait::Failed) {
      if (!watch) return;
      watch = false;
      HangUp();
      continue;
    }
    if (!watch) continue;
    std::uint32_t events = 0;
    if (revents & POLLOUT) {
      std::lock_guard lock(wireMutex_);
      FlushLocked();
    }
    {
      std::lock_guard lock(wireMutex_);
      if (wire_.empty() && !wireBroken_ && txPending_.exchange(false)) events |= SerialEvent::TxEmpty;
    }
    bool gone = false;
    if (revents & POLLIN) {
      data.clear();
      commands.clear();
      std::lock_guard lock(rxMutex_);
      const std::uint64_t generation = queue_.Generation();
      const ssize_t r = ::recv(fd_, buf, sizeof buf, MSG_DONTWAIT);
      if (r > 0) {
        parser_.Feed(std::span<const std::uint8_t>(buf, static_cast<std::size_t>(r)), data, commands);
        // Notifications first, so a reader that sees the data also sees
        // the line state the server reported before it.
        for (const auto& command : commands) HandleCommand(command, events);
        commands.clear();
        if (!data.empty()) events |= queue_.Append(data, generation);
      } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
        gone = true;
      }
    } else if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
      gone = true;
    }
    if (events != 0) Raise(events);
    if (gone) {
      watch = false;
      HangUp();
    }
  }
}

void Rfc2217Device::HandleCommand(const TelnetStreamParser::Command& command, std::uint32_t& events) {
  using Kind = TelnetStreamParser::Command::Kind;
  switch (command.kind) {
    case Kind::Will:
    case Kind::Wont:
    case Kind::Do:
    case Kind::Dont:
      Negotiate(command);
      break;
    case Kind::Subnegotiation:
      if (command.option == Telnet::OptComPort) HandleComPort(command.payload, events);
      break;
    case Kind::Other:
      break;
  }
}

void Rfc2217Device::Negotiate(const TelnetStreamParser::Command& command) {
  using Kind = TelnetStreamParser::Command::Kind;
  const std::uint8_t option = command.option;
  std::vector<std::uint8_t> reply;
  {
    std::lock_guard lock(optionMutex_);
    OptionState& us = us_[option];
    OptionState& him = him_[option];
    switch (command.kind) {
      case Kind::Do:
        if (us == OptionState::No) {
          if (WeOffer(option)) {
            us = OptionState::Yes;
            Telnet::AppendNegotiation(reply, Telnet::WILL, option);
          } else {
            Telnet::AppendNegotiation(reply, Telnet::WONT, option);
          }
        } else {
          us = OptionState::Yes;
        }
        break;
      case Kind::Dont:
        if (us == OptionState::Yes) Telnet::AppendNegotiation(reply, Telnet::WONT, option);
        us = OptionState::No;
        break;
      case Kind::Will:
        if (him == OptionState::No) {
          if (WeAccept(option)) {
            him = OptionState::Yes;
            Telnet::AppendNegotiation(reply, Telnet::DO, option);
          } else {
            Telnet::AppendNegotiation(reply, Telnet::DONT, option);
          }
        } else {
          him = OptionState::Yes;
        }
        break;
      default:  // WONT
        if (him == OptionState::Yes) Telnet::AppendNegotiation(reply, Telnet::DONT, option);
        him = OptionState::No;
        break;
    }
    if (option == Telnet::OptComPort && (command.kind == Kind::Do || command.kind == Kind::Dont)) {
      comPortAnswered_ = true;
      comPortAccepted_ = us == OptionState::Yes;
    }
  }
  optionChanged_.notify_all();
  if (!reply.empty()) SendWire(reply);
}

void Rfc2217Device::HandleComPort(const std::vector<std::uint8_t>& payload, std::uint32_t& events) {
  {
    std::lock_guard lock(optionMutex_);
    serverNotified_ = true;
  }
  optionChanged_.notify_all();
  if (payload.empty()) return;
  const std::uint8_t command = payload[0];
  const std::span<const std::uint8_t> value(payload.data() + 1, payload.size() - 1);
  if (command >= Telnet::ServerOffset + Telnet::CpSetBaudRate &&
      command <= Telnet::ServerOffset + Telnet::CpPurgeData &&
      command != Telnet::ServerOffset + Telnet::CpNotifyLineState &&
      command != Telnet::ServerOffset + Telnet::CpNotifyModemState) {
    ++acknowledgements_;
  }
  switch (command) {
    case Telnet::ServerOffset + Telnet::CpSetBaudRate:
      if (value.size() >= 4) {
        const std::uint32_t baud = (std::uint32_t{value[0]} << 24) | (std::uint32_t{value[1]} << 16) |
                                   (std::uint32_t{value[2]} << 8) | value[3];
        confirmedBaud_ = static_cast<int>(std::min<std::uint32_t>(baud, 0x7FFFFFFF));
      }
      break;
    case Telnet::ServerOffset + Telnet::CpNotifyLineState: {
      if (value.empty()) break;
      const std::uint8_t state = value[0];
      std::uint32_t errors = 0;
      if (state & Telnet::LineOverrun) errors |= SerialLineError::Overrun;
      if (state & Telnet::LineParity) errors |= SerialLineError::RxParity;
      if (state & Telnet::LineFraming) errors |= SerialLineError::Frame;
      if (state & Telnet::LineBreak) {
        errors |= SerialLineError::Break;
        events |= SerialEvent::Break;
      }
      if (errors & (SerialLineError::Overrun | SerialLineError::RxParity | SerialLineError::Frame)) {
        events |= SerialEvent::Err;
      }
      if (errors != 0) queue_.AddErrors(errors);
      break;
    }
    case Telnet::ServerOffset + Telnet::CpNotifyModemState: {
      if (value.empty()) break;
      const std::uint8_t state = value[0];
      const std::uint32_t now =
          state & (Telnet::ModemCts | Telnet::ModemDsr | Telnet::ModemRing | Telnet::ModemCd);
      const std::uint32_t before = modemStatus_.exchange(now);
      const std::uint32_t changed = before ^ now;
      if ((state & Telnet::ModemDeltaCts) || (changed & Telnet::ModemCts)) events |= SerialEvent::Cts;
      if ((state & Telnet::ModemDeltaDsr) || (changed & Telnet::ModemDsr)) events |= SerialEvent::Dsr;
      if ((state & Telnet::ModemDeltaCd) || (changed & Telnet::ModemCd)) events |= SerialEvent::Rlsd;
      if ((state & Telnet::ModemTrailingRing) || (changed & now & Telnet::ModemRing))
        events |= SerialEvent::Ring;
      break;
    }
    default:
      break;  // acknowledgements of the other settings need no action
  }
}

bool Rfc2217Device::FlushLocked() {
  while (!wire_.empty() && !wireBroken_) {
    const ssize_t r = ::send(fd_, wire_.data(), wire_.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (r > 0) {
      wire_.erase(wire_.begin(), wire_.begin() + r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
    wireBroken_ = true;
    wire_.clear();
    return false;
  }
  return !wireBroken_;
}

void Rfc2217Device::SendWire(const std::vector<std::uint8_t>& bytes) {
  bool pending;
  {
    std::lock_guard lock(wireMutex_);
    if (wireBroken_ || fd_ < 0) return;
    wire_.insert(wire_.end(), bytes.begin(), bytes.end());
    FlushLocked();
    pending = !wire_.empty();
  }
  if (pending) Wake();
}

void Rfc2217Device::SendComPort(std::uint8_t command, std::span<const std::uint8_t> value) {
  std::vector<std::uint8_t> bytes;
  Telnet::AppendComPort(bytes, command, value);
  SendWire(bytes);
}

int Rfc2217Device::Configure(const SerialLineSettings& s) {
  if (fd_ < 0) return SerialStatus::NotReady;
  if (!SettingsSupported(s)) return SerialStatus::InvalidParameter;
  if (hungUp_) return SerialStatus::BadCommand;
  const bool all = !configured_;
  const SerialLineSettings& old = settings_;
  if (all || s.baudRate != old.baudRate) {
    const auto b = static_cast<std::uint32_t>(s.baudRate);
    const std::uint8_t value[] = {static_cast<std::uint8_t>(b >> 24), static_cast<std::uint8_t>(b >> 16),
                                  static_cast<std::uint8_t>(b >> 8), static_cast<std::uint8_t>(b)};
    SendComPort(Telnet::CpSetBaudRate, value);
  }
  if (all || s.dataBits != old.dataBits) {
    const std::uint8_t value = static_cast<std::uint8_t>(s.dataBits);
    SendComPort(Telnet::CpSetDataSize, std::span<const std::uint8_t>(&value, 1));
  }
  if (all || s.parity != old.parity) {
    static constexpr std::uint8_t kParity[] = {Telnet::ParityNone, Telnet::ParityOdd, Telnet::ParityEven,
                                               Telnet::ParityMark, Telnet::ParitySpace};
    const std::uint8_t value = kParity[static_cast<int>(s.parity)];
    SendComPort(Telnet::CpSetParity, std::span<const std::uint8_t>(&value, 1));
  }
  if (all || s.stopBits != old.stopBits) {
    const std::uint8_t value =
        s.stopBits == SerialLineSettings::StopBits::Two ? Telnet::StopTwo : Telnet::StopOne;
    SendComPort(Telnet::CpSetStopSize, std::span<const std::uint8_t>(&value, 1));
  }
  auto flowOf = [](const SerialLineSettings& x) {
    if (x.outCtsFlow || x.rtsControl == SerialLineSettings::RtsControl::Handshake)
      return Telnet::ControlFlowHardware;
    if (x.xonXoffOut || x.xonXoffIn) return Telnet::ControlFlowXonXoff;
    return Telnet::ControlFlowNone;
  };
  const std::uint8_t flow = flowOf(s);
  if (all || flow != flowOf(old)) SendComPort(Telnet::CpSetControl, std::span<const std::uint8_t>(&flow, 1));
  // The modem lines follow their control modes at the first configuration
  // after open and when a mode changes, so SetDtr survives other changes.
  if (all || s.dtrControl != old.dtrControl) {
    const std::uint8_t value = s.dtrControl == SerialLineSettings::DtrControl::Disable ? Telnet::ControlDtrOff
                                                                                       : Telnet::ControlDtrOn;
    SendComPort(Telnet::CpSetControl, std::span<const std::uint8_t>(&value, 1));
  }
  if ((all || s.rtsControl != old.rtsControl) && flow != Telnet::ControlFlowHardware) {
    const std::uint8_t value =
        s.rtsControl == SerialLineSettings::RtsControl::Enable ? Telnet::ControlRtsOn : Telnet::ControlRtsOff;
    SendComPort(Telnet::CpSetControl, std::span<const std::uint8_t>(&value, 1));
  }
  AdoptSettings(s);
  return SerialStatus::Ok;
}

int Rfc2217Device::WriteAvailable(std::span<const std::uint8_t> data, std::size_t& done) {
  std::lock_guard lock(wireMutex_);
  if (wireBroken_) return SerialStatus::BadCommand;
  while (done < data.size() && wire_.size() < kWireLimit) {
    const std::uint8_t b = data[done++];
    wire_.push_back(b);
    if (b == Telnet::IAC) wire_.push_back(Telnet::IAC);
  }
  FlushLocked();
  return SerialStatus::Ok;
}

bool Rfc2217Device::OutputWaiting() {
  std::lock_guard lock(wireMutex_);
  return !wire_.empty();
}

int Rfc2217Device::OutputCount(int& count) {
  count = 0;
  if (fd_ < 0) return SerialStatus::NotReady;
  std::lock_guard lock(wireMutex_);
  count = static_cast<int>(wire_.size());
  return SerialStatus::Ok;
}

int Rfc2217Device::ModemStatus(std::uint32_t& status) {
  status = 0;
  if (fd_ < 0) return SerialStatus::NotReady;
  // The option's modem state bits are the classic MS_* bits.
  status = modemStatus_.load();
  return SerialStatus::Ok;
}

int Rfc2217Device::Purge(std::uint32_t flags) {
  if (fd_ < 0) return SerialStatus::NotReady;
  AbortTransfers(flags);
  if (flags & SerialPurge::RxClear) {
    std::lock_guard lock(rxMutex_);
    queue_.Clear();
  }
  const bool rx = flags & SerialPurge::RxClear;
  const bool tx = flags & SerialPurge::TxClear;
  if ((rx || tx) && !hungUp_) {
    const std::uint8_t value =
        rx && tx ? Telnet::PurgeBoth : (rx ? Telnet::PurgeReceive : Telnet::PurgeTransmit);
    SendComPort(Telnet::CpPurgeData, std::span<const std::uint8_t>(&value, 1));
  }
  return SerialStatus::Ok;
}

int Rfc2217Device::SetDtr(bool on) {
  if (fd_ < 0) return SerialStatus::NotReady;
  if (hungUp_) return SerialStatus::BadCommand;
  const std::uint8_t value = on ? Telnet::ControlDtrOn : Telnet::ControlDtrOff;
  SendComPort(Telnet::CpSetControl, std::span<const std::uint8_t>(&value, 1));
  return SerialStatus::Ok;
}

int Rfc2217Device::SetRts(bool on) {
  if (fd_ < 0) return SerialStatus::NotReady;
  if (hungUp_) return SerialStatus::BadCommand;
  const std::uint8_t value = on ? Telnet::ControlRtsOn : Telnet::ControlRtsOff;
  SendComPort(Telnet::CpSetControl, std::span<const std::uint8_t>(&value, 1));
  return SerialStatus::Ok;
}
