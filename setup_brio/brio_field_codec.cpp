#include "setup_brio/brio_field_codec.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "drivers/sentinel_utils.h"
#include "platform/number_text.h"

namespace {

std::uint8_t* DataOf(const BrioImageSet& images, BrioImageId id, std::size_t& size) {
  switch (id) {
    case BrioImageId::Config:
      size = images.Config ? images.Config->Data.size() : 0;
      return images.Config ? images.Config->Data.data() : nullptr;
    case BrioImageId::Calibration:
      size = images.Calibration ? images.Calibration->Data.size() : 0;
      return images.Calibration ? images.Calibration->Data.data() : nullptr;
    case BrioImageId::NewCalibration:
      size = images.NewCalibration ? images.NewCalibration->Data.size() : 0;
      return images.NewCalibration ? images.NewCalibration->Data.data() : nullptr;
    case BrioImageId::Extended:
      size = images.Extended ? images.Extended->Data.size() : 0;
      return images.Extended ? images.Extended->Data.data() : nullptr;
  }
  size = 0;
  return nullptr;
}

std::size_t BytesOf(BrioFieldWidth width) {
  switch (width) {
    case BrioFieldWidth::U8:
      return 1;
    case BrioFieldWidth::U16:
    case BrioFieldWidth::S16:
      return 2;
    case BrioFieldWidth::U32:
    case BrioFieldWidth::S32:
      return 4;
  }
  return 0;
}

// The field's bytes, or null when the image is missing or too short.
std::uint8_t* FieldBytes(const BrioImageSet& images, const BrioFieldRow& row) {
  std::size_t size = 0;
  std::uint8_t* data = DataOf(images, row.Image, size);
  if (!data || row.Offset < 0 || static_cast<std::size_t>(row.Offset) + BytesOf(row.Width) > size)
    return nullptr;
  return data + row.Offset;
}

std::uint32_t MaskOf(const BrioFieldRow& row) {
  if (row.Mask != 0) return row.Mask;
  const std::size_t bytes = BytesOf(row.Width);
  return bytes >= 4 ? 0xFFFFFFFFu : ((1u << (8 * bytes)) - 1u);
}

QString ShownNumber(const BrioFieldRow& row, std::int64_t raw, const BrioCodecContext& context) {
  const double value = (static_cast<double>(raw) - row.RawBias) / row.RawPerUnit;
  if (row.Coding == BrioCoding::Difference) {
    return NumberText::FormatFixed(
        SentinelUtils::DeltaCelsiusToUnit(context.Fahrenheit, static_cast<float>(value)), row.Decimals);
  }
  return NumberText::FormatFixed(value, row.Decimals);
}

}  // namespace

std::optional<double> BrioFieldCodec::ParseNumber(const QString& text) {
  return NumberText::ParseFloatTolerant(text.trimmed());
}

bool BrioFieldCodec::CheckRange(float value, float minimum, float maximum) {
  return minimum <= value && value <= maximum;  // false for NaN
}

std::optional<std::int64_t> BrioFieldCodec::RoundChecked(double value) {
  // Beyond 2^62 nothing of ours fits anyway; staying below it keeps the
  // conversion defined.
  if (!std::isfinite(value) || std::fabs(value) > 4.0e18) return std::nullopt;
  return NumberText::Round(value);
}

bool BrioFieldCodec::Fits(BrioFieldWidth width, std::int64_t raw) {
  switch (width) {
    case BrioFieldWidth::U8:
      return raw >= 0 && raw <= 0xFF;
    case BrioFieldWidth::U16:
      return raw >= 0 && raw <= 0xFFFF;
    case BrioFieldWidth::S16:
      return raw >= -32768 && raw <= 32767;
    case BrioFieldWidth::U32:
      return raw >= 0 && raw <= 0xFFFFFFFFLL;
    case BrioFieldWidth::S32:
      return raw >= -2147483648LL && raw <= 2147483647LL;
  }
  return false;
}

