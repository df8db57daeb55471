#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "platform/listener_list.h"
#include "transport/com_buffer.h"
#include "transport/com_flow_control.h"
#include "transport/com_parity.h"
#include "transport/com_timeouts.h"
#include "transport/com_types.h"

class IniFile;
class SerialDevice;
class TComThread;

// A serial line opened by its port name ("COM" + number). Holds the line
// settings in four settings objects, reports every failed line operation as
// an EComPort (or through OnException), and while open with a non-empty
// Events set dispatches the line's events to the handlers below.
//
// All operations are called from the thread that owns the port (the GUI
// thread). With SyncMethod smThreadSync and smWindowSync every handler runs
// on that thread too; with smNone the serial events run on a dispatch thread.
class TCustomComPort : public QObject {
  Q_OBJECT

 public:
  // Makes the device for a resolved port path. The default makes
  // SerialDevice::CreateFor(path).
  using DeviceFactory = std::function<std::unique_ptr<SerialDevice>(const QString& path)>;

  explicit TCustomComPort(QObject* owner = nullptr);
  // Closes an open port first (a failure is swallowed; the port is closed
  // and its dispatch stopped in any case).
  ~TCustomComPort() override;

  // Opens the line named by Port. Does nothing when already open.
  void Open();
  // Closes the line. Does nothing when not open. Every step runs even when
  // an earlier one fails; the first failure is reported at the end.
  void Close();

  bool Connected() const { return connected_; }
  // True opens, False closes.
  void SetConnected(bool value);

  TBaudRate BaudRate() const { return baudRate_; }
  void SetBaudRate(TBaudRate value);
  int CustomBaudRate() const { return customBaudRate_; }
  void SetCustomBaudRate(int value);
  const QString& Port() const { return port_; }
  // On an open port: closes it and opens it again under the new name.
  void SetPort(const QString& value);
  TComParity& Parity() { return parity_; }
  const TComParity& Parity() const { return parity_; }
  void SetParity(const TComParity& value) { parity_.Assign(value); }
  TStopBits StopBits() const { return stopBits_; }
  void SetStopBits(TStopBits value);
  TDataBits DataBits() const { return dataBits_; }
  void SetDataBits(TDataBits value);
  bool DiscardNull() const { return discardNull_; }
  void SetDiscardNull(bool value);
  char EventChar() const { return eventChar_; }
  void SetEventChar(char value);
  TComEvents Events() const { return events_; }
  // Takes effect at the next Open.
  void SetEvents(TComEvents value) { events_ = value; }
  TComBuffer& Buffer() { return buffer_; }
  const TComBuffer& Buffer() const { return buffer_; }
  void SetBuffer(const TComBuffer& value) { buffer_.Assign(value); }
  TComFlowControl& FlowControl() { return flowControl_; }
  const TComFlowControl& FlowControl() const { return flowControl_; }
  void SetFlowControl(const TComFlowControl& value) { flowControl_.Assign(value); }
  TComTimeouts& Timeouts() { return timeouts_; }
  const TComTimeouts& Timeouts() const { return timeouts_; }
  void SetTimeouts(const TComTimeouts& value) { timeouts_.Assign(value); }
  TStoredProps StoredProps() const { return storedProps_; }
  void SetStoredProps(TStoredProps value) { storedProps_ = value; }
  bool TriggersOnRxChar() const { return triggersOnRxChar_; }
  void SetTriggersOnRxChar(bool value) { triggersOnRxChar_ = value; }
  TSyncMethod SyncMethod() const { return syncMethod_; }
  // Refused on an open port ("Cannot set property while connected").
  void SetSyncMethod(TSyncMethod value);
  // Kept and stored; no effect on the line.
  std::uint32_t CodePage() const { return codePage_; }
  void SetCodePage(std::uint32_t value) { codePage_ = value; }

  // Whether the event dispatch runs (open with a non-empty Events set).
  bool EventThreadRunning() const { return comThread_ != nullptr; }

  // Line operations; each raises EComPort on failure.
  int InputCount();
  int OutputCount();
  TComSignals ModemSignals();
  TComErrors CommErrors();
  void SetDTR(bool onOff);
  void ClearBuffer(bool input, bool output);
  // Ends every transfer in progress.
  void AbortAllAsync();
  // While a stream comes in: the line's input is handed on in batches at
  // least `ms` apart (0, the default: every chunk as it arrives). Applies to
  // the open line; nothing while closed.
  void SetInputBatchInterval(int ms);
  // When the newest received byte arrived (epoch while closed or before any).
  std::chrono::steady_clock::time_point LastArrival() const;

  // Synchronous transfers under the port's time-outs; the result is the
  // number of bytes moved (a time-out is no failure). Bytes pass unchanged.
  int Write(std::span<const std::uint8_t> buffer);
  int Write(const void* buffer, int count);
  int WriteStr(const QByteArray& str);
  int Read(std::span<std::uint8_t> buffer);
  int Read(void* buffer, int count);
  // Sets `str` to the bytes read, at most `count`; count < 1 reads nothing.
  int ReadStr(QByteArray& str, int count);

