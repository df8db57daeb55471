#include "tools/devsim/rfc2217_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include "platform/logger.h"
#include "tools/devsim/model_line.h"
#include "tools/devsim/rfc2217_session.h"

namespace {

using Clock = DeviceModel::Clock;

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

// One accepted client: its socket, its Telnet session and the bytes on
// their way to it.
class Rfc2217Server::Connection final : public Rfc2217Session::Port {
 public:
  Connection(int fd, ModelLine& line) : fd_(fd), line_(line), session_(*this) {
    const int one = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    out_ = session_.Greeting();
    line_.HostBaudRate(session_.BaudRate());
  }
  ~Connection() override {
    CloseFd(fd_);
    line_.HostClosed();
  }

  int Fd() const { return fd_; }
  bool Blocked() const { return blocked_; }
  bool Suspended() const { return suspended_; }
  bool HasOutput() const { return !out_.empty(); }

  // Reads what the client sent; false when the connection ended.
  bool Receive() {
    std::uint8_t buffer[4096];
    const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n == 0) return false;
    if (n < 0) return errno == EAGAIN || errno == EINTR;
    session_.Feed(std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(n)), out_);
    return true;
  }

  // Takes the device's output that is due by `now`.
  void TakeDue(Clock::time_point now) {
    if (blocked_ || suspended_) return;
    due_.clear();
    line_.TakeDue(now, due_);
    Rfc2217Session::Escape(due_, out_);
  }

  // Sends what is waiting; false when the connection broke.
  bool Flush() {
    std::size_t done = 0;
    while (done < out_.size()) {
      const ssize_t n = ::send(fd_, out_.data() + done, out_.size() - done, MSG_NOSIGNAL);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno == EAGAIN) break;
      return false;
    }
    out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(done));
    blocked_ = !out_.empty();
    return true;
  }

  void Writable(Clock::time_point now) {
    if (!blocked_) return;
    blocked_ = false;
    line_.RestartSchedule(now);
  }

  // Rfc2217Session::Port
  void OnData(std::span<const std::uint8_t> bytes, int baud) override { line_.HostBytes(bytes, baud); }
  void OnBaudRate(int baud) override { line_.HostBaudRate(baud); }
  void OnParity(SerialLineSettings::Parity parity) override { line_.HostParity(parity); }
  void OnDtr(bool on) override { line_.HostDtr(on); }
  void OnRts(bool on) override { line_.HostRts(on); }
  void OnPurge(std::uint32_t flags) override { line_.HostPurge(flags); }
  void OnFlowSuspend(bool suspend) override {
    suspended_ = suspend;
    if (!suspend) line_.RestartSchedule(Clock::now());
  }

 private:
  int fd_;
  ModelLine& line_;
  Rfc2217Session session_;
  std::vector<std::uint8_t> out_;
  std::vector<std::uint8_t> due_;
  bool blocked_ = false;
  bool suspended_ = false;
};

Rfc2217Server::Rfc2217Server(std::shared_ptr<DeviceModel> model) : ModelServer(std::move(model)) {}

Rfc2217Server::~Rfc2217Server() { Stop(); }

bool Rfc2217Server::Start(std::uint16_t port, QString* error) {
  return StartServing(error, [this, port] { return Listen(port); });
}

const char* Rfc2217Server::Listen(std::uint16_t port) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) return "socket";
  const int one = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::bind(listenFd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return "bind";
  if (::listen(listenFd_, 4) != 0) return "listen";
  socklen_t length = sizeof address;
  if (::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return "getsockname";
  port_ = ntohs(address.sin_port);
  return nullptr;
}

bool Rfc2217Server::HasClient() const { return hasClient_; }

std::uint16_t Rfc2217Server::Port() const {
  std::lock_guard control(control_);
  return port_;
}

QString Rfc2217Server::Url() const { return QStringLiteral("rfc2217://127.0.0.1:%1").arg(Port()); }

void Rfc2217Server::CloseTransport() { CloseFd(listenFd_); }

void Rfc2217Server::Serve() {
  std::unique_ptr<Connection> connection;
  std::vector<std::uint8_t> lost;  // output while no client listens

  auto drop = [&] {
    connection.reset();
    hasClient_ = false;
  };

  while (KeepServing()) {
    const Clock::time_point now = Clock::now();
    if (connection) {
      connection->TakeDue(now);
      if (!connection->Flush()) drop();
    } else {
      lost.clear();
      modelLine_->TakeDue(now, lost);
    }
    TickIfDue(now);

    std::optional<Clock::time_point> deadline;
    if (!connection || (!connection->Blocked() && !connection->Suspended())) deadline = modelLine_->NextDue();
    if (const auto tick = NextTick()) deadline = deadline ? std::min(*deadline, *tick) : *tick;

    pollfd fds[3] = {{WakeFd(), POLLIN, 0}, {listenFd_, POLLIN, 0}, {-1, 0, 0}};
    if (connection) {
      fds[2].fd = connection->Fd();
      fds[2].events = static_cast<short>(POLLIN | (connection->Blocked() ? POLLOUT : 0));
    }
    timespec timeout{};
    if (deadline) timeout = ToTimespec(*deadline - Clock::now());
    const int ready = ::ppoll(fds, 3, deadline ? &timeout : nullptr, nullptr);
    if (ready < 0) {
      if (errno == EINTR) continue;
      Logger::Warning(QStringLiteral("devsim"),
                      QStringLiteral("poll failed: ") + QString::fromLocal8Bit(std::strerror(errno)));
      break;
    }
    if (fds[0].revents & POLLIN) DrainWake();
    if (fds[1].revents & POLLIN) {
      const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd >= 0) {
        if (connection) {
          ::close(fd);  // one client at a time
        } else {
          connection = std::make_unique<Connection>(fd, *modelLine_);
          hasClient_ = true;
        }
      }
    }
    if (connection && fds[2].fd == connection->Fd()) {
      if (fds[2].revents & POLLOUT) connection->Writable(Clock::now());
      if (fds[2].revents & (POLLIN | POLLHUP | POLLERR)) {
        if (!connection->Receive()) drop();
      }
    }
  }
  // Answers to the last commands still go out before the connection closes.
  if (connection && !modelLine_->Vanished()) connection->Flush();
  drop();
}
