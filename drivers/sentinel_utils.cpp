#include "drivers/sentinel_utils.h"

#include <cmath>
#include <iterator>

#include "drivers/device_type.h"
#include "platform/folders.h"
#include "platform/number_text.h"

namespace {

const QString kNoValue = QStringLiteral("-----");
constexpr std::int64_t kOverflowRaw = 32769;

// The conversions are computed in double precision and returned as float.
constexpr double kFactor = 1.8;
constexpr double kOffset = 32.0;

QString Fixed(const char* format, float value) {
  return NumberText::Format(QLatin1String(format), {static_cast<double>(value)});
}

}  // namespace

void SentinelUtils::DeviceTypeName(std::uint8_t deviceType, QString& S) {
  // By code, from DeviceType::Argo on.
  static const char* const kNames[] = {"Argo",    "Argo-ratio", "Voduz1", "Dunav1",   "Brio 2W",   "Duna2Wv1",
                                       "Fenn 2W", "Briov2",     "Dunav2", "Duna2Wv2", "Duna2W2Mv2"};
  static_assert(std::size(kNames) == DeviceType::Duna2W2Mv2 - DeviceType::Argo + 1);
  if (DeviceType::IsKnown(deviceType)) {
    S = QLatin1String(kNames[deviceType - DeviceType::Argo]);
  } else {
    S = QStringLiteral("?");
  }
}

void SentinelUtils::BaudrateName(int index, QString& S) {
  static const char* const kNames[] = {"9600", "19200", "38400", "57600", "115200"};
  if (index >= 1 && index <= 5) S = QLatin1String(kNames[index - 1]);
}

float SentinelUtils::CelsiusToUnit(bool fahrenheit, float T) {
  return fahrenheit ? static_cast<float>(static_cast<double>(T) * kFactor + kOffset) : T;
}

float SentinelUtils::UnitToCelsius(bool fahrenheit, float T) {
  return fahrenheit ? static_cast<float>((static_cast<double>(T) - kOffset) * 5.0 / 9.0) : T;
}

float SentinelUtils::DeltaCelsiusToUnit(bool fahrenheit, float D) {
  return fahrenheit ? static_cast<float>(static_cast<double>(D) * kFactor) : D;
}

float SentinelUtils::DeltaUnitToCelsius(bool fahrenheit, float D) {
  return fahrenheit ? static_cast<float>(static_cast<double>(D) * 5.0 / 9.0) : D;
}

void SentinelUtils::FormatTemperature(bool fahrenheit, bool twoDecimals, QString& S, float T) {
  if (T >= -100.0f && T <= 3000.0f) {
    const float U = CelsiusToUnit(fahrenheit, T);
    const char* format = U >= 1000.0f ? "%4.0f%s" : (twoDecimals ? "%3.2f%s" : "%3.1f%s");
    S = NumberText::Format(QLatin1String(format),
                           {static_cast<double>(U), fahrenheit ? UnitFahrenheitText : UnitCelsiusText});
    return;
  }
  const std::int64_t R = NumberText::Round(static_cast<double>(T) * 10.0 + 1000.0);
  S = R == kOverflowRaw ? OverflowText : kNoValue;
}

void SentinelUtils::FormatTemperatureNoUnit(bool fahrenheit, QString& S, float T) {
  // Not a number has no text either.
  if (T > 3000.0f || std::isnan(T)) {
    S = kNoValue;
    return;
  }
  const float U = CelsiusToUnit(fahrenheit, T);
  S = Fixed(U >= 1000.0f ? "%4.0f" : "%3.1f", U);
}

void SentinelUtils::FormatTemperatureOneDecimal(bool fahrenheit, QString& S, float T) {
  if (T > 3000.0f || std::isnan(T)) {
    S = kNoValue;
    return;
  }
  S = Fixed("%3.1f", CelsiusToUnit(fahrenheit, T));
}

void SentinelUtils::FormatTemperatureTwoDecimals(bool fahrenheit, QString& S, float T) {
  if (T > 3000.0f || std::isnan(T)) {
    S = kNoValue;
    return;
  }
  S = Fixed("%3.2f", CelsiusToUnit(fahrenheit, T));
}

void SentinelUtils::FormatRawTemperature(std::uint16_t raw, bool fahrenheit, bool hundredths, QString& S) {
  const float T = static_cast<float>(hundredths ? raw / 100.0 - 100.0 : raw / 10.0 - 100.0);
  FormatTemperatureNoUnit(fahrenheit, S, T);
}

void SentinelUtils::UnitSuffix(bool fahrenheit, QString& S) {
  S = fahrenheit ? UnitFahrenheitText : UnitCelsiusText;
}

bool SentinelUtils::GetSpecialFolderPath(int CSIDL, QString& Path) {
  // The high byte carries flags such as "create"; the folder is the low byte.
  switch (CSIDL & 0xFF) {
    case kCsidlAppData:
    case kCsidlLocalAppData:
    case kCsidlCommonAppData: {
      const QString folder = Folders::UserDataFolder();
      if (folder.isEmpty()) return false;
      Path = folder;
      return true;
    }
    default:
      return false;
  }
}
