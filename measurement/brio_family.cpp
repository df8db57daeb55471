#include "measurement/brio_family.h"

#include "drivers/device_type.h"

BrioFamily::BrioFamily(QObject* owner, std::uint8_t typeCode)
    : SessionFamily(owner),
      typeCode_(DeviceType::IsBrioFirstGeneration(typeCode) ? typeCode : DeviceType::Voduz1) {
  layout_.Channels = ChannelConversion::ChannelsBeforeZero(kBurstChannels.data(), 5);
  StartSession();
}

BrioFamily::~BrioFamily() { Shutdown(0, 1500); }

TpyreonBrio* BrioFamily::MakeDriver() {
  auto* d = new TpyreonBrio(nullptr);
  d->setObjectName(QStringLiteral("pyreonBrio"));
  d->OnComOpen = Forward(&DeviceFamily::OnComOpen);
  d->OnComClose = Forward(&DeviceFamily::OnComClose);
  d->OnConnect = Forward(&DeviceFamily::OnConnect);
  d->OnDisconnect = Forward(&DeviceFamily::OnDisconnect);
  d->OnAllLoaded = Forward(&DeviceFamily::OnAllLoaded);
  d->OnBusrtStart = Forward(&DeviceFamily::OnBurstStart);
  d->OnError = [this](QObject*, int code) { ReportError(code); };
  d->OnProgress = [this](QObject*, int percent) { ReportProgress(percent, QString()); };
  d->OnNewTemp = [this](QObject*, std::uint8_t type, float value) {
    ReportValues(ChannelConversion::ReadingOfType(type, value, false, TChannelSample::Now()));
  };
  MakeRecordTimer(d);
  return d;
}

void BrioFamily::FillSnapshot(const TpyreonBrio& d, TDeviceSnapshot& s) const {
  FillPortState(d, s);
  s.TypeCode = typeCode_;
  s.BaudIndex = 0;  // 9600 Bd
  const BrioConfigImage& config = d.ConfigImage();
  s.ConfigImage = config.Data;
  s.ImagesLoaded = config.Loaded && d.CalibrationImage().Loaded && d.VectorImage().Loaded;
  if (d.CalibrationImage().Loaded) s.SerialNumber = FirstGenerationSerialOf(d.CalibrationImage());
  s.RangeLo = -20.0f;
  s.RangeHi = 1000.0f;
}

void BrioFamily::TakeBurstRecords() {
  TBrioBurstRecord entry;
  TMeasurementRecord record;
  while (driver_->GetNextBurstEntry(entry)) {
    record.Time = entry.Time;
    record.Values = {};
    std::copy(entry.Values.begin(), entry.Values.end(), record.Values.begin());
    records_.Push(record);
  }
}

void BrioFamily::Open(int port, int, int, std::function<void(bool opened)> done) {
  OpenPort(port, {}, std::move(done));
}

void BrioFamily::PowerOn(std::function<void(bool ok)> done) {
  Run<bool>([](TpyreonBrio& d) { return d.PowerOnDevice(true); }, std::move(done));
}

void BrioFamily::ReadConfiguration(std::function<void(bool complete)> done) {
  Run<bool>(
      [](TpyreonBrio& d) {
        if (d.ReadMemoryByte(kChipIdAddress) == kForeignChipId) {
          d.ClosePort();
          return false;
        }
        d.ReadAllImages();
        return d.ConfigImage().Loaded && d.CalibrationImage().Loaded && d.VectorImage().Loaded;
      },
      std::move(done));
}

void BrioFamily::StartBurst(bool, std::function<void(bool started)> done) {
  records_.Clear();
  snapshot_.Streaming = true;
  Run<bool>(
      [this](TpyreonBrio& d) {
        const auto& c = kBurstChannels;
        const bool written = d.StartBurst(c[0], c[1], c[2], c[3], c[4]);
        if (d.BurstParserActive()) StartTakingRecords();
        return written;
      },
      std::move(done));
}

void BrioFamily::StopBurst(std::function<void()> done) { StopTakingRecords(std::move(done)); }

void BrioFamily::PollValues(std::function<void(const TPollResult&)> done) {
  Run<TPollResult>(
      [](TpyreonBrio& d) {
        TPollResult r;
        d.ReadActualTemperature();
        d.ReadTargetTemperature();
        d.ReadInternalTemperature();
        r.Answered = d.Connected();
        return r;
      },
      std::move(done));
}

void BrioFamily::ToggleLaser(std::function<void(bool on)> done) {
  if (done) done(false);
}

void BrioFamily::RewriteConfiguration(const std::array<std::uint8_t, 128>& image,
                                      std::function<void(bool written)> done) {
  Run<bool>(
      [image](TpyreonBrio& d) {
        BrioConfigImage config;
        config.Loaded = true;
        config.Data = image;
        return d.WriteConfiguration(config);
      },
      std::move(done));
}

TChannelSample BrioFamily::SampleOf(const TMeasurementRecord& record) const {
  return ChannelConversion::BrioRecordSample(record.Values, layout_, record.Time);
}
