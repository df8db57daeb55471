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

#include "tools/devsim/brio_boot_loader.h"
#include "tools/devsim/brio_memory.h"
#include "tools/devsim/brio_profiles.h"
#include "tools/devsim/device_model.h"
#include "tools/devsim/model_faults.h"
#include "tools/devsim/streaming_device_model.h"

// Misbehaviour a Brio device can be told to show, beyond the faults every
// family shares (there "request" also means a loader frame, and silence
// still carries requests out). All off by default.
struct BrioFaults : ModelFaults {
  // Input does not stop the stream.
  bool ignoreStreamStop = false;
  // Vanishes in the middle of programming once this many more flash bytes
  // were programmed (the block in progress is written only that far); 0 = off.
  std::int64_t vanishAfterProgrammedBytes = 0;
  // The loader answers the next N frames with NAK without carrying them out.
  int nakLoaderFrames = 0;
  // Second generation: the next N "9WAIT" get no answer.
  int ignoreWait = 0;
};

struct BrioOptions {
  // Powered without DTR (a pseudo-terminal cannot carry DTR).
  bool externalPower = false;
  // Bytes sent at the wrong parity (application 8N1, loader 8E1) are line
  // noise to the device, and what it sends is lost to a host at the wrong
  // parity. Off for a pseudo-terminal, which cannot carry parity.
  bool checkParity = true;
  // Time from power-up until the firmware listens.
  int bootMs = 50;
  // Second generation: how long after the start "9WAIT" is answered.
  int waitWindowMs = 1500;
  // A burst frame every this many milliseconds while the line keeps up.
  int framePeriodMs = 20;
  bool tripleSync = false;
  // Each burst value rises by one per frame (modulo 100), so frames differ.
  bool rampBurstValues = true;
  // A request whose bytes stop coming is dropped after this pause.
  int requestTimeoutMs = 100;
  // A lone 0x80 in the loader is a SYNC after this pause.
  int syncGapMs = 3;
  // A wrong loader password erases all flash.
  bool massEraseOnBadPassword = true;
};

enum class BrioRequestOutcome {
  Answered,     // the reply was queued (faults may have changed it)
  NoReply,      // a request the protocol does not answer, carried out
  Ignored,      // not understood, or not now (no reply, no effect)
  BadFrame,     // loader frame with bad length or checksum: NAK
  Refused,      // loader frame refused (password, argument): NAK
  Incomplete,   // the rest never came
  NotAnswered,  // a fault kept the device quiet
  Vanished,     // the device vanished on it
};

struct BrioRequestRecord {
  std::vector<std::uint8_t> bytes;
  QString name;
  bool loader = false;
  BrioRequestOutcome outcome = BrioRequestOutcome::Answered;
  std::vector<std::uint8_t> reply;  // as the device meant it, before faults
  DeviceModel::Clock::time_point time{};
};

struct BrioSentFrame {
  std::uint64_t index = 0;
  std::vector<std::uint16_t> values;  // in channel order
  bool tripleSync = false;
  bool spoiled = false;
  bool truncated = false;
  DeviceModel::Clock::time_point time{};
};

