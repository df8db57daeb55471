#pragma once

#include <QString>
#include <memory>

#include "tools/devsim/model_server.h"

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
// Stop and Vanish close the terminal: the host sees a hang-up.
class PtyServer : public ModelServer {
 public:
  explicit PtyServer(std::shared_ptr<DeviceModel> model);
  ~PtyServer() override;

  // Creates the pseudo-terminal and starts serving. Returns false (with a
  // reason in `error`) when the terminal cannot be made. Starting a running
  // server does nothing; starting a stopped or vanished one makes a new
  // terminal with a new path.
  bool Start(QString* error = nullptr);

  // The path the host opens (e.g. /dev/pts/7); empty before Start.
  QString SlavePath() const;

 private:
  const char* OpenTerminal();
  void Serve() override;
  void CloseTransport() override;

  std::unique_ptr<PtyPair> pty_;
  int master_ = -1;  // the pair's master fd while it is open
  QString slavePath_;
};
