#include "app/device_scan.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>

#include "drivers/argosuche.h"
#include "drivers/device_type.h"
#include "measurement/brio_family.h"
#include "measurement/brio_ma_family.h"
#include "platform/port_map.h"

namespace {

constexpr std::uint16_t kFtdiVendor = 0x0403;
constexpr std::uint16_t kSiliconLabsVendor = 0x10C4;
constexpr int kWatchIntervalMs = 20;
// A device thread that does not end in this time is left to end by itself.
constexpr int kProbeShutdownMs = 1500;
constexpr float kNoTemperature = -9999.0f;

bool IsSingleColourAdapter(const TUsbAdapter& a) {
  if (a.VendorId == kFtdiVendor) return a.ProductId == 0x6001 || a.ProductId == 0xDE30;
  if (a.VendorId == kSiliconLabsVendor) return a.ProductId == 0x834B || a.ProductId == 0x8508;
  return false;
}

bool IsBrioAdapter(const TUsbAdapter& a) {
  return a.VendorId == kSiliconLabsVendor && (a.ProductId == 0x80C4 || a.ProductId == 0x834E);
}

QList<int> PortsOf(const QList<TUsbAdapter>& adapters, bool (*wanted)(const TUsbAdapter&)) {
  QList<int> ports;
  for (const TUsbAdapter& a : adapters)
    if (wanted(a) && a.Port >= 1 && a.Port <= PortMap::kMaxPort && !ports.contains(a.Port))
      ports.append(a.Port);
  return ports;
}

// A hexadecimal id file of a USB device ("0403"); 0 when unreadable.
std::uint16_t ReadHexId(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return 0;
  bool ok = false;
  const uint v = QString::fromLatin1(f.readAll().trimmed()).toUInt(&ok, 16);
  return ok && v <= 0xFFFF ? static_cast<std::uint16_t>(v) : 0;
}

// The rate of a baud index 0..4; 0 (none) for any other.
int BaudRateOf(int index) {
  const auto& rates = TArgosuche::kBaudRates;
  return index >= 0 && index < static_cast<int>(rates.size()) ? rates[static_cast<std::size_t>(index)] : 0;
}

// The baud index of a rate the search found; 0 for any other.
int BaudIndexOf(int baud) {
  const auto& rates = TArgosuche::kBaudRates;
  const auto it = std::find(rates.begin(), rates.end(), baud);
  return it != rates.end() ? static_cast<int>(it - rates.begin()) : 0;
}

}  // namespace

// One Brio probe of one port: the second generation on a device thread of
// its own, then (when that found nothing) the first generation.
struct TDeviceScan::Probe {
  int Port = 0;
  std::unique_ptr<BrioMaFamily> Second;
  std::unique_ptr<BrioFamily> First;
  bool Done = false;
  bool Found = false;
  TScanResult Result;

  ~Probe() {
    for (DeviceFamily* f :
         {static_cast<DeviceFamily*>(Second.get()), static_cast<DeviceFamily*>(First.get())}) {
      // A thread stuck in a wait keeps its family: it is never deleted under it.
      if (f != nullptr && !f->Shutdown(0, kProbeShutdownMs)) {
        if (f == Second.get()) static_cast<void>(Second.release());
        if (f == First.get()) static_cast<void>(First.release());
      }
    }
  }
};

TDeviceScan::TDeviceScan(QObject* owner) : QObject(owner), watch_(new QTimer(this)) {
  watch_->setInterval(kWatchIntervalMs);
  connect(watch_, &QTimer::timeout, this, &TDeviceScan::Watch);
  ListAdapters = [] { return SysfsAdapters(); };
}

TDeviceScan::~TDeviceScan() {
  Cancel();
  probes_.clear();
}

QList<int> TDeviceScan::SingleColourAdapterPorts(const QList<TUsbAdapter>& adapters) {
  return PortsOf(adapters, &IsSingleColourAdapter);
}

QList<int> TDeviceScan::BrioAdapterPorts(const QList<TUsbAdapter>& adapters) {
  return PortsOf(adapters, &IsBrioAdapter);
}

