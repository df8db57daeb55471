#include "platform/pty_pair.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/serial_termios.h"

namespace {

int RemainingMs(std::chrono::steady_clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

}  // namespace

PtyPair::PtyPair() {
  char name[256] = {};
  if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
    error_ = errno;
    master_ = slave_ = -1;
    return;
  }
  slavePath_ = QString::fromLocal8Bit(name);
  fcntl(master_, F_SETFD, FD_CLOEXEC);
  fcntl(slave_, F_SETFD, FD_CLOEXEC);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  MakeSlaveRaw();
}

PtyPair::~PtyPair() {
  CloseMaster();
  CloseSlave();
}

bool PtyPair::MakeSlaveRaw() {
  const int fd = slave_ >= 0 ? slave_ : master_;
  if (fd < 0) return false;
  termios t{};
  if (tcgetattr(fd, &t) != 0) return false;
  cfmakeraw(&t);
  t.c_cflag |= CLOCAL | CREAD;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  return tcsetattr(fd, TCSANOW, &t) == 0;
}

int PtyPair::BaudRate() const {
  if (master_ < 0) return 0;
  SerialKernelTermios t;
  if (SerialTermios::Get(master_, t) != 0) return 0;
  return t.baudRate;
}

int PtyPair::StopBits() const {
  if (master_ < 0) return 0;
  SerialKernelTermios t;
  if (SerialTermios::Get(master_, t) != 0) return 0;
  return (t.cflag & CSTOPB) ? 2 : 1;
}

std::size_t PtyPair::Write(std::span<const std::uint8_t> bytes, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::size_t done = 0;
  while (master_ >= 0 && done < bytes.size()) {
    const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<std::size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) break;
    pollfd p{master_, POLLOUT, 0};
    const int ms = RemainingMs(deadline);
    if (ms == 0) break;
    if (::poll(&p, 1, ms) < 0 && errno != EINTR) break;
  }
  return done;
}

std::vector<std::uint8_t> PtyPair::Read(std::size_t count, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::vector<std::uint8_t> out;
  std::uint8_t buf[4096];
  while (master_ >= 0 && out.size() < count) {
    const std::size_t want = std::min(sizeof buf, count - out.size());
    const ssize_t n = ::read(master_, buf, want);
    if (n > 0) {
      out.insert(out.end(), buf, buf + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n == 0 || errno != EAGAIN) break;
    pollfd p{master_, POLLIN, 0};
    const int ms = RemainingMs(deadline);
    if (ms == 0) break;
    if (::poll(&p, 1, ms) < 0 && errno != EINTR) break;
  }
  return out;
}

std::vector<std::uint8_t> PtyPair::ReadAvailable() {
  std::vector<std::uint8_t> out;
  std::uint8_t buf[4096];
  while (master_ >= 0) {
    const ssize_t n = ::read(master_, buf, sizeof buf);
    if (n > 0) {
      out.insert(out.end(), buf, buf + n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    break;
  }
  return out;
}

void PtyPair::CloseMaster() {
  if (master_ >= 0) ::close(master_);
  master_ = -1;
}

void PtyPair::CloseSlave() {
  if (slave_ >= 0) ::close(slave_);
  slave_ = -1;
}
