#pragma once

#include <QString>
#include <cstdint>
#include <exception>
#include <functional>

class QObject;
class TComPort;
class TRingBuffer;

// The serial port handling the device drivers share: the 8N1 line, the
// logging of line events and the quiet teardown of a port.
class DriverPort {
 public:
  using LogLine = std::function<void(const QString& line)>;
  using Failure = std::function<void(const std::exception& error)>;

  // No parity, eight data bits, one stop bit.
  static void SetLine8N1(TComPort& port);

  // Logs "COMERROR EVENT", "COM-BREAK EVENT" and "COM-FLAG EVENT" through `log`.
  static void LogLineEvents(TComPort& port, const LogLine& log);

  // Reads take whatever is queued at once, without waiting.
  static void SetReadQueuedAtOnce(TComPort& port);

  // The ring buffer received bytes wait in for the parser, owned by `owner`.
  static TRingBuffer* CreateRing(QObject* owner, std::uint32_t count);

  // The port's input queue length; 0 when asking fails (the failure goes to `onFailure`).
  static int InputCount(TComPort& port, const Failure& onFailure);

  // Empties the port's input and/or output queues; a failure goes to `onFailure`.
  static void ClearBuffers(TComPort& port, bool input, bool output, const Failure& onFailure);

  // Detaches every handler so no driver event is raised, closes the port
  // (a failing close goes to `onFailure`; the port's dispatch is stopped in
  // any case) and deletes it.
  static void Dispose(TComPort* port, const Failure& onFailure);
};
