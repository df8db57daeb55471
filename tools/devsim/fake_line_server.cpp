#include "tools/devsim/fake_line_server.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/fake_serial_line.h"
#include "tools/devsim/model_line.h"

namespace {

using Clock = DeviceModel::Clock;
constexpr auto kTickInterval = std::chrono::milliseconds(1);

timespec ToTimespec(Clock::duration d) {
  if (d < Clock::duration::zero()) d = Clock::duration::zero();
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
  timespec ts;
  ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
  ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
  return ts;
}

}  // namespace

FakeLineServer::FakeLineServer(std::shared_ptr<DeviceModel> model, std::shared_ptr<FakeSerialLine> line)
    : model_(std::move(model)), line_(std::move(line)), modelLine_(std::make_shared<ModelLine>(model_)) {
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  modelLine_->SetWakeHandler([this] { WakeThread(); });
}

FakeLineServer::~FakeLineServer() {
  Stop();
  // A call the line is delivering right now may still reach the model
  // line; it must not reach this object any more.
  modelLine_->SetWakeHandler(nullptr);
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void FakeLineServer::WakeThread() {
  if (wakeFd_ < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void FakeLineServer::Start() {
  std::lock_guard control(control_);
  if (running_ || !line_) return;
  if (thread_.joinable()) thread_.join();
  modelLine_->Reset();
  std::weak_ptr<ModelLine> weak = modelLine_;
  line_->SetCallObserver([weak](FakeSerialLine& line, const FakeSerialLine::Call& call) {
    const std::shared_ptr<ModelLine> ml = weak.lock();
    if (!ml) return;
    using Kind = FakeSerialLine::Call::Kind;
    switch (call.kind) {
      case Kind::Configure:
        ml->HostBaudRate(call.settings.baudRate);
        ml->HostParity(call.settings.parity);
        break;
      case Kind::Purge:
        ml->HostPurge(call.flags);
        break;
      case Kind::Write:
        ml->HostBytes(call.data, line.Settings().baudRate);
        break;
      case Kind::Close:
        ml->HostClosed();
        break;
      default:
        break;
    }
    // The lines as they stand after the call (open raises both, close
    // drops both, a configuration may drive them).
    ml->HostDtr(line.Dtr());
    ml->HostRts(line.Rts());
  });
  stop_ = false;
  vanished_ = false;
  running_ = true;
  thread_ = std::thread([this] { Run(); });
}

void FakeLineServer::StopThread() {
  stop_ = true;
  WakeThread();
  if (thread_.joinable()) thread_.join();
  running_ = false;
}

void FakeLineServer::Stop() {
  std::lock_guard control(control_);
  if (line_) line_->SetCallObserver(nullptr);
  StopThread();
}

void FakeLineServer::Vanish() {
  std::lock_guard control(control_);
  modelLine_->Vanish();
  StopThread();
}

bool FakeLineServer::IsRunning() const { return running_; }
bool FakeLineServer::Vanished() const { return vanished_ || modelLine_->Vanished(); }

void FakeLineServer::Access(const std::function<void(DeviceModel&, DeviceLink&)>& fn) {
  modelLine_->Access(fn);
}

void FakeLineServer::Run() {
  std::vector<std::uint8_t> due;
  Clock::time_point nextTick = Clock::now();
  while (!stop_ && !modelLine_->Vanished()) {
    const Clock::time_point now = Clock::now();
    due.clear();
    modelLine_->TakeDue(now, due);
    if (!due.empty()) line_->Inject(std::span<const std::uint8_t>(due));
    if (modelLine_->WantsTicks() && now >= nextTick) {
      modelLine_->Tick(now);
      nextTick = now + kTickInterval;
    }
    std::optional<Clock::time_point> deadline = modelLine_->NextDue();
    if (modelLine_->WantsTicks()) deadline = deadline ? std::min(*deadline, nextTick) : nextTick;
    pollfd fd{wakeFd_, POLLIN, 0};
    timespec timeout{};
    if (deadline) timeout = ToTimespec(*deadline - Clock::now());
    if (::ppoll(&fd, 1, deadline ? &timeout : nullptr, nullptr) > 0) {
      std::uint64_t count = 0;
      [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
    }
  }
  if (modelLine_->Vanished()) {
    line_->HangUp();
    vanished_ = true;
  }
  running_ = false;
}
