// Parses arbitrary argument lists of the display program (arguments
// separated by NUL bytes, taken as UTF-8) and checks what the window relies
// on: a size within bounds, a colour of 24 bits, a printable separator.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "glowreadout/glow_command_line.h"

namespace {
void Check(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  QStringList args;
  for (const QByteArray& a : bytes.split('\0')) args << QString::fromUtf8(a);
  const TGlowCommandLine c(args);
  Check(c.Bounds().width() >= 1 && c.Bounds().width() <= TGlowCommandLine::kMaxWindowSize);
  Check(c.Bounds().height() >= 1 && c.Bounds().height() <= TGlowCommandLine::kMaxWindowSize);
  Check(c.Color() <= 0xFFFFFFu);
  Check(c.DecimalSeparator().isPrint());
  return 0;
}
