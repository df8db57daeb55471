#pragma once

#include <QStringList>
#include <functional>
#include <vector>

#include "setup_common/slope_math.h"
#include "setup_common/slope_write_planner.h"

// Where the output slope editor's two points come from and go to: a device
// (reads and writes through its driver, as jobs that report back on the
// caller's thread) or a set of fields handed in by a setup dialog. Every
// call reports through its `done` on the caller's thread, once; the editor
// starts no new call before the last one has reported.
class SlopeBackend {
 public:
  struct TState {
    int mode = 0;  // output mode, as OutputRange takes it
    bool fahrenheit = false;
    bool percent = false;  // temperatures are percentages (ratio firmware, process source 2)
    double loTemp = 0.0;   // degrees Celsius, or percent
    double hiTemp = 0.0;
    int loOutput = 0;  // thousandths of a volt or milliampere
    int hiOutput = 0;
    bool ok = true;  // false when the values could not be read
  };

  virtual ~SlopeBackend() = default;

  // Whether the output mode comes from the backend (and is shown).
  virtual bool HasOutputMode() const = 0;
  // The names of the output modes in the editor's mode list, by mode
  // (backends with an output mode).
  virtual QStringList OutputModeNames() const { return {}; }
  // The output range, its unit texts and the slope text's decimals of
  // output mode `mode`.
  virtual SlopeMath::TOutputRange OutputRange(int mode) const = 0;
  // Reads the state and keeps it for Restore.
  virtual void Open(std::function<void(const TState&)> done) = 0;
  // Reads the state again. A mode other than `shownMode` is taken only when
  // three reads agree on it; otherwise `shownMode` comes back.
  virtual void Refresh(int shownMode, std::function<void(const TState&)> done) = 0;
  // Stores the planned writes in their order; `ok` false when not all of
  // them reached their target.
  virtual void Write(std::vector<SlopeWritePlanner::TWrite> writes, std::function<void(bool ok)> done) = 0;
  // Puts back what Open read.
  virtual void Restore(std::function<void(bool ok)> done) = 0;
};
