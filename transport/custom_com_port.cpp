#include "transport/custom_com_port.h"

#include <exception>

#include "platform/logger.h"
#include "platform/port_map.h"
#include "platform/serial_device.h"
#include "transport/com_port_error.h"
#include "transport/com_thread.h"

namespace {

std::uint32_t TimeoutValue(int ms) {
  return ms < 0 ? SerialTimeouts::kMaxDword : static_cast<std::uint32_t>(ms);
}

// The modem input lines of a SerialModem status word.
TComSignals SignalsOf(std::uint32_t status) {
  TComSignals signals;
  if (status & SerialModem::Cts) signals.Include(csCTS);
  if (status & SerialModem::Dsr) signals.Include(csDSR);
  if (status & SerialModem::Ring) signals.Include(csRing);
  if (status & SerialModem::Rlsd) signals.Include(csRLSD);
  return signals;
}

}  // namespace

TCustomComPort::TCustomComPort(QObject* owner) : QObject(owner) {
  parity_.SetComPort(this);
  buffer_.SetComPort(this);
  flowControl_.SetComPort(this);
  timeouts_.SetComPort(this);
}

TCustomComPort::~TCustomComPort() {
  try {
    Close();
  } catch (const std::exception& e) {
    Logger::Warning(port_, QStringLiteral("closing on destruction failed: ") + ExceptionDetails(e));
  } catch (...) {
    Logger::Warning(port_, QStringLiteral("closing on destruction failed"));
  }
  // Close ran every teardown step; these hold only when Close was never
  // reached (a failure inside Open before Connected turned True).
  comThread_.reset();
  if (device_) {
    device_->Close();
    device_.reset();
  }
  parity_.SetComPort(nullptr);
  buffer_.SetComPort(nullptr);
  flowControl_.SetComPort(nullptr);
  timeouts_.SetComPort(nullptr);
}

void TCustomComPort::Open() {
  if (connected_) return;
  DoBeforeOpen();
  if (!CreateHandle()) return;  // reported through OnException
  connected_ = true;
  try {
    SetupComPort();
  } catch (...) {
    DestroyHandle();
    connected_ = false;
    throw;
  }
  ++openGeneration_;
  if (!events_.Empty()) comThread_ = std::make_unique<TComThread>(this);
  DoAfterOpen();
  const TComSignals signals = ModemSignalsQuiet();
  DoCTSChange(signals.Contains(csCTS));
  DoDSRChange(signals.Contains(csDSR));
  DoRLSDChange(signals.Contains(csRLSD));
}

void TCustomComPort::Close() {
  if (!connected_ || closing_) return;
  closing_ = true;
  std::exception_ptr first;
  // The first failure passes on at the end; later ones are logged here.
  auto step = [this, &first](auto&& action) {
    try {
      action();
    } catch (const std::exception& e) {
      if (!first)
        first = std::current_exception();
      else
        Logger::Warning(port_, QStringLiteral("closing: a further step failed: ") + ExceptionDetails(e));
    } catch (...) {
      if (!first)
        first = std::current_exception();
      else
        Logger::Warning(port_, QStringLiteral("closing: a further step failed"));
    }
  };
  step([this] { DoCTSChange(false); });
  step([this] { DoDSRChange(false); });
  step([this] { DoRLSDChange(false); });
  step([this] { DoBeforeClose(); });
  step([this] { AbortAllAsync(); });
  // Queued dispatch calls of this open find a different generation and do nothing.
  ++openGeneration_;
  if (comThread_) {
    comThread_->Stop();
    comThread_.reset();
  }
  step([this] { DestroyHandle(); });
  connected_ = false;
  closing_ = false;
  step([this] { DoAfterClose(); });
  if (first) std::rethrow_exception(first);
}

void TCustomComPort::SetConnected(bool value) {
  if (value)
    Open();
  else
    Close();
}

bool TCustomComPort::CreateHandle() {
  QString path = PortMap::FromEnvironment().PathForName(port_);
  if (path.isEmpty() && deviceFactory_) path = port_;
  if (path.isEmpty()) {
    ReportError(CE_OpenFailed, SerialStatus::NotFound);
    return false;
  }
  std::unique_ptr<SerialDevice> device =
      deviceFactory_ ? deviceFactory_(path) : SerialDevice::CreateFor(path);
  if (!device) {
    ReportError(CE_OpenFailed, SerialStatus::NotFound);
    return false;
  }
  const int rc = device->Open(path);
  if (rc != SerialStatus::Ok) {
    const int err = device->TakeLastErrno();
    device.reset();
    ReportError(CE_OpenFailed, rc, err);
    return false;
  }
  device_ = std::move(device);
  return true;
}

