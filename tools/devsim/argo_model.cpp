#include "tools/devsim/argo_model.h"

#include <algorithm>
#include <cmath>

#include "tools/devsim/argo_wire.h"
#include "tools/devsim/devsim_options.h"
#include "tools/devsim/emissivity_scene.h"
#include "tools/devsim/model_registry.h"

using namespace ArgoWire;

namespace {

// Which firmware (and model) carries a command.
enum class Avail {
  Always,
  NotRatio,                // single-colour firmware only
  NotRatioOrExtended,      // single-colour, or ratio with extended alarms
  RatioExtended,           // ratio with extended alarms (5013..5099)
  Ratio,                   // ratio firmware (5001..5999)
  Ratio5014,               // ratio from 5014 on
  Ratio5016,               // ratio from 5016 on
  PanelLock,               // from 1011
  ModelInfo,               // 1023 and later, not 2000..2022
  SingleColourHysteresis,  // single-colour with the alarm-hysteresis flag
};

// With a surface in view, the object temperature is what the device makes of
// it at the emissivity set.
void ApplyScene(ArgoDeviceState& s) {
  if (s.sceneTemp == 0) return;
  s.objectTemp = EncodeTemperature(
      EmissivityScene::ShownTemperature(DecodeTemperature(s.sceneTemp), s.sceneEmissivity / 1000.0,
                                        s.emissivity / 1000.0, DecodeTemperature(s.internalTemp)));
}

}  // namespace

struct ArgoModel::Command {
  std::uint8_t code;
  std::uint8_t args;   // argument bytes after the code (without the checksum)
  std::uint8_t reply;  // reply bytes
  Avail avail;
};

namespace {

using Command = ArgoModel::Command;

// The command table. A code may appear twice when its layout differs
// between single-colour and ratio firmware; the first entry whose firmware
// condition holds is taken.
// clang-format off
constexpr Command kCommands[] = {
    {0x01, 0, 2, Avail::Always},  {0x02, 0, 2, Avail::Always},  {0x03, 0, 2, Avail::Always},
    {0x81, 0, 2, Avail::Always},
    {0x04, 0, 2, Avail::Always},  {0x84, 2, 2, Avail::Always},
    {0x05, 0, 2, Avail::Always},  {0x85, 2, 2, Avail::Always},
    {0x06, 0, 2, Avail::Always},  {0x86, 2, 2, Avail::Always},
    {0x07, 0, 2, Avail::Always},  {0x87, 2, 2, Avail::Always},
    {0x08, 0, 2, Avail::Always},  {0x88, 2, 2, Avail::Always},
    {0x09, 0, 1, Avail::Always},  {0x89, 1, 1, Avail::Always},
    {0x0A, 0, 2, Avail::NotRatioOrExtended}, {0x8A, 2, 2, Avail::NotRatioOrExtended},
    {0x0B, 0, 2, Avail::NotRatioOrExtended}, {0x8B, 2, 2, Avail::NotRatioOrExtended},
    {0x0C, 0, 2, Avail::NotRatio}, {0x8C, 2, 2, Avail::NotRatio},
    {0x0C, 0, 2, Avail::RatioExtended}, {0x8C, 2, 2, Avail::RatioExtended},
    {0x0D, 0, 2, Avail::NotRatio}, {0x8D, 2, 2, Avail::NotRatio},
    {0x0D, 0, 1, Avail::RatioExtended}, {0x8D, 1, 1, Avail::RatioExtended},
    {0x0E, 0, 3, Avail::Always},  {0x0F, 0, 2, Avail::Always},
    {0x10, 0, 1, Avail::Always},  {0x90, 1, 1, Avail::Always},
    {0x8F, 0, 1, Avail::Always},
    {0x11, 0, 2, Avail::Always},  {0x91, 2, 2, Avail::Always},
    {0x12, 0, 2, Avail::Always},  {0x92, 2, 2, Avail::Always},
    {0x13, 0, 1, Avail::Always},  {0x93, 1, 1, Avail::Always},
    {0x14, 0, 2, Avail::Always},  {0x94, 2, 2, Avail::Always},
    {0x15, 0, 1, Avail::Always},  {0x95, 1, 1, Avail::Always},
    {0x16, 0, 1, Avail::Always},  {0x96, 1, 1, Avail::Always},
    {0x17, 0, 1, Avail::Always},  {0x97, 1, 1, Avail::Always},
    {0x18, 0, 2, Avail::Always},  {0x98, 2, 2, Avail::Always},
    {0x19, 0, 2, Avail::Always},  {0x99, 2, 2, Avail::Always},
    {0x1A, 0, 1, Avail::Always},  {0x9A, 1, 1, Avail::Always},
    {0x1B, 0, 1, Avail::Always},  {0x9B, 1, 1, Avail::Always},
    {0x1C, 0, 1, Avail::Always},  {0x9C, 1, 1, Avail::Always},
    {0x1D, 0, 1, Avail::Always},  {0x9D, 1, 1, Avail::Always},
    {0x1E, 0, 2, Avail::Always},  {0x9E, 2, 2, Avail::Always},
    {0x9F, 2, 2, Avail::Always},  {0xA0, 2, 2, Avail::Always},  {0xA1, 1, 1, Avail::Always},
    {0x22, 0, 2, Avail::Always},  {0xA2, 2, 2, Avail::Always},
    {0x23, 1, 3, Avail::Always},  {0xA3, 3, 3, Avail::Always},
    {0x24, 1, 4, Avail::Always},  {0xA4, 4, 4, Avail::Always},
    {0x25, 0, 1, Avail::Always},  {0xA5, 1, 1, Avail::Always},
    {0x26, 0, 2, Avail::Always},  {0xA6, 2, 2, Avail::Always},
    {0x27, 0, 2, Avail::Always},  {0xA7, 2, 2, Avail::Always},
    {0x28, 1, 2, Avail::Always},  {0xA8, 2, 2, Avail::Always},
    {0x2A, 0, 18, Avail::Always},
    {0x2B, 0, 2, Avail::Always},  {0xAB, 2, 2, Avail::Always},
    {0x2C, 0, 2, Avail::Always},  {0xAC, 2, 2, Avail::Always},
    {0x43, 0, 1, Avail::PanelLock}, {0x44, 1, 1, Avail::PanelLock},
    {0x45, 0, 6, Avail::ModelInfo},
    {0x4A, 1, 1, Avail::SingleColourHysteresis},
    {0x4A, 2, 2, Avail::Ratio5016}, {0x4B, 2, 2, Avail::Ratio5016},
    {0x4C, 2, 2, Avail::Ratio5014}, {0x4D, 2, 2, Avail::Ratio5014},
    {0x4E, 2, 2, Avail::Ratio5014}, {0x4F, 2, 2, Avail::Ratio5014},
    {0x50, 0, 4, Avail::Always},  {0x51, 4, 4, Avail::Always},  {0x52, 1, 1, Avail::Always},
    {0x56, 4, 4, Avail::Ratio},   {0x57, 4, 4, Avail::Ratio},
    {0x58, 2, 2, Avail::Ratio},   {0x59, 2, 2, Avail::Ratio},   {0x5A, 2, 2, Avail::Ratio},
    {0x5B, 2, 2, Avail::Ratio},   {0x5C, 2, 2, Avail::Ratio},   {0x5D, 2, 2, Avail::Ratio},
    {0x5E, 4, 4, Avail::Ratio},   {0x5F, 4, 4, Avail::Ratio},
    {0x62, 0, 2, Avail::Ratio},   {0x63, 0, 2, Avail::Ratio},   {0x64, 0, 2, Avail::Ratio},
    {0x65, 3, 1, Avail::Ratio},
    {0x68, 2, 2, Avail::Ratio},   {0x69, 2, 2, Avail::Ratio},   {0x6A, 3, 3, Avail::Ratio},
    {0x6B, 2, 2, Avail::Ratio},   {0x6C, 1, 1, Avail::Ratio},   {0x6D, 2, 2, Avail::Ratio},
    {0x6E, 1, 20, Avail::Ratio},  {0x6F, 21, 20, Avail::Ratio},
    {0x72, 1, 1, Avail::Ratio},   {0x73, 1, 1, Avail::Ratio},
    {0x80, 1, 1, Avail::Ratio},
};
// clang-format on

constexpr std::uint8_t kAck = 0x01;

std::uint16_t ArgWord(std::span<const std::uint8_t> args, std::size_t at) {
  return Word(args[at], args[at + 1]);
}

std::uint32_t ArgLong(std::span<const std::uint8_t> args) {
  return (std::uint32_t(args[0]) << 24) | (std::uint32_t(args[1]) << 16) | (std::uint32_t(args[2]) << 8) |
         args[3];
}

bool AllBytes(std::span<const std::uint8_t> args, std::uint8_t value) {
  return std::all_of(args.begin(), args.end(), [value](std::uint8_t b) { return b == value; });
}

}  // namespace

