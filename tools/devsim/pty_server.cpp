#include "tools/devsim/pty_server.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/logger.h"
#include "platform/pty_pair.h"
#include "platform/serial_termios.h"
#include "tools/devsim/model_line.h"

namespace {

// How often the host's line rate is looked at while nothing else happens.
constexpr auto kRatePollInterval = std::chrono::milliseconds(50);

int HostBaud(int master) {
  SerialKernelTermios t;
  if (SerialTermios::Get(master, t) != 0) return 0;
  return t.baudRate;
}

}  // namespace

PtyServer::PtyServer(std::shared_ptr<DeviceModel> model) : ModelServer(std::move(model)) {}

PtyServer::~PtyServer() { Stop(); }

bool PtyServer::Start(QString* error) {
  return StartServing(error, [this] { return OpenTerminal(); });
}

const char* PtyServer::OpenTerminal() {
  // The pair makes the slave raw before the host can see anything (a fresh
  // slave echoes and translates) and keeps a slave fd of its own open, so
  // the master stays readable while the host has the port closed.
  pty_ = std::make_unique<PtyPair>();
  if (!pty_->IsValid()) {
    errno = pty_->Error();
    return "openpty";
  }
  master_ = pty_->MasterFd();
  // Packet mode reports the host's purges as status bytes.
  int one = 1;
  if (::ioctl(master_, TIOCPKT, &one) != 0) return "TIOCPKT";

  slavePath_ = pty_->SlavePath();
  return nullptr;
}

QString PtyServer::SlavePath() const {
  std::lock_guard control(control_);
  return slavePath_;
}

void PtyServer::CloseTransport() {
  master_ = -1;
  if (!pty_) return;
  // The master first: the host sees the hang-up at once.
  pty_->CloseMaster();
  pty_->CloseSlave();
}

void PtyServer::Serve() {
  std::vector<std::uint8_t> wire;  // bytes due to the host, not yet written
  std::size_t wireDone = 0;
  bool blocked = false;  // the host stopped taking bytes
  Clock::time_point nextRateCheck = Clock::now();
  std::uint8_t buffer[4097];

  while (KeepServing()) {
    Clock::time_point now = Clock::now();

    // Output: what the line schedule says has been transmitted by now.
    if (wireDone == wire.size()) {
      wire.clear();
      wireDone = 0;
      modelLine_->TakeDue(now, wire);
    }
    if (!blocked && wireDone < wire.size()) {
      const ssize_t n = ::write(master_, wire.data() + wireDone, wire.size() - wireDone);
      if (n > 0) {
        wireDone += static_cast<std::size_t>(n);
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        Logger::Warning(QStringLiteral("devsim"),
                        QStringLiteral("pty write failed: ") + QString::fromLocal8Bit(std::strerror(errno)));
        wireDone = wire.size();
      }
      if (wireDone < wire.size()) blocked = true;
    }

    TickIfDue(now);
    if (now >= nextRateCheck) {
      modelLine_->HostBaudRate(HostBaud(master_));
      nextRateCheck = now + kRatePollInterval;
    }

    Clock::time_point deadline = nextRateCheck;
    if (!blocked) {
      if (wireDone < wire.size()) deadline = now;
      if (auto due = modelLine_->NextDue()) deadline = std::min(deadline, *due);
    }
    if (const auto tick = NextTick()) deadline = std::min(deadline, *tick);

    pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0},
                     {WakeFd(), POLLIN, 0}};
    const timespec timeout = ToTimespec(deadline - Clock::now());
    const int ready = ::ppoll(fds, 2, &timeout, nullptr);
    if (ready < 0) {
      if (errno == EINTR) continue;
      Logger::Warning(QStringLiteral("devsim"),
                      QStringLiteral("poll failed: ") + QString::fromLocal8Bit(std::strerror(errno)));
      break;
    }
    if (fds[1].revents & POLLIN) DrainWake();
    if (blocked && (fds[0].revents & POLLOUT)) {
      blocked = false;
      modelLine_->RestartSchedule(Clock::now());
    }
    if (fds[0].revents & POLLIN) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) {
        if (buffer[0] == TIOCPKT_DATA) {
          // The rate is read right after the bytes: the host sets its rate
          // before it writes and waits for an answer before it changes it.
          modelLine_->HostBytes(std::span<const std::uint8_t>(buffer + 1, static_cast<std::size_t>(n - 1)),
                                HostBaud(master_));
        } else {
          std::uint32_t purge = 0;
          if (buffer[0] & TIOCPKT_FLUSHREAD) purge |= SerialPurge::RxClear;
          if (buffer[0] & TIOCPKT_FLUSHWRITE) purge |= SerialPurge::TxClear;
          if (purge != 0) modelLine_->HostPurge(purge);
        }
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        // Not expected while our own slave fd is open; never spin on it.
        const timespec pause = ToTimespec(std::chrono::milliseconds(5));
        ::nanosleep(&pause, nullptr);
      }
    } else if (fds[0].revents & (POLLHUP | POLLERR)) {
      // Cannot happen while our own slave fd is open; never spin on it.
      const timespec pause = ToTimespec(std::chrono::milliseconds(5));
      ::nanosleep(&pause, nullptr);
    }
  }
}
