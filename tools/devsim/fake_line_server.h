#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "tools/devsim/device_model.h"

class FakeSerialLine;
class ModelLine;

// Serves a device model in-process on a FakeSerialLine: what the device
// under test writes goes to the model (at the model's baud rate only), the
// model's output is injected into the line at the line rate, and DTR, RTS,
// parity, baud rate and purges reach the model as they are set, which a
// pseudo-terminal cannot carry.
//
// The server installs itself as the line's call observer while it runs.
// Start, Stop, Vanish and Access may be called from any thread.
class FakeLineServer {
 public:
  FakeLineServer(std::shared_ptr<DeviceModel> model, std::shared_ptr<FakeSerialLine> line);
  ~FakeLineServer();
  FakeLineServer(const FakeLineServer&) = delete;
  FakeLineServer& operator=(const FakeLineServer&) = delete;

  void Start();
  void Stop();
  bool IsRunning() const;

  // The device disappears: the line hangs up (see FakeSerialLine::HangUp).
  // Must not be called from inside the model (it calls DeviceLink::Vanish).
  void Vanish();
  bool Vanished() const;

  std::shared_ptr<DeviceModel> Model() const { return model_; }
  std::shared_ptr<FakeSerialLine> Line() const { return line_; }
  void Access(const std::function<void(DeviceModel&, DeviceLink&)>& fn);

 private:
  void Run();
  void StopThread();
  void WakeThread();

  std::shared_ptr<DeviceModel> model_;
  std::shared_ptr<FakeSerialLine> line_;
  std::shared_ptr<ModelLine> modelLine_;
  mutable std::mutex control_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> running_{false};
  std::atomic<bool> vanished_{false};
  int wakeFd_ = -1;
};
