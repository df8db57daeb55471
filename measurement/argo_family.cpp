#include "measurement/argo_family.h"

#include <QThread>

#include "drivers/device_type.h"
#include "transport/com_port.h"

namespace {

// The channel set of a burst: four standard channels, the ratio model's
// five, or object and actual temperature alone for the fastest rate.
std::array<std::uint8_t, 8> BurstSlots(bool ratio, bool fast) {
  if (fast) return {1, 4, 0, 0, 0, 0, 0, 0};
  if (ratio) return {1, 7, 3, 9, 8, 0, 0, 0};
  return {1, 2, 3, 4, 0, 0, 0, 0};
}

bool OnBus(int address) { return address >= 1 && address <= 79; }

std::uint8_t TypeCodeOf(const TpyreonArgo& d) {
  if (d.Config().FWrev == 0) return DeviceType::None;
  return d.IsRatioFirmware() ? DeviceType::ArgoRatio : DeviceType::Argo;
}

}  // namespace

ArgoFamily::ArgoFamily(QObject* owner) : SessionFamily(owner) { StartSession(); }

ArgoFamily::~ArgoFamily() { Shutdown(0, 1500); }

TpyreonArgo* ArgoFamily::MakeDriver() {
  auto* d = new TpyreonArgo(nullptr);
  d->setObjectName(QStringLiteral("pyreonArgo"));
  d->OnConnect = Forward(&DeviceFamily::OnConnect);
  d->OnDisconnect = Forward(&DeviceFamily::OnDisconnect);
  d->OnComClose = [this](QObject*) { Publish(); };
  d->OnError = [this](QObject*, int code) { ReportError(code); };
  d->OnLoadConfigData = [this](QObject*, bool ok) {
    Publish();
    Report([this, ok] {
      if (OnLoadConfigData) OnLoadConfigData(ok);
    });
  };
  d->OnProgress = [this](QObject*, int percent, const QString& caption) { ReportProgress(percent, caption); };
  d->OnNewTemp = [this, d](QObject*, std::uint8_t type, float value) {
    const bool percent = ChannelConversion::ObjectIsPercent(TypeCodeOf(*d), d->Config().DisplayMainSource);
    ReportValues(ChannelConversion::ReadingOfType(type, value, percent, TChannelSample::Now()));
  };
  d->OnBurstData = [this](QObject*) { TakeBurstRecords(); };
  return d;
}

void ArgoFamily::TakeBurstRecords() {
  TArgoBurstRecord entry;
  TMeasurementRecord record;
  while (driver_->GetNextBurstEntry(entry)) {
    record.Time = entry.Time;
    record.Values = entry.Values;
    records_.Push(record);
  }
  bytesLost_.store(driver_->BurstBytesLost());
}

void ArgoFamily::FillSnapshot(const TpyreonArgo& d, TDeviceSnapshot& s) const {
  const TArgoConfig& c = d.Config();
  FillPortState(d, s);
  s.Streaming = d.BurstActive();
  s.TypeCode = TypeCodeOf(d);
  s.BaudIndex = static_cast<int>(d.Baudrate());
  s.Rs485Address = d.RS485_Addr();
  s.SerialNumber = c.SerialNumber;
  s.Firmware = c.FWrev;
  s.ModelText = c.ModelInfo.ModelStr;
  s.RangeLo = c.ModelInfo.LoRangeTemp;
  s.RangeHi = c.ModelInfo.HiRangeTemp;
  s.RecordsInMs = c.ModelInfo.Time_in_ms;
  s.DisplaySource = c.DisplayMainSource;
  s.Fahrenheit = c.TempUnitFahrenheit;
  s.Laser = c.SpotIllumination;
}

void ArgoFamily::Open(int port, int baudIndex, int rs485Address, std::function<void(bool opened)> done) {
  snapshot_.BaudIndex = baudIndex;
  snapshot_.Rs485Address = rs485Address;
  OpenPort(
      port,
      [baudIndex, rs485Address](TpyreonArgo& d) {
        d.SetBaudrate(static_cast<TArgoBaudrate>(baudIndex));
        d.SetRS485_Addr(static_cast<std::int8_t>(rs485Address));
      },
      std::move(done));
}

void ArgoFamily::ReadConfiguration(std::function<void(bool complete)> done) {
  Run<bool>(
      [](TpyreonArgo& d) {
        if (!d.PortOpen()) return false;
        if (!d.ReadAllParameters(true)) return false;
        // The laser of the single-colour family is its spot illumination.
        d.GetSpotIllumination();
        QThread::msleep(200);
        return d.PortOpen() && d.Connected();
      },
      std::move(done));
}

void ArgoFamily::StartBurst(bool fast, std::function<void(bool started)> done) {
  const bool ratio = snapshot_.TypeCode == DeviceType::ArgoRatio;
  using ChannelConversion::TArgoBurstLayout;
  layout_ = fast ? TArgoBurstLayout::Fast : (ratio ? TArgoBurstLayout::Ratio : TArgoBurstLayout::Standard);
  records_.Clear();
  snapshot_.Streaming = true;
  Run<bool>(
      [ratio, fast](TpyreonArgo& d) {
        if (!d.PortOpen()) return false;
        d.SetBurstChannels(BurstSlots(ratio, fast));
        return d.SetBurstMode(true);
      },
      std::move(done));
}

void ArgoFamily::StopBurst(std::function<void()> done) {
  snapshot_.Streaming = false;
  Run<bool>(
      [](TpyreonArgo& d) {
        // A device on a bus is polled, never streams.
        if (!OnBus(d.RS485_Addr()) && d.PortOpen()) d.SetBurstMode(false);
        return true;
      },
      [done = std::move(done)](bool) {
        if (done) done();
      });
}

void ArgoFamily::PollValues(std::function<void(const TPollResult&)> done) {
  Run<TPollResult>(
      [](TpyreonArgo& d) {
        TPollResult r;
        d.ReadObjectTemperature();
        d.ReadBoxTemperature();
        d.ReadActualTemperature();
        if (d.IsRatioFirmware()) {
          d.ReadQuotientTemperature();
          d.ReadSingleTemperature();
          d.ReadTau();
        } else {
          d.ReadInternalTemperature();
        }
        if (d.Connected()) {
          r.Fahrenheit = d.GetTemperatureUnit();
          r.Answered = d.Connected();
        }
        return r;
      },
      std::move(done));
}

void ArgoFamily::ToggleLaser(std::function<void(bool on)> done) {
  Run<bool>(
      [](TpyreonArgo& d) {
        const bool on = d.GetSpotIllumination();
        d.SetSpotIllumination(!on);
        return d.GetSpotIllumination();
      },
      std::move(done));
}

TChannelSample ArgoFamily::SampleOf(const TMeasurementRecord& record) const {
  return ChannelConversion::ArgoRecordSample(record.Values, layout_, ObjectIsPercent(), record.Time);
}

bool ArgoFamily::ObjectIsPercent() const {
  return ChannelConversion::ObjectIsPercent(snapshot_.TypeCode, snapshot_.DisplaySource);
}
