#pragma once

#include <memory>

#include "tools/devsim/model_server.h"

class FakeSerialLine;

// Serves a device model in-process on a FakeSerialLine: what the device
// under test writes goes to the model (at the model's baud rate only), the
// model's output is injected into the line at the line rate, and DTR, RTS,
// parity, baud rate and purges reach the model as they are set, which a
// pseudo-terminal cannot carry.
//
// The server installs itself as the line's call observer while it runs.
// When the device vanishes the line hangs up (see FakeSerialLine::HangUp).
class FakeLineServer : public ModelServer {
 public:
  FakeLineServer(std::shared_ptr<DeviceModel> model, std::shared_ptr<FakeSerialLine> line);
  ~FakeLineServer() override;

  void Start();
  // Stops serving; the line keeps its state and is no longer observed.
  void Stop() override;

  std::shared_ptr<FakeSerialLine> Line() const { return line_; }

 private:
  const char* ObserveLine();
  void Serve() override;
  void OnVanished() override;

  std::shared_ptr<FakeSerialLine> line_;
};
