#pragma once

#include "transport/custom_com_port.h"

// The serial port component that owners create.
class TComPort : public TCustomComPort {
  Q_OBJECT

 public:
  explicit TComPort(QObject* owner = nullptr) : TCustomComPort(owner) {}
};