void TCustomComPort::DestroyHandle() {
  if (!device_) return;
  // The device runs every release step even when one fails; a line that
  // could not be released cleanly is gone all the same.
  const int rc = device_->Close();
  if (rc != SerialStatus::Ok)
    Logger::Warning(
        port_, QStringLiteral("releasing the line failed: ") + SystemErrorText(rc, device_->TakeLastErrno()));
  device_.reset();
}

void TCustomComPort::SetupComPort() {
  ApplyBuffer();
  ApplyDCB();
  ApplyTimeouts();
}

void TCustomComPort::ApplyDCB() {
  if (!device_) return;
  SerialLineSettings s;
  s.baudRate = baudRate_ == brCustom ? customBaudRate_ : BaudRateValue(baudRate_);
  if (s.baudRate <= 0) {
    ReportError(CE_SetStateFailed, SerialStatus::InvalidParameter);
    return;
  }
  s.dataBits = 5 + static_cast<int>(dataBits_);
  s.parity = static_cast<SerialLineSettings::Parity>(parity_.Bits());
  s.stopBits = static_cast<SerialLineSettings::StopBits>(stopBits_);
  s.parityCheck = parity_.Check();
  s.outCtsFlow = flowControl_.OutCTSFlow();
  s.outDsrFlow = flowControl_.OutDSRFlow();
  s.dsrSensitivity = flowControl_.DSRSensitivity();
  s.txContinueOnXoff = flowControl_.TxContinueOnXoff();
  s.xonXoffOut = flowControl_.XonXoffOut();
  s.xonXoffIn = flowControl_.XonXoffIn();
  s.xonChar = flowControl_.XonChar();
  s.xoffChar = flowControl_.XoffChar();
  s.dtrControl = static_cast<SerialLineSettings::DtrControl>(flowControl_.ControlDTR());
  s.rtsControl = static_cast<SerialLineSettings::RtsControl>(flowControl_.ControlRTS());
  s.discardNull = discardNull_;
  s.eventChar = eventChar_;
  s.xonLimit = buffer_.InputSize() / 4;
  s.xoffLimit = buffer_.InputSize() / 4;
  OnDevice(CE_SetStateFailed, WhenClosed::Nothing, [&s](SerialDevice& d) { return d.Configure(s); });
}

void TCustomComPort::ApplyTimeouts() {
  SerialTimeouts t;
  t.readInterval = TimeoutValue(timeouts_.ReadInterval());
  t.readTotalMultiplier = TimeoutValue(timeouts_.ReadTotalMultiplier());
  t.readTotalConstant = TimeoutValue(timeouts_.ReadTotalConstant());
  t.writeTotalMultiplier = TimeoutValue(timeouts_.WriteTotalMultiplier());
  t.writeTotalConstant = TimeoutValue(timeouts_.WriteTotalConstant());
  OnDevice(CE_TimeoutsFailed, WhenClosed::Nothing, [&t](SerialDevice& d) { return d.SetTimeouts(t); });
}

void TCustomComPort::ApplyBuffer() {
  OnDevice(CE_SetupComFailed, WhenClosed::Nothing,
           [this](SerialDevice& d) { return d.SetQueueSizes(buffer_.InputSize(), buffer_.OutputSize()); });
}

void TCustomComPort::SetBaudRate(TBaudRate value) {
  if (value == baudRate_) return;
  baudRate_ = value;
  ApplyDCB();
}

void TCustomComPort::SetCustomBaudRate(int value) {
  if (value == customBaudRate_) return;
  customBaudRate_ = value;
  ApplyDCB();
}

void TCustomComPort::SetPort(const QString& value) {
  if (value == port_) return;
  port_ = value;
  if (connected_) {
    Close();
    Open();
  }
}

void TCustomComPort::SetStopBits(TStopBits value) {
  if (value == stopBits_) return;
  stopBits_ = value;
  ApplyDCB();
}

void TCustomComPort::SetDataBits(TDataBits value) {
  if (value == dataBits_) return;
  dataBits_ = value;
  ApplyDCB();
}

void TCustomComPort::SetDiscardNull(bool value) {
  if (value == discardNull_) return;
  discardNull_ = value;
  ApplyDCB();
}

void TCustomComPort::SetEventChar(char value) {
  if (value == eventChar_) return;
  eventChar_ = value;
  ApplyDCB();
}

