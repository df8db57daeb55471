#include "transport/custom_com_port.h"

#include <exception>

#include "platform/port_map.h"
#include "platform/serial_device.h"
#include "transport/com_port_error.h"
#include "transport/com_thread.h"

namespace {

// Line error code of an operation on a port that is not open (the classic
// "invalid handle" code).
constexpr int kInvalidHandle = 6;

// Error numbers of the message table used here.
constexpr int kErrOpen = 1;
constexpr int kErrWrite = 2;
constexpr int kErrRead = 3;
constexpr int kErrPurge = 5;
constexpr int kErrSetState = 7;
constexpr int kErrTimeouts = 8;
constexpr int kErrSetupCom = 9;
constexpr int kErrClearCom = 10;
constexpr int kErrModemStat = 11;
constexpr int kErrEscapeCom = 12;
constexpr int kErrConnChangeProp = 14;
constexpr int kErrPortNotOpen = 24;

std::uint32_t TimeoutValue(int ms) {
  return ms < 0 ? SerialTimeouts::kMaxDword : static_cast<std::uint32_t>(ms);
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
    qWarning("%s: closing on destruction failed: %s", qPrintable(port_), e.what());
  } catch (...) {
    qWarning("%s: closing on destruction failed", qPrintable(port_));
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
  auto step = [&first](auto&& action) {
    try {
      action();
    } catch (...) {
      if (!first) first = std::current_exception();
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
    ReportError(kErrOpen, SerialStatus::NotFound);
    return false;
  }
  std::unique_ptr<SerialDevice> device =
      deviceFactory_ ? deviceFactory_(path) : SerialDevice::CreateFor(path);
  if (!device) {
    ReportError(kErrOpen, SerialStatus::NotFound);
    return false;
  }
  const int rc = device->Open(path);
  if (rc != SerialStatus::Ok) {
    device.reset();
    ReportError(kErrOpen, rc);
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
  if (rc != SerialStatus::Ok) qWarning("%s: releasing the line reported error %d", qPrintable(port_), rc);
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
    ReportError(kErrSetState, SerialStatus::InvalidParameter);
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
  const int rc = device_->Configure(s);
  if (rc != SerialStatus::Ok) ReportError(kErrSetState, rc);
}

void TCustomComPort::ApplyTimeouts() {
  if (!device_) return;
  SerialTimeouts t;
  t.readInterval = TimeoutValue(timeouts_.ReadInterval());
  t.readTotalMultiplier = TimeoutValue(timeouts_.ReadTotalMultiplier());
  t.readTotalConstant = TimeoutValue(timeouts_.ReadTotalConstant());
  t.writeTotalMultiplier = TimeoutValue(timeouts_.WriteTotalMultiplier());
  t.writeTotalConstant = TimeoutValue(timeouts_.WriteTotalConstant());
  const int rc = device_->SetTimeouts(t);
  if (rc != SerialStatus::Ok) ReportError(kErrTimeouts, rc);
}

void TCustomComPort::ApplyBuffer() {
  if (!device_) return;
  const int rc = device_->SetQueueSizes(buffer_.InputSize(), buffer_.OutputSize());
  if (rc != SerialStatus::Ok) ReportError(kErrSetupCom, rc);
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
    ReportError(kErrConnChangeProp, -1);
    return;
  }
  syncMethod_ = value;
}

int TCustomComPort::InputCount() {
  if (!device_) {
    ReportError(kErrClearCom, kInvalidHandle);
    return 0;
  }
  int count = 0;
  const int rc = device_->InputCount(count);
  if (rc != SerialStatus::Ok) {
    ReportError(kErrClearCom, rc);
    return 0;
  }
  return count;
}

void TCustomComPort::SetInputBatchInterval(int ms) {
  if (device_) device_->SetInputBatchInterval(ms);
}

std::chrono::steady_clock::time_point TCustomComPort::LastArrival() const {
  return device_ ? device_->LastArrival() : std::chrono::steady_clock::time_point{};
}

int TCustomComPort::OutputCount() {
  if (!device_) {
    ReportError(kErrClearCom, kInvalidHandle);
    return 0;
  }
  int count = 0;
  const int rc = device_->OutputCount(count);
  if (rc != SerialStatus::Ok) {
    ReportError(kErrClearCom, rc);
    return 0;
  }
  return count;
}

TComSignals TCustomComPort::ModemSignals() {
  if (!device_) {
    ReportError(kErrModemStat, kInvalidHandle);
    return {};
  }
  std::uint32_t status = 0;
  const int rc = device_->ModemStatus(status);
  if (rc != SerialStatus::Ok) {
    ReportError(kErrModemStat, rc);
    return {};
  }
  TComSignals signals;
  if (status & SerialModem::Cts) signals.Include(csCTS);
  if (status & SerialModem::Dsr) signals.Include(csDSR);
  if (status & SerialModem::Ring) signals.Include(csRing);
  if (status & SerialModem::Rlsd) signals.Include(csRLSD);
  return signals;
}

TComSignals TCustomComPort::ModemSignalsQuiet() {
  // The line states reported at Open: a line without modem lines (a
  // pseudo-terminal, some adapters) reports none instead of failing the open.
  std::uint32_t status = 0;
  if (!device_ || device_->ModemStatus(status) != SerialStatus::Ok) return {};
  TComSignals signals;
  if (status & SerialModem::Cts) signals.Include(csCTS);
  if (status & SerialModem::Dsr) signals.Include(csDSR);
  if (status & SerialModem::Ring) signals.Include(csRing);
  if (status & SerialModem::Rlsd) signals.Include(csRLSD);
  return signals;
}

TComErrors TCustomComPort::CommErrors() {
  if (!device_) {
    ReportError(kErrClearCom, kInvalidHandle);
    return {};
  }
  std::uint32_t bits = 0;
  const int rc = device_->CommErrors(bits);
  if (rc != SerialStatus::Ok) {
    ReportError(kErrClearCom, rc);
    return {};
  }
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
  if (!device_) {
    ReportError(kErrEscapeCom, kInvalidHandle);
    return;
  }
  const int rc = device_->SetDtr(onOff);
  if (rc != SerialStatus::Ok) ReportError(kErrEscapeCom, rc);
}

void TCustomComPort::ClearBuffer(bool input, bool output) {
  if (!device_) {
    ReportError(kErrPurge, kInvalidHandle);
    return;
  }
  std::uint32_t flags = 0;
  if (input) flags |= SerialPurge::RxClear;
  if (output) flags |= SerialPurge::TxClear;
  const int rc = device_->Purge(flags);
  if (rc != SerialStatus::Ok) ReportError(kErrPurge, rc);
}

void TCustomComPort::AbortAllAsync() {
  if (!device_) {
    ReportError(kErrPurge, kInvalidHandle);
    return;
  }
  const int rc = device_->Purge(SerialPurge::TxAbort | SerialPurge::RxAbort);
  if (rc != SerialStatus::Ok) ReportError(kErrPurge, rc);
}

int TCustomComPort::Write(std::span<const std::uint8_t> buffer) {
  if (!device_) {
    ReportError(kErrPortNotOpen, -1);
    return 0;
  }
  if (buffer.empty()) return 0;
  int written = 0;
  const int rc = device_->Write(buffer, written);
  if (rc != SerialStatus::Ok) ReportError(kErrWrite, rc);
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
  if (!device_) {
    ReportError(kErrPortNotOpen, -1);
    return 0;
  }
  if (buffer.empty()) return 0;
  int read = 0;
  const int rc = device_->Read(buffer, read);
  if (rc != SerialStatus::Ok) ReportError(kErrRead, rc);
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

void TCustomComPort::ReportError(int errorNumber, int code) {
  if (OnException) {
    OnException(this, static_cast<TComExceptions>(errorNumber - 1), ComErrorText(errorNumber),
                code > 0 ? code : -1, code > 0 ? SystemErrorText(code) : QString());
    return;
  }
  throw EComPort(errorNumber, code);
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

void TCustomComPort::RemovedNotice() {
  if (OnRemoved) OnRemoved(this);
}

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
