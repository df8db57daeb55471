#include "measurement/live_timeline.h"

#include <cmath>

void TLiveTimeline::StartBurst(double startDelaySeconds) {
  *this = TLiveTimeline();
  startDelay_ = startDelaySeconds;
}

void TLiveTimeline::StartPoll(double now) {
  *this = TLiveTimeline();
  zero_ = now;
}

TLiveTimeline::TRecordStep TLiveTimeline::TakeRecord(double recordTime, std::int64_t nowMs) {
  TRecordStep step;
  ++records_;
  if (records_ == 1) {
    delayEndMs_ = nowMs + static_cast<std::int64_t>(std::lround(startDelay_ * 1000.0));
    zero_ = recordTime;
    return step;
  }
  if (nowMs < delayEndMs_) {
    zero_ = recordTime;
    if (startDelay_ > 0.0)
      step.Progress =
          100 - static_cast<int>(std::lround((delayEndMs_ - nowMs) / (startDelay_ * 1000.0) * 100.0));
    return step;
  }
  if (samples_ == 0) step.Progress = 0;
  ++samples_;
  step.Sample = true;
  step.Time = recordTime - zero_;
  return step;
}

double TLiveTimeline::Cycle(double time, int records) {
  const double cycle = records > 0 ? (time - lastSampleTime_) / records : 0.0;
  lastSampleTime_ = time;
  return cycle;
}
