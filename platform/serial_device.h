#pragma once

#include <QString>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

// Line settings applied by SerialDevice::Configure. Numeric values follow the
// classic serial API the port component is modelled on.
struct SerialLineSettings {
  enum class Parity { None = 0, Odd = 1, Even = 2, Mark = 3, Space = 4 };
  enum class StopBits { One = 0, OneAndHalf = 1, Two = 2 };
  enum class DtrControl { Disable = 0, Enable = 1, Handshake = 2 };
  enum class RtsControl { Disable = 0, Enable = 1, Handshake = 2, Toggle = 3 };

  int baudRate = 9600;
  int dataBits = 8;  // 5..8
  Parity parity = Parity::None;
  StopBits stopBits = StopBits::One;
  bool parityCheck = false;
  bool outCtsFlow = false;
  bool outDsrFlow = false;
  bool dsrSensitivity = false;
  bool txContinueOnXoff = false;
  bool xonXoffOut = false;
  bool xonXoffIn = false;
  char xonChar = 17;
  char xoffChar = 19;
  DtrControl dtrControl = DtrControl::Disable;
  RtsControl rtsControl = RtsControl::Disable;
  bool discardNull = false;
  char eventChar = 0;
  int xonLimit = 0;
  int xoffLimit = 0;
};

// Read and write time-outs in milliseconds, with the classic semantics:
// kMaxDword stands for "MAXDWORD" (the value -1 of the port component).
struct SerialTimeouts {
  static constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;
  std::uint32_t readInterval = kMaxDword;
  std::uint32_t readTotalMultiplier = 0;
  std::uint32_t readTotalConstant = 0;
  std::uint32_t writeTotalMultiplier = 100;
  std::uint32_t writeTotalConstant = 1000;
};

// Event bits, equal to the classic EV_* constants.
namespace SerialEvent {
inline constexpr std::uint32_t RxChar = 0x0001;
inline constexpr std::uint32_t RxFlag = 0x0002;
inline constexpr std::uint32_t TxEmpty = 0x0004;
inline constexpr std::uint32_t Cts = 0x0008;
inline constexpr std::uint32_t Dsr = 0x0010;
inline constexpr std::uint32_t Rlsd = 0x0020;
inline constexpr std::uint32_t Break = 0x0040;
inline constexpr std::uint32_t Err = 0x0080;
inline constexpr std::uint32_t Ring = 0x0100;
inline constexpr std::uint32_t Rx80Full = 0x0400;
// Not a classic event: the line hung up or the device disappeared.
// Reported once per open, whatever the event mask.
inline constexpr std::uint32_t HangUp = 0x80000000u;
}  // namespace SerialEvent

// Purge flags, equal to the classic PURGE_* constants.
namespace SerialPurge {
inline constexpr std::uint32_t TxAbort = 0x0001;
inline constexpr std::uint32_t RxAbort = 0x0002;
inline constexpr std::uint32_t TxClear = 0x0004;
inline constexpr std::uint32_t RxClear = 0x0008;
}  // namespace SerialPurge

// Modem status bits, equal to the classic MS_* constants.
namespace SerialModem {
inline constexpr std::uint32_t Cts = 0x0010;
inline constexpr std::uint32_t Dsr = 0x0020;
inline constexpr std::uint32_t Ring = 0x0040;
inline constexpr std::uint32_t Rlsd = 0x0080;
}  // namespace SerialModem

// Line error bits, equal to the classic CE_* constants.
namespace SerialLineError {
inline constexpr std::uint32_t RxOver = 0x0001;
inline constexpr std::uint32_t Overrun = 0x0002;
inline constexpr std::uint32_t RxParity = 0x0004;
inline constexpr std::uint32_t Frame = 0x0008;
inline constexpr std::uint32_t Break = 0x0010;
inline constexpr std::uint32_t TxFull = 0x0100;
inline constexpr std::uint32_t IOE = 0x0400;
inline constexpr std::uint32_t Mode = 0x8000;
}  // namespace SerialLineError

