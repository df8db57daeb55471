#include "drivers/driver_port.h"

#include "transport/com_port.h"
#include "transport/ring_buffer.h"

void DriverPort::SetLine8N1(TComPort& port) {
  port.Parity().SetBits(prNone);
  port.SetDataBits(dbEight);
  port.SetStopBits(sbOneStopBit);
}

void DriverPort::LogLineEvents(TComPort& port, const LogLine& log) {
  port.OnError = [log](QObject*, TComErrors) { log(QStringLiteral("COMERROR EVENT")); };
  port.OnBreak = [log](QObject*) { log(QStringLiteral("COM-BREAK EVENT")); };
  port.OnRxFlag = [log](QObject*) { log(QStringLiteral("COM-FLAG EVENT")); };
}

void DriverPort::SetReadQueuedAtOnce(TComPort& port) {
  port.Timeouts().SetReadInterval(-1);
  port.Timeouts().SetReadTotalMultiplier(0);
  port.Timeouts().SetReadTotalConstant(0);
}

TRingBuffer* DriverPort::CreateRing(QObject* owner, std::uint32_t count) {
  auto* ring = new TRingBuffer(owner);
  ring->SetCount(count);
  return ring;
}

int DriverPort::InputCount(TComPort& port, const Failure& onFailure) {
  try {
    return port.InputCount();
  } catch (const std::exception& e) {
    onFailure(e);
    return 0;
  }
}

void DriverPort::ClearBuffers(TComPort& port, bool input, bool output, const Failure& onFailure) {
  try {
    port.ClearBuffer(input, output);
  } catch (const std::exception& e) {
    onFailure(e);
  }
}

void DriverPort::Dispose(TComPort* port, const Failure& onFailure) {
  port->OnAfterOpen = nullptr;
  port->OnAfterClose = nullptr;
  port->OnRxChar = nullptr;
  port->OnError = nullptr;
  port->OnBreak = nullptr;
  port->OnRxFlag = nullptr;
  port->OnRx80Full = nullptr;
  port->OnTxEmpty = nullptr;
  try {
    port->Close();
  } catch (const std::exception& e) {
    onFailure(e);
  }
  delete port;
}
