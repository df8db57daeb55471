#pragma once

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>

#include "tools/devsim/model_server.h"

// Serves a device model as an RFC 2217 access server on 127.0.0.1, one
// client at a time (a second client is accepted and closed at once).
//
// The client's baud rate, DTR, RTS, parity and purges reach the model as
// line changes; its data reaches the model only while the client's baud
// rate is the model's. The model's output is paced at its line rate. When
// the client disconnects, DTR and RTS fall and parity returns to none, as
// when a port is closed; the server then waits for the next client.
//
// Stop closes the connection and the listening socket; Vanish drops the
// connection and accepts no new one.
class Rfc2217Server : public ModelServer {
 public:
  explicit Rfc2217Server(std::shared_ptr<DeviceModel> model);
  ~Rfc2217Server() override;

  // Listens on 127.0.0.1:`port` (0 picks a free port) and starts serving.
  // Returns false (with a reason in `error`) when the port cannot be bound.
  bool Start(std::uint16_t port = 0, QString* error = nullptr);

  // The port listened on (valid after Start).
  std::uint16_t Port() const;
  // "rfc2217://127.0.0.1:<port>".
  QString Url() const;
  // Whether a client is connected now.
  bool HasClient() const;

 private:
  class Connection;
  const char* Listen(std::uint16_t port);
  void Serve() override;
  void CloseTransport() override;

  std::atomic<bool> hasClient_{false};
  int listenFd_ = -1;
  std::uint16_t port_ = 0;
};
