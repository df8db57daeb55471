// Decodes arbitrary reply bytes the way the single-colour driver does:
// model information, visual alarms, alarm modes, deviations, time words
// under every scaling, head-code groups, and the framing of requests.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "drivers/argo/argo_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);

  TArgoModelInfo model;
  if (size >= 2) model.FWrev = static_cast<std::uint16_t>(data[0] << 8 | data[1]);
  ArgoCodec::DecodeModelInfo(bytes.subspan(size >= 2 ? 2 : 0), model);
  if (model.ModelStr.size() > 12) std::abort();
  if (model.HeadCodeSize > 2) std::abort();

  if (size >= 20) {
    const TArgoVisualAlarm a = ArgoCodec::DecodeVisualAlarm(bytes.first(20));
    std::array<std::uint8_t, 20> back{};
    if (!ArgoCodec::EncodeVisualAlarm(a, back)) std::abort();
    if (std::memcmp(back.data(), data, 20) != 0) std::abort();
  }

  for (std::size_t i = 0; i + 1 < size; i += 2) {
    const std::uint16_t w = ArgoCodec::Word(bytes, i);
    // Every time decoded from a word encodes without overflow.
    const float s = ArgoCodec::DecodeTimeValue(w, model);
    (void)ArgoCodec::EncodeTimeValue(s, model);
    std::uint16_t back = 0;
    if (!ArgoCodec::EncodeT(ArgoCodec::DecodeT(w), back) || back != w) std::abort();
    std::uint8_t lo = 0, hi = 0;
    ArgoCodec::DecodeDeviations(w, lo, hi);
    if (lo > 4 || hi > 4) std::abort();
    const TArgoAlarmMode m = ArgoCodec::UnpackAlarmMode(static_cast<std::uint8_t>(w));
    if (!ArgoCodec::AlarmModeValid(m)) std::abort();
  }

  const QString text = QString::fromLatin1(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  std::uint32_t group = 0;
  if (ArgoCodec::ParseHeadCodeGroup(text, group) && group > 0xFFFFF) std::abort();

  const QByteArray request(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  const QByteArray framed = ArgoCodec::FrameRequest(request, size > 0 ? data[0] % 100 : 0);
  if (framed.size() < request.size() || framed.size() > request.size() + 2) std::abort();
  return 0;
}
