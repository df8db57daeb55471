#include "platform/fake_serial_device.h"

#include <QMap>

namespace {

struct Registry {
  std::mutex mutex;
  QMap<QString, std::shared_ptr<FakeSerialLine>> lines;
};

Registry& TheRegistry() {
  static Registry registry;
  return registry;
}

// Line level a control mode asks for: 1 high, 0 low, -1 left alone.
int DtrLevel(SerialLineSettings::DtrControl c) {
  return c == SerialLineSettings::DtrControl::Disable ? 0 : 1;
}
int RtsLevel(SerialLineSettings::RtsControl c) {
  return c == SerialLineSettings::RtsControl::Disable ? 0 : 1;
}

}  // namespace

void FakeSerialDevice::Register(const QString& name, std::shared_ptr<FakeSerialLine> line) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.lines.insert(name, std::move(line));
}

void FakeSerialDevice::Unregister(const QString& name) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  r.lines.remove(name);
}

std::shared_ptr<FakeSerialLine> FakeSerialDevice::Find(const QString& name) {
  Registry& r = TheRegistry();
  std::lock_guard lock(r.mutex);
  return r.lines.value(name);
}

FakeSerialDevice::FakeSerialDevice(std::shared_ptr<FakeSerialLine> line)
    : line_(std::move(line)), boundAtCreation_(line_ != nullptr) {}

FakeSerialDevice::~FakeSerialDevice() { Close(); }

int FakeSerialDevice::Open(const QString& path) {
  if (open_) return SerialStatus::AccessDenied;
  if (!boundAtCreation_) line_ = Find(path);
  if (!line_) return SerialStatus::NotFound;
  ResetForOpen();
  int err = 0;
  const int rc = line_->Attach(this, err);
  if (rc != SerialStatus::Ok) {
    if (err != 0) FailWithErrno(err);
    return rc;
  }
  {
    std::lock_guard lock(line_->mutex_);
    stop_ = false;
    txEmptyPending_ = false;
  }
  open_ = true;
  thread_ = std::thread([this] { Run(); });
  return SerialStatus::Ok;
}

int FakeSerialDevice::Close() {
  if (!open_) return SerialStatus::Ok;
  {
    std::lock_guard lock(line_->mutex_);
    stop_ = true;
  }
  line_->deviceWake_.notify_all();
  if (thread_.joinable()) thread_.join();
  queue_.Shutdown();
  line_->Detach(this);
  open_ = false;
  return SerialStatus::Ok;
}

bool FakeSerialDevice::IsOpen() const { return open_; }

void FakeSerialDevice::Run() {
  FakeSerialLine& line = *line_;
  std::unique_lock lock(line.mutex_);
  for (;;) {
    if (stop_) return;
    if (hungUp_) {
      line.deviceWake_.wait(lock);
      continue;
    }
    if (line.hangUpPending_) {
      line.hangUpPending_ = false;
      line.pending_.clear();
      hungUp_ = true;
      lock.unlock();
      queue_.SetHungUp();
      Raise(SerialEvent::HangUp);
      lock.lock();
      continue;
    }
    if (txEmptyPending_) {
      txEmptyPending_ = false;
      lock.unlock();
      Raise(SerialEvent::TxEmpty);
      lock.lock();
      continue;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!line.pending_.empty() && line.pending_.front().due <= now) {
      std::vector<std::uint8_t> bytes = std::move(line.pending_.front().bytes);
      line.pending_.pop_front();
      lock.unlock();
      Raise(queue_.Append(bytes));
      lock.lock();
      continue;
    }
    if (line.pending_.empty()) {
      line.deviceWake_.wait(lock);
    } else {
      line.deviceWake_.wait_until(lock, line.pending_.front().due);
    }
  }
}

int FakeSerialDevice::Configure(const SerialLineSettings& settings) {
  if (!open_) return SerialStatus::NotReady;
  if (!SettingsSupported(settings)) return SerialStatus::InvalidParameter;
  // The control modes drive the lines at the first configuration after
  // open and whenever a mode changes, so SetDtr survives other changes.
  const int dtr =
      (!configured_ || settings.dtrControl != settings_.dtrControl) ? DtrLevel(settings.dtrControl) : -1;
  const int rts =
      (!configured_ || settings.rtsControl != settings_.rtsControl) ? RtsLevel(settings.rtsControl) : -1;
  AdoptSettings(settings);
  line_->DriveLines(dtr, rts);
  FakeSerialLine::Call call;
  call.kind = FakeSerialLine::Call::Kind::Configure;
  call.settings = settings;
  line_->Record(std::move(call));
  return SerialStatus::Ok;
}

