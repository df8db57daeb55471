#pragma once

#include <QDateTime>
#include <cstdint>

#include "measurement/measurement_data.h"
#include "measurement/measurement_sample_source.h"

class TDiagramModel;

// The chart's samples as the data-file writer reads them: slots 0 to
// UsedData(), sample i at i x Resolution seconds, the eleven graphs as the
// eleven channels (graphs the chart does not have give 0).
//
// It reads the chart live: while a measurement adds samples the chart can
// shift under it, so the caller writes it only when no measurement runs (or
// writes a MeasurementData snapshot taken with Assign).
class MeasurementDiagramSource : public MeasurementSampleSource {
 public:
  explicit MeasurementDiagramSource(const TDiagramModel& diagram) : diagram_(diagram) {}

  std::int64_t SampleCount() const override;
  double SampleTime(std::int64_t index) const override;
  void SampleValues(std::int64_t index, TChannelValues& values) const override;

  // The header for saving the chart: its Resolution and YDecimal, the
  // measurement's start and the display unit.
  static MeasurementFileHeader HeaderFor(const TDiagramModel& diagram, const QDateTime& measureStart,
                                         bool fahrenheit);

 private:
  const TDiagramModel& diagram_;
};
