#include "transport/com_timeouts.h"

#include "transport/custom_com_port.h"

void TComTimeouts::AssignTo(TComTimeouts& dest) const {
  dest.readInterval_ = readInterval_;
  dest.readTotalMultiplier_ = readTotalMultiplier_;
  dest.readTotalConstant_ = readTotalConstant_;
  dest.writeTotalMultiplier_ = writeTotalMultiplier_;
  dest.writeTotalConstant_ = writeTotalConstant_;
  dest.Changed();
}

void TComTimeouts::Changed() {
  if (comPort_) comPort_->ApplyTimeouts();
}

#define TS_TIMEOUT_SETTER(Name, field)      \
  void TComTimeouts::Set##Name(int value) { \
    if (value == field) return;             \
    field = value;                          \
    Changed();                              \
  }

TS_TIMEOUT_SETTER(ReadInterval, readInterval_)
TS_TIMEOUT_SETTER(ReadTotalMultiplier, readTotalMultiplier_)
TS_TIMEOUT_SETTER(ReadTotalConstant, readTotalConstant_)
TS_TIMEOUT_SETTER(WriteTotalMultiplier, writeTotalMultiplier_)
TS_TIMEOUT_SETTER(WriteTotalConstant, writeTotalConstant_)

#undef TS_TIMEOUT_SETTER
