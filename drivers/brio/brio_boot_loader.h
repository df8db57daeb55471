#pragma once

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

// The two Brio device generations differ in a few loader details (extra
// settling sleeps, information-segment numbers, how the loader is left).
enum class TBrioGeneration { First, Second };

// What a Brio driver lends the bootstrap-loader engine: its own exchange
// (with that driver's tries, resync and log lines), the line's controls and
// its sleeps. Each driver implements it for its generation.
class TBrioLoaderLink {
 public:
  virtual ~TBrioLoaderLink() = default;

  virtual TBrioGeneration LoaderGeneration() const = 0;
  virtual bool LoaderPortOpen() const = 0;
  // One exchange of the driver: sends `request` and waits for `expected`
  // bytes within `timeoutMs` (per try of the driver's exchange). Gives the
  // bytes that came: `expected` of them on success, fewer or none otherwise.
  virtual QByteArray LoaderExchange(const QByteArray& request, int timeoutMs, int expected) = 0;
  // Sends `request` without waiting for an answer.
  virtual void LoaderSend(const QByteArray& request) = 0;
  // DTR control enabled: the line's DTR goes high and stays high.
  virtual void LoaderEnableDtr() = 0;
  // Even parity (the loader's 8E1) or none (the firmware's 8N1).
  virtual void LoaderSetEvenParity(bool even) = 0;
  // Clears both queues of the port.
  virtual void LoaderClearQueues() = 0;
  virtual void LoaderSleep(int ms) = 0;
  virtual void LoaderLog(const QString& text) = 0;
};

// The client of the microcontroller's serial bootstrap loader, shared by
// both Brio drivers: frames, checksum and the loader operations. Each
// operation reports success by its result and one log line.
//
// The engine sends a password only when it is given one of the right size;
// the writers check that the images they use were read from the device in
// this connection before they start the loader at all.
class TBrioBootLoader {
 public:
  static constexpr std::uint8_t kSync = 0x80;
  static constexpr std::uint8_t kAck = 0x90;
  static constexpr std::uint8_t kNak = 0xA0;
  static constexpr std::uint8_t kReceivePassword = 0x10;
  static constexpr std::uint8_t kProgram = 0x12;
  static constexpr std::uint8_t kRead = 0x14;
  static constexpr std::uint8_t kErase = 0x16;
  static constexpr std::uint8_t kLoadPc = 0x1A;
  static constexpr std::uint16_t kPasswordAddress = 0xFFE0;
  static constexpr int kPasswordSize = 32;
  // The length byte L1 covers the four address/argument bytes and the data.
  static constexpr int kMaxBlockSize = 255 - 4;

  explicit TBrioBootLoader(TBrioLoaderLink& link) : link_(link) {}

  // Progress of a programming sequence: the caller names how many loader
  // steps it will take (starting the loader, the password, each erased
  // segment, each block programmed or read back, the restart); every step
  // that succeeds reports (done, total). A step repeated after a failure
  // counts again, but done never passes total.
  using ProgressHandler = std::function<void(int done, int total)>;
  void SetProgress(int totalSteps, ProgressHandler handler);
  int StepsDone() const { return stepsDone_; }

  // The inverted 16-bit XOR of `frame` read as little-endian words (an odd
  // length is completed with a zero byte); sent low byte first.
  static std::uint16_t BootloaderChecksum(std::span<const std::uint8_t> frame);
  // 80, command, L1, L2, address, argument, data, checksum.
  static QByteArray BuildFrame(std::uint8_t command, std::uint16_t address, std::uint16_t argument,
                               std::span<const std::uint8_t> data = {});
  // The address a segment number names; nullopt for a number the generation
  // does not know.
  static std::optional<std::uint16_t> SegmentAddress(int segment, TBrioGeneration generation);
  // The data of a read reply (80, dummy, n, n, data, checksum) when its
  // header, lengths and checksum hold; nullopt otherwise.
  static std::optional<QByteArray> ParseReadReply(const QByteArray& reply, int n);

  bool StartBootloader();
  bool BootloaderSync();
  // `vectorImage` is the device's interrupt-vector table, 32 bytes, read in
  // this connection; any other size sends nothing.
  bool SendBootloaderPassword(std::span<const std::uint8_t> vectorImage);
  bool EraseSegment(int segment);
  // Stops at the first segment that fails.
  bool EraseSegments(std::span<const int> segments);
  bool ProgramBlock(std::uint16_t address, std::span<const std::uint8_t> data);
  // The n bytes at `address`, verified; empty when no verified reply came.
  QByteArray ReadBlock(std::uint16_t address, int n);
  bool LoadProgramCounter(std::uint16_t address);
  // Back to the firmware's framing (no parity).
  void RestoreParity();

  // Try counts and time-outs per operation.
  static constexpr int kStartTries = 21;
  static constexpr int kStartTimeoutMs = 10;
  static constexpr int kSyncTries = 26;
  static constexpr int kSyncTimeoutMs = 50;
  static constexpr int kPasswordTries = 21;
  static constexpr int kPasswordTimeoutMs = 500;
  static constexpr int kEraseTries = 4;
  static constexpr int kEraseTimeoutMs = 1000;
  static constexpr int kProgramTries = 4;
  static constexpr int kProgramTimeoutMs = 5000;
  static constexpr int kReadTries = 4;
  static constexpr int kReadTimeoutMs = 1000;
  // Quiet time after an unverified read reply before the next try.
  static constexpr int kReadSettleMs = 50;
  static constexpr int kLoadPcTries = 4;
  static constexpr int kLoadPcTimeoutMs = 500;

 private:
  // Sends `request` until a lone ACK answers, at most `tries` times.
  bool SendUntilAck(const QByteArray& request, int timeoutMs, int tries);
  void LogResult(const QString& text, bool ok);
  // Counts one step when `ok`; gives `ok`.
  bool Step(bool ok);

  TBrioLoaderLink& link_;
  ProgressHandler progress_;
  int stepsTotal_ = 0;
  int stepsDone_ = 0;
};
