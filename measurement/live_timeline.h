#pragma once

#include <cstdint>

// The time axis of a live measurement, free of any widget: where the
// measurement's time zero lies, which streamed records the start delay
// holds back (and how far that delay has come), the chart time of every
// sample and the cycle time between samples.
//
// A burst measurement's zero is the record that ends the start delay: the
// records before it (the first one always, then every one that arrives
// within the delay, counted on the monotonic clock from the first) only
// move the zero, and the chart starts at 0 with the record after it. A
// poll measurement's zero is its start; its samples are the readings that
// close a poll.
class TLiveTimeline {
 public:
  // What one streamed record does.
  struct TRecordStep {
    bool Sample = false;  // it becomes a chart sample at Time
    double Time = 0.0;    // seconds from the zero
    // The start delay's progress in per cent while it runs; 0 with the
    // first sample (the progress bar is cleared); -1: unchanged.
    int Progress = -1;
  };

  // A burst measurement starts; its first `startDelaySeconds` (from the
  // first record) are held back.
  void StartBurst(double startDelaySeconds);
  // A poll measurement starts at `now` (seconds, steady clock).
  void StartPoll(double now);

  // A record stamped `recordTime` (seconds, the driver's count) taken at
  // `nowMs` (milliseconds, monotonic clock).
  TRecordStep TakeRecord(double recordTime, std::int64_t nowMs);
  // The chart time of a poll sample whose reading arrived at `readingTime`
  // (seconds, steady clock).
  double PollTime(double readingTime) const { return readingTime - zero_; }
  // The mean time between the samples of a batch of `records` records
  // whose last sample lies at `time`; the next batch counts from there.
  double Cycle(double time, int records);

  // Records taken and samples given since the start.
  std::int64_t Records() const { return records_; }
  std::int64_t Samples() const { return samples_; }

 private:
  double startDelay_ = 0.0;
  std::int64_t delayEndMs_ = 0;
  double zero_ = 0.0;
  double lastSampleTime_ = 0.0;
  std::int64_t records_ = 0;
  std::int64_t samples_ = 0;
};
