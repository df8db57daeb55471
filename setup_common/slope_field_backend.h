#pragma once

#include <cstdint>

#include "setup_common/slope_backend.h"

// The slope editor's backend for dialogs that edit values handed in by
// their caller: the two points live in plain fields, outputs in the
// caller's unit (`OutputScale` field units per thousandth of the output
// unit, e.g. 1 for millivolts, 0.001 for whole milliamperes). The output
// range with its unit texts is the caller's: one of the common ranges by
// its mode code, or one of its own.
class SlopeFieldBackend : public SlopeBackend {
 public:
  SlopeFieldBackend(int mode, double outputScale)
      : SlopeFieldBackend(SlopeMath::OutputRange(mode), outputScale, mode) {}
  SlopeFieldBackend(const SlopeMath::TOutputRange& range, double outputScale, int mode = 0)
      : mode_(mode), range_(range), outputScale_(outputScale) {}

  float LoTemp = 0.0f;  // degrees Celsius
  float HiTemp = 0.0f;
  std::int32_t LoOutput = 0;
  std::int32_t HiOutput = 0;
  bool Fahrenheit = false;

  bool HasOutputMode() const override { return false; }
  SlopeMath::TOutputRange OutputRange(int) const override { return range_; }
  void Open(std::function<void(const TState&)> done) override;
  void Refresh(int shownMode, std::function<void(const TState&)> done) override;
  void Write(std::vector<SlopeWritePlanner::TWrite> writes, std::function<void(bool ok)> done) override;
  void Restore(std::function<void(bool ok)> done) override;

 private:
  TState State() const;
  int ToThousandths(std::int32_t field) const;
  std::int32_t ToField(int thousandths) const;

  int mode_;
  SlopeMath::TOutputRange range_;
  double outputScale_;
  float openLoTemp_ = 0.0f;
  float openHiTemp_ = 0.0f;
  std::int32_t openLoOutput_ = 0;
  std::int32_t openHiOutput_ = 0;
};
