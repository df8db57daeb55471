#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <span>
#include <thread>

#include "platform/queued_serial_device.h"

// A queue-backed serial line on one non-blocking file descriptor (a
// terminal device or a socket), served by one I/O thread per open.
//
// This class owns the descriptor's lifetime around the backend: it starts
// the I/O thread, wakes it through an eventfd, runs the blocking write loop
// (write what the line takes, then wait for the descriptor to take more
// until the write time-out ends, a TxAbort purge, a hang-up or Close), and
// tears everything down in Close, letting a woken writer leave before the
// descriptor is released.
//
// A backend supplies the I/O thread's body (Run), how bytes go out
// (WriteAvailable) and how the descriptor is released (ReleaseLine). Its
// destructor must call Close() while its overrides still exist.
class FdSerialDevice : public QueuedSerialDevice {
 public:
  int Close() override;
  bool IsOpen() const override;
  int Write(std::span<const std::uint8_t> data, int& transferred) override;

 protected:
  FdSerialDevice() = default;

  // Takes over the open descriptor `fd`: makes the wake-up eventfds, resets
  // the per-open state and starts the I/O thread. On failure `fd` is closed
  // and the SerialStatus code returned.
  int StartLine(int fd);

  // The I/O thread's body, from StartLine until it sees the stop request.
  virtual void Run() = 0;
  // Hands the line what it takes now of data[done..] and advances `done`.
  // Returns Ok to go on (the write then waits until the descriptor takes
  // more) or the failure that ends the write.
  virtual int WriteAvailable(std::span<const std::uint8_t> data, std::size_t& done) = 0;
  // Whether written bytes wait for the I/O thread to pass them on.
  virtual bool OutputWaiting() { return false; }
  // Releases the descriptor at Close, after the I/O thread has stopped and
  // writers have left; returns the first failure.
  virtual int ReleaseLine() = 0;

  enum class LineWait {
    Ready,   // `revents` holds what the line reported (0: woken, timed out or interrupted)
    Failed,  // poll itself failed
    Stop,    // Close asked the thread to end
  };
  // The I/O thread's wait: polls the line for `events` (not at all when
  // `watchLine` is false) and the wake-up eventfd, for at most `timeoutMs`
  // (-1: no limit).
  LineWait WaitForLine(bool watchLine, short events, int timeoutMs, short& revents);
  // Nudges the I/O thread out of its wait.
  void Wake();
  // Ends every blocked write, which returns the count it has so far.
  void AbortWriters();
  // Serves the TxAbort and RxAbort bits of a purge.
  void AbortTransfers(std::uint32_t purgeFlags);
  // The line is gone: reads of an empty queue and writes fail from now on,
  // blocked ones end. The caller raises SerialEvent::HangUp.
  void MarkHungUp();

  int fd_ = -1;
  // Bytes were written while TxEmpty is in the mask; the I/O thread raises
  // TxEmpty once they have left.
  std::atomic<bool> txPending_{false};
  // Held by the I/O thread from taking the queue's generation until its
  // append, and by an input purge, so bytes read before a purge are dropped.
  std::mutex rxMutex_;

 private:
  int wakeFd_ = -1;     // stops and nudges the I/O thread
  int txAbortFd_ = -1;  // wakes a blocked writer
  std::atomic<std::uint64_t> txAbortCount_{0};
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex writersMutex_;  // lets Close wait for a writer woken by it
  std::condition_variable writersDone_;
  int activeWriters_ = 0;
};
