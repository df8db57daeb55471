#include "tools/devsim/pty_server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/pty_pair.h"
#include "platform/serial_termios.h"
#include "tools/devsim/model_line.h"

namespace {

using Clock = DeviceModel::Clock;

// How often the host's line rate is looked at while nothing else happens.
constexpr auto kRatePollInterval = std::chrono::milliseconds(50);
constexpr auto kTickInterval = std::chrono::milliseconds(1);

int HostBaud(int master) {
  SerialKernelTermios t;
  if (SerialTermios::Get(master, t) != 0) return 0;
  return t.baudRate;
}

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

timespec ToTimespec(Clock::duration d) {
  if (d < Clock::duration::zero()) d = Clock::duration::zero();
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
  timespec ts;
  ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
  ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
  return ts;
}

}  // namespace

PtyServer::PtyServer(std::shared_ptr<DeviceModel> model)
    : model_(std::move(model)), line_(std::make_unique<ModelLine>(model_)) {
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  line_->SetWakeHandler([this] { WakeThread(); });
}

PtyServer::~PtyServer() {
  Stop();
  line_->SetWakeHandler(nullptr);
  CloseFd(wakeFd_);
}

void PtyServer::WakeThread() {
  if (wakeFd_ < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

bool PtyServer::Start(QString* error) {
  std::lock_guard control(control_);
  if (running_) return true;
  if (thread_.joinable()) thread_.join();  // ended by the model vanishing
  CloseFds();
  auto fail = [&](const char* what) {
    const int err = errno;
    if (error)
      *error =
          QStringLiteral("%1: %2").arg(QString::fromUtf8(what), QString::fromLocal8Bit(std::strerror(err)));
    CloseFds();
    return false;
  };
  if (wakeFd_ < 0) return fail("eventfd");

  // The pair makes the slave raw before the host can see anything (a fresh
  // slave echoes and translates) and keeps a slave fd of its own open, so
  // the master stays readable while the host has the port closed.
  pty_ = std::make_unique<PtyPair>();
  if (!pty_->IsValid()) {
    errno = pty_->Error();
    return fail("openpty");
  }
  master_ = pty_->MasterFd();
  // Packet mode reports the host's purges as status bytes.
  int one = 1;
  if (::ioctl(master_, TIOCPKT, &one) != 0) return fail("TIOCPKT");

  slavePath_ = pty_->SlavePath();
  line_->Reset();
  stop_ = false;
  vanished_ = false;
  running_ = true;
  thread_ = std::thread([this] { Run(); });
  return true;
}

void PtyServer::StopThread() {
  stop_ = true;
  WakeThread();
  if (thread_.joinable()) thread_.join();
  running_ = false;
}

void PtyServer::Stop() {
  std::lock_guard control(control_);
  StopThread();
  CloseFds();
}

void PtyServer::Vanish() {
  std::lock_guard control(control_);
  line_->Vanish();
  StopThread();
  CloseFds();
  vanished_ = true;
}

bool PtyServer::IsRunning() const { return running_; }

bool PtyServer::Vanished() const { return vanished_ || line_->Vanished(); }

QString PtyServer::SlavePath() const {
  std::lock_guard control(control_);
  return slavePath_;
}

void PtyServer::Access(const std::function<void(DeviceModel&, DeviceLink&)>& fn) { line_->Access(fn); }

void PtyServer::CloseFds() {
  master_ = -1;
  if (!pty_) return;
  // The master first: the host sees the hang-up at once.
  pty_->CloseMaster();
  pty_->CloseSlave();
}

void PtyServer::Run() {
  std::vector<std::uint8_t> wire;  // bytes due to the host, not yet written
  std::size_t wireDone = 0;
  bool blocked = false;  // the host stopped taking bytes
  Clock::time_point nextTick = Clock::now();
  Clock::time_point nextRateCheck = Clock::now();
  std::uint8_t buffer[4097];

  while (!stop_ && !line_->Vanished()) {
    Clock::time_point now = Clock::now();

    // Output: what the line schedule says has been transmitted by now.
    if (wireDone == wire.size()) {
      wire.clear();
      wireDone = 0;
      line_->TakeDue(now, wire);
    }
    if (!blocked && wireDone < wire.size()) {
      const ssize_t n = ::write(master_, wire.data() + wireDone, wire.size() - wireDone);
      if (n > 0) {
        wireDone += static_cast<std::size_t>(n);
      } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
        std::fprintf(stderr, "devsim: pty write failed: %s\n", std::strerror(errno));
        wireDone = wire.size();
      }
      if (wireDone < wire.size()) blocked = true;
    }

    if (line_->WantsTicks() && now >= nextTick) {
      line_->Tick(now);
      nextTick = now + kTickInterval;
    }
    if (now >= nextRateCheck) {
      line_->HostBaudRate(HostBaud(master_));
      nextRateCheck = now + kRatePollInterval;
    }

    Clock::time_point deadline = nextRateCheck;
    if (!blocked) {
      if (wireDone < wire.size()) deadline = now;
      if (auto due = line_->NextDue()) deadline = std::min(deadline, *due);
    }
    if (line_->WantsTicks()) deadline = std::min(deadline, nextTick);

    pollfd fds[2] = {{master_, static_cast<short>(POLLIN | (blocked ? POLLOUT : 0)), 0},
                     {wakeFd_, POLLIN, 0}};
    const timespec timeout = ToTimespec(deadline - Clock::now());
    const int ready = ::ppoll(fds, 2, &timeout, nullptr);
    if (ready < 0) {
      if (errno == EINTR) continue;
      std::fprintf(stderr, "devsim: poll failed: %s\n", std::strerror(errno));
      break;
    }
    if (fds[1].revents & POLLIN) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
    }
    if (blocked && (fds[0].revents & POLLOUT)) {
      blocked = false;
      line_->RestartSchedule(Clock::now());
    }
    if (fds[0].revents & POLLIN) {
      const ssize_t n = ::read(master_, buffer, sizeof buffer);
      if (n > 0) {
        if (buffer[0] == TIOCPKT_DATA) {
          // The rate is read right after the bytes: the host sets its rate
          // before it writes and waits for an answer before it changes it.
          line_->HostBytes(std::span<const std::uint8_t>(buffer + 1, static_cast<std::size_t>(n - 1)),
                           HostBaud(master_));
        } else {
          std::uint32_t purge = 0;
          if (buffer[0] & TIOCPKT_FLUSHREAD) purge |= SerialPurge::RxClear;
          if (buffer[0] & TIOCPKT_FLUSHWRITE) purge |= SerialPurge::TxClear;
          if (purge != 0) line_->HostPurge(purge);
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

  if (line_->Vanished()) {
    CloseFds();
    vanished_ = true;
  }
  running_ = false;
}