void TCustomComPort::SetSyncMethod(TSyncMethod value) {
  if (value == syncMethod_) return;
  if (connected_) {
    ReportError(CE_ConnChangeProp, -1);
    return;
  }
  syncMethod_ = value;
}

int TCustomComPort::InputCount() {
  int count = 0;
  if (!OnDevice(CE_ClearComFailed, WhenClosed::InvalidHandle,
                [&count](SerialDevice& d) { return d.InputCount(count); }))
    return 0;
  return count;
}

void TCustomComPort::SetInputBatchInterval(int ms) {
  if (device_) device_->SetInputBatchInterval(ms);
}

std::chrono::steady_clock::time_point TCustomComPort::LastArrival() const {
  return device_ ? device_->LastArrival() : std::chrono::steady_clock::time_point{};
}

int TCustomComPort::OutputCount() {
  int count = 0;
  if (!OnDevice(CE_ClearComFailed, WhenClosed::InvalidHandle,
                [&count](SerialDevice& d) { return d.OutputCount(count); }))
    return 0;
  return count;
}

TComSignals TCustomComPort::ModemSignals() {
  std::uint32_t status = 0;
  if (!OnDevice(CE_ModemStatFailed, WhenClosed::InvalidHandle,
                [&status](SerialDevice& d) { return d.ModemStatus(status); }))
    return {};
  return SignalsOf(status);
}

TComSignals TCustomComPort::ModemSignalsQuiet() {
  // The line states reported at Open: a line without modem lines (a
  // pseudo-terminal, some adapters) reports none instead of failing the open.
  std::uint32_t status = 0;
  if (!device_ || device_->ModemStatus(status) != SerialStatus::Ok) {
    if (device_) device_->TakeLastErrno();
    return {};
  }
  return SignalsOf(status);
}

TComErrors TCustomComPort::CommErrors() {
  std::uint32_t bits = 0;
  if (!OnDevice(CE_ClearComFailed, WhenClosed::InvalidHandle,
                [&bits](SerialDevice& d) { return d.CommErrors(bits); }))
    return {};
  TComErrors errors;
  if (bits & SerialLineError::Frame) errors.Include(ceFrame);
  if ((bits & SerialLineError::RxParity) && parity_.Check()) errors.Include(ceRxParity);
  if (bits & SerialLineError::Overrun) errors.Include(ceOverrun);
  if (bits & SerialLineError::Break) errors.Include(ceBreak);
  if (bits & SerialLineError::IOE) errors.Include(ceIO);
  if (bits & SerialLineError::Mode) errors.Include(ceMode);
  if (bits & SerialLineError::RxOver) errors.Include(ceRxOver);
  if (bits & SerialLineError::TxFull) errors.Include(ceTxFull);
  return errors;
}

void TCustomComPort::SetDTR(bool onOff) {
  OnDevice(CE_EscapeComFailed, WhenClosed::InvalidHandle,
           [onOff](SerialDevice& d) { return d.SetDtr(onOff); });
}

void TCustomComPort::ClearBuffer(bool input, bool output) {
  std::uint32_t flags = 0;
  if (input) flags |= SerialPurge::RxClear;
  if (output) flags |= SerialPurge::TxClear;
  OnDevice(CE_PurgeFailed, WhenClosed::InvalidHandle, [flags](SerialDevice& d) { return d.Purge(flags); });
}

void TCustomComPort::AbortAllAsync() {
  OnDevice(CE_PurgeFailed, WhenClosed::InvalidHandle,
           [](SerialDevice& d) { return d.Purge(SerialPurge::TxAbort | SerialPurge::RxAbort); });
}

int TCustomComPort::Write(std::span<const std::uint8_t> buffer) {
  if (device_ && buffer.empty()) return 0;
  int written = 0;
  OnDevice(CE_WriteFailed, WhenClosed::PortNotOpen,
           [&](SerialDevice& d) { return d.Write(buffer, written); });
  return written;
}

int TCustomComPort::Write(const void* buffer, int count) {
  if (buffer == nullptr || count < 0) count = 0;
  return Write(std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(buffer),
                                             static_cast<std::size_t>(count)));
}

int TCustomComPort::WriteStr(const QByteArray& str) {
  if (str.isEmpty()) return 0;
  return Write(str.constData(), static_cast<int>(str.size()));
}

int TCustomComPort::Read(std::span<std::uint8_t> buffer) {
  if (device_ && buffer.empty()) return 0;
  int read = 0;
  OnDevice(CE_ReadFailed, WhenClosed::PortNotOpen, [&](SerialDevice& d) { return d.Read(buffer, read); });
  if (read < 0) read = 0;
  if (static_cast<std::size_t>(read) > buffer.size()) read = static_cast<int>(buffer.size());
  return read;
}

