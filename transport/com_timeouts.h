#pragma once

class TCustomComPort;

// Read and write time-outs of a port, in milliseconds. -1 stands for "no
// limit" (the largest value). A change re-applies the time-outs to an open
// port at once; on a closed port it takes effect at the next Open.
class TComTimeouts {
 public:
  TComTimeouts() = default;
  TComTimeouts(const TComTimeouts&) = delete;
  TComTimeouts& operator=(const TComTimeouts&) = delete;

  // Copies every value into `dest` (which then re-applies its group).
  void AssignTo(TComTimeouts& dest) const;
  // Copies every value of `source` into this object and re-applies it.
  void Assign(const TComTimeouts& source) { source.AssignTo(*this); }

  TCustomComPort* ComPort() const { return comPort_; }
  void SetComPort(TCustomComPort* port) { comPort_ = port; }

  int ReadInterval() const { return readInterval_; }
  void SetReadInterval(int value);
  int ReadTotalMultiplier() const { return readTotalMultiplier_; }
  void SetReadTotalMultiplier(int value);
  int ReadTotalConstant() const { return readTotalConstant_; }
  void SetReadTotalConstant(int value);
  int WriteTotalMultiplier() const { return writeTotalMultiplier_; }
  void SetWriteTotalMultiplier(int value);
  int WriteTotalConstant() const { return writeTotalConstant_; }
  void SetWriteTotalConstant(int value);

 private:
  void Changed();

  TCustomComPort* comPort_ = nullptr;
  int readInterval_ = -1;
  int readTotalMultiplier_ = 0;
  int readTotalConstant_ = 0;
  int writeTotalMultiplier_ = 100;
  int writeTotalConstant_ = 1000;
};
