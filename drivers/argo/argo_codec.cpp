#include "drivers/argo/argo_codec.h"

#include <cmath>

#include "platform/number_text.h"

namespace {

constexpr char kBase32Digits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUV";

// Display names of the model classes 0..8 and the range suffixes 0..2.
constexpr const char* kModelClassNames[9] = {"?", "S", "M", "G", "P", "F", "H", "R", "HT"};
constexpr const char* kRangeSuffixes[3] = {"", "L", "H"};

bool TimesInHundredths(const TArgoModelInfo& model) { return model.FWrev >= 5000 && model.FWrev <= 5003; }

std::uint32_t Bits(std::uint32_t v, int from, int to) {
  const int width = to - from + 1;
  return (v >> from) & ((1u << width) - 1u);
}

}  // namespace

bool ArgoCodec::IsBareRead(std::uint8_t code) {
  if (code <= 0x2E) return true;
  switch (code) {
    case 0x41:
    case 0x43:
    case 0x45:
    case 0x50:
    case 0x66:
    case 0x71:
    case 0x81:
      return true;
    default:
      return false;
  }
}

QByteArray ArgoCodec::FrameRequest(const QByteArray& request, int rs485Addr) {
  QByteArray framed = request;
  if (request.isEmpty()) return framed;
  const auto code = static_cast<std::uint8_t>(request.at(0));
  if (request.size() > 1 && !IsBareRead(code)) {
    std::uint8_t x = 0;
    for (char c : request) x ^= static_cast<std::uint8_t>(c);
    framed.append(static_cast<char>(x));
  }
  if (rs485Addr >= 1 && rs485Addr <= 79) framed.prepend(static_cast<char>(0xB0 + rs485Addr));
  return framed;
}

std::uint16_t ArgoCodec::Word(std::span<const std::uint8_t> bytes, std::size_t index) {
  if (bytes.size() < 2 || index > bytes.size() - 2) return 0;
  return static_cast<std::uint16_t>(bytes[index] << 8 | bytes[index + 1]);
}

bool ArgoCodec::ScaleToWord(double v, double scale, double offset, std::uint16_t& word) {
  const double scaled = v * scale + offset;
  if (!std::isfinite(scaled)) return false;
  const std::int64_t r = NumberText::Round(scaled);
  if (r < 0 || r > 0xFFFF) return false;
  word = static_cast<std::uint16_t>(r);
  return true;
}

float ArgoCodec::DecodeTimeValue(std::uint16_t word, const TArgoModelInfo& model) {
  const auto s = static_cast<std::int16_t>(word);
  if (TimesInHundredths(model)) return static_cast<float>(s / 100.0);
  if (s >= 0 && s <= 10000) return static_cast<float>(s / 10.0);
  if (model.Time_in_ms || model.Time_in_10ms) return static_cast<float>((word & 0x7FFF) / 1000.0);
  return static_cast<float>((word & 0x7FFF) / 10.0);
}

std::uint16_t ArgoCodec::EncodeTimeValue(float seconds, const TArgoModelInfo& model) {
  const double s = std::isfinite(seconds) ? seconds : 0.0;
  auto clamp = [](std::int64_t r, std::int64_t hi) { return r < 0 ? 0 : (r > hi ? hi : r); };
  if (TimesInHundredths(model))
    return static_cast<std::uint16_t>(clamp(NumberText::Round(s * 100.0), 0x7FFF));
  if (seconds >= 0.1f && seconds <= 1000.0f)
    return static_cast<std::uint16_t>(clamp(NumberText::Round(s * 10.0), 0x7FFF));
  std::int64_t r;
  if (model.Time_in_ms || model.Time_in_10ms)
    r = clamp(NumberText::Round(s * 1000.0), 0x7FFF);
  else
    r = clamp(NumberText::Round(s * 10.0), 0x7FFF);
  if (r > 0) r |= 0x8000;
  return static_cast<std::uint16_t>(r);
}

float ArgoCodec::MaxTimeValue(const TArgoModelInfo& model) {
  return TimesInHundredths(model) ? 327.67f : 999.9f;
}

