#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "tools/devsim/device_model.h"

class ModelLine;

// Serves a device model as an RFC 2217 access server on 127.0.0.1, one
// client at a time (a second client is accepted and closed at once).
//
// The client's baud rate, DTR, RTS, parity and purges reach the model as
// line changes; its data reaches the model only while the client's baud
// rate is the model's. The model's output is paced at its line rate. When
// the client disconnects, DTR and RTS fall and parity returns to none, as
// when a port is closed; the server then waits for the next client.
//
// Start, Stop, Vanish and Access may be called from any thread; the model is
// only ever called under the server's lock.
class Rfc2217Server {
 public:
  explicit Rfc2217Server(std::shared_ptr<DeviceModel> model);
  ~Rfc2217Server();
  Rfc2217Server(const Rfc2217Server&) = delete;
  Rfc2217Server& operator=(const Rfc2217Server&) = delete;

  // Listens on 127.0.0.1:`port` (0 picks a free port) and starts serving.
  // Returns false (with a reason in `error`) when the port cannot be bound.
  bool Start(std::uint16_t port = 0, QString* error = nullptr);
  // Stops serving: the connection and the listening socket are closed.
  void Stop();
  bool IsRunning() const;

  // The port listened on (valid after Start).
  std::uint16_t Port() const;
  // "rfc2217://127.0.0.1:<port>".
  QString Url() const;
  // Whether a client is connected now.
  bool HasClient() const;

  // The device disappears: the connection drops and no new one is
  // accepted. Must not be called from inside the model (the model calls
  // DeviceLink::Vanish instead).
  void Vanish();
  bool Vanished() const;

  std::shared_ptr<DeviceModel> Model() const { return model_; }
  // Runs `fn` with the model and its link under the server's lock.
  void Access(const std::function<void(DeviceModel&, DeviceLink&)>& fn);

 private:
  class Connection;
  void Run();
  void StopThread();
  void CloseSockets();
  void WakeThread();

  std::shared_ptr<DeviceModel> model_;
  std::unique_ptr<ModelLine> line_;
  mutable std::mutex control_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> running_{false};
  std::atomic<bool> vanished_{false};
  std::atomic<bool> hasClient_{false};
  int listenFd_ = -1;
  int wakeFd_ = -1;
  std::uint16_t port_ = 0;
};
