#pragma once

#include "setup_argo/argo_setup_write.h"

// The post-processing list of the single-colour setup dialog ("Off",
// "Averaging", "Peak hold", "Valley hold", "Adv. peak hold", "Adv. valley
// hold") as a state machine over the device's three times. Leaving a mode
// remembers the times it switches off, so coming back restores them; a
// mode that needs a time and has none remembered gets 0.2 s averaging or a
// 1.0 s hold. One object lives as long as the dialog (the remembered times
// start at 0 and persist between showings).
class ArgoSetupPostProcessing {
 public:
  enum Item { Off = 0, Averaging, PeakHold, ValleyHold, AdvPeakHold, AdvValleyHold };

  // The writes for choosing `item` when the device's cached times are
  // these; updates the remembered times. Ends with the advanced-hold mode.
  ArgoSetupWrites Choose(int item, float cachedAverage, float cachedPeakHold, float cachedValleyHold);

  float LastAvgTime() const { return FLastAvgTime; }
  float LastPeakHold() const { return FLastPeakHold; }
  float LastValleyHold() const { return FLastValleyHold; }

 private:
  float FLastAvgTime = 0.0f;
  float FLastPeakHold = 0.0f;
  float FLastValleyHold = 0.0f;
};