ArgoModel::ArgoModel(const ArgoProfile& profile, const ArgoOptions& options)
    : StreamingDeviceModel(options),
      profileName_(profile.name),
      state_(profile.state),
      factory_(profile.state),
      initial_(profile.state) {
  if (options_.burstAtStart) {
    streaming_ = true;
    streamNeedsStart_ = true;
    for (int i = 0; i < ActiveChannelCount(state_.burstSlots); ++i) {
      streamSlots_.push_back(SlotCode(state_.burstSlots, i));
    }
    if (streamSlots_.empty()) streaming_ = false;
  }
}

ArgoModel::~ArgoModel() = default;

QString ArgoModel::Name() const { return QStringLiteral("argo"); }

int ArgoModel::BaudRate() const {
  std::lock_guard lock(mutex_);
  return options_.baudRate;
}

QString ArgoModel::ProfileName() const {
  std::lock_guard lock(mutex_);
  return profileName_;
}

void ArgoModel::SetBaudRate(int baud) {
  std::lock_guard lock(mutex_);
  options_.baudRate = baud;
}

void ArgoModel::SetFramePeriodUs(int us) {
  std::lock_guard lock(mutex_);
  options_.framePeriodUs = std::max(1, us);
}

void ArgoModel::SetTripleSync(bool on) {
  std::lock_guard lock(mutex_);
  options_.tripleSync = on;
}

ArgoDeviceState ArgoModel::State() const {
  std::lock_guard lock(mutex_);
  return state_;
}

void ArgoModel::SetState(const ArgoDeviceState& state) {
  std::lock_guard lock(mutex_);
  state_ = state;
}

std::size_t ArgoModel::RequestCount() const { return requests_.Count(); }

std::uint64_t ArgoModel::IdleBytes() const {
  std::lock_guard lock(mutex_);
  return idleBytes_;
}

std::uint64_t ArgoModel::StreamBytesSent() const {
  std::lock_guard lock(mutex_);
  return stream_.BytesSentLocked();
}

// --- Receiving -------------------------------------------------------------

void ArgoModel::OnReceived(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  std::lock_guard lock(mutex_);
  if (vanished_) return;
  const Clock::time_point now = Now();
  ExpireInput(now);
  lastInput_ = now;
  for (std::uint8_t b : bytes) {
    ParseByte(b, now, link);
    if (vanished_) return;
  }
}

void ArgoModel::ExpireInput(Clock::time_point now) {
  const auto quiet = now - lastInput_;
  if (parse_ == ParseState::Arguments && quiet >= std::chrono::milliseconds(options_.requestTimeoutMs)) {
    AbandonRequest(ArgoRequestOutcome::Incomplete, now);
  }
  if (parse_ == ParseState::Discarding && quiet >= std::chrono::milliseconds(options_.resyncPauseMs)) {
    parse_ = ParseState::Idle;
  }
  if (parse_ == ParseState::Idle && pendingAddress_ >= 0 &&
      quiet >= std::chrono::milliseconds(options_.requestTimeoutMs)) {
    pendingAddress_ = -1;
    request_.clear();
  }
}

