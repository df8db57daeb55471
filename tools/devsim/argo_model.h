#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "tools/devsim/argo_profiles.h"
#include "tools/devsim/device_model.h"
#include "tools/devsim/model_faults.h"
#include "tools/devsim/streaming_device_model.h"

// Misbehaviour the device can be told to show, beyond the faults every
// family shares (ignoreRequests and vanishAfterRequests count only requests
// addressed to this device with a good checksum). All off by default.
struct ArgoFaults : ModelFaults {
  // Random bytes sent in the middle of each reply (a reply fault).
  int noiseInsideReply = 0;
  // The stop command is answered but the stream goes on.
  bool ignoreBurstStop = false;
};

// What became of a request.
enum class ArgoRequestOutcome {
  Answered,        // the reply was queued (faults may have changed it)
  BadChecksum,     // checksum byte wrong: ignored
  OtherAddress,    // addressed to another bus address, or unprefixed on a bus
  UnknownCommand,  // not a command of this firmware: ignored, and the device
                   // waits for a pause in the input before it listens again
  BadArgument,     // index or group out of range: ignored
  Incomplete,      // the rest of the request never came
  NotAnswered,     // a fault kept the device quiet
  Vanished,        // the device vanished on it
};

struct ArgoRequestRecord {
  std::vector<std::uint8_t> bytes;  // as received: prefix and checksum included
  int address = -1;                 // bus address of the prefix; -1 without one
  std::uint8_t command = 0;
  QString name;  // operation, e.g. "GetEmissivity", "SetBurstMode"
  ArgoRequestOutcome outcome = ArgoRequestOutcome::Answered;
  std::vector<std::uint8_t> reply;  // the reply as the device meant it, before faults
  DeviceModel::Clock::time_point time{};
};

struct ArgoSentFrame {
  std::uint64_t index = 0;                // counts every frame the device sent
  int channels = 0;                       // values carried
  std::array<std::uint16_t, 8> values{};  // slot order; unused slots 0
  bool tripleSync = false;
  bool spoiled = false;    // stream noise follows it: the host cannot take it
  bool truncated = false;  // cut short by a vanish
  DeviceModel::Clock::time_point time{};
};

// Run-time options of the device.
struct ArgoOptions {
  int baudRate = 115200;
  // On an RS485 bus the device answers only requests prefixed with its own
  // address; off the bus it answers unprefixed requests and those prefixed
  // with its address.
  bool onBus = false;
  // A new frame is sampled every this many microseconds while the line
  // keeps up; at a slower line the stream runs at the line rate.
  int framePeriodUs = 1000;
  // A third sync byte ahead of every frame.
  bool tripleSync = false;
  // Streams from power-up, as if the start command had come.
  bool burstAtStart = false;
  // Each burst value rises by one per frame (modulo 100) above the live
  // value, so consecutive frames differ.
  bool rampBurstValues = true;
  // A request whose bytes stop coming is dropped after this pause.
  int requestTimeoutMs = 100;
  // After an unknown command the device ignores input until it pauses this
  // long.
  int resyncPauseMs = 20;
};

// Emulation of the single-colour pyrometer family and its ratio model on a
// serial line: the command table with its firmware differences, RS485
// addressing, burst streaming and faults on command. Written from the wire
// protocol alone.
//
// The model is driven by its server's thread; every public method is
// thread-safe, so a test may read the logs and change state or faults while
// the device is being served.
class ArgoModel : public StreamingDeviceModel<ArgoFaults, ArgoOptions, ArgoRequestRecord, ArgoSentFrame> {
 public:
  explicit ArgoModel(const ArgoProfile& profile = ArgoProfiles::Default(), const ArgoOptions& options = {});
  ~ArgoModel() override;

  // Options: --profile NAME, --firmware N, --serial N, --address N (on a
  // bus), --baud N, --frame-period-us N, --triple-sync, --burst-on-start,
  // --no-ramp, and the faults --silent, --late MS, --short N, --extra N,
  // --noise N, --ignore-stop, --vanish-after-bytes N,
  // --vanish-after-requests N. Returns null and sets `error` when an option
  // is unknown or its value invalid.
  static std::unique_ptr<ArgoModel> Create(const QStringList& options, QString* error);
  static QString OptionsHelp();

  // DeviceModel.
  QString Name() const override;
  int BaudRate() const override;
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;
  void Tick(Clock::time_point now, DeviceLink& link) override;
  bool WantsTicks() const override;

  // Options, the clock, the faults, the request log and the sent frames:
  // see StreamingDeviceModel.
  QString ProfileName() const;
  void SetBaudRate(int baud);
  void SetFramePeriodUs(int us);
  void SetTripleSync(bool on);

  ArgoDeviceState State() const;
  void SetState(const ArgoDeviceState& state);

  std::size_t RequestCount() const;
  // Idle bytes (0x00) received where a request could start.
  std::uint64_t IdleBytes() const;
  // Stream bytes sent, over all streams.
  std::uint64_t StreamBytesSent() const;

 public:
  struct Command;

 private:
  enum class Action { None, BurstStart, BurstStop, StoreFactory };
  struct PendingReply {
    Clock::time_point due;
    std::vector<std::uint8_t> bytes;
  };
  enum class ParseState { Idle, Arguments, Discarding };

  void ExpireInput(Clock::time_point now);
  void ParseByte(std::uint8_t byte, Clock::time_point now, DeviceLink& link);
  void FinishRequest(Clock::time_point now, DeviceLink& link);
  void AbandonRequest(ArgoRequestOutcome outcome, Clock::time_point now);
  const Command* FindCommand(std::uint8_t code) const;
  bool Available(const Command& command) const;
  // Carries out a complete request on `s`; returns false when its arguments
  // are out of range (no reply). Sets `name` to the operation and `action`
  // to what the device must do beyond its state.
  bool Execute(const Command& command, std::span<const std::uint8_t> args, ArgoDeviceState& s,
               std::vector<std::uint8_t>& reply, QString& name, Action& action);
  void QueueReply(std::vector<std::uint8_t> reply, Clock::time_point now, DeviceLink& link);
  void Emit(std::span<const std::uint8_t> bytes, DeviceLink& link);
  void StartStream(Clock::time_point now);
  void StreamFrames(Clock::time_point now, DeviceLink& link);
  std::uint16_t ChannelValue(std::uint8_t code, std::uint64_t index) const;
  void DoVanish(DeviceLink& link);

  QString profileName_;
  ArgoDeviceState state_;
  ArgoDeviceState factory_;  // what the restore-factory command brings back
  ArgoDeviceState initial_;  // the power-up state

  // Request parser.
  ParseState parse_ = ParseState::Idle;
  int pendingAddress_ = -1;  // address of a prefix seen, waiting for its command
  std::vector<std::uint8_t> request_;
  const Command* command_ = nullptr;
  std::size_t requestLength_ = 0;
  int requestAddress_ = -1;
  Clock::time_point lastInput_{};

  std::deque<PendingReply> delayed_;

  // Stream.
  std::vector<std::uint8_t> streamSlots_;
  bool streamNeedsStart_ = false;

  std::uint64_t idleBytes_ = 0;
};

// Puts "argo" (ArgoModel::Create) into the ModelRegistry; safe to call more
// than once. The emulator program gets it without calling.
bool RegisterArgoModel();