// What both Brio generations share: power from DTR with a boot time, the
// line's parity (8N1 for the firmware, 8E1 for the loader), the hand-over to
// the bootstrap loader and back, flash and RAM, burst streaming of memory
// words after power-up, the request parser, paced replies and faults.
// A generation supplies its command table (ArgumentCount, Execute).
//
// Every public method is thread-safe; the server calls the DeviceModel
// overrides from its thread.
class BrioDeviceModel
    : public StreamingDeviceModel<BrioFaults, BrioOptions, BrioRequestRecord, BrioSentFrame> {
 public:
  enum class Mode { Off, Booting, Application, Loader };

  ~BrioDeviceModel() override;

  // DeviceModel.
  QString Name() const override;
  int BaudRate() const override { return 9600; }
  void OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) override;
  void OnDtr(bool on, DeviceLink& link) override;
  void OnParity(SerialLineSettings::Parity parity, DeviceLink& link) override;
  void Tick(Clock::time_point now, DeviceLink& link) override;
  bool WantsTicks() const override;

  // Options, the clock, the faults, the request log and the sent frames:
  // see StreamingDeviceModel.
  const BrioProfile& Profile() const { return profile_; }

  Mode CurrentMode() const;
  bool PasswordAccepted() const;
  // When the firmware last started (valid once it ran).
  Clock::time_point StartedAt() const;

  std::vector<std::uint8_t> ReadMemory(std::uint16_t address, std::size_t length) const;
  // The flash segments as they are now (after the loader wrote them, too):
  // configuration 0x1000 and calibration 0x1080, 128 bytes each.
  std::vector<std::uint8_t> Configuration() const;
  std::vector<std::uint8_t> Calibration() const;
  void WriteMemory(std::uint16_t address, std::span<const std::uint8_t> bytes);
  std::uint64_t ErasedSegments() const;
  std::uint64_t ProgrammedBytes() const;
  BrioLiveValues LiveValues() const;
  // New live values, put into RAM at once when the firmware runs.
  void SetLiveValues(const BrioLiveValues& values);

  // Bytes that arrived while the device was off, booting or listening at
  // the other parity.
  std::uint64_t LostBytes() const;
  // Replies lost because the host listened at the other parity.
  std::uint64_t LostReplyBytes() const;

  // Builds the profile, options and faults from command-line options shared
  // by both generations (see OptionsHelp); false with a reason on error.
  static bool ParseOptions(const QStringList& options, int generation, BrioProfile& profile,
                           BrioOptions& opts, BrioFaults& faults,
                           std::vector<std::pair<std::uint16_t, std::uint8_t>>& pokes, QString* error);
  static QString OptionsHelp(int generation);
  // Makes a model of `generation` from its command-line options.
  template <class Model>
  static std::unique_ptr<Model> CreateFromOptions(int generation, const QStringList& options,
                                                  QString* error) {
    BrioProfile profile = BrioProfiles::Default(generation);
    BrioOptions opts;
    BrioFaults faults;
    std::vector<std::pair<std::uint16_t, std::uint8_t>> pokes;
    if (!ParseOptions(options, generation, profile, opts, faults, pokes, error)) return nullptr;
    auto model = std::make_unique<Model>(profile, opts);
    model->SetFaults(faults);
    for (const auto& [address, value] : pokes)
      model->WriteMemory(address, std::span<const std::uint8_t>(&value, 1));
    return model;
  }

 protected:
  BrioDeviceModel(const BrioProfile& profile, const BrioOptions& options, int infoSegmentSize);

  // What a complete request does; the derived generation fills it in.
  struct Outcome {
    QString name;
    BrioRequestOutcome outcome = BrioRequestOutcome::Answered;
    std::vector<std::uint8_t> reply;
    bool enterLoader = false;
  };
  // Argument bytes after a command byte; -1 when the byte starts no request.
  virtual int ArgumentCount(std::uint8_t first) const = 0;
  virtual Outcome Execute(std::span<const std::uint8_t> request, Clock::time_point now) = 0;
  // The firmware starts (RAM was cleared): RAM defaults and live values.
  virtual void StartFirmware(Clock::time_point now) = 0;
  // Puts the live values into RAM.
  virtual void WriteLiveValues() = 0;
  // The hand-over command 3F 01 02 03 04 both generations understand.
  static Outcome EnterLoaderRequest(std::span<const std::uint8_t> request);
  virtual std::vector<std::uint16_t> ConfiguredBurst() const = 0;

  // Under mutex_ (derived classes call these from Execute / StartFirmware).
  BrioMemory& Memory() { return memory_; }
  const BrioMemory& Memory() const { return memory_; }
  const BrioLiveValues& Live() const { return live_; }
  BrioLiveValues& MutableLive() { return live_; }
  BrioFaults& MutableFaults() { return faults_; }
  const BrioOptions& Opts() const { return options_; }

  void ClockReplaced() override;
  void FaultsReplaced() override;

 private:
  struct PendingReply {
    Clock::time_point due;
    std::vector<std::uint8_t> bytes;
    bool loaderParity;
  };

  void Advance(Clock::time_point now, DeviceLink& link);
  void PowerUp(Clock::time_point now);
  void PowerDown(DeviceLink& link);
  void Start(Clock::time_point now);
  void EnterLoader();
  bool ParityMatches() const;
  // Drops a request whose bytes stopped coming, logged as incomplete.
  void ExpireRequest(Clock::time_point now);
  void ParseByte(std::uint8_t byte, Clock::time_point now, DeviceLink& link);
  void FinishRequest(Clock::time_point now, DeviceLink& link);
  void HandleLoaderSteps(std::vector<BrioLoaderStep>& steps, Clock::time_point now, DeviceLink& link);
  // Applies the request-level faults; false when the request is not to be
  // answered (the record's outcome says why) or the device vanished.
  bool PassesRequestFaults(BrioRequestRecord& record, DeviceLink& link);
  void QueueReply(std::vector<std::uint8_t> reply, Clock::time_point now, DeviceLink& link);
  void Emit(std::span<const std::uint8_t> bytes, bool loaderParity, DeviceLink& link);
  void StreamFrames(Clock::time_point now, DeviceLink& link);
  void DoVanish(DeviceLink& link);

  BrioProfile profile_;
  BrioMemory memory_;
  BrioBootLoader loader_;
  BrioLiveValues live_;

  Mode mode_ = Mode::Off;
  Clock::time_point bootAt_{};
  Clock::time_point startedAt_{};
  SerialLineSettings::Parity hostParity_ = SerialLineSettings::Parity::None;

  std::vector<std::uint8_t> request_;
  std::size_t requestLength_ = 0;
  Clock::time_point lastInput_{};

  std::deque<PendingReply> delayed_;

  std::vector<std::uint16_t> streamChannels_;

  std::uint64_t lostBytes_ = 0;
  std::uint64_t lostReplyBytes_ = 0;
};
