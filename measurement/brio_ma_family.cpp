#include "measurement/brio_ma_family.h"

#include <QEvent>

#include "drivers/device_type.h"
#include "measurement/brio_family.h"

// Receives the driver's notifications. On the session thread it gets them
// after the job that posted them: the snapshot is published first, then the
// notification goes to the owner, so the owner's handler sees what the
// driver had. On the owner's thread it gets them at once (the image-read
// steps, which only move the progress while the reads go on).
class BrioMaFamily::Relay : public QObject {
 public:
  Relay(BrioMaFamily& family, QObject* parent, bool onOwnerThread)
      : QObject(parent), family_(family), onOwnerThread_(onOwnerThread) {}

  bool event(QEvent* e) override {
    if (e->type() != TBrioNotifyEvent::Type()) return QObject::event(e);
    const auto* n = static_cast<TBrioNotifyEvent*>(e);
    if (onOwnerThread_)
      family_.Deliver(n->Msg, n->WParam, n->LParam);
    else
      family_.Forward(n->Msg, n->WParam, n->LParam);
    return true;
  }

 private:
  BrioMaFamily& family_;
  const bool onOwnerThread_;
};

BrioMaFamily::BrioMaFamily(QObject* owner)
    : SessionFamily(owner), progressRelay_(std::make_unique<Relay>(*this, nullptr, true)) {
  StartSession();
}

BrioMaFamily::~BrioMaFamily() { Shutdown(0, 1500); }

TpyreonBrio_mA* BrioMaFamily::MakeDriver() {
  auto* d = new TpyreonBrio_mA(nullptr);
  d->setObjectName(QStringLiteral("pyreonBrio_mA"));
  auto* relay = new Relay(*this, d, false);
  d->RegisterNotifications([this, relay](std::uint16_t msg) {
    TBrioNotify n;
    n.Enabled = true;
    const bool progress =
        msg == MsgBrioCaliLoaded || msg == MsgBrioConfigLoaded || msg == MsgBrioVectorsLoaded;
    n.Window = progress ? static_cast<QObject*>(progressRelay_.get()) : relay;
    n.Msg = msg;
    return n;
  });
  // The handshake and the programming report their share done at once.
  d->SetProgressHandler([this](int percent) { ReportProgress(percent, QString()); });
  MakeRecordTimer(d);
  return d;
}

void BrioMaFamily::Forward(std::uint16_t msg, std::uint32_t wParam, std::int32_t lParam) {
  Publish();
  Report([this, msg, wParam, lParam] { Deliver(msg, wParam, lParam); });
}

void BrioMaFamily::Deliver(std::uint16_t msg, std::uint32_t wParam, std::int32_t lParam) {
  // Nothing reaches the owner once the session ended.
  if (!Session().Running()) return;
  if (OnBrioNotify) OnBrioNotify(msg, wParam, lParam);
  const auto call = [](const std::function<void()>& event) {
    if (event) event();
  };
  switch (msg) {
    case MsgBrioPortOpened:
      call(OnComOpen);
      break;
    case MsgBrioPortClosed:
      call(OnComClose);
      break;
    case MsgBrioDeviceFound:
      call(OnConnect);
      break;
    case MsgBrioDisconnected:
      call(OnDisconnect);
      break;
    case MsgBrioCaliLoaded:
    case MsgBrioConfigLoaded:
    case MsgBrioVectorsLoaded:
      call(OnImageLoaded);
      break;
    case MsgBrioAllLoaded:
      call(OnAllLoaded);
      break;
    case MsgBrioError:
      if (OnError) OnError(lParam);
      break;
    case MsgBrioBurstStart:
      call(OnBurstStart);
      break;
    case MsgBrioNewValues:
      // The value type travels in the high word; the snapshot published
      // before the notification tells the resolution it was read at.
      if (OnChannelValues)
        OnChannelValues(ChannelConversion::BrioV2Reading(static_cast<int>(wParam >> 16), lParam,
                                                         snapshot_.HighResolution, TChannelSample::Now()));
      break;
    default:
      break;
  }
}

std::uint8_t BrioMaFamily::TypeCodeOf(std::uint16_t f) {
  // Each test overrides the one before.
  std::uint8_t code = f > 0 ? DeviceType::Brio2W : DeviceType::Duna2Wv1;
  if ((f & 0x3000) != 0) code = DeviceType::Fenn2W;
  if ((f & 0x4000) != 0) code = DeviceType::Briov2;
  if ((f & 0x0800) != 0) code = DeviceType::Duna2Wv2;
  if ((f & 0x0400) != 0) code = DeviceType::Dunav2;
  if ((f & 0x8000) != 0) code = DeviceType::Duna2W2Mv2;
  return code;
}

