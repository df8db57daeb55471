#include "tools/devsim/model_line.h"

#include <algorithm>

ModelLine::ModelLine(std::shared_ptr<DeviceModel> model) : model_(std::move(model)) {}

ModelLine::~ModelLine() = default;

void ModelLine::SetWakeHandler(std::function<void()> handler) {
  std::lock_guard lock(mutex_);
  wake_ = std::move(handler);
}

void ModelLine::Wake() {
  if (wake_) wake_();
}

void ModelLine::WakeIfTicking() {
  // A call from the host's side may leave the model wanting ticks (a
  // request half received, a start after power-up) while the serving
  // thread sleeps without a deadline: it must plan again.
  if (model_ && !vanished_ && model_->WantsTicks()) Wake();
}

void ModelLine::Access(const std::function<void(DeviceModel&, DeviceLink&)>& fn) {
  std::lock_guard lock(mutex_);
  if (fn && model_) fn(*model_, *this);
  Wake();
}

void ModelLine::Reset() {
  std::lock_guard lock(mutex_);
  queue_.clear();
  lineFreeAt_ = {};
  hostBaud_ = 0;
  dtr_ = false;
  rts_ = false;
  parity_ = SerialLineSettings::Parity::None;
  vanished_ = false;
}

bool ModelLine::HostBytes(std::span<const std::uint8_t> bytes, int hostBaud) {
  std::lock_guard lock(mutex_);
  HostBaudRate(hostBaud);
  if (!bytes.empty() && (sendingRates_.empty() || sendingRates_.back() != hostBaud))
    sendingRates_.push_back(hostBaud);
  if (bytes.empty() || !model_ || vanished_) return false;
  if (hostBaud != model_->BaudRate()) return false;
  model_->OnReceived(bytes, *this);
  WakeIfTicking();
  return true;
}

void ModelLine::HostBaudRate(int baud) {
  std::lock_guard lock(mutex_);
  if (baud == hostBaud_) return;
  hostBaud_ = baud;
  if (model_ && !vanished_) model_->OnHostBaudRate(baud, *this);
  WakeIfTicking();
}

std::vector<int> ModelLine::HostSendingRates() const {
  std::lock_guard lock(mutex_);
  return sendingRates_;
}

int ModelLine::LastHostBaudRate() const {
  std::lock_guard lock(mutex_);
  return hostBaud_;
}

void ModelLine::HostDtr(bool on) {
  std::lock_guard lock(mutex_);
  if (on == dtr_) return;
  dtr_ = on;
  if (model_ && !vanished_) model_->OnDtr(on, *this);
  WakeIfTicking();
}

void ModelLine::HostRts(bool on) {
  std::lock_guard lock(mutex_);
  if (on == rts_) return;
  rts_ = on;
  if (model_ && !vanished_) model_->OnRts(on, *this);
  WakeIfTicking();
}

void ModelLine::HostParity(SerialLineSettings::Parity parity) {
  std::lock_guard lock(mutex_);
  if (parity == parity_) return;
  parity_ = parity;
  if (model_ && !vanished_) model_->OnParity(parity, *this);
  WakeIfTicking();
}

void ModelLine::HostPurge(std::uint32_t flags) {
  std::lock_guard lock(mutex_);
  if (model_ && !vanished_) model_->OnPurge(flags, *this);
  WakeIfTicking();
}

void ModelLine::HostClosed() {
  std::lock_guard lock(mutex_);
  HostDtr(false);
  HostRts(false);
  HostParity(SerialLineSettings::Parity::None);
}

bool ModelLine::WantsTicks() const {
  std::lock_guard lock(mutex_);
  return model_ && !vanished_ && model_->WantsTicks();
}

void ModelLine::Tick(Clock::time_point now) {
  std::lock_guard lock(mutex_);
  if (model_ && !vanished_) model_->Tick(now, *this);
}

ModelLine::Clock::duration ModelLine::ByteTime() const {
  std::lock_guard lock(mutex_);
  const int baud = model_ ? model_->BaudRate() : 0;
  if (baud <= 0) return std::chrono::milliseconds(1);
  return std::chrono::duration_cast<Clock::duration>(
      std::chrono::nanoseconds((10'000'000'000LL + baud / 2) / baud));
}

void ModelLine::TakeDue(Clock::time_point now, std::vector<std::uint8_t>& out) {
  std::lock_guard lock(mutex_);
  const Clock::duration byteTime = ByteTime();
  while (!queue_.empty() && lineFreeAt_ + byteTime <= now) {
    out.push_back(queue_.front());
    queue_.pop_front();
    lineFreeAt_ += byteTime;
  }
}

std::optional<ModelLine::Clock::time_point> ModelLine::NextDue() const {
  std::lock_guard lock(mutex_);
  if (queue_.empty()) return std::nullopt;
  return lineFreeAt_ + ByteTime();
}

void ModelLine::RestartSchedule(Clock::time_point now) {
  std::lock_guard lock(mutex_);
  lineFreeAt_ = std::max(lineFreeAt_, now);
}

void ModelLine::Send(std::span<const std::uint8_t> bytes) {
  std::lock_guard lock(mutex_);
  if (bytes.empty() || vanished_) return;
  if (queue_.empty()) {
    // An idle line: the first byte starts now, not at the end of the last
    // stream.
    lineFreeAt_ = std::max(lineFreeAt_, Clock::now());
  }
  queue_.insert(queue_.end(), bytes.begin(), bytes.end());
  Wake();
}

std::size_t ModelLine::PendingOutput() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

void ModelLine::DiscardOutput() {
  std::lock_guard lock(mutex_);
  queue_.clear();
}

void ModelLine::Vanish() {
  std::lock_guard lock(mutex_);
  vanished_ = true;
  queue_.clear();
  Wake();
}