QList<TUsbAdapter> TDeviceScan::SysfsAdapters(const QString& sysfsRoot) {
  QList<TUsbAdapter> adapters;
  const PortMap map = PortMap::FromEnvironment();
  const QList<int> ports = map.UsbSerialPorts(sysfsRoot);
  const QDir root(sysfsRoot);
  for (const QString& name : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System, QDir::Name)) {
    const int port = map.NumberForPath(QStringLiteral("/dev/") + name);
    if (port == 0 || !ports.contains(port)) continue;
    // The tty's device is the adapter's interface (or a port below it); the
    // USB device with its ids is further up.
    QString dir = QFileInfo(root.filePath(name) + QStringLiteral("/device")).canonicalFilePath();
    TUsbAdapter a;
    a.Port = port;
    for (int up = 0; up < 4 && !dir.isEmpty() && a.VendorId == 0; ++up) {
      a.VendorId = ReadHexId(dir + QStringLiteral("/idVendor"));
      a.ProductId = ReadHexId(dir + QStringLiteral("/idProduct"));
      dir = QFileInfo(dir).path();
    }
    adapters.append(a);
  }
  return adapters;
}

std::uint8_t TDeviceScan::TypeOf(const TpyreonBrio_mA& d) {
  if (d.IsFenn2W()) return DeviceType::Fenn2W;
  if (d.IsBriov2()) return DeviceType::Briov2;
  if (d.IsDunav2()) return DeviceType::Dunav2;
  if (d.IsDuna2Wv2()) return DeviceType::Duna2Wv2;
  if (d.IsDuna2W2Mv2()) return DeviceType::Duna2W2Mv2;
  return DeviceType::Brio2W;
}

void TDeviceScan::Scan(std::uint8_t storedType, std::uint8_t previousType, int preferredPort, bool scanNonUsb,
                       std::function<void(const Outcome&)> done) {
  // The families in order, each once.
  auto order = std::make_shared<QList<bool>>();  // true: single-colour
  const auto add = [&order](bool singleColour) {
    if (!order->contains(singleColour)) order->append(singleColour);
  };
  if (DeviceType::IsSingleColour(storedType)) add(true);
  if (DeviceType::IsBrio(storedType)) add(false);
  if (previousType == DeviceType::None) {
    add(true);
    add(false);
  } else if (DeviceType::IsSingleColour(previousType)) {
    add(true);
  } else if (DeviceType::IsBrio(previousType)) {
    add(false);
  }
  auto outcome = std::make_shared<Outcome>();
  const std::uint64_t generation = ++generation_;
  // The step lives in nextFamily_; whoever runs it holds it, so a cancel
  // from inside the report does not delete it while it runs.
  nextFamily_ = std::make_shared<std::function<void()>>();
  const std::weak_ptr<std::function<void()>> step = nextFamily_;
  *nextFamily_ = [this, order, outcome, done, preferredPort, scanNonUsb, generation, step] {
    if (generation != generation_) return;
    if (order->isEmpty() || outcome->WantedIndex >= 0) {
      running_ = false;
      nextFamily_.reset();
      if (done) done(*outcome);
      return;
    }
    const bool singleColour = order->takeFirst();
    const Done familyDone = [this, outcome, singleColour, step](const Results& found) {
      if (!found.isEmpty()) outcome->DeviceType = found.last().DeviceType;
      for (const TScanResult& r : found) {
        if (WantedSerial != 0 && outcome->WantedIndex < 0 &&
            r.Serial == static_cast<std::uint32_t>(WantedSerial))
          outcome->WantedIndex = static_cast<int>(outcome->Found.size());
        outcome->Found.append(r);
      }
      const auto next = step.lock();
      if (OnFamilyDone) OnFamilyDone(singleColour, found);
      if (next) (*next)();
    };
    if (singleColour)
      ScanSingleColour(preferredPort, scanNonUsb, familyDone);
    else
      ProbeBrio(BrioAdapterPorts(ListAdapters ? ListAdapters() : QList<TUsbAdapter>()), familyDone);
    running_ = true;
  };
  const auto first = nextFamily_;
  (*first)();
}

