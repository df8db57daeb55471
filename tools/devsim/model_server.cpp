#include "tools/devsim/model_server.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "tools/devsim/model_line.h"

ModelServer::ModelServer(std::shared_ptr<DeviceModel> model)
    : modelLine_(std::make_shared<ModelLine>(model)), model_(std::move(model)) {
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  modelLine_->SetWakeHandler([this] { WakeThread(); });
}

ModelServer::~ModelServer() {
  // A call the transport is delivering right now may still reach the model
  // line; it must not reach this object any more.
  modelLine_->SetWakeHandler(nullptr);
  if (wakeFd_ >= 0) ::close(wakeFd_);
}

void ModelServer::WakeThread() {
  if (wakeFd_ < 0) return;
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void ModelServer::DrainWake() {
  std::uint64_t count = 0;
  [[maybe_unused]] const ssize_t n = ::read(wakeFd_, &count, sizeof count);
}

bool ModelServer::StartServing(QString* error, const std::function<const char*()>& open) {
  std::lock_guard control(control_);
  if (running_) return true;
  if (thread_.joinable()) thread_.join();  // ended by the model vanishing
  CloseTransport();
  modelLine_->Reset();
  const char* failed = wakeFd_ < 0 ? "eventfd" : open();
  if (failed != nullptr) {
    const int err = errno;
    if (error)
      *error =
          QStringLiteral("%1: %2").arg(QString::fromUtf8(failed), QString::fromLocal8Bit(std::strerror(err)));
    CloseTransport();
    return false;
  }
  stop_ = false;
  vanished_ = false;
  running_ = true;
  thread_ = std::thread([this] { RunThread(); });
  return true;
}

void ModelServer::RunThread() {
  nextTick_ = Clock::now();
  Serve();
  if (modelLine_->Vanished()) {
    OnVanished();
    vanished_ = true;
  }
  running_ = false;
}

void ModelServer::StopThread() {
  stop_ = true;
  WakeThread();
  if (thread_.joinable()) thread_.join();
  running_ = false;
}

void ModelServer::Stop() {
  std::lock_guard control(control_);
  StopThread();
  CloseTransport();
}

void ModelServer::Vanish() {
  std::lock_guard control(control_);
  modelLine_->Vanish();
  StopThread();
  CloseTransport();
  vanished_ = true;
}

bool ModelServer::IsRunning() const { return running_; }

bool ModelServer::Vanished() const { return vanished_ || modelLine_->Vanished(); }

void ModelServer::SetTickInterval(std::chrono::microseconds interval) {
  tickIntervalUs_ = std::max<std::int64_t>(50, interval.count());
}

bool ModelServer::KeepServing() const { return !stop_ && !modelLine_->Vanished(); }

void ModelServer::Access(const std::function<void(DeviceModel&, DeviceLink&)>& fn) { modelLine_->Access(fn); }

std::vector<int> ModelServer::HostSendingRates() const { return modelLine_->HostSendingRates(); }

void ModelServer::TickIfDue(Clock::time_point now) {
  if (!modelLine_->WantsTicks() || now < nextTick_) return;
  modelLine_->Tick(now);
  nextTick_ = now + std::chrono::microseconds(tickIntervalUs_.load());
}

std::optional<ModelServer::Clock::time_point> ModelServer::NextTick() const {
  if (!modelLine_->WantsTicks()) return std::nullopt;
  return nextTick_;
}

timespec ModelServer::ToTimespec(Clock::duration d) {
  if (d < Clock::duration::zero()) d = Clock::duration::zero();
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
  timespec ts;
  ts.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
  ts.tv_nsec = static_cast<long>(ns % 1'000'000'000);
  return ts;
}
