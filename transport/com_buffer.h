#pragma once

class TCustomComPort;

// Sizes of the line's input and output queues in bytes. Sizes are always
// even: an odd value is lowered by one. A size below 2 is refused (the old
// value stays). A change re-applies the sizes to an open port at once.
class TComBuffer {
 public:
  TComBuffer() = default;
  TComBuffer(const TComBuffer&) = delete;
  TComBuffer& operator=(const TComBuffer&) = delete;

  void AssignTo(TComBuffer& dest) const;
  void Assign(const TComBuffer& source) { source.AssignTo(*this); }

  TCustomComPort* ComPort() const { return comPort_; }
  void SetComPort(TCustomComPort* port) { comPort_ = port; }

  int InputSize() const { return inputSize_; }
  void SetInputSize(int value);
  int OutputSize() const { return outputSize_; }
  void SetOutputSize(int value);

 private:
  void Changed();
  static bool Even(int& value);

  TCustomComPort* comPort_ = nullptr;
  int inputSize_ = 1024;
  int outputSize_ = 1024;
};
