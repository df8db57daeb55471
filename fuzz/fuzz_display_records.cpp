// Reads arbitrary saved display lines (one per input, separator byte 1) and
// checks that a line read as a record writes back to a line that reads as
// the same record.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "measurement/display_record.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString line = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const std::optional<TDisplayRecord> r = TDisplayRecord::Parse(line);
  if (!r) return 0;
  const std::optional<TDisplayRecord> again = TDisplayRecord::Parse(r->ToLine());
  if (!again || !(*again == *r)) std::abort();
  return 0;
}
