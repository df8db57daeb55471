// Reads arbitrary bytes as a measurement data file; whatever was read is
// written out again and must read back with the same number of samples. A
// read in batches hands over exactly the rows of a whole read.
#include <QBuffer>
#include <QByteArray>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "measurement/measurement_data.h"
#include "measurement/measurement_data_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  MeasurementDataFile file;
  MeasurementData read;
  const MeasurementFileResult r = file.ReadBytes(bytes, read);
  if (!r.Ok() && !r.PartialData && read.SampleCount() != 0) std::abort();
  if (!r.Ok() && r.Message.isEmpty()) std::abort();

  // The same read in batches of 1 to 8 rows.
  MeasurementDataFile batched;
  batched.BatchRows = size > 0 ? 1 + data[0] % 8 : 1;
  MeasurementData rows;
  batched.OnBatch = [&](const MeasurementData& batch) {
    for (std::int64_t i = 0; i < batch.SampleCount(); ++i) rows.Append(batch.SampleTime(i), batch.Values(i));
    return true;
  };
  MeasurementData rest;
  const MeasurementFileResult rb = batched.ReadBytes(bytes, rest);
  for (std::int64_t i = 0; i < rest.SampleCount(); ++i) rows.Append(rest.SampleTime(i), rest.Values(i));
  if (rb.Error != r.Error || rb.Line != r.Line) std::abort();
  if (r.Ok() || r.PartialData) {
    if (rows.SampleCount() != read.SampleCount()) std::abort();
    for (std::int64_t i = 0; i < rows.SampleCount(); ++i) {
      if (rows.SampleTime(i) != read.SampleTime(i) || rows.Values(i) != read.Values(i)) std::abort();
    }
    if (rest.YRangeMin != read.YRangeMin || rest.YRangeMax != read.YRangeMax) std::abort();
  }

  if (read.SampleCount() == 0 && !r.Ok()) return 0;

  const MeasurementFileHeader& h = read.Header;
  if (!(h.Resolution > 0.0) || h.YDecimal < 0 || h.YDecimal > 3 || h.ValueCount < 0 || h.ValueCount > 11)
    std::abort();
  for (std::int64_t i = 0; i < read.SampleCount(); ++i) {
    if (!std::isfinite(read.SampleTime(i))) std::abort();
    for (float v : read.Values(i)) {
      if (!std::isfinite(v) || v >= MeasurementDataFile::kNoValueLimit) std::abort();
    }
  }

  for (QChar separator : {QLatin1Char('.'), QLatin1Char(',')}) {
    QBuffer out;
    out.open(QIODevice::WriteOnly);
    file.SetDecimalSeparator(separator);
    if (!file.WriteTo(out, h, read).Ok()) std::abort();
    out.close();
    MeasurementData again;
    const MeasurementFileResult r2 = file.ReadBytes(out.data(), again);
    if (!r2.Ok() || again.SampleCount() != read.SampleCount()) std::abort();
  }
  return 0;
}