void ArgoCodec::DecodeModelInfo(std::span<const std::uint8_t> reply, TArgoModelInfo& info) {
  if (reply.size() < 6) return;
  const std::uint8_t code = reply[0];
  const std::uint8_t flags = reply[1];
  info.LoRangeTemp = DecodeT(Word(reply, 2));
  info.HiRangeTemp = DecodeT(Word(reply, 4));
  float threshold = 0.0f;
  switch (code) {
    case 0:
      info.ModelType = 1;
      break;
    case 2:
      info.ModelType = 3;
      threshold = 250.0f;
      break;
    case 4:
      info.ModelType = 6;
      threshold = 350.0f;
      break;
    case 6:
      info.ModelType = 5;
      threshold = 350.0f;
      break;
    case 16:
      info.ModelType = 8;
      threshold = 1000.0f;
      break;
    default:
      info.ModelType = 0;
      break;
  }
  if (code == 2 || code == 4 || code == 6 || code == 16)
    info.ModelRange = info.LoRangeTemp >= threshold ? 2 : 1;
  info.Laser = (flags & 0x01) != 0;
  info.HeadCodeSize = (flags & 0x02) != 0 ? 2 : 1;
  info.Time_in_ms = (flags & 0x04) != 0;
  info.Time_in_10ms = (flags & 0x08) != 0;
  info.AlHysteresis = (flags & 0x80) != 0;
  info.ModelStr = ModelString(info);
}

QString ArgoCodec::ModelString(const TArgoModelInfo& info) {
  QString s;
  if (info.Laser) s += QStringLiteral("Laser-");
  if (info.ModelType < 9) s += QString::fromLatin1(kModelClassNames[info.ModelType]);
  if (info.ModelType != 1 && info.ModelRange < 3) s += QString::fromLatin1(kRangeSuffixes[info.ModelRange]);
  return s.left(12);
}

std::uint8_t ArgoCodec::PackAlarmMode(const TArgoAlarmMode& mode) {
  std::uint8_t p = 0;
  switch (mode.Source) {
    case 0:
      p = 0x20;
      break;
    case 1:
      p = 0x40;
      break;
    case 2:
      p = 0x80;
      break;
    default:
      p = 0x00;
      break;
  }
  if (mode.OpenClose == 0) p |= 0x10;
  if (mode.DigiAna == 1) p |= 0x08;
  p |= mode.OutMode & 0x07;
  return p;
}

TArgoAlarmMode ArgoCodec::UnpackAlarmMode(std::uint8_t packed) {
  TArgoAlarmMode m;
  switch (packed & 0xE0) {
    case 0x20:
      m.Source = 0;
      break;
    case 0x40:
      m.Source = 1;
      break;
    case 0x80:
      m.Source = 2;
      break;
    default:
      m.Source = 3;
      break;
  }
  m.OpenClose = (packed & 0x10) == 0 ? 1 : 0;
  m.DigiAna = (packed & 0x08) != 0 ? 1 : 0;
  m.OutMode = packed & 0x07;
  return m;
}

bool ArgoCodec::AlarmModeValid(const TArgoAlarmMode& mode) {
  return mode.Source <= 3 && mode.OpenClose <= 1 && mode.DigiAna <= 1 && mode.OutMode <= 7;
}

void ArgoCodec::DecodeDeviations(std::uint16_t word, std::uint8_t& devLo, std::uint8_t& devHi) {
  devLo = DeviationIndex(Bits(word, 4, 11));
  devHi = DeviationIndex(Bits(word, 0, 3));
}

std::uint8_t ArgoCodec::EncodeDeviations(std::uint8_t devLo, std::uint8_t devHi) {
  const unsigned lo = devLo > 4 ? 0 : devLo;
  const unsigned hi = devHi > 4 ? 0 : devHi;
  return static_cast<std::uint8_t>(lo * 16 + hi);
}

bool ArgoCodec::ParseHeadCodeGroup(const QString& text, std::uint32_t& value) {
  std::uint32_t v = 0;
  int digits = 0;
  for (QChar qc : text) {
    const char16_t c = qc.unicode();
    int d;
    if (c >= u'0' && c <= u'9')
      d = c - u'0';
    else if (c >= u'A' && c <= u'V')
      d = c - u'A' + 10;
    else if (c >= u'a' && c <= u'v')
      d = c - u'a' + 10;
    else
      continue;
    if (++digits > 4) return false;
    v = v * 32 + static_cast<std::uint32_t>(d);
  }
  value = v;
  return true;
}

