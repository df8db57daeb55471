#pragma once

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <QString>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/serial_termios.h"

// The host's end of a pseudo-terminal in the server tests: a raw tty at a
// chosen line rate, with bounded reads and writes.
class HostTty {
 public:
  HostTty() = default;
  ~HostTty() { Close(); }
  HostTty(const HostTty&) = delete;
  HostTty& operator=(const HostTty&) = delete;

  bool Open(const QString& path, int baud) {
    Close();
    fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) return false;
    termios t{};
    if (::tcgetattr(fd_, &t) != 0) return false;
    ::cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    if (::tcsetattr(fd_, TCSANOW, &t) != 0) return false;
    return SetBaud(baud);
  }

  bool SetBaud(int baud) {
    SerialKernelTermios k;
    if (SerialTermios::Get(fd_, k) != 0) return false;
    k.baudRate = baud;
    return SerialTermios::Set(fd_, k) == 0;
  }

  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int Fd() const { return fd_; }

  std::size_t Write(std::span<const std::uint8_t> bytes,
                    std::chrono::milliseconds timeout = std::chrono::milliseconds(3000)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::size_t done = 0;
    while (fd_ >= 0 && done < bytes.size()) {
      const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
        continue;
      }
      if (n < 0 && errno != EAGAIN && errno != EINTR) break;
      if (!WaitFor(POLLOUT, deadline)) break;
    }
    return done;
  }

  // Reads until `count` bytes came, the line hung up, or the timeout.
  std::vector<std::uint8_t> Read(std::size_t count, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::uint8_t> out;
    std::uint8_t buffer[4096];
    while (fd_ >= 0 && out.size() < count) {
      const ssize_t n = ::read(fd_, buffer, std::min(sizeof buffer, count - out.size()));
      if (n > 0) {
        out.insert(out.end(), buffer, buffer + n);
        continue;
      }
      if (n == 0 || (errno != EAGAIN && errno != EINTR)) break;
      if (!WaitFor(POLLIN, deadline)) break;
    }
    return out;
  }

  // Waits until the line hangs up (poll reports POLLHUP or POLLERR).
  bool WaitHangUp(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 20) > 0 && (p.revents & (POLLHUP | POLLERR))) return true;
      if (p.revents & POLLIN) {
        std::uint8_t sink[256];
        const ssize_t n = ::read(fd_, sink, sizeof sink);
        if (n == 0) return true;
      }
    }
    return false;
  }

 private:
  bool WaitFor(short events, std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd p{fd_, events, 0};
    return ::poll(&p, 1, static_cast<int>(left.count())) > 0;
  }

  int fd_ = -1;
};