void TDeviceScan::ScanSingleColour(int preferredPort, bool scanNonUsb, Done done) {
  const auto rest = [this, preferredPort, scanNonUsb, done](const Results& first) {
    if (!first.isEmpty()) {
      if (done) done(first);
      return;
    }
    QList<int> ports;
    if (scanNonUsb) {
      for (int p = 1; p <= PortMap::kMaxPort; ++p) ports.append(p);
    } else {
      ports = SingleColourAdapterPorts(ListAdapters ? ListAdapters() : QList<TUsbAdapter>());
    }
    ports.removeAll(preferredPort);
    SearchPass(ports, done);
  };
  if (preferredPort >= 1 && preferredPort <= PortMap::kMaxPort)
    SearchPass({preferredPort}, rest, PreferredBaudIndex);
  else
    rest({});
}

void TDeviceScan::BeginPass(Done done, int count, bool reportProgress) {
  ReleaseSearches();
  ReleaseProbes();
  results_.clear();
  passDone_ = std::move(done);
  wantedFound_ = false;
  count_ = count;
  collectedCount_ = 0;
  reportProgress_ = reportProgress;
  Progress(0);
}

void TDeviceScan::SearchPass(const QList<int>& ports, Done done, int firstBaudIndex) {
  BeginPass(std::move(done), static_cast<int>(ports.size()), true);
  for (int port : ports) {
    if (port < 1 || port > PortMap::kMaxPort) continue;
    auto* search = new TArgosuche(true, static_cast<std::uint8_t>(port), this);
    search->SetWindowHandle(this);
    search->SetMessageNo(kSearchProgressMessage);
    search->SetTimeout(static_cast<std::uint16_t>(std::clamp(SearchTimeout, 0, 0xFFFF)));
    search->SetFirstBaudRate(BaudRateOf(firstBaudIndex));
    searches_.push_back(search);
  }
  collected_.assign(searches_.size(), false);
  for (TArgosuche* s : searches_) s->Resume();
  StartWatch();
}

void TDeviceScan::ProbeBrio(const QList<int>& ports, Done done) {
  BeginPass(std::move(done), static_cast<int>(ports.size()), false);
  const PortMap map = PortMap::FromEnvironment();
  for (int port : ports) {
    auto probe = std::make_shared<Probe>();
    probe->Port = port;
    probes_.push_back(probe);
    // A port that names no device, or a device file that is not there, is
    // skipped.
    const QString path = map.PathForNumber(port);
    if (path.isEmpty() || (path.startsWith(QLatin1Char('/')) && !QFileInfo::exists(path))) {
      probe->Done = true;
      continue;
    }
    const std::weak_ptr<Probe> weak = probe;
    const auto found = [weak](int serial, std::uint8_t type) {
      if (auto p = weak.lock()) {
        p->Found = true;
        p->Result = {static_cast<std::uint32_t>(serial), PortMap::NameFromNumber(p->Port), p->Port, 0, type};
      }
    };
    probe->Second = std::make_unique<BrioMaFamily>(this);
    auto serialType = std::make_shared<std::pair<int, std::uint8_t>>(-1, DeviceType::None);
    probe->Second->PostDriverJob(
        [port, serialType](TpyreonBrio_mA& d) {
          d.ClosePort();
          d.SetComPort(port);
          if (!d.OpenPort() || !d.PortOpen()) return;
          if (d.PowerOnHandshake(true)) {
            const int serial = d.ReadSerialNumber();
            if (serial != -1 && d.ReadTargetTemperature() > kNoTemperature && d.ReadConfigurationImage()) {
              d.Identify();
              *serialType = {serial, TypeOf(d)};
            }
          }
          d.ClosePort();
        },
        [this, weak, serialType, found, port](bool) {
          auto p = weak.lock();
          if (!p) return;
          if (serialType->first != -1) {
            found(serialType->first, serialType->second);
            p->Done = true;
            return;
          }
          p->First = std::make_unique<BrioFamily>(this);
          auto serial = std::make_shared<int>(-1);
          p->First->PostDriverJob(
              [port, serial, session = &p->First->Session()](TpyreonBrio& d) {
                d.ClosePort();
                d.SetComPort(port);
                bool open = false;
                for (int attempt = 0; attempt < 3 && !open && !session->Cancelled(); ++attempt) {
                  // Three seconds between attempts, cut short by a cancel.
                  for (int slice = 0; attempt > 0 && slice < 30 && !session->Cancelled(); ++slice)
                    QThread::msleep(100);
                  open = d.OpenPort() && d.PortOpen();
                }
                if (!open) return;
                if (d.PowerOnDevice(true)) *serial = d.ReadSerialNumber();
                d.ClosePort();
              },
              [weak, serial, found](bool) {
                auto q = weak.lock();
                if (!q) return;
                if (*serial != -1) found(*serial, DeviceType::Voduz1);
                q->Done = true;
              });
        });
  }
  collected_.assign(probes_.size(), false);
  StartWatch();
}