void BrioMaFamily::FillSnapshot(const TpyreonBrio_mA& d, TDeviceSnapshot& s) const {
  FillPortState(d, s);
  s.FeatureWord = d.FeatureWord();
  s.TypeCode = TypeCodeOf(d.FeatureWord());
  s.HighResolution = d.IsHighResolution();
  s.BaudIndex = 0;  // 9600 Bd
  const BrioConfigImage& config = d.ConfigImage(1);
  s.ConfigImage = config.Data;
  const bool extendedNeeded = d.IsBriov2() || d.IsDunav2();
  s.ImagesLoaded =
      config.Loaded && d.CalibrationImage(1).Loaded && (!extendedNeeded || d.ExtendedImage().Loaded);
  if (config.Loaded) s.SerialNumber = BrioFamily::SerialOf(config);
  s.RangeLo = d.RangeLow();
  s.RangeHi = d.RangeHigh();
  // The calibration image's first word is the firmware's version.
  s.Firmware = d.CalibrationImage(1).WordAt(0);
  s.Laser = false;
}

void BrioMaFamily::TakeBurstRecords() {
  TMeasurementRecord record;
  while (driver_->BurstCount() > 0) {
    TBrioV2BurstRecord entry;
    driver_->GetNextBurstEntry(entry);
    record.Time = entry.Time;
    record.Values = entry.Values;
    records_.Push(record);
  }
}

void BrioMaFamily::Open(int port, int, int, std::function<void(bool opened)> done) {
  OpenPort(port, {}, std::move(done));
}

void BrioMaFamily::PowerOn(std::function<void(bool ok)> done) {
  Run<bool>([](TpyreonBrio_mA& d) { return d.PowerOnHandshake(true); }, std::move(done));
}

void BrioMaFamily::ReadConfiguration(std::function<void(bool complete)> done) {
  Run<bool>(
      [](TpyreonBrio_mA& d) {
        d.Identify();
        d.ReadAllImages();
        return d.ConfigImage(1).Loaded && d.CalibrationImage(1).Loaded && d.VectorImage().Loaded;
      },
      std::move(done));
}

void BrioMaFamily::StartBurst(bool, std::function<void(bool started)> done) {
  const std::uint8_t code = snapshot_.TypeCode;
  const bool extended = code >= DeviceType::Briov2;
  const bool twoWire = code == DeviceType::Duna2Wv2 || code == DeviceType::Duna2W2Mv2;
  const bool inspection = extended && !twoWire && inputInspection_;
  layout_.HighResolution = snapshot_.HighResolution;
  layout_.HasBox = code == DeviceType::Briov2 || code == DeviceType::Dunav2 || code == DeviceType::Duna2Wv2;
  layout_.InputInspection = inspection;
  if (!extended)
    layout_.Channels = ChannelConversion::ChannelsBeforeZero(kBurstChannels.data(), 3);
  else
    layout_.Channels = ChannelConversion::ChannelsBeforeZero(
        (inspection ? kInspectionChannels : kExtendedChannels).data(), 8);
  records_.Clear();
  snapshot_.Streaming = true;
  Run<bool>(
      [this, extended, inspection](TpyreonBrio_mA& d) {
        bool written = false;
        if (!extended) {
          const auto& c = kBurstChannels;
          written = d.StartBurst(c[0], c[1], c[2]);
        } else {
          written = d.StartBurstExtended(inspection ? kInspectionChannels : kExtendedChannels);
        }
        if (d.PortOpen()) StartTakingRecords();
        return written;
      },
      std::move(done));
}

void BrioMaFamily::StopBurst(std::function<void()> done) { StopTakingRecords(std::move(done)); }

void BrioMaFamily::PollValues(std::function<void(const TPollResult&)> done) {
  Run<TPollResult>(
      [](TpyreonBrio_mA& d) {
        TPollResult r;
        d.ReadActualTemperature();
        d.ReadTargetTemperature();
        d.ReadInternalTemperature();
        d.ReadBoxTemperature();
        if (d.IsBriov2() || d.IsDunav2()) {
          d.PollEmissivity();
          d.ReadChannel7();
          d.ReadAmbientTemperature();
        }
        r.Answered = d.Connected();
        return r;
      },
      std::move(done));
}

bool BrioMaFamily::HasLaser() const { return (snapshot_.FeatureWord & 0x0001) != 0; }

void BrioMaFamily::ToggleLaser(std::function<void(bool on)> done) {
  Run<bool>(
      [](TpyreonBrio_mA& d) {
        if (!d.HasLaser()) return false;
        d.SetLaser(!d.GetLaserState());
        return d.GetLaserState();
      },
      std::move(done));
}

void BrioMaFamily::RewriteConfiguration(const std::array<std::uint8_t, 128>& image,
                                        std::function<void(bool written)> done) {
  Run<bool>(
      [image](TpyreonBrio_mA& d) {
        BrioConfigImage config;
        config.Loaded = true;
        config.Data = image;
        const std::uint8_t code = TypeCodeOf(d.FeatureWord());
        if (code >= DeviceType::Duna2Wv2) return d.WriteKoraConfiguration(config);
        if (code >= DeviceType::Briov2) return d.WriteBriov2Configuration(config);
        return d.WriteDazo4_20Configuration(config);
      },
      std::move(done));
}

TChannelSample BrioMaFamily::SampleOf(const TMeasurementRecord& record) const {
  return ChannelConversion::BrioRecordSample(record.Values, layout_, record.Time);
}