void ArgoModel::ParseByte(std::uint8_t byte, Clock::time_point now, DeviceLink& link) {
  switch (parse_) {
    case ParseState::Discarding:
      return;
    case ParseState::Arguments:
      request_.push_back(byte);
      if (request_.size() == requestLength_) FinishRequest(now, link);
      return;
    case ParseState::Idle:
      break;
  }
  if (byte == kIdle) {
    ++idleBytes_;
    pendingAddress_ = -1;
    request_.clear();
    return;
  }
  if (const int address = BusAddressOfPrefix(byte); address >= 0) {
    pendingAddress_ = address;
    request_.assign(1, byte);
    return;
  }
  if (pendingAddress_ < 0) request_.clear();
  request_.push_back(byte);
  requestAddress_ = pendingAddress_;
  pendingAddress_ = -1;
  command_ = FindCommand(byte);
  if (!command_) {
    ArgoRequestRecord record;
    record.bytes = request_;
    record.address = requestAddress_;
    record.command = byte;
    record.name = QStringLiteral("unknown");
    record.outcome = ArgoRequestOutcome::UnknownCommand;
    record.time = now;
    requests_.Add(std::move(record));
    request_.clear();
    parse_ = ParseState::Discarding;
    return;
  }
  const std::size_t prefix = requestAddress_ >= 0 ? 1 : 0;
  requestLength_ = prefix + 1 + command_->args + (CarriesChecksum(byte, command_->args) ? 1 : 0);
  if (request_.size() == requestLength_) {
    FinishRequest(now, link);
  } else {
    parse_ = ParseState::Arguments;
  }
}

void ArgoModel::AbandonRequest(ArgoRequestOutcome outcome, Clock::time_point now) {
  if (!request_.empty()) {
    ArgoRequestRecord record;
    record.bytes = request_;
    record.address = requestAddress_;
    const std::size_t prefix = requestAddress_ >= 0 ? 1 : 0;
    record.command = request_.size() > prefix ? request_[prefix] : 0;
    record.name = QStringLiteral("incomplete");
    record.outcome = outcome;
    record.time = now;
    requests_.Add(std::move(record));
  }
  request_.clear();
  command_ = nullptr;
  parse_ = ParseState::Idle;
}

void ArgoModel::FinishRequest(Clock::time_point now, DeviceLink& link) {
  const Command& command = *command_;
  const std::size_t prefix = requestAddress_ >= 0 ? 1 : 0;
  const std::span<const std::uint8_t> body(request_.data() + prefix, request_.size() - prefix);
  const std::span<const std::uint8_t> args = body.subspan(1, command.args);
  const bool hasChecksum = CarriesChecksum(command.code, command.args);

  ArgoRequestRecord record;
  record.bytes = request_;
  record.address = requestAddress_;
  record.command = command.code;
  record.time = now;
  request_.clear();
  command_ = nullptr;
  parse_ = ParseState::Idle;

  const bool addressed = requestAddress_ < 0 ? !options_.onBus : requestAddress_ == state_.busAddress;
  const bool checksumOk = !hasChecksum || Checksum(body.first(body.size() - 1)) == body.back();

  // The name of what was asked, without touching the device.
  {
    ArgoDeviceState scratch = state_;
    std::vector<std::uint8_t> ignored;
    Action action = Action::None;
    Execute(command, args, scratch, ignored, record.name, action);
  }

  if (!addressed) {
    record.outcome = ArgoRequestOutcome::OtherAddress;
  } else if (!checksumOk) {
    record.outcome = ArgoRequestOutcome::BadChecksum;
  } else if (const auto fault = faults_.TakeRequestFault(); fault == ModelFaults::RequestFault::Vanish) {
    record.outcome = ArgoRequestOutcome::Vanished;
    requests_.Add(std::move(record));
    DoVanish(link);
    return;
  } else if (fault == ModelFaults::RequestFault::Ignore) {
    record.outcome = ArgoRequestOutcome::NotAnswered;
  } else {
    std::vector<std::uint8_t> reply;
    Action action = Action::None;
    if (!Execute(command, args, state_, reply, record.name, action)) {
      record.outcome = ArgoRequestOutcome::BadArgument;
    } else {
      record.reply = reply;
      switch (action) {
        case Action::None:
          break;
        case Action::BurstStart:
          StartStream(now);
          break;
        case Action::BurstStop:
          if (!faults_.ignoreBurstStop) streaming_ = false;
          break;
        case Action::StoreFactory:
          factory_ = state_;
          break;
      }
      if (faults_.silent) {
        record.outcome = ArgoRequestOutcome::NotAnswered;
      } else {
        record.outcome = ArgoRequestOutcome::Answered;
        QueueReply(std::move(reply), now, link);
      }
    }
  }
  requests_.Add(std::move(record));
}

const ArgoModel::Command* ArgoModel::FindCommand(std::uint8_t code) const {
  for (const Command& c : kCommands) {
    if (c.code == code && Available(c)) return &c;
  }
  return nullptr;
}

bool ArgoModel::Available(const Command& command) const {
  const std::uint16_t fw = state_.firmware;
  const bool ratio = IsRatioFirmware(fw);
  switch (command.avail) {
    case Avail::Always:
      return true;
    case Avail::NotRatio:
      return !ratio;
    case Avail::NotRatioOrExtended:
      return !ratio || HasExtendedAlarms(fw);
    case Avail::RatioExtended:
      return ratio && HasExtendedAlarms(fw);
    case Avail::Ratio:
      return ratio;
    case Avail::Ratio5014:
      return ratio && fw >= 5014;
    case Avail::Ratio5016:
      return ratio && fw >= 5016;
    case Avail::PanelLock:
      return HasPanelLock(fw);
    case Avail::ModelInfo:
      return HasModelInfo(fw);
    case Avail::SingleColourHysteresis:
      return !ratio && (state_.modelFlags & ModelFlag::AlarmHysteresis) != 0;
  }
  return false;
}