  // Settings store and load (keys selected by StoredProps). The ini form
  // uses the section named after objectName(); the registry form takes the
  // store and the key path (used as its section) and reads without defaults.
  virtual void StoreRegistry(IniFile& registry, const QString& key);
  virtual void StoreIniFile(IniFile& iniFile);
  virtual void LoadRegistry(IniFile& registry, const QString& key);
  virtual void LoadIniFile(IniFile& iniFile);

  // Re-apply one settings group to the open line (nothing while closed).
  virtual void ApplyDCB();
  virtual void ApplyTimeouts();
  virtual void ApplyBuffer();

  // The device maker for the next Open (tests inject fakes here). It gets
  // the mapped path, or the port name itself when the map has no entry.
  void SetDeviceFactory(DeviceFactory factory) { deviceFactory_ = std::move(factory); }

  TNotifyEvent OnAfterOpen;
  TNotifyEvent OnAfterClose;
  TNotifyEvent OnBeforeOpen;
  TNotifyEvent OnBeforeClose;
  TRxCharEvent OnRxChar;
  TRxBufEvent OnRxBuf;
  TNotifyEvent OnTxEmpty;
  TNotifyEvent OnBreak;
  TNotifyEvent OnRing;
  TComSignalEvent OnCTSChange;
  TComSignalEvent OnDSRChange;
  TComSignalEvent OnRLSDChange;
  TNotifyEvent OnRxFlag;
  TComErrorEvent OnError;
  TNotifyEvent OnRx80Full;
  // When assigned, failures are reported here and nothing is raised.
  TComExceptionEvent OnException;
  // The line hung up or its device disappeared (an unplugged adapter):
  // every listener is called once per open, on the port's thread, while the
  // event dispatch runs; the port stays open until its owner closes it.
  // Listeners are added and removed on the port's thread; each who listens
  // keeps its own token, so none replaces another's.
  using RemovedListeners = ListenerList<QObject*>;
  RemovedListeners::Token AddRemovedListener(TNotifyEvent listener) {
    return removedListeners_.Add(std::move(listener));
  }
  // False when the port does not have `token` (e.g. it was taken from a
  // port made before this one).
  bool RemoveRemovedListener(RemovedListeners::Token token) { return removedListeners_.Remove(token); }

 protected:
  // Opens the device for Port; false when that failed (the failure is reported).
  virtual bool CreateHandle();
  // Closes the device and forgets it.
  virtual void DestroyHandle();
  // ApplyBuffer, ApplyDCB, ApplyTimeouts.
  virtual void SetupComPort();

  // Raisers: each calls its handler when one is assigned.
  virtual void DoAfterClose();
  virtual void DoAfterOpen();
  virtual void DoBeforeClose();
  virtual void DoBeforeOpen();
  virtual void DoRxChar(int count);
  virtual void DoRxBuf(const QByteArray& buffer, int count);
  virtual void DoTxEmpty();
  virtual void DoBreak();
  virtual void DoRing();
  virtual void DoRxFlag();
  virtual void DoCTSChange(bool onOff);
  virtual void DoDSRChange(bool onOff);
  virtual void DoError(TComErrors errors);
  virtual void DoRLSDChange(bool onOff);
  virtual void DoRx80Full();

  // Reports `error` of the message table with the line error code `code`
  // (-1 or 0: none) and the errno behind it (0: none): through OnException
  // when assigned, otherwise by raising EComPort.
  void ReportError(TComExceptions error, int code, int sysErrno = 0);

  bool HandleValid() const { return device_ != nullptr; }
  SerialDevice* Device() const { return device_.get(); }

 private:
  friend class TComThread;

  // How an operation on a closed port is answered: error `failure` with
  // the line code SerialStatus::InvalidHandle, "Port Not Open", or nothing.
  enum class WhenClosed { InvalidHandle, PortNotOpen, Nothing };
  // Runs `op` on the open device (a SerialStatus code is its result) and
  // reports a failure as `failure` with the device's errno; true on success.
  template <typename Op>
  bool OnDevice(TComExceptions failure, WhenClosed whenClosed, Op&& op);

  // Runs one event step (called by the dispatcher).
  void EventStep(TComEvent event);
  void RemovedNotice();
  TComSignals ModemSignalsQuiet();

  std::unique_ptr<SerialDevice> device_;
  std::unique_ptr<TComThread> comThread_;
  DeviceFactory deviceFactory_;
  // Changes with every Open and Close; queued dispatch calls of an earlier
  // open see a different value and do nothing.
  std::uint64_t openGeneration_ = 0;
  bool connected_ = false;
  bool closing_ = false;

  TBaudRate baudRate_ = br9600;
  int customBaudRate_ = 9600;
  QString port_ = QStringLiteral("COM1");
  TStopBits stopBits_ = sbOneStopBit;
  TDataBits dataBits_ = dbEight;
  bool discardNull_ = false;
  char eventChar_ = 0;
  TComEvents events_ = TComEvents::All();
  TSyncMethod syncMethod_ = smThreadSync;
  bool triggersOnRxChar_ = true;
  TStoredProps storedProps_ = {spBasic};
  std::uint32_t codePage_ = 0;

  TComParity parity_;
  TComBuffer buffer_;
  TComFlowControl flowControl_;
  TComTimeouts timeouts_;
  RemovedListeners removedListeners_;
};