int TCustomComPort::Read(void* buffer, int count) {
  if (buffer == nullptr || count < 0) count = 0;
  return Read(std::span<std::uint8_t>(static_cast<std::uint8_t*>(buffer), static_cast<std::size_t>(count)));
}

int TCustomComPort::ReadStr(QByteArray& str, int count) {
  if (count < 1) {
    str.clear();
    return 0;
  }
  str.resize(count);
  const int n = Read(str.data(), count);
  str.resize(n);
  return n;
}

template <typename Op>
bool TCustomComPort::OnDevice(TComExceptions failure, WhenClosed whenClosed, Op&& op) {
  if (!device_) {
    if (whenClosed == WhenClosed::InvalidHandle) ReportError(failure, SerialStatus::InvalidHandle);
    if (whenClosed == WhenClosed::PortNotOpen) ReportError(CEPortNotOpen, -1);
    return false;
  }
  const int rc = op(*device_);
  if (rc == SerialStatus::Ok) return true;
  ReportError(failure, rc, device_->TakeLastErrno());
  return false;
}

void TCustomComPort::ReportError(TComExceptions error, int code, int sysErrno) {
  if (OnException) {
    OnException(this, error, ComErrorText(ComErrorNumber(error)), code > 0 ? code : -1,
                code > 0 ? SystemErrorText(code, sysErrno) : QString());
    return;
  }
  throw EComPort(error, code, sysErrno);
}

void TCustomComPort::EventStep(TComEvent event) {
  switch (event) {
    case evError: {
      const TComErrors errors = CommErrors();
      if (!errors.Empty()) DoError(errors);
      break;
    }
    case evRxChar: {
      const int count = InputCount();
      if (count <= 0) break;
      if (triggersOnRxChar_) {
        DoRxChar(count);
      } else {
        QByteArray block(count, Qt::Uninitialized);
        const int n = Read(block.data(), count);
        block.resize(n);
        if (n > 0) DoRxBuf(block, n);
      }
      break;
    }
    case evTxEmpty:
      DoTxEmpty();
      break;
    case evBreak:
      DoBreak();
      break;
    case evRing:
      DoRing();
      break;
    case evCTS:
      DoCTSChange(ModemSignals().Contains(csCTS));
      break;
    case evDSR:
      DoDSRChange(ModemSignals().Contains(csDSR));
      break;
    case evRxFlag:
      DoRxFlag();
      break;
    case evRLSD:
      DoRLSDChange(ModemSignals().Contains(csRLSD));
      break;
    case evRx80Full:
      DoRx80Full();
      break;
  }
}

void TCustomComPort::RemovedNotice() { removedListeners_.Call(this); }

void TCustomComPort::DoAfterClose() {
  if (OnAfterClose) OnAfterClose(this);
}
void TCustomComPort::DoAfterOpen() {
  if (OnAfterOpen) OnAfterOpen(this);
}
void TCustomComPort::DoBeforeClose() {
  if (OnBeforeClose) OnBeforeClose(this);
}
void TCustomComPort::DoBeforeOpen() {
  if (OnBeforeOpen) OnBeforeOpen(this);
}
void TCustomComPort::DoRxChar(int count) {
  if (OnRxChar) OnRxChar(this, count);
}
void TCustomComPort::DoRxBuf(const QByteArray& buffer, int count) {
  if (OnRxBuf) OnRxBuf(this, buffer, count);
}
void TCustomComPort::DoTxEmpty() {
  if (OnTxEmpty) OnTxEmpty(this);
}
void TCustomComPort::DoBreak() {
  if (OnBreak) OnBreak(this);
}
void TCustomComPort::DoRing() {
  if (OnRing) OnRing(this);
}
void TCustomComPort::DoRxFlag() {
  if (OnRxFlag) OnRxFlag(this);
}
void TCustomComPort::DoCTSChange(bool onOff) {
  if (OnCTSChange) OnCTSChange(this, onOff);
}
void TCustomComPort::DoDSRChange(bool onOff) {
  if (OnDSRChange) OnDSRChange(this, onOff);
}
void TCustomComPort::DoError(TComErrors errors) {
  if (OnError) OnError(this, errors);
}
void TCustomComPort::DoRLSDChange(bool onOff) {
  if (OnRLSDChange) OnRLSDChange(this, onOff);
}
void TCustomComPort::DoRx80Full() {
  if (OnRx80Full) OnRx80Full(this);
}
