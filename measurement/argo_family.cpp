#include "measurement/argo_family.h"

#include <QThread>

#include "drivers/argo/pyreon_argo.h"
#include "drivers/device_session.h"
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

}  // namespace

ArgoFamily::ArgoFamily(QObject* owner) : session_(std::make_unique<DeviceSession>(owner)) {
  session_->Start([this]() -> QObject* {
    auto* driver = new TpyreonArgo(nullptr);
    driver->setObjectName(QStringLiteral("pyreonArgo"));
    driver->SetCancelCheck([session = session_.get()] { return session->Cancelled(); });
    Wire(*driver);
    driver_ = driver;
    return driver;
  });
}

ArgoFamily::~ArgoFamily() { Shutdown(0, 1500); }

void ArgoFamily::Wire(TpyreonArgo& d) {
  DeviceSession* s = session_.get();
  d.OnConnect = [this, s](QObject*) {
    Publish();
    s->Notify([this] {
      if (OnConnect) OnConnect();
    });
  };
  d.OnDisconnect = [this, s](QObject*) {
    Publish();
    s->Notify([this] {
      if (OnDisconnect) OnDisconnect();
    });
  };
  d.OnComClose = [this](QObject*) { Publish(); };
  d.OnError = [this, s](QObject*, int code) {
    s->Notify([this, code] {
      if (OnError) OnError(code);
    });
  };
  d.OnLoadConfigData = [this, s](QObject*, bool ok) {
    Publish();
    s->Notify([this, ok] {
      if (OnLoadConfigData) OnLoadConfigData(ok);
    });
  };
  d.OnProgress = [this, s](QObject*, int percent, const QString& caption) {
    s->Notify([this, percent, caption] {
      if (OnProgress) OnProgress(percent, caption);
    });
  };
  d.OnNewTemp = [this, s](QObject*, std::uint8_t type, float value) {
    s->Notify([this, type, value] {
      if (OnNewTemp) OnNewTemp(type, value);
    });
  };
  d.OnBurstData = [this](QObject*) { TakeBurstRecords(); };
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

void ArgoFamily::Publish() {
  const TpyreonArgo& d = *driver_;
  const TArgoConfig& c = d.Config();
  TDeviceSnapshot s;
  s.PortOpen = d.PortOpen();
  s.Connected = d.Connected();
  s.Streaming = d.BurstActive();
  s.TypeCode =
      c.FWrev == 0 ? DeviceType::None : (d.IsRatioFirmware() ? DeviceType::ArgoRatio : DeviceType::Argo);
  s.ComPort = d.ComPort();
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
  session_->Notify([this, s] { snapshot_ = s; });
}

template <typename R>
void ArgoFamily::Run(std::function<R(TpyreonArgo&)> job, std::function<void(R)> done) {
  auto result = std::make_shared<R>();
  ++pending_;
  const bool posted = session_->Post(
      [this, job = std::move(job), result] {
        *result = job(*driver_);
        Publish();
      },
      [this, done = std::move(done), result](bool) {
        --pending_;
        if (done) done(*result);
      });
  if (!posted) --pending_;
}

bool ArgoFamily::PostDriverJob(std::function<void(TpyreonArgo&)> job, std::function<void(bool ran)> done) {
  ++pending_;
  const bool posted = session_->Post(
      [this, job = std::move(job)] {
        job(*driver_);
        Publish();
      },
      [this, done = std::move(done)](bool ran) {
        --pending_;
        if (done) done(ran);
      });
  if (!posted) --pending_;
  return posted;
}

void ArgoFamily::Open(int port, int baudIndex, int rs485Address, std::function<void(bool opened)> done) {
  snapshot_.ComPort = port;
  snapshot_.BaudIndex = baudIndex;
  snapshot_.Rs485Address = rs485Address;
  DeviceSession* s = session_.get();
  Run<bool>(
      [this, s, port, baudIndex, rs485Address](TpyreonArgo& d) {
        d.SetComPort(port);
        d.SetBaudrate(static_cast<TArgoBaudrate>(baudIndex));
        d.SetRS485_Addr(static_cast<std::int8_t>(rs485Address));
        const bool opened = d.OpenPort();
        if (opened && d.Port() != nullptr) {
          // Reported once from the port's side; the owner reacts.
          d.Port()->OnRemoved = [this, s](QObject*) {
            s->Notify([this] {
              if (OnPortRemoved) OnPortRemoved();
            });
          };
        }
        return opened && d.PortOpen();
      },
      std::move(done));
}

void ArgoFamily::Close() {
  // Whatever was still to be done on this device is moot.
  session_->CancelJobs();
  snapshot_.PortOpen = false;
  snapshot_.Connected = false;
  snapshot_.Streaming = false;
  PostDriverJob([](TpyreonArgo& d) { d.ClosePort(); });
}

void ArgoFamily::ReadConfiguration(std::function<void(bool complete)> done) {
  Run<bool>(
      [](TpyreonArgo& d) {
        if (!d.PortOpen()) return false;
        if (!d.ReadAllParameters(true)) return false;
        // later: the family's setup dialog starts its three change counters
        // again for the device read here.
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

TChannelValues ArgoFamily::ConvertRecord(const TMeasurementRecord& record) const {
  return ChannelConversion::ConvertArgoBurstRecord(record.Values, layout_, ObjectIsPercent());
}

bool ArgoFamily::ObjectIsPercent() const {
  return ChannelConversion::ObjectIsPercent(snapshot_.TypeCode, snapshot_.DisplaySource);
}

bool ArgoFamily::Shutdown(int drainMs, int deadlineMs) {
  if (session_->Running()) session_->Drain(drainMs);
  return session_->Shutdown(deadlineMs);
}
