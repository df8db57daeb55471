#pragma once

#include <QChar>
#include <QString>
#include <cstdint>

// The text a display shows for the word of a value message: the raw value
// in bits 0-15 and the flags in bits 16-23 (bits 24-31 and flag bits beyond
// 0x3F are ignored). The flags are tested in this order:
//
//   0x04        raw                "%.1f" "mV"
//   0x08        raw / 1000         "%.1f" "V"
//   0x10        raw / 10 - 100     "%.1f" "%"
//   0x20        raw / 1000         "%.3f" (no unit)
//   none, 0x01  raw / 100 - 100    "%.2f" "°C"
//   none        raw / 10 - 100     "%.1f" "°C"
//
// A temperature with 0x02 is converted to °F (x 1.8 + 32). The arithmetic
// is single precision, as the main program's encoding expects.
namespace DisplayValueText {
QString Decode(std::uint32_t wParam, QChar decimalSeparator);
}
