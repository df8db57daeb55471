#include "platform/fake_serial_line.h"

#include <algorithm>

#include "platform/fake_serial_device.h"

std::shared_ptr<FakeSerialLine> FakeSerialLine::Create() {
  return std::shared_ptr<FakeSerialLine>(new FakeSerialLine());
}

FakeSerialLine::~FakeSerialLine() = default;

void FakeSerialLine::SetOpenResult(int status) {
  std::lock_guard lock(mutex_);
  openResult_ = status;
  openErrno_ = 0;
}

void FakeSerialLine::SetOpenErrno(int err) {
  std::lock_guard lock(mutex_);
  openErrno_ = err;
  openResult_ = SerialStatus::FromErrno(err);
}

void FakeSerialLine::SetModemStatus(std::uint32_t status) {
  std::lock_guard lock(mutex_);
  modemStatus_ = status;
}

void FakeSerialLine::SetResponder(Responder responder) {
  std::lock_guard lock(mutex_);
  responder_ = std::move(responder);
}

void FakeSerialLine::SetCallObserver(CallObserver observer) {
  std::lock_guard lock(mutex_);
  observer_ = std::move(observer);
}

void FakeSerialLine::Inject(std::span<const std::uint8_t> bytes, std::chrono::milliseconds delay) {
  if (bytes.empty()) return;
  {
    std::lock_guard lock(mutex_);
    if (device_ == nullptr) return;
    if (immediateInput_ && delay.count() <= 0 && pending_.empty()) {
      // Into the queue at once; after a hang-up nothing arrives any more.
      if (hangUpPending_ || device_->hungUp_) return;
      device_->Raise(device_->queue_.Append(bytes));
      return;
    }
    Pending item{std::chrono::steady_clock::now() + delay,
                 std::vector<std::uint8_t>(bytes.begin(), bytes.end())};
    // Keep arrival order: after every item due no later than this one.
    auto pos = std::upper_bound(pending_.begin(), pending_.end(), item.due,
                                [](const TimePoint& due, const Pending& p) { return due < p.due; });
    pending_.insert(pos, std::move(item));
  }
  deviceWake_.notify_all();
}

void FakeSerialLine::Inject(std::string_view bytes, std::chrono::milliseconds delay) {
  Inject(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
         delay);
}

void FakeSerialLine::SetImmediateInput(bool on) {
  std::lock_guard lock(mutex_);
  immediateInput_ = on;
}

void FakeSerialLine::InjectErrors(std::uint32_t errors) {
  std::lock_guard lock(mutex_);
  injectedErrors_ |= errors;
}

void FakeSerialLine::HangUp() {
  {
    std::lock_guard lock(mutex_);
    if (device_ == nullptr) return;
    hangUpPending_ = true;
  }
  deviceWake_.notify_all();
}

bool FakeSerialLine::IsOpen() const {
  std::lock_guard lock(mutex_);
  return device_ != nullptr;
}

int FakeSerialLine::OpenCount() const {
  std::lock_guard lock(mutex_);
  return openCount_;
}

bool FakeSerialLine::Dtr() const {
  std::lock_guard lock(mutex_);
  return dtr_;
}

bool FakeSerialLine::Rts() const {
  std::lock_guard lock(mutex_);
  return rts_;
}

SerialLineSettings FakeSerialLine::Settings() const {
  std::lock_guard lock(mutex_);
  return settings_;
}

SerialTimeouts FakeSerialLine::Timeouts() const {
  std::lock_guard lock(mutex_);
  return timeouts_;
}

std::vector<FakeSerialLine::Call> FakeSerialLine::Calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

std::vector<FakeSerialLine::Call> FakeSerialLine::CallsOf(Call::Kind kind) const {
  std::lock_guard lock(mutex_);
  std::vector<Call> out;
  for (const Call& c : calls_) {
    if (c.kind == kind) out.push_back(c);
  }
  return out;
}

std::vector<std::uint8_t> FakeSerialLine::Written() const {
  std::lock_guard lock(mutex_);
  return written_;
}

void FakeSerialLine::ClearCalls() {
  std::lock_guard lock(mutex_);
  calls_.clear();
}

void FakeSerialLine::ClearWritten() {
  std::lock_guard lock(mutex_);
  written_.clear();
}

bool FakeSerialLine::WaitForWritten(std::size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] { return written_.size() >= count; });
}

bool FakeSerialLine::WaitForCalls(Call::Kind kind, std::size_t count,
                                  std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [&] {
    return static_cast<std::size_t>(std::count_if(calls_.begin(), calls_.end(),
                                                  [&](const Call& c) { return c.kind == kind; })) >= count;
  });
}

int FakeSerialLine::Attach(FakeSerialDevice* device, int& err) {
  Call call;
  call.kind = Call::Kind::Open;
  int result;
  {
    std::lock_guard lock(mutex_);
    result = openResult_;
    err = result == SerialStatus::Ok ? 0 : openErrno_;
    if (result == SerialStatus::Ok && device_ != nullptr) result = SerialStatus::AccessDenied;
    if (result == SerialStatus::Ok) {
      device_ = device;
      ++openCount_;
      ++attachCount_;
      hangUpPending_ = false;
      pending_.clear();
      // The kernel raises both modem lines when a port opens.
      dtr_ = true;
      rts_ = true;
    }
  }
  call.result = result;
  Record(std::move(call));
  return result;
}

void FakeSerialLine::Detach(FakeSerialDevice* device) {
  {
    std::lock_guard lock(mutex_);
    if (device_ != device) return;
    device_ = nullptr;
    pending_.clear();
    hangUpPending_ = false;
    // Dropped on close, as the hang-up-on-close setting does.
    dtr_ = false;
    rts_ = false;
  }
  Call call;
  call.kind = Call::Kind::Close;
  Record(std::move(call));
}

void FakeSerialLine::Record(Call call) {
  call.time = std::chrono::steady_clock::now();
  CallObserver observer;
  {
    std::lock_guard lock(mutex_);
    switch (call.kind) {
      case Call::Kind::Configure:
        settings_ = call.settings;
        break;
      case Call::Kind::SetTimeouts:
        timeouts_ = call.timeouts;
        break;
      case Call::Kind::SetDtr:
        dtr_ = call.on;
        break;
      case Call::Kind::SetRts:
        rts_ = call.on;
        break;
      case Call::Kind::Write:
        written_.insert(written_.end(), call.data.begin(), call.data.end());
        writtenTotal_ += call.data.size();
        break;
      default:
        break;
    }
    calls_.push_back(call);
    observer = observer_;
  }
  changed_.notify_all();
  if (observer) observer(*this, call);
}

void FakeSerialLine::RespondTo(std::span<const std::uint8_t> written) {
  Responder responder;
  {
    std::lock_guard lock(mutex_);
    responder = responder_;
  }
  if (responder) responder(*this, written);
}

void FakeSerialLine::DriveLines(int dtr, int rts) {
  std::lock_guard lock(mutex_);
  if (dtr >= 0) dtr_ = dtr != 0;
  if (rts >= 0) rts_ = rts != 0;
}

std::uint32_t FakeSerialLine::ModemStatusBits() const {
  std::lock_guard lock(mutex_);
  return modemStatus_;
}

std::uint32_t FakeSerialLine::TakeInjectedErrors() {
  std::lock_guard lock(mutex_);
  return std::exchange(injectedErrors_, 0u);
}
