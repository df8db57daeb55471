// Text pasted into the head-code editor: whatever arrives, the bare code is
// never longer than the code, holds only code characters and blanks, every
// refused position is a blank, a valid code splits into groups the driver
// parses, and checking the result again changes nothing.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "drivers/argo/argo_codec.h"
#include "setup_argo/head_code_validator.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  const QString text =
      QString::fromUtf8(reinterpret_cast<const char*>(data + 1), static_cast<qsizetype>(size - 1));
  const auto mode = (data[0] & 1) ? HeadCodeValidator::TMode::Large : HeadCodeValidator::TMode::Short;
  const int caret = data[0] >> 1;

  const QString bare = HeadCodeValidator::Overtype(text, caret, mode);
  const HeadCodeValidator::TResult result = HeadCodeValidator::Validate(bare, mode);
  if (result.Code.size() > HeadCodeValidator::CodeLength(mode)) std::abort();
  for (const QChar c : result.Code)
    if (c != QLatin1Char(' ') && !HeadCodeValidator::Alphabet().contains(c)) std::abort();
  for (const int index : result.Rejected)
    if (index < 0 || index >= result.Code.size() || result.Code[index] != QLatin1Char(' ')) std::abort();

  const HeadCodeValidator::TResult again = HeadCodeValidator::Validate(result.Code, mode);
  if (again.Code != result.Code || !again.Rejected.empty() || again.Valid != result.Valid) std::abort();
  const QString shown = HeadCodeValidator::DisplayText(result.Code);
  if (HeadCodeValidator::Validate(shown, mode).Code != result.Code) std::abort();

  if (result.Valid) {
    for (const QString& group : HeadCodeValidator::SplitGroups(result.Code, mode)) {
      std::uint32_t value = 0;
      if (group.size() != 4 || !ArgoCodec::ParseHeadCodeGroup(group, value)) std::abort();
      if (ArgoCodec::HeadCodeGroupText(value) != group) std::abort();
    }
  }
  return 0;
}
