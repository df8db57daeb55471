#pragma once

#include "transport/com_types.h"

class TCustomComPort;

// Flow control and modem-line settings of a port. FlowControl is computed
// from the other values; writing it sets the RTS/CTS and XON/XOFF values of
// the chosen kind. A change re-applies the line settings to an open port.
class TComFlowControl {
 public:
  TComFlowControl() = default;
  TComFlowControl(const TComFlowControl&) = delete;
  TComFlowControl& operator=(const TComFlowControl&) = delete;

  void AssignTo(TComFlowControl& dest) const;
  void Assign(const TComFlowControl& source) { source.AssignTo(*this); }

  TCustomComPort* ComPort() const { return comPort_; }
  void SetComPort(TCustomComPort* port) { comPort_ = port; }

  TFlowControl FlowControl() const;
  // fcHardware: RTS handshake with CTS output flow; fcSoftware: XON/XOFF
  // both ways; fcNone: neither. fcCustom changes nothing. The DTR and DSR
  // settings are never touched. The line settings are re-applied in every case.
  void SetFlowControl(TFlowControl value);

  bool OutCTSFlow() const { return outCTSFlow_; }
  void SetOutCTSFlow(bool value);
  bool OutDSRFlow() const { return outDSRFlow_; }
  void SetOutDSRFlow(bool value);
  TDTRFlowControl ControlDTR() const { return controlDTR_; }
  void SetControlDTR(TDTRFlowControl value);
  TRTSFlowControl ControlRTS() const { return controlRTS_; }
  void SetControlRTS(TRTSFlowControl value);
  bool XonXoffOut() const { return xonXoffOut_; }
  void SetXonXoffOut(bool value);
  bool XonXoffIn() const { return xonXoffIn_; }
  void SetXonXoffIn(bool value);
  bool DSRSensitivity() const { return dsrSensitivity_; }
  void SetDSRSensitivity(bool value);
  bool TxContinueOnXoff() const { return txContinueOnXoff_; }
  void SetTxContinueOnXoff(bool value);
  char XonChar() const { return xonChar_; }
  void SetXonChar(char value);
  char XoffChar() const { return xoffChar_; }
  void SetXoffChar(char value);

 private:
  void Changed();

  TCustomComPort* comPort_ = nullptr;
  bool outCTSFlow_ = false;
  bool outDSRFlow_ = false;
  TDTRFlowControl controlDTR_ = dtrDisable;
  TRTSFlowControl controlRTS_ = rtsDisable;
  bool xonXoffOut_ = false;
  bool xonXoffIn_ = false;
  bool dsrSensitivity_ = false;
  bool txContinueOnXoff_ = false;
  char xonChar_ = 17;
  char xoffChar_ = 19;
};
