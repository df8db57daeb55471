// Parses arbitrary text the way the ratio setup dialog reads its typed
// values and its bus address: a number comes back finite, the address
// within 0..79, under either decimal separator.

#include <QString>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "platform/number_text.h"
#include "setup_argo/ratio_setup_param_planner.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  for (const QChar separator : {QLatin1Char('.'), QLatin1Char(',')}) {
    NumberText::SetDecimalSeparator(separator);
    const std::optional<double> value = RatioSetupParamPlanner::ParseFloatTolerant(text);
    if (value && !std::isfinite(*value)) std::abort();
    const std::optional<int> address = RatioSetupParamPlanner::ParseAddress(text);
    if (address && (*address < 0 || *address > RatioSetupParamPlanner::kMaxAddress)) std::abort();
    if (address.has_value() != value.has_value()) std::abort();
  }
  return 0;
}