QString ArgoCodec::HeadCodeGroupText(std::uint32_t value) {
  QString s(4, QLatin1Char('0'));
  value &= 0xFFFFF;
  for (int i = 3; i >= 0; --i) {
    s[i] = QLatin1Char(static_cast<char>(kBase32Digits[value & 31]));
    value >>= 5;
  }
  return s;
}

std::array<std::uint32_t, 11> ArgoCodec::SplitHeadCodeShort(const std::array<std::uint32_t, 3>& g) {
  return {Bits(g[0], 0, 3), Bits(g[0], 4, 4),  Bits(g[0], 5, 10),  Bits(g[0], 11, 19) | Bits(g[1], 0, 1) << 9,
          Bits(g[1], 2, 5), Bits(g[1], 6, 12), Bits(g[1], 13, 16), Bits(g[1], 17, 19) | Bits(g[2], 0, 0) << 4,
          Bits(g[2], 1, 7), Bits(g[2], 8, 14), Bits(g[2], 15, 15)};
}

std::array<std::uint32_t, 13> ArgoCodec::SplitHeadCodeLarge(const std::array<std::uint32_t, 5>& g) {
  return {Bits(g[0], 0, 0),
          Bits(g[0], 1, 7),
          Bits(g[0], 8, 19),
          Bits(g[1], 0, 7),
          Bits(g[1], 8, 15),
          Bits(g[1], 16, 19) | Bits(g[2], 0, 3) << 4,
          Bits(g[2], 4, 11),
          Bits(g[2], 12, 19),
          Bits(g[3], 0, 7),
          Bits(g[3], 8, 15),
          Bits(g[3], 16, 19) | Bits(g[4], 0, 0) << 4,
          Bits(g[4], 1, 11),
          Bits(g[4], 12, 19)};
}

TArgoVisualAlarm ArgoCodec::DecodeVisualAlarm(std::span<const std::uint8_t> b) {
  TArgoVisualAlarm a;
  if (b.size() < 20) return a;
  for (int k = 0; k < 4; ++k) {
    const std::size_t o = static_cast<std::size_t>(k) * 5;
    a.Lo[k] = DecodeT(Word(b, o));
    a.Hi[k] = DecodeT(Word(b, o + 2));
    a.Flags[k] = b[o + 4];
  }
  return a;
}

bool ArgoCodec::EncodeVisualAlarm(const TArgoVisualAlarm& alarm, std::array<std::uint8_t, 20>& b) {
  for (int k = 0; k < 4; ++k) {
    std::uint16_t lo = 0, hi = 0;
    if (!EncodeT(alarm.Lo[k], lo) || !EncodeT(alarm.Hi[k], hi)) return false;
    const std::size_t o = static_cast<std::size_t>(k) * 5;
    b[o] = static_cast<std::uint8_t>(lo >> 8);
    b[o + 1] = static_cast<std::uint8_t>(lo);
    b[o + 2] = static_cast<std::uint8_t>(hi >> 8);
    b[o + 3] = static_cast<std::uint8_t>(hi);
    b[o + 4] = alarm.Flags[k];
  }
  return true;
}

std::array<std::uint8_t, 4> ArgoCodec::PackBurstSlots(std::span<const std::uint8_t> s) {
  std::array<std::uint8_t, 4> b{};
  for (std::size_t i = 0; i < 4 && 2 * i + 1 < s.size(); ++i)
    b[i] = static_cast<std::uint8_t>((s[2 * i] & 0x0F) << 4 | (s[2 * i + 1] & 0x0F));
  return b;
}

std::array<std::uint8_t, 8> ArgoCodec::UnpackBurstSlots(std::span<const std::uint8_t> b) {
  std::array<std::uint8_t, 8> s{};
  for (std::size_t i = 0; i < 4 && i < b.size(); ++i) {
    s[2 * i] = b[i] >> 4;
    s[2 * i + 1] = b[i] & 0x0F;
  }
  return s;
}

int ArgoCodec::BurstChannelCount(std::span<const std::uint8_t> slots) {
  int n = 0;
  for (std::size_t i = 0; i < slots.size() && i < 8; ++i) {
    if (slots[i] == 0) break;
    ++n;
  }
  return n;
}

int ArgoCodec::BaudRateValue(TArgoBaudrate baudrate) {
  switch (baudrate) {
    case argo9600:
      return 9600;
    case argo19200:
      return 19200;
    case argo38400:
      return 38400;
    case argo57600:
      return 57600;
    default:
      return 115200;
  }
}