// --- The command table's behaviour -----------------------------------------

bool ArgoModel::Execute(const Command& command, std::span<const std::uint8_t> args, ArgoDeviceState& s,
                        std::vector<std::uint8_t>& reply, QString& name, Action& action) {
  auto word = [&](const char* getter, const char* setter, std::uint16_t& field) {
    if (command.args == 0) {
      name = QString::fromLatin1(getter);
    } else {
      name = QString::fromLatin1(setter);
      field = ArgWord(args, 0);
    }
    AppendWord(reply, field);
    return true;
  };
  auto byte = [&](const char* getter, const char* setter, std::uint8_t& field) {
    if (command.args == 0) {
      name = QString::fromLatin1(getter);
    } else {
      name = QString::fromLatin1(setter);
      field = args[0];
    }
    reply.push_back(field);
    return true;
  };
  auto live = [&](const char* getter, std::uint16_t value) {
    name = QString::fromLatin1(getter);
    AppendWord(reply, value);
    return true;
  };
  // Ratio registers read by sending a marker in place of the value.
  auto markedWord = [&](const char* getter, const char* setter, std::uint16_t marker, std::uint16_t& field) {
    const std::uint16_t w = ArgWord(args, 0);
    if (w == marker) {
      name = QString::fromLatin1(getter);
    } else {
      name = QString::fromLatin1(setter);
      field = w;
    }
    AppendWord(reply, field);
    return true;
  };
  auto markedByte = [&](const char* getter, const char* setter, std::uint8_t& field) {
    if (args[0] == 0xFF) {
      name = QString::fromLatin1(getter);
    } else {
      name = QString::fromLatin1(setter);
      field = args[0];
    }
    reply.push_back(field);
    return true;
  };
  auto markedLong = [&](const char* getter, const char* setter, std::uint32_t& field) {
    if (AllBytes(args, 0)) {
      name = QString::fromLatin1(getter);
    } else {
      name = QString::fromLatin1(setter);
      field = ArgLong(args);
    }
    AppendLong(reply, field);
    return true;
  };
  auto markedPair = [&](const char* getter, const char* setter, std::uint16_t& first, std::uint16_t& second) {
    if (AllBytes(args, 0)) {
      name = QString::fromLatin1(getter);
    } else {
      name = QString::fromLatin1(setter);
      first = ArgWord(args, 0);
      second = ArgWord(args, 2);
    }
    AppendWord(reply, first);
    AppendWord(reply, second);
    return true;
  };
  // Per-output ratio registers: request [output, value or 0xFF], reply
  // [output, value].
  auto outputByte = [&](const char* getter, const char* setter, std::uint8_t* fields, std::size_t outputs,
                        int maxValue) {
    name = QString::fromLatin1(args[1] == 0xFF ? getter : setter);
    const std::uint8_t output = args[0];
    if (output >= outputs) return false;
    if (args[1] != 0xFF) {
      if (maxValue >= 0 && args[1] > maxValue) return false;
      fields[output] = args[1];
    }
    reply.push_back(output);
    reply.push_back(fields[output]);
    return true;
  };

  ApplyScene(s);
  switch (command.code) {
    case 0x01:
      return live("ReadObjectTemperature", s.objectTemp);
    case 0x02:
      return live("ReadInternalTemperature", s.internalTemp);
    case 0x03:
      return live("ReadBoxTemperature", s.boxTemp);
    case 0x81:
      return live("ReadActualTemperature", s.actualTemp);
    case 0x62:
      return live("ReadSingleTemperature", s.singleColourTemp);
    case 0x63:
      return live("ReadQuotientTemperature", s.quotientTemp);
    case 0x64:
      return live("ReadTau", s.tau);
    case 0x04:
    case 0x84:
      word("GetEmissivity", "SetEmissivity", s.emissivity);
      ApplyScene(s);
      return true;
    case 0x05:
    case 0x85:
      return word("GetTransmission", "SetTransmission", s.transmission);
    case 0x06:
    case 0x86:
      return word("GetAverageTime", "SetAverageTime", s.averageTime);
    case 0x07:
    case 0x87:
      return word("GetValleyHoldTime", "SetValleyHoldTime", s.valleyHoldTime);
    case 0x08:
    case 0x88:
      return word("GetPeakHoldTime", "SetPeakHoldTime", s.peakHoldTime);
    case 0x09:
    case 0x89:
      return byte("GetTemperatureUnit", "SetTemperatureUnit", s.unit);
    case 0x0A:
    case 0x8A:
      return word("GetAlarm1", "SetAlarm1", s.alarm[0]);
    case 0x0B:
    case 0x8B:
      return word("GetAlarm2", "SetAlarm2", s.alarm[1]);
    case 0x0C:
    case 0x8C:
      if (IsRatioFirmware(s.firmware)) {
        return word("GetRatioAlarmHysteresis", "SetRatioAlarmHysteresis", s.ratioAlarmHysteresis);
      }
      return word("GetAlarm3", "SetAlarm3", s.alarm[2]);
    case 0x0D:
    case 0x8D:
      if (IsRatioFirmware(s.firmware))
        return byte("GetRatioAlarmMode", "SetRatioAlarmMode", s.ratioAlarmMode);
      return word("GetAlarm4", "SetAlarm4", s.alarm[3]);
    case 0x0E:
      name = QStringLiteral("GetSerialNumber");
      reply = {std::uint8_t(s.serial >> 16), std::uint8_t(s.serial >> 8), std::uint8_t(s.serial)};
      return true;
    case 0x0F: {
      std::uint16_t fw = s.firmware;
      return live("GetFirmwareRevision", fw);
    }
    case 0x10:
      name = QStringLiteral("GetRS485Address");
      reply.push_back(s.busAddress);
      return true;
    case 0x90:
      name = QStringLiteral("SetRS485Address");
      // The device keeps an address it cannot use as it was.
      if (args[0] <= kMaxBusAddress) s.busAddress = args[0];
      reply.push_back(s.busAddress);
      return true;
    case 0x8F:
      name = QStringLiteral("ResetLoopOutput");
      s.loopOutputFixed = false;
      ++s.loopResets;
      reply.push_back(kAck);
      return true;
    case 0x11:
    case 0x91:
      return word("GetScaledOutputMin", "SetScaledOutputMin", s.scaledOutMin);
    case 0x12:
    case 0x92:
      return word("GetScaledOutputMax", "SetScaledOutputMax", s.scaledOutMax);
    case 0x13:
    case 0x93:
      return byte("GetAmbientSource", "SetAmbientSource", s.ambientSource);
    case 0x14:
    case 0x94:
      return word("GetAmbientValue", "SetAmbientValue", s.ambientValue);
    case 0x15:
    case 0x95:
      return byte("GetEmissivitySource", "SetEmissivitySource", s.emissivitySource);
    case 0x16:
    case 0x96:
      return byte("GetIRFailsafe", "SetIRFailsafe", s.irFailsafe);
    case 0x17:
    case 0x97:
      return byte("GetAmbientFailsafe", "SetAmbientFailsafe", s.ambientFailsafe);
    case 0x18:
    case 0x98:
      return word("GetOutputTempMin", "SetOutputTempMin", s.outputTempMin);
    case 0x19:
    case 0x99:
      return word("GetOutputTempMax", "SetOutputTempMax", s.outputTempMax);
    case 0x1A:
    case 0x9A:
      // Writing a percentage fixes the output until 0x8F ends it.
      if (command.args > 0) s.loopOutputFixed = true;
      return byte("GetIRDacPercent", "SetIRDacPercent", s.irDacPercent);
    case 0x1B:
    case 0x9B:
      return byte("GetAmbientDacPercent", "SetAmbientDacPercent", s.ambientDacPercent);
    case 0x1C:
    case 0x9C:
      return byte("GetAverageMode", "SetAverageMode", s.averageMode);
    case 0x1D:
    case 0x9D:
      return byte("GetAdvancedHoldMode", "SetAdvancedHoldMode", s.advancedHoldMode);
    case 0x1E:
    case 0x9E:
      return word("GetAdvancedHoldThreshold", "SetAdvancedHoldThreshold", s.advancedHoldThreshold);
    case 0x9F:
      name = QStringLiteral("StartEmissivityCalculation");
      s.emissivityCalcT1 = ArgWord(args, 0);
      AppendWord(reply, s.emissivityCalcT1);
      return true;
    case 0xA0:
      name = QStringLiteral("StartEmissivityCalculation");
      s.emissivityCalcT2 = ArgWord(args, 0);
      AppendWord(reply, s.emissivityCalcT2);
      return true;
    case 0xA1:
      name = QStringLiteral("StartEmissivityCalculation");
      if (args[0] != 0x01) return false;
      ++s.emissivityCalcRuns;
      // The device sets the emissivity that makes it read temperature 1
      // where it now reads temperature 2.
      if (s.sceneTemp != 0) {
        const double e = EmissivityScene::EmissivityFor(
            DecodeTemperature(s.emissivityCalcT1), DecodeTemperature(s.emissivityCalcT2),
            s.emissivity / 1000.0, DecodeTemperature(s.internalTemp));
        s.emissivity = std::uint16_t(std::clamp(std::lround(e * 1000.0), 100L, 1100L));
        ApplyScene(s);
      }
      reply.push_back(kAck);
      return true;
    case 0x22:
    case 0xA2:
      return word("GetAdvancedHoldHysteresis", "SetAdvancedHoldHysteresis", s.advancedHoldHysteresis);
    case 0x23:
    case 0xA3: {
      name = QString::fromLatin1(command.code == 0x23 ? "GetMaterialTable" : "SetMaterialTable");
      const std::uint8_t address = args[0];
      const int row = address >> 4;
      const int field = address & 0x0F;
      if (row > 7 || field > 3) return false;
      std::uint16_t& value = s.material[std::size_t(row)][std::size_t(field)];
      if (command.code == 0xA3) value = ArgWord(args, 1);
      reply.push_back(address);
      AppendWord(reply, value);
      return true;
    }
    case 0x24:
    case 0xA4: {
      const bool large =
          (s.modelFlags & ModelFlag::LargeHeadCode) != 0 || HasLargeHeadCodeFirmware(s.firmware);
      const char* getter = large ? "GetHeadCodeLarge" : "GetHeadCodeShort";
      const char* setter = large ? "SetHeadCodeLarge" : "SetHeadCodeShort";
      name = QString::fromLatin1(command.code == 0x24 ? getter : setter);
      const std::uint8_t group = args[0];
      if (group >= (large ? 5 : 3)) return false;
      std::uint32_t& value = s.headCode[group];
      // A group holds 20 bits (four base-32 digits).
      if (command.code == 0xA4) {
        value = ((std::uint32_t(args[1]) << 16) | (std::uint32_t(args[2]) << 8) | args[3]) & 0xFFFFF;
      }
      reply = {group, std::uint8_t(value >> 16), std::uint8_t(value >> 8), std::uint8_t(value)};
      return true;
    }
    case 0x25:
    case 0xA5:
      return byte("GetSpotIllumination", "SetSpotIllumination", s.spotIllumination);
    case 0x26:
    case 0xA6:
      return word("GetTweakOffset", "SetTweakOffset", s.tweakOffset);
    case 0x27:
    case 0xA7:
      return word("GetTweakGain", "SetTweakGain", s.tweakGain);
    case 0x28:
    case 0xA8: {
      name = QString::fromLatin1(command.code == 0x28 ? "GetAlarmMode" : "SetAlarmMode");
      const std::uint8_t n = args[0];
      if (n > 3) return false;
      if (command.code == 0xA8) s.alarmMode[n] = args[1];
      reply = {n, s.alarmMode[n]};
      return true;
    }
    case 0x2A:
      name = QStringLiteral("Identify");
      reply.assign(s.ident.begin(), s.ident.end());
      return true;
    case 0x2B:
    case 0xAB:
      return word("GetF3Temp1", "SetF3Temp1", s.f3Temp1);
    case 0x2C:
    case 0xAC:
      return word("GetF3Temp2", "SetF3Temp2", s.f3Temp2);
    case 0x43:
    case 0x44:
      return byte("GetPanelLock", "SetPanelLock", s.panelLock);
    case 0x45:
      name = QStringLiteral("GetModelInfo");
      reply = {s.modelCode, s.modelFlags};
      AppendWord(reply, s.rangeLow);
      AppendWord(reply, s.rangeHigh);
      return true;
    case 0x4A:
      if (IsRatioFirmware(s.firmware))
        return markedWord("GetDeflection1", "SetDeflection1", 0x8080, s.deflection1);
      return markedByte("GetAlarmHysteresis", "SetAlarmHysteresis", s.alarmHysteresis);
    case 0x4B:
      return markedWord("GetDeflection2", "SetDeflection2", 0x8080, s.deflection2);
    case 0x4C:
      return markedWord("GetAddTop", "SetAddTop", 0x8080, s.addTop);
    case 0x4D:
      return markedWord("GetMulTop", "SetMulTop", 0x0000, s.mulTop);
    case 0x4E:
      return markedWord("GetAddQuot", "SetAddQuot", 0x8080, s.addQuot);
    case 0x4F:
      return markedWord("GetMulQuot", "SetMulQuot", 0x0000, s.mulQuot);
    case 0x50:
      name = QStringLiteral("GetBurstChannels");
      reply.assign(s.burstSlots.begin(), s.burstSlots.end());
      return true;
    case 0x51:
      name = QStringLiteral("SetBurstChannels");
      std::copy(args.begin(), args.end(), s.burstSlots.begin());
      reply.assign(s.burstSlots.begin(), s.burstSlots.end());
      return true;
    case 0x52:
      name = QStringLiteral("SetBurstMode");
      if (args[0] == 0x01) {
        // Without a channel selected there is nothing to stream.
        const bool accepted = ActiveChannelCount(s.burstSlots) > 0;
        if (accepted) action = Action::BurstStart;
        reply.push_back(accepted ? kAck : 0x00);
        return true;
      }
      if (args[0] == 0x00) {
        action = Action::BurstStop;
        reply.push_back(0x00);
        return true;
      }
      return false;
    case 0x56:
      return markedPair("GetLWLParameter", "SetLWLParameter", s.fibreDiameter, s.fibreLength);
    case 0x57:
      return markedPair("GetMBRange", "SetMBRange", s.rangeStart, s.rangeEnd);
    case 0x58:
      return markedWord("GetSlope", "SetSlope", 0x0000, s.slope);
    case 0x59:
      return markedWord("GetSlope2", "SetSlope2", 0x0000, s.slope2);
    case 0x5A:
      return markedWord("GetEpsilon", "SetEpsilon", 0xFFFE, s.epsilon);
    case 0x5B:
      return markedWord("GetEpsilon2", "SetEpsilon2", 0x0000, s.epsilon2);
    case 0x5C:
      return markedWord("GetDetTop", "SetDetTop", 0x0000, s.detTop);
    case 0x5D:
      return markedWord("GetLimTau", "SetLimTau", 0xFFFF, s.limTau);
    case 0x5E:
      return markedLong("GetItemNumber", "SetItemNumber", s.itemNumber);
    case 0x5F:
      return markedLong("GetRatioSerialNumber", "SetRatioSerialNumber", s.ratioSerial);
    case 0x65: {
      name = QStringLiteral("SendRatioCommand");
      const std::uint8_t index = args[1];
      const std::uint8_t code = args[2];
      if (args[0] != 0x01 || index > 127) return false;
      if (index == 127 && code == 145) {
        // Factory values back; what identifies the device stays.
        ArgoDeviceState restored = factory_;
        restored.firmware = s.firmware;
        restored.serial = s.serial;
        restored.busAddress = s.busAddress;
        restored.ratioCommands = s.ratioCommands;
        s = restored;
      } else if (index == 127 && code == 151) {
        action = Action::StoreFactory;
      }
      ++s.ratioCommands;
      reply.push_back(kAck);
      return true;
    }
    case 0x68:
      return outputByte("GetDALFunction", "SetDALFunction", s.dalFunction.data(), 2, -1);
    case 0x69:
      return outputByte("GetAlarmSource", "SetAlarmSource", s.alarmSource.data(), 5, 5);
    case 0x6A: {
      const std::uint8_t output = args[0];
      const std::uint16_t w = ArgWord(args, 1);
      name = QString::fromLatin1(w == 0 ? "GetAlarmValues" : "SetAlarmValues");
      if (output > 4) return false;
      const std::size_t source = std::min<std::size_t>(s.alarmSource[output], 5);
      std::uint16_t& value = s.alarmValue[output][source];
      if (w != 0) value = w;
      reply.push_back(output);
      AppendWord(reply, value);
      return true;
    }
    case 0x6B:
      return outputByte("GetAlarmNormallyOpen", "SetAlarmNormallyOpen", s.normallyOpen.data(), 5, 1);
    case 0x6C:
      return markedByte("GetProcessSource", "SetProcessSource", s.processSource);
    case 0x6D:
      return markedWord("GetSmartThreshold", "SetSmartThreshold", 0x0000, s.smartThreshold);
    case 0x6E:
    case 0x6F: {
      name = QString::fromLatin1(command.code == 0x6E ? "GetVisualAlarmSettings" : "SetVisualAlarmSettings");
      const std::uint8_t alarm = args[0];
      if (alarm > 7) return false;
      auto& record = s.visualAlarm[alarm];
      if (command.code == 0x6F) std::copy(args.begin() + 1, args.end(), record.begin());
      reply.assign(record.begin(), record.end());
      return true;
    }
    case 0x72:
      return markedByte("GetVisualAlarmSource", "SetVisualAlarmSource", s.visualAlarmSource);
    case 0x73:
      return markedByte("GetDisplayMainSource", "SetDisplayMainSource", s.displayMainSource);
    case 0x80:
      name = QStringLiteral("SetStandardDisplay");
      if (args[0] != 0x00) return false;
      s.visualAlarm = initial_.visualAlarm;
      s.visualAlarmSource = initial_.visualAlarmSource;
      s.displayMainSource = initial_.displayMainSource;
      reply.push_back(kAck);
      return true;
    default:
      name = QStringLiteral("unknown");
      return false;
  }
}

