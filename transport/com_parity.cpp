#include "transport/com_parity.h"

#include "transport/custom_com_port.h"

void TComParity::AssignTo(TComParity& dest) const {
  dest.bits_ = bits_;
  dest.check_ = check_;
  dest.replace_ = replace_;
  dest.replaceChar_ = replaceChar_;
  dest.Changed();
}

void TComParity::Changed() {
  if (comPort_) comPort_->ApplyDCB();
}

void TComParity::SetBits(TParityBits value) {
  if (value == bits_) return;
  bits_ = value;
  Changed();
}

void TComParity::SetCheck(bool value) {
  if (value == check_) return;
  check_ = value;
  Changed();
}

void TComParity::SetReplace(bool value) {
  if (value == replace_) return;
  replace_ = value;
  Changed();
}

void TComParity::SetReplaceChar(char value) {
  if (value == replaceChar_) return;
  replaceChar_ = value;
  Changed();
}
