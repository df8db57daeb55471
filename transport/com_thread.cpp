#include "transport/com_thread.h"

#include <QMetaObject>
#include <QtGlobal>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "platform/logger.h"
#include "platform/serial_device.h"
#include "transport/com_port_error.h"
#include "transport/custom_com_port.h"

// State shared between the port's thread, the device's I/O thread (through
// the event callback) and, with smNone, the dispatch thread.
struct TComThread::Shared {
  std::mutex mutex;
  std::condition_variable wake;
  TCustomComPort* port = nullptr;  // null once stopped
  TSyncMethod method = smThreadSync;
  std::uint64_t generation = 0;
  std::uint32_t mask = 0;
  std::uint32_t pending = 0;
  bool posted = false;
  bool hangUpReported = false;
  std::atomic<bool> stop{false};
  std::thread worker;

  // Called on the device's I/O thread; never blocks for longer than the lock.
  void Deliver(std::uint32_t bits);
};

namespace {

struct MaskEntry {
  TComEvent event;
  std::uint32_t bit;
};

constexpr MaskEntry kMaskTable[] = {
    {evRxChar, SerialEvent::RxChar},     {evTxEmpty, SerialEvent::TxEmpty}, {evRxFlag, SerialEvent::RxFlag},
    {evRing, SerialEvent::Ring},         {evBreak, SerialEvent::Break},     {evCTS, SerialEvent::Cts},
    {evDSR, SerialEvent::Dsr},           {evError, SerialEvent::Err},       {evRLSD, SerialEvent::Rlsd},
    {evRx80Full, SerialEvent::Rx80Full},
};

}  // namespace

std::uint32_t TComThread::EventBit(TComEvent event) {
  for (const MaskEntry& e : kMaskTable) {
    if (e.event == event) return e.bit;
  }
  return 0;
}

std::uint32_t TComThread::EventsToMask(TComEvents events) {
  std::uint32_t mask = 0;
  for (const MaskEntry& e : kMaskTable) {
    if (events.Contains(e.event)) mask |= e.bit;
  }
  return mask;
}

TComEvents TComThread::MaskToEvents(std::uint32_t mask) {
  TComEvents events;
  for (const MaskEntry& e : kMaskTable) {
    if (mask & e.bit) events.Include(e.event);
  }
  return events;
}

const std::array<TComEvent, 10>& TComThread::DispatchOrder() {
  static const std::array<TComEvent, 10> order = {evError, evRxChar, evTxEmpty, evBreak, evRing,
                                                  evCTS,   evDSR,    evRxFlag,  evRLSD,  evRx80Full};
  return order;
}

void TComThread::Shared::Deliver(std::uint32_t bits) {
  std::lock_guard<std::mutex> lock(mutex);
  // The port is alive while `port` is set: it clears it under this lock
  // before it closes or goes away.
  TCustomComPort* const p = port;
  if (p == nullptr) return;
  const std::uint64_t gen = generation;

  if ((bits & SerialEvent::HangUp) != 0 && !hangUpReported) {
    hangUpReported = true;
    QMetaObject::invokeMethod(
        p,
        [p, gen] {
          if (p->openGeneration_ == gen && p->connected_) p->RemovedNotice();
        },
        Qt::QueuedConnection);
  }

  bits &= mask;
  if (bits == 0) return;

  switch (method) {
    case smThreadSync:
      pending |= bits;
      if (!posted) {
        posted = true;
        QMetaObject::invokeMethod(
            p,
            [p, gen] {
              if (p->openGeneration_ == gen && p->comThread_) p->comThread_->RunPending();
            },
            Qt::QueuedConnection);
      }
      break;
    case smWindowSync:
      for (TComEvent event : DispatchOrder()) {
        if ((bits & EventBit(event)) == 0) continue;
        QMetaObject::invokeMethod(
            p,
            [p, gen, event] {
              if (p->openGeneration_ == gen && p->connected_) RunStep(p, event);
            },
            Qt::QueuedConnection);
      }
      break;
    case smNone:
      pending |= bits;
      wake.notify_one();
      break;
  }
}

TComThread::TComThread(TCustomComPort* port) : port_(port), shared_(std::make_shared<Shared>()) {
  shared_->port = port;
  shared_->method = port->SyncMethod();
  shared_->generation = port->openGeneration_;
  shared_->mask = EventsToMask(port->Events());

  if (shared_->method == smNone) {
    std::shared_ptr<Shared> s = shared_;
    shared_->worker = std::thread([s, port] {
      for (;;) {
        std::uint32_t bits = 0;
        {
          std::unique_lock<std::mutex> lock(s->mutex);
          s->wake.wait(lock, [&] { return s->stop.load() || s->pending != 0; });
          if (s->stop.load()) return;
          bits = s->pending;
          s->pending = 0;
        }
        const TComEvents events = MaskToEvents(bits);
        for (TComEvent event : DispatchOrder()) {
          if (s->stop.load()) return;
          if (events.Contains(event)) RunStep(port, event);
        }
      }
    });
  }

  if (SerialDevice* device = port->Device()) {
    std::shared_ptr<Shared> s = shared_;
    device->SetEventMask(shared_->mask);
    device->SetEventCallback([s](std::uint32_t bits) { s->Deliver(bits); });
  }
}

TComThread::~TComThread() {
  Stop();
  if (shared_->worker.joinable()) {
    if (shared_->worker.get_id() == std::this_thread::get_id()) {
      // Closed from a handler running on the dispatch thread itself: that
      // thread ends on its own once the handler returns.
      shared_->worker.detach();
    } else {
      shared_->worker.join();
    }
  }
  if (SerialDevice* device = port_->Device()) {
    // Nothing is reported any more, and whatever was still queued in both
    // directions is discarded (a device that is gone may refuse; that is fine).
    device->SetEventMask(0);
    device->Purge(SerialPurge::TxClear | SerialPurge::RxClear);
  }
}

void TComThread::Stop() {
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->port = nullptr;
    shared_->stop.store(true);
    shared_->pending = 0;
  }
  shared_->wake.notify_all();
  std::this_thread::yield();
}

void TComThread::RunPending() {
  std::uint32_t bits = 0;
  {
    std::lock_guard<std::mutex> lock(shared_->mutex);
    shared_->posted = false;
    bits = shared_->pending;
    shared_->pending = 0;
  }
  Dispatch(port_, MaskToEvents(bits));
}

void TComThread::Dispatch(TCustomComPort* port, TComEvents events) {
  // A handler may close the port: the remaining steps of this wake-up then
  // belong to a closed port and do not run.
  const std::uint64_t gen = port->openGeneration_;
  for (TComEvent event : DispatchOrder()) {
    if (port->openGeneration_ != gen) return;
    if (events.Contains(event)) RunStep(port, event);
  }
}

void TComThread::RunStep(TCustomComPort* port, TComEvent event) {
  try {
    port->EventStep(event);
  } catch (const EComPort& e) {
    Logger::Warning(port->Port(), QStringLiteral("serial event %1 failed: %2").arg(event).arg(e.Details()));
  } catch (const std::exception& e) {
    Logger::Warning(port->Port(),
                    QStringLiteral("serial event %1 handler failed: %2").arg(event).arg(e.what()));
  } catch (...) {
    Logger::Warning(port->Port(), QStringLiteral("serial event %1 handler failed").arg(event));
  }
}