std::int64_t BrioFieldCodec::ReadRaw(const BrioImageSet& images, const BrioFieldRow& row) {
  const std::uint8_t* bytes = FieldBytes(images, row);
  if (!bytes) return 0;
  std::uint32_t u = 0;
  const std::size_t n = BytesOf(row.Width);
  for (std::size_t i = 0; i < n; ++i) u |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
  switch (row.Width) {
    case BrioFieldWidth::S16:
      return static_cast<std::int16_t>(u);
    case BrioFieldWidth::S32:
      return static_cast<std::int32_t>(u);
    default:
      return u;
  }
}

bool BrioFieldCodec::WriteRaw(const BrioImageSet& images, const BrioFieldRow& row, std::int64_t raw) {
  std::uint8_t* bytes = FieldBytes(images, row);
  if (!bytes || !Fits(row.Width, raw)) return false;
  const auto u = static_cast<std::uint32_t>(raw);
  for (std::size_t i = 0; i < BytesOf(row.Width); ++i) bytes[i] = static_cast<std::uint8_t>(u >> (8 * i));
  return true;
}

void BrioFieldCodec::Decode(BrioFieldTable table, const BrioImageSet& images, const BrioCodecContext& context,
                            SetupValues& values) {
  for (const BrioFieldRow& row : table) DecodeRow(row, images, context, values);
}

void BrioFieldCodec::DecodeRow(const BrioFieldRow& row, const BrioImageSet& images,
                               const BrioCodecContext& context, SetupValues& values) {
  const QString name = QString::fromLatin1(row.Name);
  const std::int64_t raw = ReadRaw(images, row);
  switch (row.Coding) {
    case BrioCoding::Scaled:
    case BrioCoding::Difference:
      if (row.Kind == SetupValueKind::Spin) {
        const double value = (static_cast<double>(raw) - row.RawBias) / row.RawPerUnit;
        values.SetSpin(name,
                       row.Coding == BrioCoding::Difference
                           ? SentinelUtils::DeltaCelsiusToUnit(context.Fahrenheit, static_cast<float>(value))
                           : value);
      } else {
        values.SetText(name, ShownNumber(row, raw, context));
      }
      return;
    case BrioCoding::Temperature: {
      QString text;
      SentinelUtils::FormatRawTemperature(static_cast<std::uint16_t>(raw), context.Fahrenheit, row.Hundredths,
                                          text);
      values.SetText(name, text);
      return;
    }
    case BrioCoding::CodeList: {
      const auto bits = static_cast<std::uint32_t>(raw) & MaskOf(row);
      int item = row.UnknownItem;
      for (const BrioCode& code : row.Codes) {
        if (code.Code == bits) {
          item = code.Item;
          break;
        }
      }
      if (item != kBrioKeepItem) values.SetIndex(name, item);
      return;
    }
    case BrioCoding::CheckBit:
      values.SetMark(name, (static_cast<std::uint32_t>(raw) & MaskOf(row)) != 0);
      return;
    case BrioCoding::Rule:
      return;
  }
}

std::optional<double> BrioFieldCodec::NumberOf(const SetupValues& values, const QString& name) {
  const std::optional<SetupValue> v = values.Get(name);
  if (!v) return std::nullopt;
  if (v->Kind == SetupValueKind::Spin) {
    if (!std::isfinite(v->Spin)) return std::nullopt;
    return v->Spin;
  }
  if (v->Kind == SetupValueKind::Text) return ParseNumber(v->Text);
  return std::nullopt;
}

std::optional<BrioFieldError> BrioFieldCodec::RunChecks(BrioFieldTable table, const SetupValues& values,
                                                        const BrioCodecContext& context) {
  std::vector<const BrioFieldRow*> checked;
  for (const BrioFieldRow& row : table) {
    if (row.Check.Order > 0) checked.push_back(&row);
  }
  std::stable_sort(checked.begin(), checked.end(), [](const BrioFieldRow* a, const BrioFieldRow* b) {
    return a->Check.Order < b->Check.Order;
  });
  for (const BrioFieldRow* row : checked) {
    const std::optional<double> v = NumberOf(values, QString::fromLatin1(row->Name));
    if (!v) return ErrorFor(*row);
    float minimum = row->Check.Min;
    float maximum = row->Check.Max;
    if (row->Check.Limits) row->Check.Limits(context, minimum, maximum);
    if (!CheckRange(static_cast<float>(*v * row->Check.Factor), minimum, maximum)) return ErrorFor(*row);
  }
  return std::nullopt;
}

