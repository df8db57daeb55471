#include "tools/devsim/brio_gen2_model.h"

#include "tools/devsim/brio_wire.h"
#include "tools/devsim/model_registry.h"

using namespace BrioWire;

namespace {

constexpr std::uint8_t kTarget = 0x01;
constexpr std::uint8_t kInternal = 0x02;
constexpr std::uint8_t kActual = 0x03;
constexpr std::uint8_t kEmissivityRead = 0x04;
constexpr std::uint8_t kBox = 0x09;
constexpr std::uint8_t kSerial = 0x0E;
constexpr std::uint8_t kLaserState = 0x10;
constexpr std::uint8_t kSwitches = 0x11;
constexpr std::uint8_t kAmbient = 0x12;
constexpr std::uint8_t kSetLoop = 0x81;
constexpr std::uint8_t kEndLoop = 0x82;
constexpr std::uint8_t kSetEmissivity = 0x84;
constexpr std::uint8_t kSetLaser = 0x90;
constexpr std::uint8_t kWriteByte = 0x3D;
constexpr std::uint8_t kEnterLoader = 0x3F;
constexpr std::uint8_t kText = '9';
constexpr std::uint8_t kIdentify = 'E';
constexpr std::uint8_t kIdentifyMore = 'F';

void AppendBigEndian(std::vector<std::uint8_t>& out, std::uint16_t w) {
  out.push_back(std::uint8_t(w >> 8));
  out.push_back(std::uint8_t(w & 0xFF));
}

}  // namespace

BrioGen2Model::BrioGen2Model(const BrioProfile& profile, const BrioOptions& options)
    : BrioDeviceModel(profile, options, kInfoSegmentSizeGen2) {}

int BrioGen2Model::ArgumentCount(std::uint8_t first) const {
  switch (first) {
    case kTarget:
    case kInternal:
    case kActual:
    case kEmissivityRead:
    case kBox:
    case kSerial:
    case kLaserState:
    case kSwitches:
    case kAmbient:
    case kEndLoop:
    case kIdentify:
    case kIdentifyMore:
      return 0;
    case kSetLoop:
    case kSetLaser:
      return 1;
    case kSetEmissivity:
      return 2;
    case kWriteByte:
      return 3;
    case kEnterLoader:
    case kText:
      return 4;
    default:
      return -1;
  }
}

bool BrioGen2Model::HighResolutionLocked() const {
  return IsHighResolution(Profile().featureWord, Memory().Word(kCalibrationAddress),
                          Memory().Word(std::uint16_t(kCalibrationAddress + 88)));
}

BrioDeviceModel::Outcome BrioGen2Model::Execute(std::span<const std::uint8_t> r, Clock::time_point now) {
  Outcome o;
  BrioMemory& m = Memory();
  auto ramWord = [&](const char* name, std::uint16_t address) {
    o.name = QString::fromLatin1(name);
    AppendBigEndian(o.reply, m.Word(address));
    return o;
  };
  switch (r[0]) {
    case kTarget:
      return ramWord("ReadTargetTemperature", kTargetTemp);
    case kInternal:
      return ramWord("ReadInternalTemperature", kInternalTemp);
    case kActual:
      return ramWord("ReadActualTemperature", kActualTemp);
    case kBox:
      return ramWord("ReadBoxTemperature", kBoxTemp);
    case kAmbient:
      return ramWord("ReadAmbientTemperature", kAmbientTemp);
    case kEmissivityRead:
      return ramWord("ReadEmissivity", kEmissivity);
    case kSwitches:
      return ramWord("ReadChannel7", kChannel7);
    case kSerial:
      o.name = QStringLiteral("ReadSerialNumber");
      o.reply = m.Block(kConfigAddress, 3);
      return o;
    case kLaserState:
      o.name = QStringLiteral("GetLaserState");
      o.reply = {std::uint8_t(laserOn_ ? 1 : 0)};
      return o;
    case kSetLaser:
      o.name = QStringLiteral("SetLaser");
      if (r[1] <= 1) laserOn_ = r[1] == 1 && (Profile().featureWord & Feature::Laser) != 0;
      o.reply = {std::uint8_t(laserOn_ ? 1 : 0)};
      return o;
    case kSetEmissivity: {
      o.name = QStringLiteral("SetEmissivity");
      const auto w = std::uint16_t((r[1] << 8) | r[2]);
      if (w >= 100 && w <= 1100) {
        MutableLive().emissivity = w;
        m.StoreWord(kEmissivity, w);
        WriteLiveValues();
      }
      AppendBigEndian(o.reply, m.Word(kEmissivity));
      return o;
    }
    case kSetLoop:
      o.name = QStringLiteral("SetLoopOutput");
      loopOutput_ = r[1];
      o.reply = {r[1]};
      return o;
    case kEndLoop:
      o.name = QStringLiteral("EndLoopOutput");
      loopOutput_ = -1;
      o.reply = {kEndLoop};
      return o;
    case kWriteByte: {
      o.name = QStringLiteral("WriteByte");
      const auto address = std::uint16_t((r[1] << 8) | r[2]);
      m.Store(address, r[3]);
      o.reply = {m.Byte(address)};
      return o;
    }
    case kEnterLoader:
      return EnterLoaderRequest(r);
    case kIdentify: {
      o.name = QStringLiteral("Identify");
      const bool hundredths = HighResolutionLocked();
      AppendBigEndian(o.reply, Profile().featureWord);
      AppendBigEndian(o.reply, EncodeTemperature(Profile().rangeLow, hundredths));
      AppendBigEndian(o.reply, EncodeTemperature(Profile().rangeHigh, hundredths));
      return o;
    }
    case kIdentifyMore:
      o.name = QStringLiteral("IdentifyExtended");
      if ((Profile().featureWord & Feature::ExtendedIdentity) == 0) {
        o.outcome = BrioRequestOutcome::Ignored;
        return o;
      }
      AppendBigEndian(o.reply, EncodeTemperature(Profile().range2Low));
      AppendBigEndian(o.reply, EncodeTemperature(Profile().range2High));
      AppendBigEndian(o.reply, Profile().flagWord);
      o.reply.resize(16, 0x00);
      return o;
    case kText:
      return ExecuteText(r, now);
    default:
      o.outcome = BrioRequestOutcome::Ignored;
      return o;
  }
}