// --- Sending ---------------------------------------------------------------

void ArgoModel::QueueReply(std::vector<std::uint8_t> reply, Clock::time_point now, DeviceLink& link) {
  const int delayMs = shaper_.Shape(reply, faults_, faults_.noiseInsideReply);
  if (reply.empty()) return;
  if (delayMs > 0 || !delayed_.empty()) {
    delayed_.push_back({now + std::chrono::milliseconds(delayMs), std::move(reply)});
    return;
  }
  Emit(reply, link);
}

void ArgoModel::Emit(std::span<const std::uint8_t> bytes, DeviceLink& link) {
  if (bytes.empty() || vanished_ || faults_.silent) return;
  link.Send(bytes);
}

void ArgoModel::DoVanish(DeviceLink& link) {
  vanished_ = true;
  streaming_ = false;
  delayed_.clear();
  request_.clear();
  parse_ = ParseState::Idle;
  link.Vanish();
}

void ArgoModel::StartStream(Clock::time_point now) {
  streamSlots_.clear();
  const int n = ActiveChannelCount(state_.burstSlots);
  for (int i = 0; i < n; ++i) streamSlots_.push_back(SlotCode(state_.burstSlots, i));
  streaming_ = !streamSlots_.empty();
  streamNeedsStart_ = false;
  // The first frame follows the reply.
  stream_.Restart(now + std::chrono::microseconds(std::max(1, options_.framePeriodUs)));
}

