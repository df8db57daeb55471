#pragma once

#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "tools/devsim/device_model.h"

class ModelLine;
class PtyPair;

// Serves a device model on a pseudo-terminal: the host opens SlavePath() as
// its serial port.
//
// The server makes the slave raw before anything else and keeps a slave fd
// of its own open, so the host may close and reopen the port at will. Its
// thread reads the host's bytes and the host's line rate (through the
// master) and hands the bytes to the model only when that rate is the
// model's; rate changes reach the model's OnHostBaudRate. Purges the host
// makes are reported to OnPurge. The model's output is paced at its line
// rate. A pseudo-terminal carries no modem lines and no parity.
//
// Start, Stop, Vanish and Access may be called from any thread; the model is
// only ever called under the server's lock.
class PtyServer {
 public:
  explicit PtyServer(std::shared_ptr<DeviceModel> model);
  ~PtyServer();
  PtyServer(const PtyServer&) = delete;
  PtyServer& operator=(const PtyServer&) = delete;

  // Creates the pseudo-terminal and starts serving. Returns false (with a
  // reason in `error`) when the terminal cannot be made. Starting a running
  // server does nothing; starting a stopped or vanished one makes a new
  // terminal with a new path.
  bool Start(QString* error = nullptr);
  // Stops serving and closes the terminal (the host sees a hang-up).
  void Stop();
  bool IsRunning() const;

  // The path the host opens (e.g. /dev/pts/7); empty before Start.
  QString SlavePath() const;

  // The device disappears: the master is closed and the host sees a
  // hang-up. Must not be called from inside the model (the model calls
  // DeviceLink::Vanish instead).
  void Vanish();
  // True once the device vanished (by Vanish or by the model).
  bool Vanished() const;

  std::shared_ptr<DeviceModel> Model() const { return model_; }
  // Runs `fn` with the model and its link under the server's lock, e.g. to
  // change the model's behaviour or inspect its state from a test.
  void Access(const std::function<void(DeviceModel&, DeviceLink&)>& fn);

 private:
  void Run();
  void StopThread();
  void CloseFds();
  void WakeThread();

  std::shared_ptr<DeviceModel> model_;
  std::unique_ptr<ModelLine> line_;
  mutable std::mutex control_;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> running_{false};
  std::atomic<bool> vanished_{false};
  std::unique_ptr<PtyPair> pty_;
  int master_ = -1;  // the pair's master fd while it is open
  int wakeFd_ = -1;
  QString slavePath_;
};