// Status codes returned by SerialDevice operations: 0 is success; the other
// codes follow the classic system codes the port component shows in its
// messages. They never carry an errno: a failure that comes from a system
// call keeps its errno beside the code (SerialDevice::TakeLastErrno), so
// EINVAL (22) is never read as BadCommand (22).
namespace SerialStatus {
inline constexpr int Ok = 0;
inline constexpr int NotFound = 2;        // no such port
inline constexpr int AccessDenied = 5;    // port in use or access denied
inline constexpr int InvalidHandle = 6;   // the port is not open
inline constexpr int NotReady = 21;       // the device is not open
inline constexpr int BadCommand = 22;     // device not responding or gone
inline constexpr int SystemFailure = 31;  // any other system failure (see the errno)
inline constexpr int InvalidParameter = 87;
// Maps an errno value to its code: ENOENT, ENODEV, ENXIO -> NotFound; EBUSY,
// EWOULDBLOCK, EACCES, EPERM -> AccessDenied; EIO (a line that hung up) ->
// BadCommand; every other errno -> SystemFailure.
int FromErrno(int err);
}  // namespace SerialStatus

// One serial line, below the port component. Implementations: a real tty,
// an RFC 2217 network port, and an in-process fake for tests.
//
// Every implementation keeps its own input queue fed by its own I/O thread,
// so bytes keep arriving while the owner is busy. All methods are called
// from the owner's thread; the event callback is called from the I/O thread
// and must not block.
class SerialDevice {
 public:
  using EventCallback = std::function<void(std::uint32_t events)>;

  virtual ~SerialDevice() = default;

  // Opens the line named by `path` (a device path, "rfc2217://host:port",
  // or a fake's name). Returns a SerialStatus code.
  virtual int Open(const QString& path) = 0;
  // Runs every teardown step even when one fails (stop the I/O thread, wake
  // blocked transfers, release the line) and returns the first failure.
  virtual int Close() = 0;
  virtual bool IsOpen() const = 0;

  virtual int Configure(const SerialLineSettings& settings) = 0;
  virtual int SetTimeouts(const SerialTimeouts& timeouts) = 0;
  // Capacity of the input queue in bytes (the output size may be ignored).
  virtual int SetQueueSizes(int inputSize, int outputSize) = 0;

  // Blocking transfers under the time-outs; `transferred` gets the byte
  // count even when the time-out ended the transfer (which is no failure).
  virtual int Read(std::span<std::uint8_t> buffer, int& transferred) = 0;
  virtual int Write(std::span<const std::uint8_t> data, int& transferred) = 0;

  virtual int InputCount(int& count) = 0;
  virtual int OutputCount(int& count) = 0;
  // Reads and clears the accumulated SerialLineError bits.
  virtual int CommErrors(std::uint32_t& errors) = 0;
  virtual int ModemStatus(std::uint32_t& status) = 0;
  virtual int Purge(std::uint32_t flags) = 0;
  virtual int SetDtr(bool on) = 0;
  virtual int SetRts(bool on) = 0;

  // Which SerialEvent bits to report; 0 reports nothing but HangUp.
  virtual void SetEventMask(std::uint32_t mask) = 0;
  // Called on the I/O thread with the bits that occurred (never blocks).
  virtual void SetEventCallback(EventCallback callback) = 0;

  // A streaming line: the I/O thread leaves at least `ms` between two reads
  // of the line, so a steady stream is handed on in batches (0: every chunk
  // as it comes). Backends without their own read loop ignore it.
  virtual void SetInputBatchInterval(int ms) { (void)ms; }
  // When the newest queued byte arrived (epoch when none yet).
  virtual std::chrono::steady_clock::time_point LastArrival() const { return {}; }
  // The errno behind the last failed operation, or 0 when that failure came
  // from no system call; reading clears it. The owner takes it after every
  // failure it reports, so it always belongs to that failure. A device that
  // wraps another hands on the inner one's.
  virtual int TakeLastErrno() { return lastErrno_.exchange(0); }

  // Makes the device that TComPort opens for `path`: "rfc2217://host:port"
  // gives an RFC 2217 client, a name registered with FakeSerialDevice gives
  // that fake, anything else a tty.
  static std::unique_ptr<SerialDevice> CreateFor(const QString& path);

 protected:
  // Keeps `err` for TakeLastErrno and returns its status code.
  int FailWithErrno(int err);

 private:
  std::atomic<int> lastErrno_{0};
};
