#pragma once

#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <utility>

#include "measurement/channel_sample.h"
#include "measurement/channel_values.h"
#include "measurement/record_queue.h"
#include "platform/listener_list.h"

// What the window shows of the connected device: a copy of the driver's
// caches, published by the device's session after every job (the window
// never reads a driver across threads).
struct TDeviceSnapshot {
  bool PortOpen = false;
  bool Connected = false;     // the device answers
  bool Streaming = false;     // a burst runs
  std::uint8_t TypeCode = 0;  // DeviceType of the device read (0 before)
  int ComPort = 0;
  int BaudIndex = 0;  // 0..4: 9600..115200 Bd
  int Rs485Address = 0;
  std::int32_t SerialNumber = -1;
  int Firmware = 0;
  QString ModelText;
  float RangeLo = 0.0f;
  float RangeHi = 0.0f;
  bool RecordsInMs = false;  // the model's burst can run at 1 ms
  std::uint8_t DisplaySource = 0;
  bool Fahrenheit = false;  // the unit the device shows
  bool Laser = false;
  // Brio families: the configuration image as read (bytes 0..2 hold the
  // serial number, high byte first), whether every image the model needs
  // was read in this connection, the identification's feature word and
  // whether temperatures come in hundredths.
  std::array<std::uint8_t, 128> ConfigImage{};
  bool ImagesLoaded = false;
  std::uint16_t FeatureWord = 0;
  bool HighResolution = false;
};

// One poll of the current values (the values themselves arrive through
// OnChannelValues before the poll reports back).
struct TPollResult {
  bool Answered = false;
  bool Fahrenheit = false;
};

// A device family as the main window drives it: connection with the read
// of the whole configuration, burst and poll measuring, streamed records,
// the laser, the removed-port reaction and its notifications (the window
// picks the device dialogs by device type code). Every device operation
// runs on the family's own thread; the calls below return at once and
// report back through `done` and the notifications, always on the thread
// that owns the family (the GUI thread).
class DeviceFamily {
 public:
  virtual ~DeviceFamily() = default;

  // --- Notifications (on the owner's thread) ---
  std::function<void()> OnConnect;     // the device answered (again)
  std::function<void()> OnDisconnect;  // the device stopped answering
  std::function<void(int code)> OnError;
  std::function<void(bool success)> OnLoadConfigData;
  std::function<void(int percent, const QString& caption)> OnProgress;
  // Values read on request (a poll, a dialog's read, a second-generation
  // notification), one reading per value as it arrives. Streamed records
  // do not come this way: the window takes them in batches (Records()).
  std::function<void(const TChannelSample& reading)> OnChannelValues;
  // The port's device disappeared (an unplugged adapter).
  std::function<void()> OnPortRemoved;
  // Brio families: the port was opened, closed; every image was read; the
  // first burst frame arrived. The second generation also reports each of
  // its three images read (OnImageLoaded), its found device as OnConnect,
  // its lost one as OnDisconnect.
  std::function<void()> OnComOpen;
  std::function<void()> OnComClose;
  std::function<void()> OnAllLoaded;
  std::function<void()> OnBurstStart;
  std::function<void()> OnImageLoaded;
  // Second-generation Brio: the driver's notifications as they are, by their
  // message numbers (MsgBrioPortOpened .. MsgBrioNewValues) with their
  // parameters, before the typed notifications above.
  std::function<void(std::uint16_t msg, std::uint32_t wParam, std::int32_t lParam)> OnBrioNotify;

  // Progress listeners besides OnProgress (a setup sequence while it
  // runs): each adds and removes its own by the token it was given.
  using ProgressListeners = ListenerList<int, const QString&>;
  ProgressListeners::Token AddProgressListener(ProgressListeners::Listener listener) {
    return progressListeners_.Add(std::move(listener));
  }
  bool RemoveProgressListener(ProgressListeners::Token token) { return progressListeners_.Remove(token); }
  // A progress report: OnProgress first, then every listener.
  void DeliverProgress(int percent, const QString& caption) {
    if (OnProgress) OnProgress(percent, caption);
    progressListeners_.Call(percent, caption);
  }

  virtual const TDeviceSnapshot& Snapshot() const = 0;
  // True while a job is queued or running.
  virtual bool Busy() const = 0;

  // Opens port "COM<port>" at `baudIndex` (0..4) for the bus address
  // `rs485Address` (0: none); `done(opened)`.
  virtual void Open(int port, int baudIndex, int rs485Address, std::function<void(bool opened)> done) = 0;
  // Closes the port; queued jobs are dropped.
  virtual void Close() = 0;
  // Reads the whole configuration and the laser state; `done(complete)`:
  // false when the device did not answer (the read gives up at once).
  virtual void ReadConfiguration(std::function<void(bool complete)> done) = 0;
  // Starts the burst with the family's channel set (`fast`: the smallest
  // record for the fastest rate); records go to Records().
  virtual void StartBurst(bool fast, std::function<void(bool started)> done) = 0;
  virtual void StopBurst(std::function<void()> done) = 0;
  // Reads the current values once (they arrive through OnChannelValues).
  virtual void PollValues(std::function<void(const TPollResult&)> done) = 0;
  // Brio families: switches the device on and lets it find its feet (the
  // first generation configured for normal operation, the second through
  // its power-on handshake); `done(ok)`.
  virtual void PowerOn(std::function<void(bool ok)> done) {
    if (done) done(false);
  }
  // Brio families: programs `image` as the device's configuration (the one
  // saved before a burst changed it); `done(written)`.
  virtual void RewriteConfiguration(const std::array<std::uint8_t, 128>& image,
                                    std::function<void(bool written)> done) {
    static_cast<void>(image);
    if (done) done(false);
  }
  // Second-generation Brio: the input-inspection channels (emissivity, mV
  // input, supply, ambient) join the burst where the model has them.
  virtual void SetInputInspection(bool on) { static_cast<void>(on); }
  virtual bool HasLaser() const = 0;
  virtual void ToggleLaser(std::function<void(bool on)> done) = 0;

  // Streamed records, taken by the window on its refresh timer.
  virtual RecordQueue& Records() = 0;
  // The sample of one streamed record (layout as started).
  virtual TChannelSample SampleOf(const TMeasurementRecord& record) const = 0;
  // Bytes the line delivered faster than the device thread took them.
  virtual std::uint64_t BytesLost() const = 0;
  // Whether the object value is a percentage (ratio model, display mode 2).
  virtual bool ObjectIsPercent() const = 0;

  // Ends the device's thread: what is queued gets `drainMs` to finish, then
  // everything is cancelled and the port closed, within `deadlineMs` more.
  // False when the thread did not end in time: it may still use the family,
  // which its owner must then not delete.
  virtual bool Shutdown(int drainMs, int deadlineMs) = 0;

 private:
  ProgressListeners progressListeners_;
};
