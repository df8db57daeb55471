#include "transport/com_buffer.h"

#include "transport/custom_com_port.h"

void TComBuffer::AssignTo(TComBuffer& dest) const {
  dest.inputSize_ = inputSize_;
  dest.outputSize_ = outputSize_;
  dest.Changed();
}

void TComBuffer::Changed() {
  if (comPort_) comPort_->ApplyBuffer();
}

bool TComBuffer::Even(int& value) {
  if (value % 2 != 0) --value;
  return value >= 2;
}

void TComBuffer::SetInputSize(int value) {
  if (value == inputSize_) return;
  if (!Even(value) || value == inputSize_) return;
  inputSize_ = value;
  Changed();
}

void TComBuffer::SetOutputSize(int value) {
  if (value == outputSize_) return;
  if (!Even(value) || value == outputSize_) return;
  outputSize_ = value;
  Changed();
}
