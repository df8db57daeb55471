#pragma once

#include <QString>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string_view>
#include <vector>

#include "platform/serial_device.h"

class FakeSerialDevice;

// The far end of a FakeSerialDevice, held by a test or an emulator.
//
// Register it under a name (FakeSerialDevice::Register) and every device
// that SerialDevice::CreateFor makes for that name is bound to it. The line
// records every call the device receives, takes scripted input (delivered by
// the device's I/O thread, raising RxChar as a real line would), can answer
// written bytes through a responder, and can fail opens or hang up.
class FakeSerialLine : public std::enable_shared_from_this<FakeSerialLine> {
 public:
  using TimePoint = std::chrono::steady_clock::time_point;

  struct Call {
    enum class Kind { Open, Close, Configure, SetTimeouts, SetQueueSizes, SetDtr, SetRts, Purge, Write };
    Kind kind = Kind::Open;
    TimePoint time{};
    int result = SerialStatus::Ok;   // Open: the status it returned
    SerialLineSettings settings{};   // Configure
    SerialTimeouts timeouts{};       // SetTimeouts
    bool on = false;                 // SetDtr, SetRts
    std::uint32_t flags = 0;         // Purge
    int inputSize = 0;               // SetQueueSizes
    int outputSize = 0;              // SetQueueSizes
    std::vector<std::uint8_t> data;  // Write
  };

  // Sees the bytes of every write (on the writer's thread, after the call
  // was recorded); it may Inject a reply.
  using Responder = std::function<void(FakeSerialLine& line, std::span<const std::uint8_t> written)>;
  // Sees every recorded call (on the caller's thread, after recording).
  using CallObserver = std::function<void(FakeSerialLine& line, const Call& call)>;

  static std::shared_ptr<FakeSerialLine> Create();
  ~FakeSerialLine();

  // Result of the next opens: SerialStatus::Ok (default), NotFound (2),
  // AccessDenied (5) or any other code. A line takes one open at a time; a
  // second open while one is active fails with AccessDenied.
  void SetOpenResult(int status);
  // The next opens fail as a system call failing with `err` would: with the
  // status SerialStatus::FromErrno(err) and `err` kept by the device (0
  // lets them succeed again).
  void SetOpenErrno(int err);
  // Modem status bits (SerialModem) that ModemStatus reports.
  void SetModemStatus(std::uint32_t status);
  void SetResponder(Responder responder);
  void SetCallObserver(CallObserver observer);
  // With `on`, input injected without a delay (while nothing is pending)
  // goes into the open device's input queue before Inject returns, on the
  // injecting thread, instead of through the device's I/O thread: a reply
  // given by the responder can then be read as soon as the write returns.
  // A write's TxEmpty event is then raised on the writing thread too, and
  // a read returns at once with what is queued while nothing is pending
  // (the line is taken to be driven by the reading thread alone).
  // For single-threaded exchanges that must not wait for a thread hand-off,
  // such as fuzzing a driver's exchanges.
  void SetImmediateInput(bool on);

  // Input as if it arrived on the line now (or after `delay`). Bytes
  // injected while no device is open are dropped, as on a closed port.
  void Inject(std::span<const std::uint8_t> bytes,
              std::chrono::milliseconds delay = std::chrono::milliseconds(0));
  void Inject(std::string_view bytes, std::chrono::milliseconds delay = std::chrono::milliseconds(0));
  // Line errors (SerialLineError bits) the device reports from CommErrors.
  void InjectErrors(std::uint32_t errors);
  // The device disappears: the open device reports HangUp once and its
  // transfers fail with SerialStatus::BadCommand. The next opens succeed
  // again unless SetOpenResult says otherwise.
  void HangUp();

  bool IsOpen() const;
  int OpenCount() const;
  bool Dtr() const;
  bool Rts() const;
  SerialLineSettings Settings() const;
  SerialTimeouts Timeouts() const;
  std::vector<Call> Calls() const;
  std::vector<Call> CallsOf(Call::Kind kind) const;
  // Every byte written since the last ClearWritten, in order.
  std::vector<std::uint8_t> Written() const;
  void ClearCalls();
  void ClearWritten();
  // Waits (bounded) until Written() holds at least `count` bytes.
  bool WaitForWritten(std::size_t count, std::chrono::milliseconds timeout) const;
  // Waits (bounded) until a call of `kind` has been recorded `count` times.
  bool WaitForCalls(Call::Kind kind, std::size_t count, std::chrono::milliseconds timeout) const;

 private:
  friend class FakeSerialDevice;
  FakeSerialLine() = default;

  struct Pending {
    TimePoint due;
    std::vector<std::uint8_t> bytes;
  };

  // Device side.
  // Returns the open's status; `err` gets the errno of a scripted failure.
  int Attach(FakeSerialDevice* device, int& err);
  void Detach(FakeSerialDevice* device);
  void Record(Call call);
  void RespondTo(std::span<const std::uint8_t> written);
  // Sets the modem output lines without recording a call (-1 keeps one).
  void DriveLines(int dtr, int rts);
  std::uint32_t ModemStatusBits() const;
  std::uint32_t TakeInjectedErrors();

  mutable std::mutex mutex_;
  // Wakes waiters for recorded calls and written bytes.
  mutable std::condition_variable changed_;
  // Wakes the device's I/O thread: input, a hang-up, a stop, a TxEmpty.
  std::condition_variable deviceWake_;
  FakeSerialDevice* device_ = nullptr;
  int openResult_ = SerialStatus::Ok;
  int openErrno_ = 0;
  int openCount_ = 0;
  std::uint32_t modemStatus_ = 0;
  std::uint32_t injectedErrors_ = 0;
  bool dtr_ = false;
  bool rts_ = false;
  bool hangUpPending_ = false;
  SerialLineSettings settings_{};
  SerialTimeouts timeouts_{};
  std::vector<Call> calls_;
  std::vector<std::uint8_t> written_;
  std::size_t writtenTotal_ = 0;
  std::deque<Pending> pending_;
  std::uint64_t attachCount_ = 0;
  Responder responder_;
  CallObserver observer_;
  bool immediateInput_ = false;
};