void TDeviceScan::StartWatch() {
  clock_.start();
  running_ = true;
  watch_->start();
  // Collects at once what already ended (ports that name nothing).
  QTimer::singleShot(0, this, [this, g = generation_] {
    if (g == generation_ && watch_->isActive()) Watch();
  });
}

void TDeviceScan::Watch() {
  const auto collect = [this](std::size_t i, bool found, const TScanResult& result) {
    collected_[i] = true;
    ++collectedCount_;
    clock_.restart();
    if (found) {
      results_.append(result);
      if (WantedSerial != 0 && result.Serial == static_cast<std::uint32_t>(WantedSerial)) wantedFound_ = true;
    }
    Progress(count_ > 0 ? collectedCount_ * 100 / count_ - 1 : 0);
  };
  for (std::size_t i = 0; i < searches_.size() && !wantedFound_; ++i) {
    TArgosuche* s = searches_[i];
    if (collected_[i] || !s->Done()) continue;
    TScanResult r;
    if (s->ResultFound()) {
      r.Serial = s->ResultSerial();
      r.Port = s->ResultPort();
      r.PortName = PortMap::NameFromNumber(r.Port);
      r.BaudIndex = static_cast<std::uint8_t>(BaudIndexOf(s->ResultBaud()));
      r.DeviceType = DeviceType::Argo;
    }
    collect(i, s->ResultFound(), r);
  }
  for (std::size_t i = 0; i < probes_.size() && !wantedFound_; ++i) {
    const Probe& p = *probes_[i];
    if (collected_[i] || !p.Done) continue;
    collect(i, p.Found, p.Result);
  }
  const bool allDone = std::all_of(collected_.begin(), collected_.end(), [](bool c) { return c; });
  const bool timedOut = clock_.elapsed() > static_cast<qint64>(TimeoutSeconds) * 1000;
  if (wantedFound_ || allDone || timedOut) FinishPass();
}

void TDeviceScan::FinishPass() {
  watch_->stop();
  running_ = false;
  ReleaseSearches();
  ReleaseProbes();
  Progress(100);
  Done done = std::move(passDone_);
  passDone_ = nullptr;
  const Results found = results_;
  results_.clear();
  if (done) done(found);
}

void TDeviceScan::Progress(int percent) {
  if (reportProgress_ && OnProgress) OnProgress(percent);
}

void TDeviceScan::ReleaseSearches() {
  for (TArgosuche* s : searches_) {
    s->SetWindowHandle(nullptr);
    // A search whose result nobody takes ends soon.
    s->requestInterruption();
    if (s->isFinished())
      delete s;
    else
      connect(s, &QThread::finished, s, &QObject::deleteLater);
  }
  searches_.clear();
}

void TDeviceScan::ReleaseProbes() {
  // Every probe is told first, so their threads wind down together.
  for (const auto& p : probes_) {
    if (p->Second != nullptr) p->Second->Session().CancelJobs();
    if (p->First != nullptr) p->First->Session().CancelJobs();
  }
  probes_.clear();
}

void TDeviceScan::Cancel() {
  ++generation_;
  nextFamily_.reset();
  watch_->stop();
  running_ = false;
  passDone_ = nullptr;
  ReleaseSearches();
  ReleaseProbes();
}

void TDeviceScan::customEvent(QEvent* event) {
  // The searches' heartbeat only keeps the owner's loop turning.
  if (event->type() == static_cast<QEvent::Type>(kSearchProgressMessage)) event->accept();
}
