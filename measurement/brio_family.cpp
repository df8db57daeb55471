#include "measurement/brio_family.h"

#include <QTimer>

#include "drivers/device_type.h"
#include "drivers/driver_timer.h"

namespace {

// How often streamed entries move from the driver to the record queue (the
// driver parses every 100 ms).
constexpr int kRecordTakeMs = 50;

}  // namespace

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
  const auto forward = [this](std::function<void()> DeviceFamily::*event) {
    return [this, event](QObject*) {
      Publish();
      Report([this, event] {
        if (this->*event) (this->*event)();
      });
    };
  };
  d->OnComOpen = forward(&DeviceFamily::OnComOpen);
  d->OnComClose = forward(&DeviceFamily::OnComClose);
  d->OnConnect = forward(&DeviceFamily::OnConnect);
  d->OnDisconnect = forward(&DeviceFamily::OnDisconnect);
  d->OnAllLoaded = forward(&DeviceFamily::OnAllLoaded);
  d->OnBusrtStart = forward(&DeviceFamily::OnBurstStart);
  d->OnError = [this](QObject*, int code) {
    Report([this, code] {
      if (OnError) OnError(code);
    });
  };
  d->OnProgress = [this](QObject*, int percent) {
    Report([this, percent] {
      if (OnProgress) OnProgress(percent, QString());
    });
  };
  d->OnNewTemp = [this](QObject*, std::uint8_t type, float value) {
    Report([this, type, value] {
      if (OnNewTemp) OnNewTemp(type, value);
    });
  };
  recordTimer_ = DriverTimer::Create(d, kRecordTakeMs, [this] { TakeBurstRecords(); });
  return d;
}

void BrioFamily::FillSnapshot(const TpyreonBrio& d, TDeviceSnapshot& s) const {
  s.PortOpen = d.PortOpen();
  s.Connected = d.Connected();
  s.Streaming = recordTimer_->isActive();
  s.TypeCode = typeCode_;
  s.ComPort = d.ComPort();
  s.BaudIndex = 0;  // 9600 Bd
  const BrioConfigImage& config = d.ConfigImage();
  s.ConfigImage = config.Data;
  s.ImagesLoaded = config.Loaded && d.CalibrationImage().Loaded && d.VectorImage().Loaded;
  if (config.Loaded) s.SerialNumber = config.Data[0] << 16 | config.Data[1] << 8 | config.Data[2];
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
  snapshot_.ComPort = port;
  Run<bool>(
      [this, port](TpyreonBrio& d) {
        recordTimer_->stop();
        d.SetComPort(port);
        const bool opened = d.OpenPort();
        if (opened) WatchPortRemoval(d.Port());
        return opened && d.PortOpen();
      },
      std::move(done));
}

void BrioFamily::Close() {
  CancelAndClose([this](TpyreonBrio& d) {
    recordTimer_->stop();
    d.ClosePort();
  });
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
        if (d.BurstParserActive()) recordTimer_->start();
        return written;
      },
      std::move(done));
}

void BrioFamily::StopBurst(std::function<void()> done) {
  snapshot_.Streaming = false;
  PostDriverJob([this](TpyreonBrio&) { recordTimer_->stop(); },
                [done = std::move(done)](bool) {
                  if (done) done();
                });
}

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

TChannelValues BrioFamily::ConvertRecord(const TMeasurementRecord& record) const {
  return ChannelConversion::ConvertBrioBurstRecord(record.Values, layout_);
}
