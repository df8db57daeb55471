#pragma once

#include "transport/com_types.h"

class TCustomComPort;

// Parity settings of a port. A change re-applies the line settings to an
// open port at once.
class TComParity {
 public:
  TComParity() = default;
  TComParity(const TComParity&) = delete;
  TComParity& operator=(const TComParity&) = delete;

  void AssignTo(TComParity& dest) const;
  void Assign(const TComParity& source) { source.AssignTo(*this); }

  TCustomComPort* ComPort() const { return comPort_; }
  void SetComPort(TCustomComPort* port) { comPort_ = port; }

  TParityBits Bits() const { return bits_; }
  void SetBits(TParityBits value);
  // Enables parity checking of received bytes.
  bool Check() const { return check_; }
  void SetCheck(bool value);
  // Replaces bytes with parity errors by ReplaceChar (with Check only).
  bool Replace() const { return replace_; }
  void SetReplace(bool value);
  char ReplaceChar() const { return replaceChar_; }
  void SetReplaceChar(char value);

 private:
  void Changed();

  TCustomComPort* comPort_ = nullptr;
  TParityBits bits_ = prNone;
  bool check_ = false;
  bool replace_ = false;
  char replaceChar_ = 0;
};