std::optional<std::int64_t> BrioFieldCodec::RawOf(const BrioFieldRow& row, double value,
                                                  const BrioCodecContext& context) {
  const auto single = static_cast<float>(value);
  switch (row.Coding) {
    case BrioCoding::Scaled:
      return RoundChecked(value * row.RawPerUnit + row.RawBias);
    case BrioCoding::Temperature:
      return RoundChecked(static_cast<double>(SentinelUtils::UnitToCelsius(context.Fahrenheit, single)) *
                              row.RawPerUnit +
                          row.RawBias);
    case BrioCoding::Difference:
      return RoundChecked(static_cast<double>(SentinelUtils::DeltaUnitToCelsius(context.Fahrenheit, single)) *
                              row.RawPerUnit +
                          row.RawBias);
    default:
      return std::nullopt;
  }
}

std::optional<BrioFieldError> BrioFieldCodec::Encode(BrioFieldTable table, const SetupValues& values,
                                                     const BrioCodecContext& context,
                                                     const BrioImageSet& images) {
  for (const BrioFieldRow& row : table) {
    if (row.EncodeByRule || row.Coding == BrioCoding::Rule) continue;
    if (auto error = EncodeRow(row, values, context, images)) return error;
  }
  return std::nullopt;
}

std::optional<BrioFieldError> BrioFieldCodec::EncodeRow(const BrioFieldRow& row, const SetupValues& values,
                                                        const BrioCodecContext& context,
                                                        const BrioImageSet& images) {
  const QString name = QString::fromLatin1(row.Name);
  switch (row.Coding) {
    case BrioCoding::Scaled:
    case BrioCoding::Temperature:
    case BrioCoding::Difference: {
      const std::optional<double> v = NumberOf(values, name);
      if (!v) return ErrorFor(row);
      const std::optional<std::int64_t> raw = RawOf(row, *v, context);
      if (!raw || !WriteRaw(images, row, *raw)) return ErrorFor(row);
      return std::nullopt;
    }
    case BrioCoding::CodeList: {
      const int item = values.Index(name, -1);
      for (const BrioCode& code : row.Codes) {
        if (code.DecodeOnly || code.Item != item) continue;
        const std::uint32_t mask = MaskOf(row);
        const auto old = static_cast<std::uint32_t>(ReadRaw(images, row));
        if (!WriteRaw(images, row, static_cast<std::int64_t>((old & ~mask) | (code.Code & mask)))) {
          return ErrorFor(row);
        }
        return std::nullopt;
      }
      return std::nullopt;  // no selection or an item without a code: the bits stay
    }
    case BrioCoding::CheckBit: {
      const std::uint32_t mask = MaskOf(row);
      const auto old = static_cast<std::uint32_t>(ReadRaw(images, row));
      const std::uint32_t raw = values.Mark(QString::fromLatin1(row.Name)) ? (old | mask) : (old & ~mask);
      if (!WriteRaw(images, row, raw)) return ErrorFor(row);
      return std::nullopt;
    }
    case BrioCoding::Rule:
      return std::nullopt;
  }
  return std::nullopt;
}

BrioFieldError BrioFieldCodec::ErrorFor(const BrioFieldRow& row) {
  return BrioFieldError{QString::fromLatin1(row.Name), QString::fromLatin1(row.Caption)};
}

const BrioFieldRow* BrioFieldCodec::FindRow(BrioFieldTable table, const QString& name) {
  for (const BrioFieldRow& row : table) {
    if (name.compare(QLatin1String(row.Name), Qt::CaseInsensitive) == 0) return &row;
  }
  return nullptr;
}
