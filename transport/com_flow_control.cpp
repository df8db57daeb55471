#include "transport/com_flow_control.h"

#include "transport/custom_com_port.h"

void TComFlowControl::AssignTo(TComFlowControl& dest) const {
  dest.outCTSFlow_ = outCTSFlow_;
  dest.outDSRFlow_ = outDSRFlow_;
  dest.controlDTR_ = controlDTR_;
  dest.controlRTS_ = controlRTS_;
  dest.xonXoffOut_ = xonXoffOut_;
  dest.xonXoffIn_ = xonXoffIn_;
  dest.dsrSensitivity_ = dsrSensitivity_;
  dest.txContinueOnXoff_ = txContinueOnXoff_;
  dest.xonChar_ = xonChar_;
  dest.xoffChar_ = xoffChar_;
  dest.Changed();
}

void TComFlowControl::Changed() {
  if (comPort_) comPort_->ApplyDCB();
}

TFlowControl TComFlowControl::FlowControl() const {
  if (controlRTS_ == rtsHandshake && outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) return fcHardware;
  if (controlRTS_ == rtsDisable && !outCTSFlow_ && xonXoffIn_ && xonXoffOut_) return fcSoftware;
  if (controlRTS_ == rtsDisable && !outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_) return fcNone;
  return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl value) {
  if (value != fcCustom) {
    controlRTS_ = rtsDisable;
    outCTSFlow_ = false;
    xonXoffIn_ = false;
    xonXoffOut_ = false;
    if (value == fcHardware) {
      controlRTS_ = rtsHandshake;
      outCTSFlow_ = true;
    } else if (value == fcSoftware) {
      xonXoffIn_ = true;
      xonXoffOut_ = true;
    }
  }
  Changed();
}

#define TS_FLOW_SETTER(Name, Type, field)       \
  void TComFlowControl::Set##Name(Type value) { \
    if (value == field) return;                 \
    field = value;                              \
    Changed();                                  \
  }

TS_FLOW_SETTER(OutCTSFlow, bool, outCTSFlow_)
TS_FLOW_SETTER(OutDSRFlow, bool, outDSRFlow_)
TS_FLOW_SETTER(ControlDTR, TDTRFlowControl, controlDTR_)
TS_FLOW_SETTER(ControlRTS, TRTSFlowControl, controlRTS_)
TS_FLOW_SETTER(XonXoffOut, bool, xonXoffOut_)
TS_FLOW_SETTER(XonXoffIn, bool, xonXoffIn_)
TS_FLOW_SETTER(DSRSensitivity, bool, dsrSensitivity_)
TS_FLOW_SETTER(TxContinueOnXoff, bool, txContinueOnXoff_)
TS_FLOW_SETTER(XonChar, char, xonChar_)
TS_FLOW_SETTER(XoffChar, char, xoffChar_)

#undef TS_FLOW_SETTER
