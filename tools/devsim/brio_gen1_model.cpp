#include "tools/devsim/brio_gen1_model.h"

#include "tools/devsim/brio_wire.h"
#include "tools/devsim/model_registry.h"

using namespace BrioWire;

namespace {
constexpr std::uint8_t kReadWord = 0x3E;
constexpr std::uint8_t kReadByte = 0x3C;
constexpr std::uint8_t kWriteByte = 0x3D;
constexpr std::uint8_t kWriteWord = 0x3A;
constexpr std::uint8_t kEnterLoader = 0x3F;
}  // namespace

BrioGen1Model::BrioGen1Model(const BrioProfile& profile, const BrioOptions& options)
    : BrioDeviceModel(profile, options, kInfoSegmentSizeGen1) {}

int BrioGen1Model::ArgumentCount(std::uint8_t first) const {
  switch (first) {
    case kReadWord:
    case kReadByte:
      return 2;
    case kWriteByte:
      return 3;
    case kWriteWord:
    case kEnterLoader:
      return 4;
    default:
      return -1;
  }
}

BrioDeviceModel::Outcome BrioGen1Model::Execute(std::span<const std::uint8_t> r, Clock::time_point) {
  if (r[0] == kEnterLoader) return EnterLoaderRequest(r);
  Outcome o;
  BrioMemory& m = Memory();
  const auto address = std::uint16_t((r[1] << 8) | r[2]);
  switch (r[0]) {
    case kReadWord:
      o.name = QStringLiteral("ReadWord");
      o.reply = {m.Byte(std::uint16_t(address + 1)), m.Byte(address)};
      break;
    case kReadByte:
      o.name = QStringLiteral("ReadByte");
      o.reply = {m.Byte(address)};
      break;
    case kWriteByte:
      o.name = QStringLiteral("WriteByte");
      m.Store(address, r[3]);
      o.reply = {m.Byte(address)};
      EmissivityWritten(address);
      break;
    case kWriteWord:
      o.name = QStringLiteral("WriteWord");
      m.StoreWord(address, std::uint16_t((r[3] << 8) | r[4]));
      o.outcome = BrioRequestOutcome::NoReply;
      EmissivityWritten(address);
      break;
    default:
      break;
  }
  return o;
}

void BrioGen1Model::StartFirmware(Clock::time_point) {
  BrioMemory& m = Memory();
  m.Store(kOperatingMode, kModeNormal);
  m.Store(kModeFlags, 0x01);
  m.Store(kLoopStart, 0x00);
  m.StoreWord(kLoopOutput, EncodeTemperature(0.0));
  WriteLiveValues();
}

void BrioGen1Model::EmissivityWritten(std::uint16_t address) {
  if (address != kEmissivityGen1 && address != kEmissivityGen1 + 1) return;
  MutableLive().emissivity = Memory().Word(kEmissivityGen1);
  Memory().StoreWord(kTargetTemp, EncodeTemperature(Live().ShownTarget()));
}

void BrioGen1Model::WriteLiveValues() {
  BrioMemory& m = Memory();
  m.StoreWord(kEmissivityGen1, Live().emissivity);
  m.StoreWord(kTargetTemp, EncodeTemperature(Live().ShownTarget()));
  m.StoreWord(kInternalTemp, EncodeTemperature(Live().internal));
  m.StoreWord(kActualTemp, EncodeTemperature(Live().actual));
}

std::vector<std::uint16_t> BrioGen1Model::ConfiguredBurst() const {
  return BrioProfiles::BurstChannels(1, 0, Memory().Block(kConfigAddress, kImageSize));
}

namespace {
std::uint16_t LittleEndianWord(const std::vector<std::uint8_t>& bytes) {
  return std::uint16_t(bytes.at(0) | bytes.at(1) << 8);
}
}  // namespace

std::uint16_t BrioGen1Model::LoopOutputWord() const { return LittleEndianWord(ReadMemory(kLoopOutput, 2)); }

std::uint8_t BrioGen1Model::OperatingMode() const { return ReadMemory(kOperatingMode, 1).at(0); }

std::uint8_t BrioGen1Model::LoopStartByte() const { return ReadMemory(kLoopStart, 1).at(0); }

std::uint16_t BrioGen1Model::OutputRangeLowWord() const {
  return LittleEndianWord(ReadMemory(kConfigAddress + kGen1OutputRangeLow, 2));
}

std::uint16_t BrioGen1Model::OutputRangeHighWord() const {
  return LittleEndianWord(ReadMemory(kConfigAddress + kGen1OutputRangeHigh, 2));
}

std::unique_ptr<BrioGen1Model> BrioGen1Model::Create(const QStringList& options, QString* error) {
  return CreateFromOptions<BrioGen1Model>(1, options, error);
}

bool RegisterBrioGen1Model() {
  ModelRegistry::Register(QStringLiteral("brio"), &BrioGen1Model::Create);
  return ModelRegistry::Contains(QStringLiteral("brio"));
}

namespace {
const bool kBrioGen1Registered = RegisterBrioGen1Model();
}  // namespace
