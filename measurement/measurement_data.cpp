#include "measurement/measurement_data.h"

#include <algorithm>
#include <cmath>

QDateTime MeasurementFileHeader::StartDateTime() const {
  if (!StartDate.isValid()) return {};
  return QDateTime(StartDate, StartTime.isValid() ? StartTime : QTime(0, 0));
}

void MeasurementData::Clear() {
  Header = MeasurementFileHeader();
  times_.clear();
  times_.shrink_to_fit();
  values_.clear();
  values_.shrink_to_fit();
  YRangeMin = 5000.0;
  YRangeMax = -100.0;
}

void MeasurementData::ClearSamples() {
  times_.clear();
  values_.clear();
}

void MeasurementData::Reserve(std::int64_t samples) {
  if (samples <= 0) return;
  times_.reserve(static_cast<std::size_t>(samples));
  values_.reserve(static_cast<std::size_t>(samples) * ChannelValues::kCount);
}

void MeasurementData::Append(double time, const TChannelValues& values) {
  times_.push_back(time);
  values_.insert(values_.end(), values.begin(), values.end());
}

void MeasurementData::Assign(const MeasurementSampleSource& source) {
  if (&source == this) return;
  times_.clear();
  values_.clear();
  const std::int64_t count = std::max<std::int64_t>(source.SampleCount(), 0);
  Reserve(count);
  TChannelValues v{};
  for (std::int64_t i = 0; i < count; ++i) {
    source.SampleValues(i, v);
    Append(source.SampleTime(i), v);
  }
}

double MeasurementData::SampleTime(std::int64_t index) const {
  if (index < 0 || index >= SampleCount()) return 0.0;
  return times_[static_cast<std::size_t>(index)];
}

void MeasurementData::SampleValues(std::int64_t index, TChannelValues& values) const {
  if (index < 0 || index >= SampleCount()) {
    values.fill(0.0f);
    return;
  }
  const auto first = values_.begin() + static_cast<std::ptrdiff_t>(index) * ChannelValues::kCount;
  std::copy(first, first + ChannelValues::kCount, values.begin());
}

TChannelValues MeasurementData::Values(std::int64_t index) const {
  TChannelValues v{};
  SampleValues(index, v);
  return v;
}

void MeasurementData::WidenValueRange(float value) {
  if (!std::isfinite(value)) return;
  const double v = value;
  if (v < YRangeMin) YRangeMin = v - 1.0;
  if (v > YRangeMax) YRangeMax = v + 1.0;
}
