#pragma once

#include <QString>
#include <array>
#include <cstdint>

class TLngINISupp;

// The figures of the measurement settings dialog, kept apart from the
// widgets: the table of recording intervals, the interval text, the memory
// the samples take and the recording time they cover. Unit words come from
// the language component (their English defaults without one).
class MeasurementSettingsTexts {
 public:
  static constexpr int kIntervalCount = 20;
  // Bytes one sample of all channels takes.
  static constexpr std::int64_t kBytesPerSample = 44;

  explicit MeasurementSettingsTexts(const TLngINISupp* lis = nullptr) : lis_(lis) {}

  // Recording intervals in seconds, shortest first.
  static const std::array<float, kIntervalCount>& Intervals();
  // The first table entry at or above `resolution`, the last one when none
  // is. Compared in single precision, as the settings hold the interval, so
  // 1 ms finds the 1 ms entry.
  static int IntervalIndex(float resolution);

  // "250msec", "5sec", "2min".
  QString IntervalText(float resolution) const;
  // "42KB", "209.8MB" for `maxData` samples.
  static QString MemoryText(std::int64_t maxData);
  // "1 sec", "1 min, 30 sec", "2 days, 3 h", ... for `seconds`.
  QString RecordingTimeText(double seconds) const;

 private:
  // A unit word of section "Other".
  QString Unit(const char* key, const char* defaultText) const;

  const TLngINISupp* lis_;
};
