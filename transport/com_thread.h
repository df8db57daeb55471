#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "transport/com_types.h"

class TCustomComPort;

// The event dispatch of an open port. The port's device watches the line on
// its own I/O thread and reports event bits; this object hands them to the
// port's event steps according to the port's SyncMethod:
// - smThreadSync: one queued call to the port's thread per batch of events
//   (events arriving before it runs join it); it never waits for that thread;
// - smWindowSync: one queued call per event, in dispatch order, run only
//   while the port is connected;
// - smNone: the steps run on a dispatch thread of this object (never inside
//   the device's I/O callback, which must not block).
// Queued calls carry the port's open generation, so nothing runs after the
// port was closed. A hang-up is reported once to the port's removal listeners.
class TComThread {
 public:
  // Installs the event mask of the port's Events and starts dispatching.
  explicit TComThread(TCustomComPort* port);
  // Stops dispatching and waits for the dispatch thread.
  ~TComThread();
  TComThread(const TComThread&) = delete;
  TComThread& operator=(const TComThread&) = delete;

  // Stops dispatching: no step starts after this returns (except one that is
  // already running on the dispatch thread, which the destructor waits for).
  void Stop();

  // Conversion between events and the line's event bits (SerialEvent).
  static std::uint32_t EventsToMask(TComEvents events);
  static TComEvents MaskToEvents(std::uint32_t mask);
  static std::uint32_t EventBit(TComEvent event);
  // Error, RxChar, TxEmpty, Break, Ring, CTS, DSR, RxFlag, RLSD, Rx80Full.
  static const std::array<TComEvent, 10>& DispatchOrder();

 private:
  struct Shared;

  // Runs the steps of `events` in dispatch order; a failing step is logged.
  static void Dispatch(TCustomComPort* port, TComEvents events);
  static void RunStep(TCustomComPort* port, TComEvent event);
  void RunPending();

  TCustomComPort* port_;
  std::shared_ptr<Shared> shared_;
};