BrioDeviceModel::Outcome BrioGen2Model::ExecuteText(std::span<const std::uint8_t> r, Clock::time_point now) {
  Outcome o;
  const QByteArray text(reinterpret_cast<const char*>(r.data()), qsizetype(r.size()));
  o.name = QString::fromLatin1(text);
  auto flash = [&](std::uint16_t address, int length) {
    o.reply = Memory().Block(address, std::size_t(length));
    return o;
  };
  if (text == "9WAIT") {
    if (now > waitUntil_) {
      o.outcome = BrioRequestOutcome::Ignored;
    } else if (MutableFaults().ignoreWait > 0) {
      --MutableFaults().ignoreWait;
      o.outcome = BrioRequestOutcome::NotAnswered;
    } else {
      const QByteArray waiting("WAITING");
      o.reply.assign(waiting.begin(), waiting.end());
    }
    return o;
  }
  if (text == "9CONF") return flash(kConfigAddress, kImageSize);
  if (text == "9CALI") return flash(kCalibrationAddress, kImageSize);
  if (text == "9INTV") return flash(kVectorAddress, kVectorSize);
  if (text == "9CON2" && (Profile().featureWord & (Feature::Briov2 | Feature::Dunav2)) != 0)
    return flash(kExtendedAddress, kExtendedSize);
  o.outcome = BrioRequestOutcome::Ignored;
  return o;
}

void BrioGen2Model::StartFirmware(Clock::time_point now) {
  waitUntil_ = now + std::chrono::milliseconds(Opts().waitWindowMs);
  laserOn_ = false;
  loopOutput_ = -1;
  Memory().Store(kOperatingMode, kModeNormal);
  WriteLiveValues();
}

void BrioGen2Model::WriteLiveValues() {
  BrioMemory& m = Memory();
  const BrioLiveValues& v = Live();
  const bool hundredths = HighResolutionLocked();
  m.StoreWord(kTargetTemp, EncodeTemperature(v.ShownTarget(), hundredths));
  m.StoreWord(kInternalTemp, EncodeTemperature(v.internal, hundredths));
  m.StoreWord(kActualTemp, EncodeTemperature(v.actual, hundredths));
  m.StoreWord(kAmbientTemp, EncodeTemperature(v.ambient, hundredths));
  m.StoreWord(kBoxTemp, EncodeTemperature(v.box));
  m.StoreWord(kEmissivity, v.emissivity);
  m.StoreWord(kChannel7, std::uint16_t((v.emissivitySwitches << 8) | v.channel7Low));
}

std::vector<std::uint16_t> BrioGen2Model::ConfiguredBurst() const {
  return BrioProfiles::BurstChannels(2, Profile().featureWord, Memory().Block(kConfigAddress, kImageSize));
}

bool BrioGen2Model::LaserOn() const {
  std::lock_guard lock(mutex_);
  return laserOn_;
}

int BrioGen2Model::LoopOutput() const {
  std::lock_guard lock(mutex_);
  return loopOutput_;
}

bool BrioGen2Model::HighResolution() const {
  std::lock_guard lock(mutex_);
  return HighResolutionLocked();
}

std::unique_ptr<BrioGen2Model> BrioGen2Model::Create(const QStringList& options, QString* error) {
  return CreateFromOptions<BrioGen2Model>(2, options, error);
}

bool RegisterBrioGen2Model() {
  ModelRegistry::Register(QStringLiteral("brio2"), &BrioGen2Model::Create);
  return ModelRegistry::Contains(QStringLiteral("brio2"));
}

namespace {
const bool kBrioGen2Registered = RegisterBrioGen2Model();
}  // namespace