std::uint16_t ArgoModel::ChannelValue(std::uint8_t code, std::uint64_t index) const {
  std::uint16_t base = 0;
  switch (code) {
    case Channel::Object:
      base = state_.objectTemp;
      break;
    case Channel::Internal:
      base = state_.internalTemp;
      break;
    case Channel::Box:
      base = state_.boxTemp;
      break;
    case Channel::Actual:
      base = state_.actualTemp;
      break;
    case Channel::Quotient:
      base = state_.quotientTemp;
      break;
    case Channel::SingleColour:
      base = state_.singleColourTemp;
      break;
    case Channel::Tau:
      base = state_.tau;
      break;
    default:
      base = std::uint16_t(1000 + 10 * code);
      break;
  }
  if (options_.rampBurstValues) base = std::uint16_t(base + index % 100);
  return AvoidSync(base);
}

void ArgoModel::StreamFrames(Clock::time_point now, DeviceLink& link) {
  if (!streaming_ || vanished_ || faults_.silent || !delayed_.empty()) return;
  if (streamNeedsStart_) {
    streamNeedsStart_ = false;
    stream_.Restart(now);
  }
  const std::size_t frameSize = (options_.tripleSync ? 3 : 2) + 2 * streamSlots_.size();
  const bool going = stream_.Send(
      now, std::chrono::microseconds(std::max(1, options_.framePeriodUs)), frameSize, link.PendingOutput(),
      faults_, shaper_,
      [this](ArgoSentFrame& frame) {
        frame.channels = int(streamSlots_.size());
        frame.tripleSync = options_.tripleSync;
        for (std::size_t i = 0; i < streamSlots_.size(); ++i)
          frame.values[i] = ChannelValue(streamSlots_[i], frame.index);
        return BuildBurstFrame(std::span<const std::uint16_t>(frame.values.data(), streamSlots_.size()),
                               frame.tripleSync);
      },
      [this, &link](std::span<const std::uint8_t> bytes) { Emit(bytes, link); });
  if (!going) DoVanish(link);
}

