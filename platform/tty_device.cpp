#include "platform/tty_device.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/logger.h"
#include "platform/serial_termios.h"

namespace {

tcflag_t DataBitsFlag(int bits) {
  switch (bits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

}  // namespace

std::atomic<bool> TtyDevice::loggedParity_{false};
std::atomic<bool> TtyDevice::loggedModem_{false};

TtyDevice::TtyDevice() = default;

TtyDevice::~TtyDevice() { Close(); }

int TtyDevice::Open(const QString& path) {
  if (fd_ >= 0) return SerialStatus::AccessDenied;
  const QByteArray name = path.toLocal8Bit();
  const int fd = ::open(name.constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return FailWithErrno(errno);
  // flock refuses a second open even within this process and for root;
  // TIOCEXCL keeps other programs from opening the device at all.
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int err = errno;
    ::close(fd);
    return FailWithErrno(err);
  }
  SerialKernelTermios t;
  if (const int err = SerialTermios::Get(fd, t); err != 0) {
    ::close(fd);
    return FailWithErrno(err);
  }
  ::ioctl(fd, TIOCEXCL);
  // Raw at once, so nothing that arrives before Configure is translated.
  t.iflag = 0;
  t.oflag = 0;
  t.lflag = 0;
  t.cflag = (t.cflag & ~(CSIZE | PARENB)) | CS8 | CLOCAL | CREAD | HUPCL;
  t.cc[VMIN] = 1;
  t.cc[VTIME] = 0;
  if (t.baudRate <= 0) t.baudRate = 9600;
  SerialTermios::Set(fd, t);

  path_ = path;
  threadClockValid_ = false;
  return StartLine(fd);
}

int TtyDevice::Close() {
  const int status = FdSerialDevice::Close();
  threadClockValid_ = false;
  return status;
}

int TtyDevice::ReleaseLine() {
  int first = SerialStatus::Ok;
  // Discarding pending output keeps close() from waiting for it to drain.
  if (!hungUp_ && ::tcflush(fd_, TCIOFLUSH) != 0) first = FailWithErrno(errno);
  ::flock(fd_, LOCK_UN);
  if (::close(fd_) != 0 && first == SerialStatus::Ok) first = FailWithErrno(errno);
  return first;
}

void TtyDevice::Run() {
  // Named, so per-thread figures can tell it apart.
  pthread_setname_np(pthread_self(), "serial io");
  clockid_t cid;
  if (pthread_getcpuclockid(pthread_self(), &cid) == 0) {
    threadClock_ = cid;
    threadClockValid_ = true;
  }
  std::uint8_t buf[4096];
  bool watchLine = true;
  auto hangUp = [&] {
    watchLine = false;
    MarkHungUp();
    Raise(SerialEvent::HangUp);
  };
  for (;;) {
    int timeoutMs = -1;
    if (watchLine && txPending_) {
      // Output is draining: look again after about the time it needs.
      int queued = 0;
      if (::ioctl(fd_, TIOCOUTQ, &queued) != 0 || queued <= 0) {
        txPending_ = false;
        Raise(SerialEvent::TxEmpty);
      } else {
        const int baud = std::max(baudRate_.load(), 1);
        timeoutMs = std::clamp(static_cast<int>(std::int64_t{queued} * 10000 / baud) + 1, 1, 100);
      }
    }
    short revents = 0;
    const LineWait wait = WaitForLine(watchLine, POLLIN, timeoutMs, revents);
    if (wait == LineWait::Stop) return;
    if (wait == LineWait::Failed) {
      if (!watchLine) return;  // cannot even wait for the stop signal
      hangUp();
      continue;
    }
    if (!watchLine || revents == 0) continue;
    if (revents & POLLIN) {
      std::uint32_t events = 0;
      bool gone = false;
      {
        std::lock_guard lock(rxMutex_);
        const std::uint64_t generation = queue_.Generation();
        const ssize_t r = ::read(fd_, buf, sizeof buf);
        if (r > 0) {
          events = queue_.Append(std::span<const std::uint8_t>(buf, static_cast<std::size_t>(r)), generation);
        } else if (r == 0 || (errno != EAGAIN && errno != EINTR)) {
          gone = true;
        }
      }
      if (events != 0) Raise(events);
      if (gone) {
        hangUp();
      } else if (const int batch = batchMs_.load(); batch > 0) {
        // A stream is handed on in batches: what arrives meanwhile waits in
        // the kernel's buffer (a stop request still ends the wait at once).
        short ignored = 0;
        if (WaitForLine(false, 0, batch, ignored) == LineWait::Stop) return;
      }
    } else if (revents & (POLLHUP | POLLERR | POLLNVAL)) {
      hangUp();
    }
  }
}

double TtyDevice::IoThreadCpuSeconds() const {
  if (!threadClockValid_) return -1;
  timespec ts{};
  if (::clock_gettime(threadClock_.load(), &ts) != 0) return -1;
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void TtyDevice::LogOnce(std::atomic<bool>& flag, const char* what, int err) {
  if (flag.exchange(true)) return;
  Logger::Warning(path_, QStringLiteral("%1 not supported (%2); continuing without it")
                             .arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(err))));
}

int TtyDevice::SetModemLine(int bit, bool on, const char* name) {
  if (fd_ < 0) return SerialStatus::NotReady;
  if (hungUp_) return SerialStatus::BadCommand;
  int bits = bit;
  if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &bits) == 0) return SerialStatus::Ok;
  const int err = errno;
  // Pseudo-terminals and some adapters have no modem lines.
  if (err == ENOTTY || err == EINVAL) {
    LogOnce(loggedModem_, name, err);
    return SerialStatus::Ok;
  }
  return FailWithErrno(err);
}

