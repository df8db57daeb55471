#pragma once

#include <cstdint>

#include "measurement/channel_values.h"

// Where the data-file writer takes its samples from: a plain container
// (MeasurementData) or the chart (MeasurementDiagramSource).
//
// The writer reads the source from start to end without returning to the
// event loop, so a source must not change while it is written; a caller that
// cannot promise that (a measurement running) writes a snapshot instead
// (MeasurementData::Assign).
class MeasurementSampleSource {
 public:
  virtual ~MeasurementSampleSource() = default;

  virtual std::int64_t SampleCount() const = 0;
  // Time of sample `index` in seconds from the start of the measurement.
  virtual double SampleTime(std::int64_t index) const = 0;
  // The eleven channel values of sample `index`, temperatures in degrees
  // Celsius.
  virtual void SampleValues(std::int64_t index, TChannelValues& values) const = 0;
};