void ArgoModel::Tick(Clock::time_point now, DeviceLink& link) {
  std::lock_guard lock(mutex_);
  if (vanished_) return;
  ExpireInput(now);
  while (!delayed_.empty() && delayed_.front().due <= now) {
    Emit(delayed_.front().bytes, link);
    delayed_.pop_front();
  }
  StreamFrames(now, link);
}

bool ArgoModel::WantsTicks() const {
  std::lock_guard lock(mutex_);
  if (vanished_) return false;
  return streaming_ || !delayed_.empty() || parse_ != ParseState::Idle || pendingAddress_ >= 0;
}

// --- Options ---------------------------------------------------------------

QString ArgoModel::OptionsHelp() {
  return QStringLiteral(
             "argo options:\n"
             "  --profile NAME            %1\n"
             "  --firmware N              firmware revision in place of the profile's\n"
             "  --serial N                serial number (24 bits)\n"
             "  --address N               on an RS485 bus with address N (1..79)\n"
             "  --baud N                  line speed (9600, 19200, 38400, 57600, 115200)\n"
             "  --frame-period-us N       burst frame period while the line keeps up (default 1000)\n"
             "  --triple-sync             three sync bytes ahead of every burst frame\n"
             "  --burst-on-start          stream from power-up\n"
             "  --no-ramp                 burst values stay at the live values\n"
             "  --silent                  never answer\n"
             "  --late MS                 answer MS milliseconds late\n"
             "  --short N                 cut N bytes off every reply\n"
             "  --extra N                 append N random bytes to every reply\n"
             "  --noise N                 N random bytes ahead of every reply\n"
             "  --ignore-stop             keep streaming after the stop command\n"
             "  --vanish-after-bytes N    hang up after N streamed bytes\n"
             "  --vanish-after-requests N hang up on the N-th request\n")
      .arg(ArgoProfiles::Names().join(QStringLiteral(", ")));
}