int FakeSerialDevice::SetTimeouts(const SerialTimeouts& timeouts) {
  QueuedSerialDevice::SetTimeouts(timeouts);
  if (!open_) return SerialStatus::Ok;
  FakeSerialLine::Call call;
  call.kind = FakeSerialLine::Call::Kind::SetTimeouts;
  call.timeouts = timeouts;
  line_->Record(std::move(call));
  return SerialStatus::Ok;
}

int FakeSerialDevice::SetQueueSizes(int inputSize, int outputSize) {
  const int status = QueuedSerialDevice::SetQueueSizes(inputSize, outputSize);
  if (status != SerialStatus::Ok || !open_) return status;
  FakeSerialLine::Call call;
  call.kind = FakeSerialLine::Call::Kind::SetQueueSizes;
  call.inputSize = inputSize;
  call.outputSize = outputSize;
  line_->Record(std::move(call));
  return SerialStatus::Ok;
}

int FakeSerialDevice::Read(std::span<std::uint8_t> buffer, int& transferred) {
  bool now = false;
  if (open_) {
    std::lock_guard lock(line_->mutex_);
    now = line_->immediateInput_ && line_->pending_.empty();
  }
  if (!now) return QueuedSerialDevice::Read(buffer, transferred);
  transferred = 0;
  SerialTimeouts noWait = timeouts_;
  noWait.readInterval = SerialTimeouts::kMaxDword;
  noWait.readTotalMultiplier = 0;
  noWait.readTotalConstant = 0;
  return queue_.Read(buffer, noWait, transferred);
}

int FakeSerialDevice::Write(std::span<const std::uint8_t> data, int& transferred) {
  transferred = 0;
  if (!open_) return SerialStatus::NotReady;
  if (hungUp_) return SerialStatus::BadCommand;
  if (data.empty()) return SerialStatus::Ok;
  FakeSerialLine::Call call;
  call.kind = FakeSerialLine::Call::Kind::Write;
  call.data.assign(data.begin(), data.end());
  line_->Record(std::move(call));
  transferred = static_cast<int>(data.size());
  line_->RespondTo(data);
  if (EventMask() & SerialEvent::TxEmpty) {
    // Reported from the I/O thread, like the real lines (with immediate
    // input, at once, like the input).
    bool now = false;
    {
      std::lock_guard lock(line_->mutex_);
      now = line_->immediateInput_;
      txEmptyPending_ = !now;
    }
    if (now) {
      Raise(SerialEvent::TxEmpty);
    } else {
      line_->deviceWake_.notify_all();
    }
  }
  return SerialStatus::Ok;
}

int FakeSerialDevice::OutputCount(int& count) {
  count = 0;
  return open_ ? SerialStatus::Ok : SerialStatus::NotReady;
}

int FakeSerialDevice::CommErrors(std::uint32_t& errors) {
  errors = 0;
  if (!open_) return SerialStatus::NotReady;
  errors = queue_.TakeErrors() | line_->TakeInjectedErrors();
  return SerialStatus::Ok;
}

int FakeSerialDevice::ModemStatus(std::uint32_t& status) {
  status = 0;
  if (!open_) return SerialStatus::NotReady;
  status = line_->ModemStatusBits();
  return SerialStatus::Ok;
}

int FakeSerialDevice::Purge(std::uint32_t flags) {
  if (!open_) return SerialStatus::NotReady;
  if (flags & SerialPurge::RxClear) queue_.Clear();
  if (flags & SerialPurge::RxAbort) queue_.Abort();
  FakeSerialLine::Call call;
  call.kind = FakeSerialLine::Call::Kind::Purge;
  call.flags = flags;
  line_->Record(std::move(call));
  return SerialStatus::Ok;
}

int FakeSerialDevice::SetDtr(bool on) {
  if (!open_) return SerialStatus::NotReady;
  FakeSerialLine::Call call;
  call.kind = FakeSerialLine::Call::Kind::SetDtr;
  call.on = on;
  line_->Record(std::move(call));
  return SerialStatus::Ok;
}

int FakeSerialDevice::SetRts(bool on) {
  if (!open_) return SerialStatus::NotReady;
  FakeSerialLine::Call call;
  call.kind = FakeSerialLine::Call::Kind::SetRts;
  call.on = on;
  line_->Record(std::move(call));
  return SerialStatus::Ok;
}
