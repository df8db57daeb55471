#include "app/measurement_diagram_source.h"

#include <algorithm>

#include "ui/diagram_model.h"

std::int64_t MeasurementDiagramSource::SampleCount() const {
  return std::max<std::int64_t>(diagram_.UsedData(), 0) + 1;
}

double MeasurementDiagramSource::SampleTime(std::int64_t index) const {
  return static_cast<double>(index) * diagram_.Resolution();
}

void MeasurementDiagramSource::SampleValues(std::int64_t index, TChannelValues& values) const {
  for (std::size_t ch = 0; ch < values.size(); ++ch)
    values[ch] = diagram_.SlotValue(static_cast<int>(ch), index);
}

MeasurementFileHeader MeasurementDiagramSource::HeaderFor(const TDiagramModel& diagram,
                                                          const QDateTime& measureStart, bool fahrenheit) {
  MeasurementFileHeader header;
  header.StartDate = measureStart.date();
  header.StartTime = measureStart.time();
  header.Fahrenheit = fahrenheit;
  header.Resolution = diagram.Resolution();
  header.YDecimal = diagram.YDecimal();
  header.ValueCount = static_cast<int>(ChannelValues::kCount);
  return header;
}