std::unique_ptr<ArgoModel> ArgoModel::Create(const QStringList& options, QString* error) {
  auto fail = [error](const QString& text) -> std::unique_ptr<ArgoModel> {
    if (error) *error = text;
    return nullptr;
  };
  // Accepts both "--name value" and "--name=value".
  const QStringList args = SplitOptionValues(options);

  ArgoProfile profile = ArgoProfiles::Default();
  ArgoOptions opts;
  ArgoFaults faults;
  long long firmware = -1;
  long long serial = -1;
  int address = -1;
  bool baudGiven = false;

  static const QStringList kValued = {QStringLiteral("--profile"),
                                      QStringLiteral("--firmware"),
                                      QStringLiteral("--serial"),
                                      QStringLiteral("--address"),
                                      QStringLiteral("--baud"),
                                      QStringLiteral("--frame-period-us"),
                                      QStringLiteral("--late"),
                                      QStringLiteral("--short"),
                                      QStringLiteral("--extra"),
                                      QStringLiteral("--noise"),
                                      QStringLiteral("--vanish-after-bytes"),
                                      QStringLiteral("--vanish-after-requests")};
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& name = args.at(i);
    QString value;
    long long number = 0;
    if (kValued.contains(name)) {
      if (i + 1 >= args.size()) return fail(QStringLiteral("option %1 needs a value").arg(name));
      value = args.at(++i);
      if (name != QStringLiteral("--profile")) {
        bool ok = false;
        number = value.toLongLong(&ok, 0);
        if (!ok || number < 0) return fail(QStringLiteral("invalid value for %1: %2").arg(name, value));
      }
    }
    if (name == QStringLiteral("--profile")) {
      const auto found = ArgoProfiles::Find(value);
      if (!found) {
        return fail(QStringLiteral("unknown profile %1 (known: %2)")
                        .arg(value, ArgoProfiles::Names().join(QStringLiteral(", "))));
      }
      profile = *found;
    } else if (name == QStringLiteral("--firmware")) {
      if (number > 0xFFFF) return fail(QStringLiteral("firmware revision out of range: %1").arg(value));
      firmware = number;
    } else if (name == QStringLiteral("--serial")) {
      if (number > 0xFFFFFF) return fail(QStringLiteral("serial number out of range: %1").arg(value));
      serial = number;
    } else if (name == QStringLiteral("--address")) {
      if (number < 1 || number > kMaxBusAddress)
        return fail(QStringLiteral("bus address out of range: %1").arg(value));
      address = int(number);
    } else if (name == QStringLiteral("--baud")) {
      static const QList<long long> kRates = {9600, 19200, 38400, 57600, 115200};
      if (!kRates.contains(number)) return fail(QStringLiteral("unsupported baud rate: %1").arg(value));
      opts.baudRate = int(number);
      baudGiven = true;
    } else if (name == QStringLiteral("--frame-period-us")) {
      if (number < 1 || number > 10'000'000)
        return fail(QStringLiteral("frame period out of range: %1").arg(value));
      opts.framePeriodUs = int(number);
    } else if (name == QStringLiteral("--late")) {
      faults.lateReplyMs = int(std::min<long long>(number, 600'000));
    } else if (name == QStringLiteral("--short")) {
      faults.shortReplyBytes = int(std::min<long long>(number, 1024));
    } else if (name == QStringLiteral("--extra")) {
      faults.extraReplyBytes = int(std::min<long long>(number, 1024));
    } else if (name == QStringLiteral("--noise")) {
      faults.noiseBeforeReply = int(std::min<long long>(number, 1024));
    } else if (name == QStringLiteral("--vanish-after-bytes")) {
      faults.vanishAfterStreamBytes = number;
    } else if (name == QStringLiteral("--vanish-after-requests")) {
      faults.vanishAfterRequests = int(std::min<long long>(number, 1'000'000'000));
    } else if (name == QStringLiteral("--triple-sync")) {
      opts.tripleSync = true;
    } else if (name == QStringLiteral("--burst-on-start")) {
      opts.burstAtStart = true;
    } else if (name == QStringLiteral("--no-ramp")) {
      opts.rampBurstValues = false;
    } else if (name == QStringLiteral("--silent")) {
      faults.silent = true;
    } else if (name == QStringLiteral("--ignore-stop")) {
      faults.ignoreBurstStop = true;
    } else {
      return fail(QStringLiteral("unknown option for the argo model: %1").arg(name));
    }
  }

  if (!baudGiven) opts.baudRate = profile.baudRate;
  if (firmware >= 0) {
    const ArgoDeviceState& s = profile.state;
    profile.state = ArgoProfiles::MakeState(std::uint16_t(firmware), s.modelCode, s.modelFlags,
                                            DecodeTemperature(s.rangeLow), DecodeTemperature(s.rangeHigh),
                                            s.serial, QStringLiteral("ARGO %1").arg(firmware));
  }
  if (serial >= 0) {
    profile.state.serial = std::uint32_t(serial);
    profile.state.ratioSerial = std::uint32_t(serial);
  }
  if (address > 0) {
    opts.onBus = true;
    profile.state.busAddress = std::uint8_t(address);
  }
  auto model = std::make_unique<ArgoModel>(profile, opts);
  model->SetFaults(faults);
  return model;
}

bool RegisterArgoModel() {
  ModelRegistry::Register(QStringLiteral("argo"), &ArgoModel::Create);
  return ModelRegistry::Contains(QStringLiteral("argo"));
}

namespace {
// The emulator program links the whole library, so this registers the model
// before main runs.
const bool kArgoRegistered = RegisterArgoModel();
}  // namespace
