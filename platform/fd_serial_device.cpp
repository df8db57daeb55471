#include "platform/fd_serial_device.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>

namespace {

constexpr std::uint32_t kMax = SerialTimeouts::kMaxDword;

void Signal(int eventFd) {
  if (eventFd < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(eventFd, &one, sizeof one);
}

void Drain(int eventFd) {
  if (eventFd < 0) return;
  std::uint64_t value;
  [[maybe_unused]] ssize_t n = ::read(eventFd, &value, sizeof value);
}

}  // namespace

bool FdSerialDevice::IsOpen() const { return fd_ >= 0; }

int FdSerialDevice::StartLine(int fd) {
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  txAbortFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (wakeFd_ < 0 || txAbortFd_ < 0) {
    const int err = errno;
    if (wakeFd_ >= 0) ::close(wakeFd_);
    if (txAbortFd_ >= 0) ::close(txAbortFd_);
    wakeFd_ = txAbortFd_ = -1;
    ::close(fd);
    return FailWithErrno(err);
  }
  fd_ = fd;
  stop_ = false;
  txPending_ = false;
  ResetForOpen();
  thread_ = std::thread([this] { Run(); });
  return SerialStatus::Ok;
}

int FdSerialDevice::Close() {
  if (fd_ < 0 && !thread_.joinable()) return SerialStatus::Ok;
  stop_ = true;
  Wake();
  if (thread_.joinable()) thread_.join();
  // Wake blocked transfers and let a woken writer leave the fd alone.
  queue_.Shutdown();
  AbortWriters();
  {
    std::unique_lock lock(writersMutex_);
    writersDone_.wait_for(lock, std::chrono::seconds(2), [this] { return activeWriters_ == 0; });
  }
  int status = SerialStatus::Ok;
  if (fd_ >= 0) {
    status = ReleaseLine();
    fd_ = -1;
  }
  if (wakeFd_ >= 0) ::close(wakeFd_);
  if (txAbortFd_ >= 0) ::close(txAbortFd_);
  wakeFd_ = txAbortFd_ = -1;
  return status;
}

void FdSerialDevice::Wake() { Signal(wakeFd_); }

void FdSerialDevice::AbortWriters() {
  ++txAbortCount_;
  Signal(txAbortFd_);
}

void FdSerialDevice::AbortTransfers(std::uint32_t purgeFlags) {
  if (purgeFlags & SerialPurge::TxAbort) AbortWriters();
  if (purgeFlags & SerialPurge::RxAbort) queue_.Abort();
}

void FdSerialDevice::MarkHungUp() {
  hungUp_ = true;
  queue_.SetHungUp();
  AbortWriters();
}

FdSerialDevice::LineWait FdSerialDevice::WaitForLine(bool watchLine, short events, int timeoutMs,
                                                     short& revents) {
  revents = 0;
  pollfd fds[2] = {{watchLine ? fd_ : -1, events, 0}, {wakeFd_, POLLIN, 0}};
  if (::poll(fds, 2, timeoutMs) < 0) return errno == EINTR ? LineWait::Ready : LineWait::Failed;
  if (fds[1].revents & POLLIN) {
    Drain(wakeFd_);
    if (stop_) return LineWait::Stop;
  }
  revents = fds[0].revents;
  return LineWait::Ready;
}

int FdSerialDevice::Write(std::span<const std::uint8_t> data, int& transferred) {
  transferred = 0;
  if (fd_ < 0) return SerialStatus::NotReady;
  if (hungUp_) return SerialStatus::BadCommand;
  if (data.empty()) return SerialStatus::Ok;
  {
    std::lock_guard lock(writersMutex_);
    ++activeWriters_;
  }
  const int fd = fd_;
  const std::uint32_t multiplier = timeouts_.writeTotalMultiplier;
  const std::uint32_t constant = timeouts_.writeTotalConstant;
  std::optional<std::chrono::steady_clock::time_point> deadline;
  if (multiplier != kMax && constant != kMax) {
    const std::uint64_t ms = std::uint64_t{multiplier} * data.size() + constant;
    if (ms != 0) deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  }
  Drain(txAbortFd_);
  const std::uint64_t abortAtStart = txAbortCount_.load();
  int status = SerialStatus::Ok;
  std::size_t done = 0;
  for (;;) {
    status = WriteAvailable(data, done);
    if (status != SerialStatus::Ok || done == data.size()) break;
    int waitMs = -1;
    if (deadline) {
      const auto left =
          std::chrono::ceil<std::chrono::milliseconds>(*deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) break;  // time-out: no failure, the count tells
      waitMs = static_cast<int>(std::min<std::int64_t>(left, 1 << 30));
    }
    pollfd fds[2] = {{fd, POLLOUT, 0}, {txAbortFd_, POLLIN, 0}};
    const int n = ::poll(fds, 2, waitMs);
    if (n < 0 && errno != EINTR) {
      status = FailWithErrno(errno);
      break;
    }
    if (fds[1].revents & POLLIN) {
      if (txAbortCount_.load() != abortAtStart) break;
      Drain(txAbortFd_);
    }
    if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      status = SerialStatus::BadCommand;
      break;
    }
  }
  if (hungUp_ && done == 0) status = SerialStatus::BadCommand;
  transferred = static_cast<int>(done);
  {
    std::lock_guard lock(writersMutex_);
    --activeWriters_;
  }
  writersDone_.notify_all();
  if (done > 0 && (EventMask() & SerialEvent::TxEmpty)) txPending_ = true;
  if (txPending_ || OutputWaiting()) Wake();
  return status;
}
