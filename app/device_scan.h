#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "drivers/device_type.h"

class QTimer;
class TArgosuche;
class DeviceFamily;

// One device found by a scan.
struct TScanResult {
  std::uint32_t Serial = 0;
  QString PortName;  // "COM" + Port
  int Port = 0;
  std::uint8_t BaudIndex = 0;  // 0..4: 9600..115200 (single-colour family)
  // The device type code of what was found: DeviceType::Argo for a device a
  // single-colour search found (a ratio model shows itself only once its
  // firmware is read), DeviceType::Voduz1 for a first-generation Brio, a
  // second-generation code by the model's identification (TypeOf).
  std::uint8_t DeviceType = DeviceType::None;
};

// A USB-serial adapter present on the system, by its COM number.
struct TUsbAdapter {
  int Port = 0;
  std::uint16_t VendorId = 0;
  std::uint16_t ProductId = 0;
};

// Finds devices on serial ports without a display: the single-colour search
// runs one TArgosuche per port, all at once; the Brio probe runs one device
// thread per adapter port, all at once. A pass is watched from the owner's
// event loop by a timer (no nested loop) and reports back through its
// `done` on the owner's thread.
class TDeviceScan : public QObject {
 public:
  using Results = QList<TScanResult>;
  using Done = std::function<void(const Results& found)>;

  // What a whole scan found: the records in grid order, the type code of the
  // last family that found anything, and the index of the record with the
  // wanted serial (-1 when none).
  struct Outcome {
    Results Found;
    std::uint8_t DeviceType = 0;
    int WantedIndex = -1;
  };

  static constexpr std::uint16_t kSearchProgressMessage = 1025;

  explicit TDeviceScan(QObject* owner = nullptr);
  // Waits for searches still running (each ends by itself within seconds).
  ~TDeviceScan() override;

  // Ends a pass at once when a device with this serial is found (0: none).
  int WantedSerial = 0;
  // The rate the preferred port's search tries first (0..4: 9600..115200,
  // the rate stored with the device); the others follow in rising order.
  // Any other value: all in rising order.
  int PreferredBaudIndex = -1;
  // A pass ends this many seconds after the last search finished.
  int TimeoutSeconds = 10;
  // Handed to every search thread (its Timeout).
  int SearchTimeout = 100;
  // The adapters present now (sysfs by default).
  std::function<QList<TUsbAdapter>()> ListAdapters;
  // Progress of a single-colour pass: 0 at its start, then percent - 1 per
  // search collected, 100 at its end. The Brio probe reports none.
  std::function<void(int percent)> OnProgress;
  // Within Scan: a family's search is over (`singleColour` tells which),
  // before the next family starts.
  std::function<void(bool singleColour, const Results& found)> OnFamilyDone;

  // The adapters of the wanted product IDs of each family.
  static QList<int> SingleColourAdapterPorts(const QList<TUsbAdapter>& adapters);
  static QList<int> BrioAdapterPorts(const QList<TUsbAdapter>& adapters);
  // The cp210x and ftdi_sio adapters under `sysfsRoot`, mapped to COM
  // numbers through the port map.
  static QList<TUsbAdapter> SysfsAdapters(const QString& sysfsRoot = QStringLiteral("/sys/class/tty"));

  // Device type code of a second-generation device by its identification
  // (the first model bit that is set, in the order Fenn2W, Briov2, Dunav2,
  // Duna2Wv2, Duna2W2Mv2; Brio2W for none).
  static std::uint8_t TypeOf(const class TpyreonBrio_mA& driver);

  // Scans the families in order: the family of `storedType` first, then
  // those of `previousType` not yet scanned (0: single-colour, then Brio).
  // A record with the wanted serial ends the scan.
  void Scan(std::uint8_t storedType, std::uint8_t previousType, int preferredPort, bool scanNonUsb,
            std::function<void(const Outcome&)> done);
  // Single-colour family: the preferred port alone, then (when nothing was
  // found there) the single-colour adapters or, with `scanNonUsb`, every
  // port 1..255.
  void ScanSingleColour(int preferredPort, bool scanNonUsb, Done done);
  // One single-colour search pass over `ports`; each search tries the rate
  // of `firstBaudIndex` (0..4) first, then the others in rising order (all
  // in rising order for any other value).
  void SearchPass(const QList<int>& ports, Done done, int firstBaudIndex = -1);
  // Brio family: the Brio adapters, the second generation first on each.
  void ProbeBrio(const QList<int>& ports, Done done);

  // Drops the running scan: no `done` follows. Searches still running end
  // by themselves and are freed then.
  void Cancel();
  bool Running() const { return running_; }

 protected:
  void customEvent(QEvent* event) override;

 private:
  struct Search;
  struct Probe;
  // Drops what a previous pass left and starts counting `count` ports.
  void BeginPass(Done done, int count, bool reportProgress);
  void StartWatch();
  void Watch();
  void FinishPass();
  void Progress(int percent);
  void ReleaseSearches();
  void ReleaseProbes();

  QTimer* watch_ = nullptr;
  bool running_ = false;
  std::uint64_t generation_ = 0;
  // The running pass.
  std::vector<TArgosuche*> searches_;
  std::vector<std::shared_ptr<Probe>> probes_;
  std::vector<bool> collected_;
  int count_ = 0;
  int collectedCount_ = 0;
  bool reportProgress_ = false;
  QElapsedTimer clock_;  // restarted at every collection
  Results results_;
  Done passDone_;
  // The next step of a whole scan (the next family, or the report).
  std::shared_ptr<std::function<void()>> nextFamily_;
  bool wantedFound_ = false;
};
