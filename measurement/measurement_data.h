#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <cstdint>
#include <vector>

#include "measurement/channel_values.h"
#include "measurement/measurement_sample_source.h"

// The header of a measurement data file.
struct MeasurementFileHeader {
  // Start of the measurement. Reading leaves a part invalid when the file's
  // text could not be understood; DateText and TimeText keep the texts as
  // they stood in the file (empty when writing).
  QDate StartDate;
  QTime StartTime;
  QString DateText;
  QString TimeText;
  // The unit of the temperature columns in the file.
  bool Fahrenheit = false;
  // Seconds between two samples (the chart's Resolution), above zero.
  double Resolution = 0.001;
  // Decimals of the temperature values (the chart's YDecimal), 0..3.
  int YDecimal = 1;
  // Value columns in the file: 11 for files written by this program, 3 in
  // files of the oldest format.
  int ValueCount = 11;

  // Date and time together; invalid when the date is.
  QDateTime StartDateTime() const;
};

// What a measurement data file holds: its header and the samples, each with
// its time in seconds from the first sample and the eleven channel values in
// degrees Celsius (columns the file does not have are 0).
//
// The reader fills it; the main window moves it into the chart and the value
// panels. It is also the snapshot the writer can be given while a
// measurement goes on.
class MeasurementData : public MeasurementSampleSource {
 public:
  MeasurementFileHeader Header;

  void Clear();
  // Drops the samples, keeping the header and the value range.
  void ClearSamples();
  void Reserve(std::int64_t samples);
  void Append(double time, const TChannelValues& values);
  // Copies every sample of `source` (a snapshot of the chart).
  void Assign(const MeasurementSampleSource& source);

  std::int64_t SampleCount() const override { return static_cast<std::int64_t>(times_.size()); }
  double SampleTime(std::int64_t index) const override;
  void SampleValues(std::int64_t index, TChannelValues& values) const override;
  TChannelValues Values(std::int64_t index) const;

  // Time of the last sample (0 without samples): the X window after a load
  // runs from 0 to here.
  double Duration() const { return times_.empty() ? 0.0 : times_.back(); }

  // The Y band the values span, widened by one unit on either side, in
  // degrees Celsius: the band starts inverted (min 5000, max -100) and each
  // loaded value below the min sets it to value - 1, above the max to value
  // + 1. Values at 10000 or more (and "-----") stored as 0 do not count.
  // Without such values the band stays inverted (HasValueRange false).
  double YRangeMin = 5000.0;
  double YRangeMax = -100.0;
  bool HasValueRange() const { return YRangeMin <= YRangeMax; }
  void WidenValueRange(float value);

 private:
  std::vector<double> times_;
  std::vector<float> values_;  // kCount per sample
};
