#include "setup_argo/argo_setup_post_processing.h"

namespace {

using W = ArgoSetupWrite;

constexpr float kDefaultAvgTime = 0.2f;
constexpr float kDefaultHoldTime = 1.0f;

// Keeps a time that is on, so switching back can restore it.
void Remember(float cached, float& last) {
  if (cached != 0.0f) last = cached;
}

}  // namespace

ArgoSetupWrites ArgoSetupPostProcessing::Choose(int item, float cachedAverage, float cachedPeakHold,
                                                float cachedValleyHold) {
  ArgoSetupWrites writes;
  switch (item) {
    case Off:
      Remember(cachedAverage, FLastAvgTime);
      Remember(cachedPeakHold, FLastPeakHold);
      Remember(cachedValleyHold, FLastValleyHold);
      writes = {W::Of(W::AverageTime, 0.0f), W::Of(W::PeakHoldTime, 0.0f), W::Of(W::ValleyHoldTime, 0.0f)};
      break;
    case Averaging:
      Remember(cachedPeakHold, FLastPeakHold);
      Remember(cachedValleyHold, FLastValleyHold);
      if (FLastAvgTime == 0.0f) FLastAvgTime = kDefaultAvgTime;
      writes = {W::Of(W::PeakHoldTime, 0.0f), W::Of(W::ValleyHoldTime, 0.0f)};
      if (cachedAverage == 0.0f) writes.push_back(W::Of(W::AverageTime, FLastAvgTime));
      break;
    case PeakHold:
    case ValleyHold: {
      const bool peak = item == PeakHold;
      // The other hold time is switched off and remembered.
      Remember(peak ? cachedValleyHold : cachedPeakHold, peak ? FLastValleyHold : FLastPeakHold);
      float& last = peak ? FLastPeakHold : FLastValleyHold;
      if (FLastAvgTime == 0.0f) FLastAvgTime = kDefaultAvgTime;
      if (last == 0.0f) last = kDefaultHoldTime;
      writes.push_back(W::Of(peak ? W::ValleyHoldTime : W::PeakHoldTime, 0.0f));
      if ((peak ? cachedPeakHold : cachedValleyHold) == 0.0f)
        writes.push_back(W::Of(peak ? W::PeakHoldTime : W::ValleyHoldTime, last));
      if (cachedAverage == 0.0f) writes.push_back(W::Of(W::AverageTime, FLastAvgTime));
      break;
    }
    default:
      // The advanced modes keep the times.
      break;
  }
  const float mode = item == AdvPeakHold ? 1.0f : (item == AdvValleyHold ? 2.0f : 0.0f);
  writes.push_back(W::Of(W::AdvancedHoldMode, mode));
  return writes;
}
