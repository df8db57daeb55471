#include "tools/devsim/fake_line_server.h"

#include <poll.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "platform/fake_serial_line.h"
#include "tools/devsim/model_line.h"

FakeLineServer::FakeLineServer(std::shared_ptr<DeviceModel> model, std::shared_ptr<FakeSerialLine> line)
    : ModelServer(std::move(model)), line_(std::move(line)) {}

FakeLineServer::~FakeLineServer() { Stop(); }

void FakeLineServer::Start() {
  StartServing(nullptr, [this] { return ObserveLine(); });
}

const char* FakeLineServer::ObserveLine() {
  if (!line_) return "no line";
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
  return nullptr;
}

void FakeLineServer::Stop() {
  std::lock_guard control(control_);
  if (line_) line_->SetCallObserver(nullptr);
  StopThread();
}

void FakeLineServer::Serve() {
  std::vector<std::uint8_t> due;
  while (KeepServing()) {
    const Clock::time_point now = Clock::now();
    due.clear();
    modelLine_->TakeDue(now, due);
    if (!due.empty()) line_->Inject(std::span<const std::uint8_t>(due));
    TickIfDue(now);
    std::optional<Clock::time_point> deadline = modelLine_->NextDue();
    if (const auto tick = NextTick()) deadline = deadline ? std::min(*deadline, *tick) : *tick;
    pollfd fd{WakeFd(), POLLIN, 0};
    timespec timeout{};
    if (deadline) timeout = ToTimespec(*deadline - Clock::now());
    if (::ppoll(&fd, 1, deadline ? &timeout : nullptr, nullptr) > 0) DrainWake();
  }
}

void FakeLineServer::OnVanished() { line_->HangUp(); }