int TtyDevice::Configure(const SerialLineSettings& s) {
  if (fd_ < 0) return SerialStatus::NotReady;
  if (!SettingsSupported(s)) return SerialStatus::InvalidParameter;
  if (hungUp_) return SerialStatus::BadCommand;
  SerialKernelTermios t;
  if (const int err = SerialTermios::Get(fd_, t); err != 0) return FailWithErrno(err);
  t.iflag = 0;
  t.oflag = 0;
  t.lflag = 0;
  t.cflag = DataBitsFlag(s.dataBits) | CLOCAL | CREAD | HUPCL;
  if (s.stopBits == SerialLineSettings::StopBits::Two) t.cflag |= CSTOPB;
  switch (s.parity) {
    case SerialLineSettings::Parity::None:
      break;
    case SerialLineSettings::Parity::Odd:
      t.cflag |= PARENB | PARODD;
      break;
    case SerialLineSettings::Parity::Even:
      t.cflag |= PARENB;
      break;
    case SerialLineSettings::Parity::Mark:
      t.cflag |= PARENB | PARODD | CMSPAR;
      break;
    case SerialLineSettings::Parity::Space:
      t.cflag |= PARENB | CMSPAR;
      break;
  }
  if (s.parityCheck && s.parity != SerialLineSettings::Parity::None) t.iflag |= INPCK;
  if (s.outCtsFlow || s.rtsControl == SerialLineSettings::RtsControl::Handshake) t.cflag |= CRTSCTS;
  if (s.xonXoffOut) t.iflag |= IXON;
  if (s.xonXoffIn) t.iflag |= IXOFF;
  t.cc[VSTART] = static_cast<std::uint8_t>(s.xonChar);
  t.cc[VSTOP] = static_cast<std::uint8_t>(s.xoffChar);
  t.cc[VMIN] = 1;
  t.cc[VTIME] = 0;
  t.baudRate = s.baudRate;
  // The kernel's own call: the C library's tcsetattr reports a failure when
  // a pseudo-terminal drops the parity bits, which is tolerated here.
  if (const int err = SerialTermios::Set(fd_, t); err != 0) return FailWithErrno(err);
  SerialKernelTermios applied;
  if (SerialTermios::Get(fd_, applied) == 0 && (applied.cflag & PARENB) != (t.cflag & PARENB)) {
    LogOnce(loggedParity_, "parity", EINVAL);
  }

  // The modem lines follow their control modes at the first configuration
  // after open (the kernel raised both on open) and when a mode changes, so
  // a SetDtr survives later changes of speed or parity.
  int first = SerialStatus::Ok;
  if (!configured_ || s.dtrControl != settings_.dtrControl) {
    first = SetModemLine(TIOCM_DTR, s.dtrControl != SerialLineSettings::DtrControl::Disable, "DTR");
  }
  if (!configured_ || s.rtsControl != settings_.rtsControl) {
    const bool high = s.rtsControl == SerialLineSettings::RtsControl::Enable ||
                      s.rtsControl == SerialLineSettings::RtsControl::Handshake;
    const int rc = SetModemLine(TIOCM_RTS, high, "RTS");
    if (first == SerialStatus::Ok) first = rc;
  }
  AdoptSettings(s);
  baudRate_ = s.baudRate;
  return first;
}

int TtyDevice::WriteAvailable(std::span<const std::uint8_t> data, std::size_t& done) {
  while (done < data.size()) {
    const ssize_t r = ::write(fd_, data.data() + done, data.size() - done);
    if (r > 0) {
      done += static_cast<std::size_t>(r);
      continue;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0 && errno != EAGAIN) return FailWithErrno(errno);
    break;  // the line takes no more for now
  }
  return SerialStatus::Ok;
}

int TtyDevice::OutputCount(int& count) {
  count = 0;
  if (fd_ < 0) return SerialStatus::NotReady;
  if (hungUp_) return SerialStatus::Ok;
  int queued = 0;
  if (::ioctl(fd_, TIOCOUTQ, &queued) != 0) return FailWithErrno(errno);
  count = queued;
  return SerialStatus::Ok;
}

int TtyDevice::ModemStatus(std::uint32_t& status) {
  status = 0;
  if (fd_ < 0) return SerialStatus::NotReady;
  int bits = 0;
  // Lines without modem signals (pseudo-terminals) report none.
  if (::ioctl(fd_, TIOCMGET, &bits) != 0) return SerialStatus::Ok;
  if (bits & TIOCM_CTS) status |= SerialModem::Cts;
  if (bits & TIOCM_DSR) status |= SerialModem::Dsr;
  if (bits & TIOCM_RI) status |= SerialModem::Ring;
  if (bits & TIOCM_CD) status |= SerialModem::Rlsd;
  return SerialStatus::Ok;
}

int TtyDevice::Purge(std::uint32_t flags) {
  if (fd_ < 0) return SerialStatus::NotReady;
  int first = SerialStatus::Ok;
  AbortTransfers(flags);
  if (flags & SerialPurge::TxClear) {
    if (!hungUp_ && ::tcflush(fd_, TCOFLUSH) != 0) first = FailWithErrno(errno);
  }
  if (flags & SerialPurge::RxClear) {
    std::lock_guard lock(rxMutex_);
    if (!hungUp_ && ::tcflush(fd_, TCIFLUSH) != 0 && first == SerialStatus::Ok) first = FailWithErrno(errno);
    queue_.Clear();
  }
  return first;
}

int TtyDevice::SetDtr(bool on) { return SetModemLine(TIOCM_DTR, on, "DTR"); }

int TtyDevice::SetRts(bool on) { return SetModemLine(TIOCM_RTS, on, "RTS"); }
